// Texts of the NVMe counters, which are 128 bits wide and shown exactly.
#pragma once
#include <cstdint>
#include <string>

#include "device/nvme_parse.h"

namespace trv::report {

// Decimal text with commas between groups of three digits, four-digit numbers
// included, so that a column of counters reads alike (1,234 beside 12,345).
std::u16string CounterThousands(const device::Counter128& value);
// A byte amount as CapacityToStr writes it (powers of 1000, cut to two
// decimals), continued past GB with TB, PB, EB, ZB and YB.
std::u16string CounterCapacity(const device::Counter128& bytes, char16_t decimalSeparator = u'.');
// value times factor; false when the product needs more than 128 bits.
bool MultiplyCounter(const device::Counter128& value, std::uint32_t factor, device::Counter128& product);

} // namespace trv::report
