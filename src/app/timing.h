// Timing services of the start-up checks: a tick counter driven by a periodic
// 1 ms timer, performance-counter readers, and one attempt of the cross-check.
#pragma once
#include <atomic>
#include <cstdint>

namespace trv::win {
class Platform;
}

namespace trv::app {

struct App;

class TCounter {
 public:
  TCounter(win::Platform& platform, std::int32_t interval, std::uint32_t resolution);
  ~TCounter();  // stops the timer event
  TCounter(const TCounter&) = delete;
  TCounter& operator=(const TCounter&) = delete;

  void inc() { fCount.fetch_add(1, std::memory_order_relaxed); }
  void reset() { fCount.store(0, std::memory_order_relaxed); }
  std::int64_t count() const { return fCount.load(std::memory_order_relaxed); }
  std::uint32_t id() const { return timer_id; }

 private:
  static void Callback(std::uint32_t timerId, std::uint32_t message, std::uintptr_t user, std::uintptr_t,
                       std::uintptr_t);
  win::Platform& platform_;
  std::int32_t fInterval;
  std::atomic<std::int64_t> fCount{0};
  std::uint32_t timer_id = 0;
};

// Asks Windows to honour the program's timer resolution while it has no visible
// window: Windows 11 may otherwise keep such a process at the default ~15.6 ms,
// and the 1 ms timer check would fail. Nothing happens where the system has no
// SetProcessInformation or does not know the request (before Windows 11).
void KeepTimerResolution(App& app);
std::int64_t ReadPerformanceFrequency(App& app);
std::int64_t ReadPerformanceCounter(App& app);
// One attempt: 10 and 30 timer periods must measure 8..12 ms and 27..33 ms.
bool TimerSelfTest(App& app);
// The pass rule of one attempt, on the two measurements in microseconds.
bool TimerMeasurementsPass(double d1, double d2);

} // namespace trv::app
