// The verdict of a S.M.A.R.T. report as JSON for `smart N --json`
// (docs/cli.md): what a script tests without reading the report's lines.
#pragma once
#include <optional>

#include <nlohmann/json.hpp>

#include "device/erase_features.h"
#include "report/ata_health.h"

namespace trv::cli {

// The `health` object; null when the report gave no verdict (no data).
nlohmann::ordered_json HealthJson(const std::optional<report::SmartHealth>& health);
// The `erase_features` object of `details N --json`; null when the disk gave no identify data.
nlohmann::ordered_json EraseFeaturesJson(const std::optional<device::EraseFeatures>& features);

} // namespace trv::cli
