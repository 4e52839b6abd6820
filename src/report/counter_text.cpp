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

// The plain decimal digits of the counter.
std::u16string Digits(const device::Counter128& value) {
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
  return digits;
}

// Whether the number written as `digits` is at least 10^n - 1.
bool AtLeastNines(const std::u16string& digits, std::size_t n) {
  if (digits.size() != n) return digits.size() > n;
  return digits.find_first_not_of(u'9') == std::u16string::npos;
}

} // namespace

std::u16string CounterCapacity(const device::Counter128& bytes, char16_t sep) {
  // The units and where each begins, as CapacityToStr has them up to GB: one
  // below 10^5, 10^7 and 10^10, then every three digits further.
  struct Unit {
    std::size_t from;  // the unit begins at 10^from - 1
    std::size_t drop;  // digits dropped for hundredths of the unit
    const char16_t* name;
  };
  static constexpr Unit units[] = {{25, 22, u" YB"}, {22, 19, u" ZB"}, {19, 16, u" EB"}, {16, 13, u" PB"},
                                   {13, 10, u" TB"}, {10, 7, u" GB"},  {7, 4, u" MB"},   {5, 1, u" KB"}};
  const std::u16string digits = Digits(bytes);
  for (const Unit& u : units) {
    if (!AtLeastNines(digits, u.from)) continue;
    // Cut, not rounded, to two decimals, with no trailing zeros.
    const std::u16string hundredths = digits.substr(0, digits.size() - u.drop);
    std::u16string text = hundredths.substr(0, hundredths.size() - 2);
    std::u16string frac = hundredths.substr(hundredths.size() - 2);
    while (!frac.empty() && frac.back() == u'0') frac.pop_back();
    if (!frac.empty()) text += sep + frac;
    return text + u.name;
  }
  return digits + u" bytes";
}

std::u16string CounterThousands(const device::Counter128& value) {
  const std::u16string digits = Digits(value);
  if (digits.size() <= 3) return digits;
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
