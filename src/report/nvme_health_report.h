// The S.M.A.R.T. tab's table for an NVMe disk (bus 17): the SMART / Health
// Information log (page 02h, the whole controller). The S.M.A.R.T. report calls
// AppendNvmeHealth after its five header lines, in place of the ATA attribute
// table, and shows its usual "not supported" line when it returns false.
#pragma once
#include <string>
#include <vector>

#include "device/nvme_parse.h"
#include "platform/platform.h"
#include "report/ata_health.h"
#include "report/language.h"
#include "platform/sinks.h"

namespace trv::report {

// Reads the log and appends the table and the health section (verdict and
// reasons) to `logSmart`; false, with nothing appended, when the log cannot be
// read. `health`, when given, receives the verdict.
bool AppendNvmeHealth(win::Platform& platform, win::Handle handle, LineSink& logSmart, char16_t decimalSeparator,
                      std::optional<SmartHealth>* health = nullptr, Language language = Language::Chinese);

// The table's lines for a decoded log: column header, rule, one row per value
// (a row per raised critical-warning bit below the warning), closing blank.
std::vector<std::u16string> NvmeHealthLines(const device::NvmeHealth& health, char16_t decimalSeparator,
                                            Language language = Language::Chinese);

} // namespace trv::report
