// The sectors an HPA or a DCO hides, in the English of the erase's log, the
// window's confirmation and the console program.
#pragma once
#include <string>

#include "device/hidden_range.h"

namespace trv::format {

// "a host protected area (HPA) hides sectors 976,773,168 to 976,774,167
// (512,000 bytes from offset 500,107,862,016)"
std::u16string HiddenRangeText(const device::HiddenRange& range);

} // namespace trv::format
