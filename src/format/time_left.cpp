#include "format/time_left.h"

#include <algorithm>
#include <cmath>

#include "platform/text.h"

namespace trv::format {

void RateWindow::Start(std::int64_t ms) {
  start_ = ms;
  samples_.clear();
}

void RateWindow::Add(std::int64_t ms, std::int64_t done) {
  if (ms < start_ + kRateBurstMs) return;
  if (!samples_.empty() && (ms < samples_.back().ms || done < samples_.back().done)) samples_.clear();  // measured afresh
  samples_.push_back({ms, done});
  // The oldest sample kept is the last one at least a window back.
  while (samples_.size() > 2 && samples_[1].ms <= ms - kRateWindowMs) samples_.pop_front();
}

double RateWindow::BytesPerMs() const {
  if (samples_.size() < 2) return 0;
  const std::int64_t span = samples_.back().ms - samples_.front().ms;
  const std::int64_t bytes = samples_.back().done - samples_.front().done;
  if (span < kRateSoundMs || bytes <= 0) return 0;
  return static_cast<double>(bytes) / static_cast<double>(span);
}

TimeLeft RateWindow::Estimate(std::int64_t passLeft, std::int64_t laterBytes) const {
  TimeLeft left;
  left.laterPass = laterBytes > 0;
  const double rate = BytesPerMs();
  if (rate <= 0) return left;
  const auto seconds = [rate](std::int64_t bytes) {
    return std::ceil(static_cast<double>(std::max<std::int64_t>(bytes, 0)) / rate / 1000.0);
  };
  const double pass = seconds(passLeft);
  const double run = seconds(std::max<std::int64_t>(passLeft, 0) + std::max<std::int64_t>(laterBytes, 0));
  if (!(run <= static_cast<double>(kMostSecondsShown))) return left;
  left.state = TimeLeft::State::Known;
  left.passSeconds = static_cast<std::int64_t>(pass);
  left.runSeconds = static_cast<std::int64_t>(run);
  return left;
}

std::u16string ClockText(std::int64_t seconds) {
  seconds = std::max<std::int64_t>(seconds, 0);
  const auto two = [](std::int64_t n) { return std::u16string(n < 10 ? u"0" : u"") + DecimalText(n); };
  return DecimalText(seconds / 3600) + u":" + two(seconds / 60 % 60) + u":" + two(seconds % 60);
}

} // namespace trv::format
