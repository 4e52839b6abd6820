// The verdict of a S.M.A.R.T. report as JSON for `smart N --json`
// (docs/cli.md): what a script tests without reading the report's lines.
#pragma once
#include <optional>
#include <vector>

#include <nlohmann/json.hpp>

#include "device/erase_features.h"
#include "device/hidden_range.h"
#include "report/ata_health.h"

namespace trv::cli {

// The `health` object; null when the report gave no verdict (no data).
nlohmann::ordered_json HealthJson(const std::optional<report::SmartHealth>& health,
                                  report::Language language = report::Language::Chinese);
// The `erase_features` object of `details N --json`; null when the disk gave no identify data.
nlohmann::ordered_json EraseFeaturesJson(const std::optional<device::EraseFeatures>& features);
// The `hidden_sectors` array of `details N --json`: each range an HPA or a DCO hides.
nlohmann::ordered_json HiddenSectorsJson(const std::vector<device::HiddenRange>& ranges);

} // namespace trv::cli
