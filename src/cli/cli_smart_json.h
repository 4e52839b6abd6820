// The values of a S.M.A.R.T. report as JSON for `smart N --json` (docs/cli.md):
// each ATA attribute with its threshold and raw value, an NVMe disk's health
// log as numbers, the decoded power-on hours and temperature; and the drive's
// own identity and size for `details N --json`.
#pragma once
#include <optional>

#include <nlohmann/json.hpp>

#include "report/ata_health.h"
#include "report/drive_facts.h"

namespace trv::cli {

// Adds `attributes`, `nvme_health_log`, `power_on_hours` and `temperature_celsius`
// to `out`; null where the report read no such data. Attribute names in `language`.
void AddSmartValues(nlohmann::ordered_json& out, const std::optional<report::SmartHealth>& health,
                    report::Language language = report::Language::Chinese);
// Adds `model`, `firmware`, `serial`, `sectors`, `sector_size` and `capacity_bytes`; null where not read.
void AddDriveFacts(nlohmann::ordered_json& out, const std::optional<report::DriveFacts>& drive);

} // namespace trv::cli
