// Both reports of the main window, built for one disk whose answers come from a
// fuzzed PC, and the bounds every such pair of reports keeps.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace trv::fuzz {

struct Reports {
  std::vector<std::u16string> details, smart;
};

// Both reports for disk 1 of a table whose only entry has this bus and drive number.
Reports RunReports(win::Platform& p, win::Handle handle, std::int64_t bus, std::uint8_t drive);
// Stops the run when a report is longer than its lines allow.
void CheckReports(const Reports& r);

} // namespace trv::fuzz
