// The simulated PC's ATA firmware erase: the Security and Sanitize commands
// through IOCTL_ATA_PASS_THROUGH behind each Windows' storage driver, SECURITY
// ERASE UNIT on the PC's clock (cut off by its request's timeout or by a power
// loss), the sanitize that runs in the background, what the medium holds
// afterwards, and a power cycle. docs/scenario.md describes the scenario side.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "device/ata_commands.h"
#include "device/ata_pass_through_records.h"
#include "platform/records.h"
#include "platform/sim/drive_ioctl.h"
#include "platform/sim/sim_platform.h"
#include "platform/win_types.h"

namespace trv::sim {

namespace atacmd = device::atacmd;
namespace apt = device::apt;

using ioctl::Abort;
using ioctl::Ready;

namespace {

constexpr std::int64_t kUsPerSecond = 1'000'000;
constexpr std::uint8_t kBusAta = 3;

bool IsSecurity(std::uint8_t command) {
  return command >= atacmd::kSecuritySetPassword && command <= atacmd::kSecurityDisablePassword;
}

// Whether Windows is at least `major`.`minor`.
bool AtLeast(const Scenario& sc, std::uint32_t major, std::uint32_t minor) {
  return sc.osMajor > major || (sc.osMajor == major && sc.osMinor >= minor);
}

// N of "Service Pack N" in the version's CSD text; 0 without one.
std::uint32_t ServicePack(const std::u16string& csd) {
  constexpr std::u16string_view kPrefix = u"Service Pack ";
  if (csd.size() <= kPrefix.size() || std::u16string_view(csd).substr(0, kPrefix.size()) != kPrefix) return 0;
  std::uint32_t n = 0;
  for (std::size_t i = kPrefix.size(); i < csd.size() && csd[i] >= u'0' && csd[i] <= u'9' && n < 100; ++i)
    n = n * 10 + static_cast<std::uint32_t>(csd[i] - u'0');
  return n;
}

bool IsPePassword(const std::uint8_t* block) {
  AtaPasswordBytes pe{};
  std::memcpy(pe.data(), atacmd::kWindowsPePassword, sizeof atacmd::kWindowsPePassword - 1);
  return !(block[0] & atacmd::kPasswordMaster) &&
         std::memcmp(block + atacmd::kPasswordAt, pe.data(), atacmd::kPasswordBytes) == 0;
}

std::string DriveName(const SimDrive& d) { return "PhysicalDrive" + std::to_string(d.number); }

// SANITIZE DEVICE's error output: ABORT, ERR, the reason in LBA 7:0.
void SanitizeError(std::uint8_t* previous, std::uint8_t* current, std::uint8_t reason) {
  std::fill_n(previous, 5, std::uint8_t{0});
  std::fill_n(current + 1, 4, std::uint8_t{0});
  current[2] = reason;
  Abort(current);
}

// SANITIZE DEVICE's normal output: the state in COUNT 15:12, progress in LBA 15:0.
void SanitizeNormal(const AtaDriveState::Sanitize& s, std::uint8_t* previous, std::uint8_t* current) {
  std::uint16_t count = 0;
  if (s.state == SanitizeState::Succeeded) count |= atacmd::kSanitizeCompletedWithoutError;
  if (s.state == SanitizeState::InProgress) count |= atacmd::kSanitizeInProgress;
  if (s.state == SanitizeState::Frozen) count |= atacmd::kSanitizeFrozen;
  if (s.antifreeze) count |= atacmd::kSanitizeAntifreeze;
  const auto progress = s.state == SanitizeState::InProgress
                            ? static_cast<std::uint16_t>(std::min(65534.0, std::floor(s.progress * 65536)))
                            : std::uint16_t{0xFFFF};
  std::fill_n(previous, 5, std::uint8_t{0});
  std::fill_n(current + 1, 4, std::uint8_t{0});
  current[1] = static_cast<std::uint8_t>(count);
  previous[1] = static_cast<std::uint8_t>(count >> 8);
  current[2] = static_cast<std::uint8_t>(progress);
  current[3] = static_cast<std::uint8_t>(progress >> 8);
  Ready(current);
}

// New content for a crypto scramble or an enhanced erase, its own for each erase of each disk.
std::uint64_t EraseSeed(std::int64_t erasure, std::uint32_t drive) {
  return 0xA7A0'0000'0000'0000ull ^ (static_cast<std::uint64_t>(erasure) << 8) ^ drive;
}

// The first `fraction` of the medium, in whole sectors, reads zeros: an erase cut off.
void EraseFirstPart(const SimDrive& d, double fraction) {
  const std::int64_t sector = d.bytesPerSector ? d.bytesPerSector : 512;
  const auto end = static_cast<std::int64_t>(fraction * static_cast<double>(d.lengthBytes / sector)) * sector;
  if (end <= 0) return;
  d.runtime.media.changed.Add(0, end);
  d.runtime.media.zero.Add(0, end);
  d.runtime.media.overwritten.Remove(0, end);
}

} // namespace

bool SimPlatform::AtaDriverFreezes() const { return AtLeast(sc_, 6, 1) && !sc_.windowsPe; }

std::optional<std::uint32_t> SimPlatform::AtaDriverRefusal(const SimDrive& d, std::uint8_t command,
                                                          const std::uint8_t* block) const {
  const bool security = IsSecurity(command), sanitize = command == atacmd::kSanitizeDevice;
  if (!security && !sanitize) return std::nullopt;
  // Before XP SP2 (and Server 2003 SP1) the port drivers know no ATA pass-through.
  const std::uint32_t sp = ServicePack(sc_.csd);
  if (!AtLeast(sc_, 5, 1) || (sc_.osMajor == 5 && sc_.osMinor == 1 && sp < 2) ||
      (sc_.osMajor == 5 && sc_.osMinor == 2 && sp < 1))
    return win::ERROR_INVALID_FUNCTION;
  bool blocked = false;
  if (sc_.windowsPe && AtLeast(sc_, 6, 1)) {
    // Windows PE: sanitize passes; of the security group, the commands with a
    // password only with its own user password (8 and later), none in IDE mode.
    const bool withPassword = command != atacmd::kSecurityErasePrepare && command != atacmd::kSecurityFreezeLock;
    if (security && d.bus == kBusAta) blocked = true;
    else if (security && withPassword) blocked = !AtLeast(sc_, 6, 2) || !block || !IsPePassword(block);
  } else if (AtLeast(sc_, 6, 2)) {
    blocked = true;
  } else if (AtLeast(sc_, 6, 1)) {
    blocked = security || !sc_.win7SanitizePasses;
  }
  const auto& refuses = d.ata->driverRefuses;
  if (blocked || std::find(refuses.begin(), refuses.end(), command) != refuses.end()) return sc_.ataFilterError;
  return std::nullopt;
}

std::optional<std::uint32_t> SimPlatform::AtaMediaError(const SimDrive& d) {
  if (!d.runtime.ata) return std::nullopt;
  AtaDriveState& st = *d.runtime.ata;
  if (st.security) st.security->prepared = false;  // a command between PREPARE and ERASE UNIT
  if (st.sanitize && st.sanitize->state == SanitizeState::InProgress) return win::ERROR_NOT_READY;
  if (st.security && st.security->locked) return win::ERROR_IO_DEVICE;
  return std::nullopt;
}

void SimPlatform::LogSecurity(const SimDrive& d, const AtaDriveState::Security& before, const std::string& why) {
  const AtaDriveState::Security& now = *AtaStateOf(d).security;
  const bool expired = now.countExpired && !before.countExpired;
  if (SecurityCode(before) == SecurityCode(now) && !expired) return;
  Log("AtaSecurity", DriveName(d) + " " + SecurityCode(before) + " -> " + SecurityCode(now) + " (" + why +
                         (expired ? ", count expired" : "") + ")");
}

void SimPlatform::LogSanitize(const SimDrive& d, SanitizeState before, const std::string& why) {
  const SanitizeState now = AtaStateOf(d).sanitize->state;
  if (before == now) return;
  Log("AtaSanitize", DriveName(d) + " " + SanitizeCode(before) + " -> " + SanitizeCode(now) + (why.empty() ? "" : " (" + why + ")"));
}

void SimPlatform::AtaPowerOn(SimDrive& d, bool first) {
  if (!d.ata || (!d.ata->security && !d.ata->sanitize)) return;
  const std::optional<AtaDriveState> before = first ? std::nullopt : d.runtime.ata;
  d.runtime.ata = PowerOnState(d.ata->security, d.ata->sanitize, before ? &*before : nullptr);
  AtaDriveState& st = *d.runtime.ata;
  if (first && st.sanitize) st.sanitize->startUs = clock_.NowUs();  // one in progress goes on from here
  // Windows 7 and later freeze the drive at the start of its driver.
  if (st.security && AtaDriverFreezes() && !st.security->locked && !st.security->frozen) {
    const AtaDriveState::Security was = *st.security;
    st.security->frozen = true;
    LogSecurity(d, was, "the driver's FREEZE LOCK");
  }
}

void SimPlatform::SettleAtaSanitize() {
  const std::int64_t now = clock_.NowUs();
  for (SimDrive& d : sc_.drives) {
    if (!d.ata || !d.ata->sanitize || !d.runtime.ata || !d.runtime.ata->sanitize) continue;
    AtaDriveState::Sanitize& s = *d.runtime.ata->sanitize;
    const SanitizeState before = s.state;
    const SanitizeEnd end = AdvanceAtaSanitize(s, *d.ata->sanitize, now);
    if (end == SanitizeEnd::None) continue;
    if (end == SanitizeEnd::Erased) {
      MediaBase base{MediaBase::Kind::Fill, 0, 0};
      if (s.op == AtaSanitizeOp::Crypto) base = {MediaBase::Kind::Random, EraseSeed(s.erasures, d.number), 0};
      if (s.op == AtaSanitizeOp::Overwrite) base.fill = static_cast<std::uint8_t>(s.pattern);  // its low byte, one pass
      MediaErase(d.runtime.media, d.lengthBytes, base);
    }
    LogSanitize(d, before, end == SanitizeEnd::NothingErased ? "nothing erased" : "");
  }
}

void SimPlatform::PowerCycle() {
  Log("PowerCycle", "every drive off and on again; a new boot");
  for (SimDrive& d : sc_.drives) {
    d.runtime.media.unplugged = false;
    d.runtime.media.unplugError = 0;
    AtaPowerOn(d, false);
  }
  // An NVMe sanitize the power loss stopped goes on to its end.
  for (auto& [key, run] : sanitizeRuns_) {
    if (!run.poweredOff) continue;
    run.poweredOff = false;
    run.setup.fault = SanitizeFault::None;
    run.startProgress = run.sprog / 65536.0;
    run.startUs = clock_.NowUs();
  }
  bootUs_ = clock_.NowUs();
  SettleSanitize();
}

std::optional<IoctlResult> SimPlatform::AtaPassThrough(const SimDrive& d, std::uint32_t access,
                                                       const std::vector<std::uint8_t>& in, std::uint8_t* out,
                                                       std::uint32_t outSize) {
  const ioctl::Request r{apt::IOCTL_ATA_PASS_THROUGH, in, std::span<std::uint8_t>(out, out ? outSize : 0)};
  ioctl::AptRecord record;
  if (ioctl::CheckAptRecord(d, r, record)) return std::nullopt;  // refused as before
  const std::uint8_t command = in[record.current + 6];
  if (command != atacmd::kIdentifyDevice && !IsSecurity(command) && command != atacmd::kSanitizeDevice) {
    if (d.runtime.ata && d.runtime.ata->security) d.runtime.ata->security->prepared = false;  // a command between
    return std::nullopt;
  }
  // The I/O manager's access check: the code asks for reading and writing.
  if ((access & (win::GENERIC_READ | win::GENERIC_WRITE)) != (win::GENERIC_READ | win::GENERIC_WRITE))
    return IoctlResult{false, win::ERROR_ACCESS_DENIED, 0};
  if (record.timeoutSeconds == 0 || record.timeoutSeconds > atacmd::kLongestTimeoutSeconds)
    return IoctlResult{false, win::ERROR_INVALID_PARAMETER, 0};
  const std::uint8_t* block = ioctl::AptDataOut(r, record);
  if (auto refused = AtaDriverRefusal(d, command, block)) return IoctlResult{false, *refused, 0};

  std::vector<std::uint8_t> a(in);
  std::uint8_t* previous = a.data() + record.previous;
  std::uint8_t* current = a.data() + record.current;
  const auto answer = [&](std::uint32_t moved, bool dataIn) {
    // A driver that does not hand the registers back: the task files as they were sent.
    if (d.ata->hidden.nativeAnswer == SimHidden::NativeAnswer::NoRegisters)
      std::copy_n(in.begin() + static_cast<std::ptrdiff_t>(record.previous), 16,
                  a.begin() + static_cast<std::ptrdiff_t>(record.previous));
    return ioctl::AptAnswer(r, record, std::move(a), moved, dataIn);
  };
  AtaDriveState& st = AtaStateOf(d);
  const bool sanitizing = st.sanitize && st.sanitize->state == SanitizeState::InProgress;
  std::uint32_t moved = 0;
  if (command == atacmd::kIdentifyDevice) {
    if (st.security) st.security->prepared = false;
    if (!d.ata->identify || !(record.flags & apt::ATA_FLAGS_DATA_IN) || record.transfer < 512 ||
        ++d.runtime.identifyCommands <= d.ata->identifyFailures) {
      Abort(current);
    } else {
      const Block512 id = ioctl::LiveIdentify(d);
      std::copy(id.begin(), id.end(), a.begin() + static_cast<std::ptrdiff_t>(record.dataOffset));
      moved = 512;
      Ready(current);
    }
    return answer(moved, true);
  }
  if (IsSecurity(command)) {
    if (!st.security || !d.ata->security || sanitizing) {
      if (st.security) st.security->prepared = false;
      Abort(current);
    } else if (command == atacmd::kSecurityEraseUnit) {
      const AtaDriveState::Security before = *st.security;
      if (!SecurityCommand(*st.security, *d.ata->security, command, block)) {
        LogSecurity(d, before, "erase unit refused");
        Abort(current);
      } else {
        const IoctlResult erase = SecurityEraseUnit(d, record.timeoutSeconds, block);
        if (!erase.ok) return erase;
        Ready(current);
        moved = 512;
      }
    } else {
      const AtaDriveState::Security before = *st.security;
      const bool done = SecurityCommand(*st.security, *d.ata->security, command, block);
      static const char* const kWhy[] = {"set password", "unlock", "erase prepare", "erase unit", "freeze lock",
                                         "disable password"};
      LogSecurity(d, before, kWhy[command - atacmd::kSecuritySetPassword]);
      if (done) Ready(current);
      else Abort(current);
      moved = done && block ? 512 : 0;
    }
    return answer(moved, false);
  }
  // SANITIZE DEVICE: a 48-bit command, its high-order registers in the previous task file.
  if (st.security) st.security->prepared = false;
  const bool ext = (record.flags & apt::ATA_FLAGS_48BIT_COMMAND) != 0;
  const auto high = [&](std::size_t i) { return ext ? previous[i] : std::uint8_t{0}; };
  const auto feature = static_cast<std::uint16_t>(current[0] | high(0) << 8);
  const auto count = static_cast<std::uint16_t>(current[1] | high(1) << 8);
  std::uint64_t lba = 0;
  for (std::size_t i = 3; i-- > 0;) lba = lba << 8 | high(2 + i);
  for (std::size_t i = 3; i-- > 0;) lba = lba << 8 | current[2 + i];
  if (!st.sanitize || !d.ata->sanitize) {
    Abort(current);
  } else if (st.security && st.security->locked && feature != atacmd::kSanitizeStatusExt) {
    SanitizeError(previous, current, atacmd::kReasonUnknown);  // a locked drive takes no sanitize
  } else {
    AtaDriveState::Sanitize& s = *st.sanitize;
    const SanitizeState before = s.state;
    if (feature == atacmd::kSanitizeStatusExt) {
      if (s.state == SanitizeState::Failed && (count & atacmd::kSanitizeClearFailure) && s.failureMode) {
        s.state = SanitizeState::Idle;
        s.reason = 0;
      }
      if (s.state == SanitizeState::Failed) SanitizeError(previous, current, s.reason);
      else SanitizeNormal(s, previous, current);
      LogSanitize(d, before, "status ext, clear");
    } else if (auto reason = SanitizeCommand(s, *d.ata->sanitize, feature, lba, count, clock_.NowUs())) {
      SanitizeError(previous, current, *reason);
    } else {
      SanitizeNormal(s, previous, current);
      LogSanitize(d, before, ioctl::SanitizeName(feature));
      SettleAtaSanitize();  // one that takes no time has ended already
    }
  }
  return answer(0, false);
}

IoctlResult SimPlatform::SecurityEraseUnit(const SimDrive& d, std::uint32_t timeoutSeconds, const std::uint8_t* block) {
  const AtaSecuritySetup setup = *d.ata->security;  // a copy: the window answers while the drive erases
  const AtaDriveState::Security before = *AtaStateOf(d).security;
  const bool enhanced = (block[0] & atacmd::kPasswordEnhanced) != 0;
  const std::int64_t eraseUs = setup.eraseSeconds * kUsPerSecond;
  const bool powerLoss = setup.fault == AtaSecuritySetup::Fault::PowerLoss;
  const auto cutUs = powerLoss ? static_cast<std::int64_t>(std::ceil(setup.cutAt * static_cast<double>(eraseUs))) : eraseUs;
  const std::int64_t timeoutUs = std::int64_t{timeoutSeconds} * kUsPerSecond;
  const bool timedOut = timeoutUs < cutUs;
  Log("AtaSecurityErase", DriveName(d) + (enhanced ? " enhanced" : " normal") + " erase for " +
                              std::to_string(setup.eraseSeconds) + " s, request timeout " +
                              std::to_string(timeoutSeconds) + " s");
  WaitForDevice(timedOut ? timeoutUs : cutUs);
  if (!d.ata || !AtaStateOf(d).security) return {false, win::ERROR_DEVICE_NOT_CONNECTED, 0};  // another disk took its place
  AtaDriveState::Security& s = *AtaStateOf(d).security;
  if (timedOut) {
    // The port gives up and resets the drive: the erase is abandoned where it
    // got to, and the password it was sent with stays, so the drive is locked.
    EraseFirstPart(d, eraseUs ? static_cast<double>(timeoutUs) / static_cast<double>(eraseUs) : 1.0);
    s.locked = true;
    s.frozen = false;
    LogSecurity(d, before, "erase unit cut off by the request's timeout; the port reset the drive");
    return {false, win::ERROR_SEM_TIMEOUT, 0};
  }
  if (powerLoss) {
    EraseFirstPart(d, setup.cutAt);
    d.runtime.media.unplugged = true;
    d.runtime.media.unplugError = win::ERROR_DEVICE_NOT_CONNECTED;
    s.locked = true;  // the next power-on finds the password set
    Log("AtaPowerLost", DriveName(d) + " lost power mid-erase");
    return {false, win::ERROR_DEVICE_NOT_CONNECTED, 0};
  }
  if (setup.fault != AtaSecuritySetup::Fault::Lies) {
    const MediaBase base = enhanced && setup.enhancedRandom
                               ? MediaBase{MediaBase::Kind::Random, EraseSeed(d.runtime.media.erasures + 1, d.number), 0}
                               : MediaBase{MediaBase::Kind::Fill, 0, 0};
    MediaErase(d.runtime.media, d.lengthBytes, base);
  }
  s.passwordSet = s.locked = s.levelMaximum = false;
  s.user = {};
  LogSecurity(d, before, setup.fault == AtaSecuritySetup::Fault::Lies ? "erase unit, nothing erased" : "erase unit");
  return {true, 0, 0};
}

} // namespace trv::sim
