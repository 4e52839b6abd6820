#include "app/timing.h"

#include <array>

#include "app/app.h"
#include "app/fatal.h"
#include "platform/records.h"

namespace trv::app {

TCounter::TCounter(win::Platform& platform, std::int32_t interval, std::uint32_t resolution)
    : platform_(platform), fInterval(interval) {
  (void)resolution;  // the timer always asks for the greatest accuracy (0)
  timer_id = platform_.timeSetEvent(static_cast<std::uint32_t>(fInterval), 0, &TCounter::Callback,
                                    reinterpret_cast<std::uintptr_t>(this), win::TIME_PERIODIC);
}

TCounter::~TCounter() { platform_.timeKillEvent(timer_id); }

void TCounter::Callback(std::uint32_t, std::uint32_t, std::uintptr_t user, std::uintptr_t, std::uintptr_t) {
  reinterpret_cast<TCounter*>(user)->inc();
}

void KeepTimerResolution(App& app) {
  auto& p = app.platform;
  const win::ProcAddress entry = p.GetProcAddress(p.GetModuleHandleW(u"kernel32"), "SetProcessInformation");
  if (entry == 0) return;
  // PROCESS_POWER_THROTTLING_STATE: the timer-resolution mechanism is controlled
  // (ControlMask) and switched off for this process (its StateMask bit clear).
  std::array<std::uint8_t, win::kPowerThrottlingStateSize> state{};
  rec::Put32(state, 0, win::PROCESS_POWER_THROTTLING_CURRENT_VERSION);
  rec::Put32(state, 4, win::PROCESS_POWER_THROTTLING_IGNORE_TIMER_RESOLUTION);
  rec::Put32(state, 8, 0);
  // A refusal (older Windows 10) changes nothing: the timers are not throttled there.
  p.CallSetProcessInformation(entry, p.GetCurrentProcess(), win::ProcessPowerThrottling, state);
}

std::int64_t ReadPerformanceFrequency(App& app) {
  std::int64_t frequency = 0;
  if (!app.platform.QueryPerformanceFrequency(&frequency)) FatalError(app, u"Timer error", u"Timer");
  return frequency;
}

std::int64_t ReadPerformanceCounter(App& app) {
  std::int64_t value = 0;
  if (!app.platform.QueryPerformanceCounter(&value)) value = -1;
  if (value <= 0) FatalError(app, u"Timer error", u"Timer");
  return value;
}

bool TimerMeasurementsPass(double d1, double d2) {
  return d1 > 8000 && d1 < 12000 && d2 > 27000 && d2 < 33000;
}

namespace {

// Polls the count without sleeping. A timer that never fires would keep the
// wait going for ever, so more than a second of waiting fails the attempt.
bool SpinUntil(App& app, const TCounter& counter, std::int64_t target, std::int64_t start) {
  while (counter.count() < target) {
    if (ReadPerformanceCounter(app) - start > app.PerformanceFrequency) return false;
  }
  return true;
}

} // namespace

bool TimerSelfTest(App& app) {
  TCounter counter(app.platform, 1, 1);
  app.platform.Sleep(50);
  counter.reset();
  const std::int64_t t0 = ReadPerformanceCounter(app);
  if (!SpinUntil(app, counter, 10, t0)) return false;
  const std::int64_t t1 = ReadPerformanceCounter(app);
  counter.reset();
  const std::int64_t t2 = ReadPerformanceCounter(app);
  if (!SpinUntil(app, counter, 30, t2)) return false;
  const std::int64_t t3 = ReadPerformanceCounter(app);
  const double d1 = static_cast<double>(t1 - t0) / app.TicksPerMicrosecond;
  const double d2 = static_cast<double>(t3 - t2) / app.TicksPerMicrosecond;
  return TimerMeasurementsPass(d1, d2);
}

} // namespace trv::app
