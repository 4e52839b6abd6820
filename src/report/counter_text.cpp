#include "report/counter_text.h"

#include <array>

namespace trv::report {

namespace {

// The counter as four 32-bit limbs, most significant first, so that long
// division by 10 needs nothing wider than 64 bits.
std::array<std::uint32_t, 4> Limbs(const device::Counter128& v) {
  return {static_cast<std::uint32_t>(v.high >> 32), static_cast<std::uint32_t>(v.high),
          static_cast<std::uint32_t>(v.low >> 32), static_cast<std::uint32_t>(v.low)};
}

bool IsZero(const std::array<std::uint32_t, 4>& limbs) {
  for (auto l : limbs)
    if (l != 0) return false;
  return true;
}

} // namespace

std::u16string CounterThousands(const device::Counter128& value) {
  auto limbs = Limbs(value);
  std::u16string digits;
  do {
    std::uint64_t remainder = 0;
    for (auto& l : limbs) {
      const std::uint64_t current = (remainder << 32) | l;
      l = static_cast<std::uint32_t>(current / 10);
      remainder = current % 10;
    }
    digits.insert(digits.begin(), static_cast<char16_t>(u'0' + remainder));
  } while (!IsZero(limbs));
  if (digits.size() <= 4) return digits;
  std::u16string out;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out.push_back(u',');
    out.push_back(digits[i]);
  }
  return out;
}

bool MultiplyCounter(const device::Counter128& value, std::uint32_t factor, device::Counter128& product) {
  auto limbs = Limbs(value);
  std::uint64_t carry = 0;
  for (std::size_t i = limbs.size(); i-- > 0;) {
    const std::uint64_t current = std::uint64_t{limbs[i]} * factor + carry;
    limbs[i] = static_cast<std::uint32_t>(current);
    carry = current >> 32;
  }
  if (carry != 0) return false;
  product = {(std::uint64_t{limbs[2]} << 32) | limbs[3], (std::uint64_t{limbs[0]} << 32) | limbs[1]};
  return true;
}

} // namespace trv::report
