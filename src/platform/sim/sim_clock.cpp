#include "platform/sim/sim_clock.h"

#include <thread>

namespace trv::sim {

SimClock::SimClock(const Scenario& sc)
    : mode_(sc.clockMode), startWallMs_(sc.clockStartMs), jumps_(sc.clockJumps), hostStart_(std::chrono::steady_clock::now()) {}

void SimClock::CatchUpWithHost() {
  if (mode_ != ClockMode::Real || !timers_.empty()) return;
  const auto host = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - hostStart_).count();
  if (host > nowUs_) nowUs_ = host;
}

std::int64_t SimClock::NowUs() {
  CatchUpWithHost();
  return nowUs_;
}

void SimClock::Advance(std::int64_t us) {
  const std::int64_t target = nowUs_ + us;
  // Fire ticks in time order; a tick may remove timers, so look them up afresh.
  for (;;) {
    std::uint32_t dueId = 0;
    std::int64_t dueAt = target + 1;
    for (auto& [id, t] : timers_) {
      if (t.fires && t.nextDueUs <= target && t.nextDueUs < dueAt) {
        dueAt = t.nextDueUs;
        dueId = id;
      }
    }
    if (dueId == 0) break;
    Timer& t = timers_.at(dueId);
    nowUs_ = dueAt;
    t.nextDueUs += t.periodUs;
    Tick tick = t.tick;
    tick(dueId);
  }
  nowUs_ = target;
}

void SimClock::Sleep(std::uint32_t ms) {
  if (mode_ == ClockMode::Real) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  CatchUpWithHost();
  Advance(static_cast<std::int64_t>(ms) * 1000);
}

void SimClock::Busy(std::int64_t us) {
  if (us <= 0) return;
  if (mode_ == ClockMode::Real) {
    std::this_thread::sleep_for(std::chrono::microseconds(us));
    CatchUpWithHost();
    return;
  }
  Advance(us);
}

std::int64_t SimClock::WallMs() {
  const std::int64_t uptimeMs = NowUs() / 1000;
  std::int64_t wall = startWallMs_ + uptimeMs;
  for (const auto& jump : jumps_)
    if (uptimeMs >= jump.afterMs) wall += jump.byMs;
  return wall;
}

std::uint32_t SimClock::AddTimer(std::int64_t periodUs, bool fires, Tick tick) {
  CatchUpWithHost();
  const std::uint32_t id = nextTimerId_++;
  timers_[id] = Timer{periodUs, nowUs_ + periodUs, fires, std::move(tick)};
  return id;
}

bool SimClock::RemoveTimer(std::uint32_t id) { return timers_.erase(id) != 0; }

} // namespace trv::sim
