// Time on the simulated PC. The virtual clock moves only when the program
// sleeps or reads the counter; the real clock follows the host, except while a
// periodic timer runs, so that the timer always measures as the scenario says.
#pragma once
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <vector>

#include "platform/sim/scenario.h"

namespace trv::sim {

class SimClock {
 public:
  explicit SimClock(const Scenario& sc);

  // Microseconds since the machine started.
  std::int64_t NowUs();
  // Moves time forward, firing every timer tick that falls due on the way.
  void Advance(std::int64_t us);
  // Sleep: virtual clocks jump, real clocks really wait.
  void Sleep(std::uint32_t ms);
  // Time a device transfer takes: virtual clocks move, real clocks really wait.
  void Busy(std::int64_t us);
  // Local wall clock in ms since 1899-12-30, with the scenario's jumps applied.
  std::int64_t WallMs();

  using Tick = std::function<void(std::uint32_t timerId)>;
  std::uint32_t AddTimer(std::int64_t periodUs, bool fires, Tick tick);
  bool RemoveTimer(std::uint32_t id);

  // How far one counter read moves virtual time: polling loops make progress.
  static constexpr std::int64_t kReadQuantumUs = 50;

 private:
  struct Timer {
    std::int64_t periodUs;
    std::int64_t nextDueUs;
    bool fires;
    Tick tick;
  };
  void CatchUpWithHost();

  ClockMode mode_;
  std::int64_t startWallMs_;
  std::vector<Scenario::ClockJump> jumps_;
  std::int64_t nowUs_ = 0;
  std::chrono::steady_clock::time_point hostStart_;
  std::map<std::uint32_t, Timer> timers_;
  std::uint32_t nextTimerId_ = 1;
};

} // namespace trv::sim
