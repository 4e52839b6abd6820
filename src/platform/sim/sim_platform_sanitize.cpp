// The simulated PC's NVMe firmware erase: IOCTL_STORAGE_REINITIALIZE_MEDIA as
// each Windows build passes it on (Format NVM with crypto erase, or Sanitize),
// the sanitize the namespaces of one subsystem share, and its end on the PC's
// clock. docs/scenario.md describes what a scenario can make of it.
#include <algorithm>

#include "platform/records.h"
#include "platform/sim/sim_platform.h"
#include "platform/win_types.h"

namespace trv::sim {

namespace {

constexpr std::uint32_t kBuildReinitializeMedia = 14393, kBuildSanitizeInput = 19043;
constexpr std::uint8_t kBusNvme = 17;
constexpr std::size_t kInputSize = 16;  // STORAGE_REINITIALIZE_MEDIA
constexpr std::int64_t kUsPerSecond = 1'000'000;

IoctlResult Failed(std::uint32_t error) { return {false, error, 0}; }

std::string SubsystemKey(const SimDrive& d) {
  // A drive without a subsystem name is a controller of its own.
  return d.nvme->subsystem.empty() ? "\n" + std::to_string(d.number) : d.nvme->subsystem;
}

// What a deallocated block of this namespace reads (Identify Namespace DLFEAT bits 2:0).
std::uint8_t Dlfeat(const SimNvme& n) { return n.ns.size() > 33 ? n.ns[33] & 7 : 0; }

std::uint32_t Sanicap(const SimNvme& n) { return n.controller.size() >= 4096 ? rec::U32(n.controller, 328) : 0; }
std::uint8_t Fna(const SimNvme& n) { return n.controller.size() >= 4096 ? n.controller[524] : 0; }

// New content for one namespace, the same for the same erase of the same disk.
std::uint64_t EraseSeed(std::int64_t erasure, std::uint32_t drive) {
  return 0x5A17'0000'0000'0000ull ^ (static_cast<std::uint64_t>(erasure) << 8) ^ drive;
}

} // namespace

SanitizeRun& SimPlatform::RunOf(const SimDrive& drive) {
  const std::string key = SubsystemKey(drive);
  auto it = sanitizeRuns_.find(key);
  if (it == sanitizeRuns_.end()) it = sanitizeRuns_.emplace(key, StartingRun(drive.nvme->sanitize)).first;
  return it->second;
}

void SimPlatform::SettleSanitize() {
  const std::int64_t now = clock_.NowUs();
  for (SimDrive& d : sc_.drives) {
    if (!d.nvme) continue;
    SanitizeRun& run = RunOf(d);
    const RunChange change = AdvanceRun(run, now);
    if (change == RunChange::Erased) {
      EraseNamespaces(d, static_cast<SanitizeAction>(run.scdw10 & 7), true, run.erasures);
      Log("NvmeSanitizeEnded", "PhysicalDrive" + std::to_string(d.number) + " subsystem erased");
    } else if (change == RunChange::EndedWithoutErase) {
      Log("NvmeSanitizeEnded", "PhysicalDrive" + std::to_string(d.number) +
                                   ((run.sstat & 7) == 3 ? " failed" : " reports success, nothing erased"));
    } else if (change == RunChange::PowerLost) {
      PowerOffSubsystem(d);
    }
  }
  for (SimDrive& d : sc_.drives) {
    if (!d.nvme) continue;
    const SanitizeRun& run = RunOf(d);
    const SanitizeSetup& own = d.nvme->sanitize;
    d.runtime.sanitizeLog.reset();
    if (own.statusLog) d.runtime.sanitizeLog = SanitizeStatusLog(run, own);
    d.runtime.sanitizeBusy.reset();
    if (run.running && !run.poweredOff) d.runtime.sanitizeBusy = own.busyError;
  }
  SettleAtaSanitize();
}

void SimPlatform::EraseNamespaces(const SimDrive& drive, SanitizeAction action, bool wholeSubsystem,
                                  std::int64_t erasure) {
  for (SimDrive& d : sc_.drives) {
    if (!d.nvme || (wholeSubsystem ? SubsystemKey(d) != SubsystemKey(drive) : d.number != drive.number)) continue;
    MediaBase base;
    const std::uint8_t dlfeat = Dlfeat(*d.nvme);
    if (action == SanitizeAction::Crypto) {
      base = {MediaBase::Kind::Random, EraseSeed(erasure, d.number), 0};
    } else if (action == SanitizeAction::None && dlfeat != 1 && dlfeat != 2) {
      base = {MediaBase::Kind::Random, EraseSeed(erasure, d.number), 0};  // a crypto format: the old key's data
    } else {
      base = {MediaBase::Kind::Fill, 0, static_cast<std::uint8_t>(dlfeat == 2 ? 0xFF : 0)};  // deallocated
    }
    MediaErase(d.runtime.media, d.lengthBytes, base);
  }
}

void SimPlatform::PowerOffSubsystem(const SimDrive& drive) {
  for (SimDrive& d : sc_.drives) {
    if (!d.nvme || SubsystemKey(d) != SubsystemKey(drive)) continue;
    d.runtime.media.unplugged = true;
    d.runtime.media.unplugError = win::ERROR_DEVICE_NOT_CONNECTED;
    Log("NvmePowerLost", "PhysicalDrive" + std::to_string(d.number) + " lost power mid-sanitize");
  }
}

void SimPlatform::WaitForDevice(std::int64_t us) {
  // A firmware erase is not taken back: a cancel is accepted and changes nothing.
  if (us > 0) Hang(MediaResult{false, 0, us, true, false, true});
}

IoctlResult SimPlatform::ReinitializeMedia(const SimDrive& d, std::uint32_t access, const std::uint8_t* in,
                                           std::uint32_t inSize) {
  if (!(access & win::GENERIC_WRITE)) return Failed(win::ERROR_ACCESS_DENIED);
  const bool known = sc_.osMajor > 10 || (sc_.osMajor == 10 && sc_.osBuild >= kBuildReinitializeMedia);
  if (!known || d.bus != kBusNvme || !d.nvme) return Failed(win::ERROR_INVALID_FUNCTION);
  const SanitizeSetup& s = d.nvme->sanitize;
  // Before 21H1 the input is not looked at; without one, the drive's answer decides.
  bool format = s.noInputRuns == NoInputRuns::Format;
  SanitizeAction action = SanitizeAction::Crypto;
  std::uint32_t timeout = 0;
  const bool takesInput = sc_.osMajor > 10 || sc_.osBuild >= kBuildSanitizeInput;
  if (takesInput && in && inSize > 0) {
    const std::span<const std::uint8_t> b(in, inSize);
    if (inSize < kInputSize || rec::U32(b, 0) != kInputSize || rec::U32(b, 4) != kInputSize)
      return Failed(win::ERROR_INVALID_PARAMETER);
    const std::uint32_t method = rec::U32(b, 12) & 0xF;  // Default and CryptoErase: crypto
    if (method > 2) return Failed(win::ERROR_INVALID_PARAMETER);
    format = false;
    action = method == 1 ? SanitizeAction::Block : SanitizeAction::Crypto;
    timeout = rec::U32(b, 8);
  }
  const bool offered = format ? (Fna(*d.nvme) & 4) != 0
                              : (Sanicap(*d.nvme) & (action == SanitizeAction::Block ? 2u : 1u)) != 0;
  if (s.fault == SanitizeFault::NotSupported || !offered) return Failed(win::ERROR_NOT_SUPPORTED);
  if (RunOf(d).running) return Failed(s.busyError);
  return format ? RunFormat(d) : RunSanitize(d, action, timeout);
}

IoctlResult SimPlatform::RunSanitize(const SimDrive& d, SanitizeAction action, std::uint32_t timeoutSeconds) {
  const SanitizeSetup& s = d.nvme->sanitize;
  Log("NvmeCommand", "PhysicalDrive" + std::to_string(d.number) + " Sanitize SANACT=" +
                         std::to_string(static_cast<int>(action)) +
                         (action == SanitizeAction::Block ? " (block erase)" : " (crypto erase)"));
  StartSanitize(RunOf(d), s, action, clock_.NowUs());
  SettleSanitize();  // one that takes no time has ended already
  if (!s.requestWaits) return {true, 0, 0};
  // The request returns when the sanitize ends; one that stalls, when the
  // request's timeout has passed (without one: twice the time it should take).
  const std::int64_t timeout = timeoutSeconds ? timeoutSeconds * kUsPerSecond : 2 * s.durationSeconds * kUsPerSecond;
  WaitForDevice(s.fault == SanitizeFault::Stuck ? timeout : RunLeftUs(RunOf(d), clock_.NowUs()));
  SettleSanitize();
  const SanitizeRun& run = RunOf(d);
  if (d.runtime.media.unplugged) return Failed(d.runtime.media.unplugError);
  if (run.running) return Failed(win::ERROR_SEM_TIMEOUT);
  if ((run.sstat & 7) == 3) return Failed(win::ERROR_IO_DEVICE);
  return {true, 0, 0};
}

IoctlResult SimPlatform::RunFormat(const SimDrive& d) {
  const SanitizeSetup& s = d.nvme->sanitize;
  const bool everyNamespace = (Fna(*d.nvme) & 3) != 0;  // format or secure erase applies to all
  Log("NvmeCommand", "PhysicalDrive" + std::to_string(d.number) + " Format NVM SES=2 (crypto erase) nsid=" +
                         (everyNamespace ? std::string("FFFFFFFF") : std::to_string(d.nvme->namespaceId)));
  // Format NVM is not a background operation: the request always waits for it.
  const bool stuck = s.fault == SanitizeFault::Stuck;
  WaitForDevice(stuck ? 2 * s.durationSeconds * kUsPerSecond : FormatUs(s));
  SettleSanitize();
  switch (s.fault) {
    case SanitizeFault::Stuck:
      return Failed(win::ERROR_SEM_TIMEOUT);
    case SanitizeFault::PowerLoss:
      PowerOffSubsystem(d);
      SettleSanitize();
      return Failed(win::ERROR_DEVICE_NOT_CONNECTED);
    case SanitizeFault::EndsFailed:
      return Failed(win::ERROR_IO_DEVICE);
    case SanitizeFault::Lies:
      return {true, 0, 0};
    case SanitizeFault::None:
    case SanitizeFault::NotSupported:
      break;
  }
  EraseNamespaces(d, SanitizeAction::None, everyNamespace, ++RunOf(d).erasures);
  return {true, 0, 0};
}

} // namespace trv::sim
