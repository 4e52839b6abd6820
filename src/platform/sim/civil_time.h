// The simulated wall clock's number (milliseconds since 1899-12-30, the origin
// of the Windows local date-time number) as a calendar date and time.
#pragma once
#include <cstdint>

namespace trv::sim {

struct CivilTime {
  std::int64_t year = 0;
  int month = 0, day = 0;
  int dayOfWeek = 0;  // 0 Sunday, as SYSTEMTIME counts
  int hour = 0, minute = 0, second = 0, milliseconds = 0;
};

// Proleptic Gregorian; times before the origin count back from it.
CivilTime CivilFromWallMs(std::int64_t wallMs);

} // namespace trv::sim
