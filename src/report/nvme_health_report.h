// The S.M.A.R.T. tab's table for an NVMe disk (bus 17): the SMART / Health
// Information log (page 02h, the whole controller). The S.M.A.R.T. report calls
// AppendNvmeHealth after its five header lines, in place of the ATA attribute
// table, and shows its usual "not supported" line when it returns false.
#pragma once
#include <string>
#include <vector>

#include "device/nvme_parse.h"
#include "platform/platform.h"
#include "platform/sinks.h"

namespace trv::report {

// Reads the log and appends the table to `logSmart`; false, with nothing
// appended, when the log cannot be read.
bool AppendNvmeHealth(win::Platform& platform, win::Handle handle, LineSink& logSmart, char16_t decimalSeparator);

// The table's lines for a decoded log: column header, rule, one row per value
// (a row per raised critical-warning bit below the warning), closing blank.
std::vector<std::u16string> NvmeHealthLines(const device::NvmeHealth& health, char16_t decimalSeparator);

} // namespace trv::report
