#include "platform/sim/sim_sanitize.h"

#include <algorithm>
#include <cmath>
#include <span>

#include "platform/records.h"
#include "platform/sim/json_fields.h"

namespace trv::sim {

using jf::json;

namespace {

constexpr std::uint16_t kInProgress = 2, kSucceeded = 1, kFailed = 3, kGlobalDataErased = 0x100;
constexpr std::size_t kLogSize = 512;

template <typename T, std::size_t N>
T Word(const json& j, const char* key, const std::string& where, const std::pair<const char*, T> (&words)[N], T fallback) {
  if (!jf::Has(j, key)) return fallback;
  std::string expected;
  for (std::size_t i = 0; i < N; ++i) {
    if (j[key].is_string() && j[key].get<std::string>() == words[i].first) return words[i].second;
    expected += (i ? i + 1 == N ? " or " : ", " : "") + std::string("\"") + words[i].first + "\"";
  }
  jf::Fail(where, key, "expected " + expected);
}

// An estimate in seconds; null: not reported (FFFFFFFFh).
std::uint32_t Estimate(const json& j, const char* key, const std::string& where) {
  if (!jf::Has(j, key) || j[key].is_null()) return kNotReported;
  return static_cast<std::uint32_t>(jf::Int(j, key, where, 0, 0, kNotReported - 1));
}

std::uint16_t Sprog(double progress) {
  return static_cast<std::uint16_t>(std::min(65534.0, std::floor(progress * 65536)));
}

std::int64_t DurationUs(const SanitizeSetup& s) { return s.durationSeconds * 1'000'000; }

double ProgressAt(const SanitizeRun& run, std::int64_t nowUs) {
  const std::int64_t total = DurationUs(run.setup);
  if (total == 0) return 1;
  return run.startProgress + static_cast<double>(nowUs - run.startUs) / static_cast<double>(total);
}

bool Stalls(const SanitizeSetup& s) { return s.fault == SanitizeFault::Stuck || s.fault == SanitizeFault::PowerLoss; }

// Where the run stops: its end, or where a stalling drive stops.
double StopAt(const SanitizeRun& run) {
  return Stalls(run.setup) ? std::max(run.setup.stuckAt, run.startProgress) : 1.0;
}

// When, on the PC's clock, the run gets to where it stops.
std::int64_t EndUs(const SanitizeRun& run) {
  const double part = StopAt(run) - run.startProgress;
  return run.startUs + static_cast<std::int64_t>(std::ceil(part * static_cast<double>(DurationUs(run.setup))));
}

} // namespace

SanitizeSetup ParseSanitize(const json& j, const std::string& where) {
  jf::CheckKeys(j, where, {"state", "progress", "lastAction", "globalDataErased", "durationSeconds", "estimates",
                           "requestWaits", "noInputRuns", "fault", "stuckAt", "statusLog", "busyError"});
  SanitizeSetup s;
  static const std::pair<const char*, std::uint16_t> kStates[] = {
      {"never", 0}, {"succeeded", kSucceeded}, {"in-progress", kInProgress}, {"failed", kFailed}};
  s.state = Word(j, "state", where, kStates, std::uint16_t{0});
  s.progress = jf::Fraction(j, "progress", where, 0);
  if (jf::Has(j, "progress") && s.state != kInProgress) jf::Fail(where, "progress", "only with state \"in-progress\"");
  if (jf::Has(j, "lastAction") && !j["lastAction"].is_null()) {
    static const std::pair<const char*, SanitizeAction> kActions[] = {
        {"block", SanitizeAction::Block}, {"overwrite", SanitizeAction::Overwrite}, {"crypto", SanitizeAction::Crypto}};
    s.lastAction = Word(j, "lastAction", where, kActions, SanitizeAction::None);
  }
  if (s.state == kInProgress && s.lastAction == SanitizeAction::None)
    jf::Fail(where, "lastAction", "state \"in-progress\" needs the sanitize that runs: \"block\", \"overwrite\" or \"crypto\"");
  s.globalDataErased = jf::Bool(j, "globalDataErased", where, false);
  s.durationSeconds = jf::Int(j, "durationSeconds", where, s.durationSeconds, 0, 30 * 86'400);
  if (jf::Has(j, "estimates")) {
    const json& e = j["estimates"];
    const std::string ew = where + ": estimates";
    jf::CheckKeys(e, ew, {"block", "crypto", "overwrite"});
    s.blockEstimate = Estimate(e, "block", ew);
    s.cryptoEstimate = Estimate(e, "crypto", ew);
    s.overwriteEstimate = Estimate(e, "overwrite", ew);
  }
  s.requestWaits = jf::Bool(j, "requestWaits", where, true);
  static const std::pair<const char*, NoInputRuns> kNoInput[] = {{"format", NoInputRuns::Format},
                                                                  {"sanitize-crypto", NoInputRuns::SanitizeCrypto}};
  s.noInputRuns = Word(j, "noInputRuns", where, kNoInput, NoInputRuns::Format);
  static const std::pair<const char*, SanitizeFault> kFaults[] = {
      {"none", SanitizeFault::None},   {"not-supported", SanitizeFault::NotSupported},
      {"ends-failed", SanitizeFault::EndsFailed}, {"lies", SanitizeFault::Lies},
      {"stuck", SanitizeFault::Stuck}, {"power-loss", SanitizeFault::PowerLoss}};
  s.fault = Word(j, "fault", where, kFaults, SanitizeFault::None);
  s.stuckAt = jf::Fraction(j, "stuckAt", where, s.stuckAt);
  s.statusLog = jf::Bool(j, "statusLog", where, true);
  s.busyError = static_cast<std::uint32_t>(jf::Int(j, "busyError", where, s.busyError, 0, UINT32_MAX));
  return s;
}

SanitizeRun StartingRun(const SanitizeSetup& setup) {
  SanitizeRun run;
  run.setup = setup;
  run.sstat = static_cast<std::uint16_t>(setup.state | (setup.globalDataErased ? kGlobalDataErased : 0));
  run.scdw10 = static_cast<std::uint32_t>(setup.lastAction);
  if (setup.state == kInProgress) {
    // A sanitize a power cycle interrupted goes on where it was.
    run.running = true;
    run.startProgress = setup.progress;
    run.sprog = Sprog(setup.progress);
  }
  return run;
}

void StartSanitize(SanitizeRun& run, const SanitizeSetup& setup, SanitizeAction action, std::int64_t nowUs) {
  run.setup = setup;
  run.sstat = kInProgress;  // Global Data Erased clears: the data is not erased yet
  run.scdw10 = static_cast<std::uint32_t>(action);
  run.running = true;
  run.startProgress = 0;
  run.startUs = nowUs;
  run.sprog = 0;
  ++run.erasures;
}

RunChange AdvanceRun(SanitizeRun& run, std::int64_t nowUs) {
  if (!run.running || run.poweredOff) return RunChange::None;
  const SanitizeSetup& s = run.setup;
  // Whether it got to its end (or where it stalls) is decided in whole
  // microseconds, so that a request that waited RunLeftUs finds it there.
  const bool there = nowUs >= EndUs(run);
  if (Stalls(s)) {
    run.sprog = Sprog(there ? StopAt(run) : ProgressAt(run, nowUs));
    if (!there || s.fault != SanitizeFault::PowerLoss) return RunChange::None;
    run.poweredOff = true;
    return RunChange::PowerLost;
  }
  if (!there) {
    run.sprog = Sprog(ProgressAt(run, nowUs));
    return RunChange::None;
  }
  run.running = false;
  run.sprog = 0xFFFF;
  if (s.fault == SanitizeFault::EndsFailed) {
    run.sstat = kFailed;
    return RunChange::EndedWithoutErase;
  }
  run.sstat = kSucceeded | kGlobalDataErased;
  return s.fault == SanitizeFault::Lies ? RunChange::EndedWithoutErase : RunChange::Erased;
}

std::int64_t RunLeftUs(const SanitizeRun& run, std::int64_t nowUs) {
  if (!run.running || run.poweredOff) return 0;
  return std::max<std::int64_t>(0, EndUs(run) - nowUs);
}

std::int64_t FormatUs(const SanitizeSetup& setup) {
  const double part = setup.fault == SanitizeFault::PowerLoss ? setup.stuckAt : 1.0;
  return static_cast<std::int64_t>(std::ceil(part * static_cast<double>(DurationUs(setup))));
}

std::vector<std::uint8_t> SanitizeStatusLog(const SanitizeRun& run, const SanitizeSetup& drive) {
  std::vector<std::uint8_t> log(kLogSize, 0);
  rec::Put16(log, 0, (run.sstat & 7) == kInProgress ? run.sprog : std::uint16_t{0xFFFF});
  rec::Put16(log, 2, run.sstat);
  rec::Put32(log, 4, run.scdw10);
  rec::Put32(log, 8, drive.overwriteEstimate);
  rec::Put32(log, 12, drive.blockEstimate);
  rec::Put32(log, 16, drive.cryptoEstimate);
  for (const std::size_t at : {std::size_t{20}, std::size_t{24}, std::size_t{28}}) rec::Put32(log, at, kNotReported);  // the no-deallocate times
  return log;
}

std::string ReinitializeMediaText(const std::uint8_t* in, std::uint32_t inSize) {
  std::string text = "IOCTL_STORAGE_REINITIALIZE_MEDIA";
  if (!in || inSize == 0) return text + " no input";
  if (inSize < 16) return text + " input of " + std::to_string(inSize) + " bytes";
  const std::span<const std::uint8_t> b(in, inSize);
  const std::uint32_t options = rec::U32(b, 12);
  static const char* const kMethods[] = {"default", "block", "crypto"};
  const std::uint32_t method = options & 0xF;
  return text + " version=" + std::to_string(rec::U32(b, 0)) + " size=" + std::to_string(rec::U32(b, 4)) +
         " timeout=" + std::to_string(rec::U32(b, 8)) +
         " method=" + (method < 3 ? kMethods[method] : std::to_string(method)) +
         " disallowExit=" + std::to_string((options >> 4) & 1);
}

} // namespace trv::sim
