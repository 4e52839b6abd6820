// The time left of a pass over a disk, from the rate the disk kept over the
// last few seconds: the pass's first second (a write cache taking its fill at
// once) is left out, no time is said before a few seconds have been measured,
// and a disk that slows down (a stick past its cache) is caught up with within
// the window. The clock is the performance counter, which no change of the
// wall clock moves.
#pragma once
#include <cstdint>
#include <deque>
#include <string>

#include "format/erase_observer.h"

namespace trv::format {

inline constexpr std::int64_t kRateBurstMs = 1'000;    // left out at the start of a pass
inline constexpr std::int64_t kRateWindowMs = 10'000;  // the rate is measured over the last this many ms
inline constexpr std::int64_t kRateSoundMs = 3'000;    // and said only once this many have been measured
// More than this is no estimate but a disk that all but stands still.
inline constexpr std::int64_t kMostSecondsShown = 999 * 3600 + 59 * 60 + 59;

class RateWindow {
 public:
  // The pass begins at `ms`.
  void Start(std::int64_t ms);
  // `done` bytes of the pass are behind at `ms`.
  void Add(std::int64_t ms, std::int64_t done);
  // Bytes per millisecond over the window; 0 while it is not sound.
  double BytesPerMs() const;
  // What is left: `passLeft` bytes of this pass, then `laterBytes` of the read-back.
  TimeLeft Estimate(std::int64_t passLeft, std::int64_t laterBytes) const;

 private:
  struct Sample {
    std::int64_t ms;
    std::int64_t done;
  };
  std::int64_t start_ = 0;
  std::deque<Sample> samples_;
};

// "1:02:03": hours (as many as there are), minutes and seconds.
std::u16string ClockText(std::int64_t seconds);

} // namespace trv::format
