#include "platform/sim/civil_time.h"

namespace trv::sim {

namespace {

constexpr std::int64_t kMsPerDay = 86'400'000;

// Division that rounds towards minus infinity, so times before the origin
// still get a time of day between 0 and 24 hours.
std::int64_t FloorDiv(std::int64_t a, std::int64_t b) { return a / b - (a % b != 0 && (a < 0) != (b < 0)); }

} // namespace

CivilTime CivilFromWallMs(std::int64_t wallMs) {
  const std::int64_t day = FloorDiv(wallMs, kMsPerDay);
  const std::int64_t msOfDay = wallMs - day * kMsPerDay;
  CivilTime t;
  t.hour = static_cast<int>(msOfDay / 3'600'000);
  t.minute = static_cast<int>(msOfDay / 60'000 % 60);
  t.second = static_cast<int>(msOfDay / 1000 % 60);
  t.milliseconds = static_cast<int>(msOfDay % 1000);
  // 1899-12-30 was a Saturday.
  t.dayOfWeek = static_cast<int>((day % 7 + 7 + 6) % 7);
  // Civil date from days since 1970-01-01 (day 25569 of the origin).
  const std::int64_t z = day - 25569 + 719468;
  const std::int64_t era = FloorDiv(z, 146097);
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  t.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  t.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  t.year = yoe + era * 400 + (t.month <= 2);
  return t;
}

} // namespace trv::sim
