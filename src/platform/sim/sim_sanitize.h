// The sanitize side of a simulated NVMe drive: what the scenario says of it (its
// state at start, how long a sanitize takes, its faults), the state the
// namespaces of one NVM subsystem share while the PC runs, the Sanitize Status
// log (81h) composed from it, and the STORAGE_REINITIALIZE_MEDIA input as the
// journal shows it. See docs/scenario.md.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

namespace trv::sim {

// SANACT values of Command Dword 10.
enum class SanitizeAction : std::uint8_t { None = 0, Block = 2, Overwrite = 3, Crypto = 4 };
enum class SanitizeFault { None, NotSupported, EndsFailed, Lies, Stuck, PowerLoss };
// What IOCTL_STORAGE_REINITIALIZE_MEDIA without an input runs.
enum class NoInputRuns { Format, SanitizeCrypto };

inline constexpr std::uint32_t kNotReported = 0xFFFFFFFF;  // an estimate the log leaves out

struct SanitizeSetup {
  std::uint16_t state = 0;  // SSTAT bits 2:0 at start: 0 never, 1 succeeded, 2 in progress, 3 failed
  double progress = 0;      // with state 2: the fraction done at start
  SanitizeAction lastAction = SanitizeAction::None;
  bool globalDataErased = false;
  std::int64_t durationSeconds = 60;  // a sanitize, or a crypto format
  std::uint32_t blockEstimate = kNotReported, cryptoEstimate = kNotReported, overwriteEstimate = kNotReported;
  bool requestWaits = true;  // the request returns when the operation has ended
  NoInputRuns noInputRuns = NoInputRuns::Format;
  SanitizeFault fault = SanitizeFault::None;
  double stuckAt = 0.5;     // stuck, power-loss: where progress stops / power goes
  bool statusLog = true;    // false: log 81h cannot be read
  std::uint32_t busyError = 21;  // what other requests fail with while a sanitize runs
  bool operator==(const SanitizeSetup&) const = default;
};

SanitizeSetup ParseSanitize(const nlohmann::json& j, const std::string& where);

// The sanitize state of one NVM subsystem while the PC runs.
struct SanitizeRun {
  SanitizeSetup setup;  // of the drive the running sanitize was sent to (at start: the subsystem's)
  std::uint16_t sprog = 0xFFFF, sstat = 0;
  std::uint32_t scdw10 = 0;
  bool running = false;
  double startProgress = 0;  // where the running sanitize stood at startUs
  std::int64_t startUs = 0;  // on the PC's clock
  bool poweredOff = false;   // power went mid-sanitize: the drives are gone until the next start
  std::int64_t erasures = 0;  // sanitizes and formats run since start: each crypto erase leaves content of its own
};

SanitizeRun StartingRun(const SanitizeSetup& setup);
// Starts a sanitize at `nowUs` with the setup of the drive it was sent to.
void StartSanitize(SanitizeRun& run, const SanitizeSetup& setup, SanitizeAction action, std::int64_t nowUs);

// What moving a running sanitize to `nowUs` did.
enum class RunChange { None, Erased, EndedWithoutErase, PowerLost };
RunChange AdvanceRun(SanitizeRun& run, std::int64_t nowUs);
// How long from `nowUs` until the running sanitize ends, or stalls for good
// (stuck, power-loss); 0 when it is not running.
std::int64_t RunLeftUs(const SanitizeRun& run, std::int64_t nowUs);
// How long a crypto format takes, or runs until it stalls.
std::int64_t FormatUs(const SanitizeSetup& setup);

// Sanitize Status log (81h), 512 bytes: the run's state and the drive's estimates.
std::vector<std::uint8_t> SanitizeStatusLog(const SanitizeRun& run, const SanitizeSetup& drive);

// "IOCTL_STORAGE_REINITIALIZE_MEDIA no input", or the input decoded:
// "... version=16 size=16 timeout=120 method=crypto disallowExit=0".
std::string ReinitializeMediaText(const std::uint8_t* in, std::uint32_t inSize);

} // namespace trv::sim
