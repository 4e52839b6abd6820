// Texts of the NVMe counters, which are 128 bits wide and shown exactly.
#pragma once
#include <cstdint>
#include <string>

#include "device/nvme_parse.h"

namespace trv::report {

// Decimal text grouped as FormatThousands groups: commas between groups of three
// from the fifth digit on.
std::u16string CounterThousands(const device::Counter128& value);
// value times factor; false when the product needs more than 128 bits.
bool MultiplyCounter(const device::Counter128& value, std::uint32_t factor, device::Counter128& product);

} // namespace trv::report
