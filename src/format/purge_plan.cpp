#include "format/purge_plan.h"

#include <algorithm>
#include <array>
#include <utility>

#include "device/ata_security.h"
#include "device/identify.h"
#include "device/storage_records.h"
#include "device/nvme_parse.h"
#include "format/volume_lock.h"
#include "platform/records.h"
#include "platform/text.h"

namespace trv::format {

namespace {

// The request's timeout from the drive's estimate, with room to spare: a drive
// that runs a little over its own estimate must not have its request fail
// while the sanitize goes on. Twice the estimate and half an hour more; none
// (the driver's own) where the drive gives no estimate.
std::uint32_t TimeoutFor(const std::optional<std::uint32_t>& estimate) {
  if (!estimate) return 0;
  const std::uint64_t seconds = 2ull * *estimate + 1800;
  return seconds > 0xFFFFFFFEull ? 0xFFFFFFFEu : static_cast<std::uint32_t>(seconds);
}

PurgePlan Refused(PurgePlan plan, Refusal refusal) {
  plan.method = PurgeMethod::None;
  plan.refusal = std::move(refusal);
  return plan;
}

PurgePlan Refused(PurgePlan plan, const char* code, const char16_t* text) {
  return Refused(std::move(plan), Refusal{code, text});
}

// The erase's own judgement: a volume Windows runs from lies on the disk.
bool IsSystemDisk(win::Platform& platform, std::uint32_t deviceNumber) {
  const std::vector<Refusal> refusals = VolumesOfDisk(platform, SurveyVolumes(platform), deviceNumber).refusals;
  return std::any_of(refusals.begin(), refusals.end(), [](const Refusal& r) { return r.code == kSystemDisk; });
}

// The method a capable disk gets on this build for this choice; None with the refusal where none fits.
PurgePlan ChooseMethod(PurgePlan plan, const device::EraseFeatures& f, std::uint32_t build, PurgeChoice choice) {
  const bool formatCrypto = f.cryptoEraseOnFormat;  // FNA bit 2
  if (build < device::kBuildSanitizeInput) {
    // Before 21H1 the request takes no input: the driver sends Format NVM with a crypto erase.
    if (choice == PurgeChoice::Block)
      return Refused(plan, kPurgeBlockNeeds21H1, u"block erase needs Windows 10 21H1 or later");
    if (formatCrypto || f.sanitizeCrypto) plan.method = PurgeMethod::NvmeFormatCrypto;
    else return Refused(plan, kPurgeNotOffered, u"the disk offers no sanitize or crypto format");
    return plan;
  }
  switch (choice) {
    case PurgeChoice::Best:
      if (f.sanitizeCrypto) plan.method = PurgeMethod::NvmeSanitizeCrypto;
      else if (f.sanitizeBlock) plan.method = PurgeMethod::NvmeSanitizeBlock;
      else if (formatCrypto) plan.method = PurgeMethod::NvmeFormatCrypto;
      else return Refused(plan, kPurgeNotOffered, u"the disk offers no sanitize or crypto format");
      break;
    case PurgeChoice::Crypto:
      if (f.sanitizeCrypto) plan.method = PurgeMethod::NvmeSanitizeCrypto;
      else if (formatCrypto) plan.method = PurgeMethod::NvmeFormatCrypto;
      else return Refused(plan, kPurgeCryptoNotOffered, u"the disk offers no crypto erase");
      break;
    case PurgeChoice::Block:
      if (f.sanitizeBlock) plan.method = PurgeMethod::NvmeSanitizeBlock;
      else return Refused(plan, kPurgeBlockNotOffered, u"the disk offers no block erase");
      break;
    case PurgeChoice::Overwrite:
      return Refused(plan, kPurgeOverwriteNotOffered, u"the disk offers no overwrite that Windows passes on");
    case PurgeChoice::SecureErase:
    case PurgeChoice::EnhancedSecureErase:
      return Refused(plan, kPurgeSecurityEraseNotOffered, u"an NVMe disk has no ATA security erase");
  }
  return plan;
}

// --- ATA and SATA disks -----------------------------------------------------------

// The saved password this program may still send: one the drive has not refused.
bool MayUseSavedPassword(const PurgeFacts& facts) { return facts.savedPassword && !facts.savedPassword->refused; }

// Why one method cannot run on this disk and this Windows. `circumstance`: the
// reason lies in the drive's state or the system, not in what the drive offers;
// it is the more useful thing to say when nothing runs.
struct Obstacle {
  Refusal refusal;
  bool circumstance = false;
};

// Windows XP SP2 (5.1 SP2), Server 2003 SP1 (5.2 SP1) and later pass ATA commands on.
bool PassesAtaCommands(const device::WindowsVersion& w) {
  if (!w.known || w.major < 5) return false;
  if (w.major > 5) return true;
  if (w.minor == 0) return false;
  if (w.minor == 1) return w.servicePack >= 2;
  return w.servicePack >= 1;
}

// XP SP2 to Vista: no filter in the storage drivers (the caller checked XP's service pack).
bool BeforeWindows7(const device::WindowsVersion& w) { return w.major == 5 || (w.major == 6 && w.minor == 0); }

std::optional<Obstacle> SanitizeObstacle(const PurgeFacts& facts, const device::EraseFeatures& f,
                                         PurgeMethod method) {
  if (method == PurgeMethod::AtaSanitizeCrypto && !f.cryptoScramble)
    return Obstacle{{kPurgeCryptoNotOffered, u"the disk offers no crypto scramble"}};
  if (method == PurgeMethod::AtaSanitizeBlock && !f.blockErase)
    return Obstacle{{kPurgeBlockNotOffered, u"the disk offers no block erase"}};
  if (method == PurgeMethod::AtaSanitizeOverwrite && !f.overwrite)
    return Obstacle{{kPurgeOverwriteNotOffered, u"the disk offers no overwrite"}};
  if (f.locked)  // SEC4 aborts every sanitize command
    return Obstacle{{kPurgeLocked, u"the disk is locked with a password: no sanitize runs until it is unlocked"}, true};
  if (facts.ataSanitize && facts.ataSanitize->state == device::AtaSanitizeStatus::State::Frozen)
    return Obstacle{{kPurgeSanitizeFrozen,
                     u"the disk's sanitize commands are frozen until it is powered off and on"},
                    true};
  return std::nullopt;
}

std::optional<Obstacle> SecurityEraseObstacle(const PurgeFacts& facts, const device::EraseFeatures& f,
                                              bool enhanced) {
  if (!f.securitySupported)
    return Obstacle{{kPurgeSecurityEraseNotOffered, u"the disk has no ATA security feature set"}};
  if (!facts.windowsPe && !BeforeWindows7(facts.windows))
    return Obstacle{{kPurgeSecurityEraseNotHere,
                     u"Windows 7 and later let a security erase through only in Windows PE"},
                    true};
  if (facts.windowsPe && facts.busType == device::kAtaBus)
    return Obstacle{{kPurgeIdeMode, u"Windows PE lets no security erase through while the disk controller is in "
                                    u"IDE mode: set it to AHCI in the firmware setup"},
                    true};
  if (f.frozen)
    return Obstacle{{kPurgeFrozen, std::u16string(u"the disk's security commands are frozen: ") + kFrozenHelp}, true};
  if (f.countExpired)
    return Obstacle{{kPurgeCountExpired,
                     u"the disk takes no password until it is powered off and on (too many wrong ones)"},
                    true};
  if (f.locked && !MayUseSavedPassword(facts))
    return Obstacle{{kPurgeLocked, u"the disk is locked with a password this program does not hold"}, true};
  if (f.securityEnabled && !MayUseSavedPassword(facts))
    return Obstacle{{kPurgePasswordSet, u"the disk has a user password this program does not hold"}, true};
  if (enhanced && !f.enhancedEraseSupported)
    return Obstacle{{kPurgeEnhancedNotOffered, u"the disk offers no enhanced security erase"}};
  if (!device::SecurityEraseTimeout(enhanced ? f.enhancedEraseTime : f.normalEraseTime, facts.diskBytes))
    return Obstacle{{kPurgeEraseTooLong,
                     u"the drive's own estimate for the security erase is longer than the 30 hours a request may wait"},
                    true};
  return std::nullopt;
}

std::optional<Obstacle> AtaObstacle(const PurgeFacts& facts, const device::EraseFeatures& f, PurgeMethod method) {
  if (IsAtaSanitize(method)) return SanitizeObstacle(facts, f, method);
  return SecurityEraseObstacle(facts, f, method == PurgeMethod::AtaSecurityEraseEnhanced);
}

// The method's details once it is chosen.
PurgePlan AtaPlanFor(PurgePlan plan, const PurgeFacts& facts, const device::EraseFeatures& f, PurgeMethod method) {
  plan.method = method;
  if (!IsSecurityErase(method)) return plan;
  const device::EraseTime& time =
      method == PurgeMethod::AtaSecurityEraseEnhanced ? f.enhancedEraseTime : f.normalEraseTime;
  if (time.reported) plan.estimateSeconds = time.minutes * 60u;
  plan.timeoutSeconds = *device::SecurityEraseTimeout(time, facts.diskBytes);
  // A password set or the drive locked: this program's own, left by an erase cut off.
  plan.finishesErase = f.securityEnabled || f.locked;
  plan.pePassword = plan.finishesErase ? facts.savedPassword->pePassword : facts.windowsPe;
  return plan;
}

PurgeMethod MethodOf(PurgeChoice choice) {
  switch (choice) {
    case PurgeChoice::Crypto: return PurgeMethod::AtaSanitizeCrypto;
    case PurgeChoice::Block: return PurgeMethod::AtaSanitizeBlock;
    case PurgeChoice::Overwrite: return PurgeMethod::AtaSanitizeOverwrite;
    case PurgeChoice::SecureErase: return PurgeMethod::AtaSecurityErase;
    case PurgeChoice::EnhancedSecureErase: return PurgeMethod::AtaSecurityEraseEnhanced;
    case PurgeChoice::Best: break;
  }
  return PurgeMethod::None;
}

PurgePlan PlanAtaPurge(PurgePlan plan, const PurgeFacts& facts, PurgeChoice choice) {
  if (!PassesAtaCommands(facts.windows))
    return Refused(plan, kPurgeWindowsTooOld,
                   u"needs Windows XP SP2, Server 2003 SP1 or later to pass ATA commands to the disk");
  if (facts.systemDisk) return Refused(plan, kPurgeSystemDisk, u"the system disk");
  if (!facts.ataIdentify) return Refused(plan, kPurgeIdentifyUnread, u"the disk's identify data could not be read");
  if (facts.ataSanitize && facts.ataSanitize->state == device::AtaSanitizeStatus::State::InProgress)
    return Refused(plan, kPurgeSanitizeInProgress, u"a sanitize is already in progress on this disk");
  const device::EraseFeatures f = device::AtaEraseFeatures(*facts.ataIdentify);
  plan.rotational = rec::U16(*facts.ataIdentify, 2 * 217) != 1;

  if (choice != PurgeChoice::Best) {
    const PurgeMethod method = MethodOf(choice);
    if (auto obstacle = AtaObstacle(facts, f, method)) return Refused(plan, obstacle->refusal);
    return AtaPlanFor(plan, facts, f, method);
  }
  // The best the disk offers: a sanitize before a security erase; an overwrite
  // only on a hard disk, where it is no worse for the medium. A disk left with
  // this program's password by an erase cut off has that erase finished.
  const bool finish = (f.locked || f.securityEnabled) && MayUseSavedPassword(facts);
  std::optional<Refusal> why;
  for (PurgeMethod method : {PurgeMethod::AtaSanitizeCrypto, PurgeMethod::AtaSanitizeBlock,
                             PurgeMethod::AtaSanitizeOverwrite, PurgeMethod::AtaSecurityEraseEnhanced,
                             PurgeMethod::AtaSecurityErase}) {
    if (method == PurgeMethod::AtaSanitizeOverwrite && !plan.rotational) continue;
    if (finish && IsAtaSanitize(method)) continue;
    const auto obstacle = AtaObstacle(facts, f, method);
    if (!obstacle) return AtaPlanFor(plan, facts, f, method);
    if (obstacle->circumstance && !why) why = obstacle->refusal;
  }
  return Refused(plan, why ? *why : Refusal{kPurgeNotOffered, u"the disk offers no sanitize or security erase"});
}

// "90 seconds", "2 minutes", "3 hours": the unit that keeps the number readable.
std::u16string DurationText(std::uint32_t seconds) {
  auto counted = [](std::uint64_t n, const char16_t* one, const char16_t* many) {
    return DecimalText(n) + (n == 1 ? one : many);
  };
  if (seconds < 120) return counted(seconds, u" second", u" seconds");
  if (seconds < 2 * 3600) return counted((std::uint64_t{seconds} + 30) / 60, u" minute", u" minutes");
  return counted((std::uint64_t{seconds} + 1800) / 3600, u" hour", u" hours");
}

// IOCTL_DISK_GET_LENGTH_INFO: the disk's size in bytes; 0 when it does not answer.
std::int64_t DiskBytes(win::Platform& platform, win::Handle handle) {
  std::array<std::uint8_t, 8> length{};
  std::uint32_t returned = 0;
  if (!platform.DeviceIoControl(handle, device::storage::IOCTL_DISK_GET_LENGTH_INFO, nullptr, 0, length.data(),
                                static_cast<std::uint32_t>(length.size()), &returned) ||
      returned < length.size())
    return 0;
  return std::max<std::int64_t>(rec::I64(length, device::storage::kLengthInfoLength), 0);
}

// An ATA or SATA disk: IDENTIFY DEVICE and SANITIZE STATUS EXT through the
// pass-through (the status only where word 59 says the drive has Sanitize).
PurgeFacts GatherAtaFacts(win::Platform& platform, win::Handle handle, PurgeFacts facts) {
  device::AtaBlock identify{};
  if (device::ReadIdentifyPassThrough(platform, handle, identify)) {
    facts.ataIdentify = identify;
    facts.features = device::AtaEraseFeatures(identify);
    if (facts.features->sanitizeSupported) facts.ataSanitize = device::ReadAtaSanitizeStatus(platform, handle, false);
  }
  facts.windowsPe = device::IsWindowsPe(platform);
  facts.diskBytes = DiskBytes(platform, handle);
  facts.systemDisk = IsSystemDisk(platform, facts.deviceNumber);
  return facts;
}

} // namespace

PurgeFacts GatherPurgeFacts(win::Platform& platform, win::Handle handle, std::uint32_t deviceNumber) {
  return GatherPurgeFacts(platform, handle, deviceNumber, device::StorageBusType(platform, handle));
}

PurgeFacts GatherPurgeFacts(win::Platform& platform, win::Handle handle, std::uint32_t deviceNumber,
                            std::int64_t busType) {
  PurgeFacts facts;
  facts.deviceNumber = deviceNumber;
  facts.busType = busType;
  facts.windows = device::TrueWindowsVersion(platform);
  if (facts.Ata()) return GatherAtaFacts(platform, handle, std::move(facts));
  if (!facts.Nvme()) return facts;  // refused on its bus alone: nothing is asked of it
  device::NvmeIdentifyBlock controller{};
  if (device::ReadNvmeIdentifyController(platform, handle, controller)) {
    facts.features = device::NvmeEraseFeatures(controller);
    facts.namespaceCount = device::ParseNvmeController(controller).namespaceCount;
  }
  device::SanitizeStatus status;
  if (device::ReadNvmeSanitizeStatus(platform, handle, status)) facts.status = status;
  facts.systemDisk = IsSystemDisk(platform, deviceNumber);
  return facts;
}

PurgePlan PlanPurge(const PurgeFacts& facts, PurgeChoice choice) {
  PurgePlan plan;
  plan.windowsBuild = facts.windows.build;
  plan.namespaceCount = facts.namespaceCount;
  // Behind a USB bridge or a RAID controller the drive's kind is unknown and
  // its commands are not passed on as sent: the connection is the reason that holds.
  if (facts.busType == device::kUsbBus) return Refused(plan, kPurgeUsb, u"connected through USB");
  if (facts.busType == device::kRaidBus)
    return Refused(plan, kPurgeRaid, u"behind a RAID controller, which passes no erase command to its disks");
  if (facts.Ata()) return PlanAtaPurge(plan, facts, choice);
  if (!facts.Nvme())
    return Refused(plan, kPurgeBus, u"only disks on an ATA, SATA or NVMe connection can be purged");
  const device::WindowsVersion& w = facts.windows;
  if (!w.known || w.major < 10 || w.build < device::kBuildReinitializeMedia)
    return Refused(plan, kPurgeWindowsTooOld, u"needs Windows 10 1607 or later");
  if (facts.systemDisk) return Refused(plan, kPurgeSystemDisk, u"the system disk");
  // A drive busy sanitizing answers its log and little else: the sanitize is the
  // reason, and also why its capabilities may not have been read.
  if (facts.status && facts.status->StateOf() == device::SanitizeStatus::State::InProgress)
    return Refused(plan, kPurgeSanitizeInProgress, u"a sanitize is already in progress on this disk");
  if (!facts.features) return Refused(plan, kPurgeCapabilitiesUnread, u"the disk's capabilities could not be read");

  plan = ChooseMethod(plan, *facts.features, w.build, choice);
  switch (plan.method) {
    case PurgeMethod::NvmeSanitizeCrypto:
    case PurgeMethod::NvmeSanitizeBlock: {
      const bool crypto = plan.method == PurgeMethod::NvmeSanitizeCrypto;
      plan.sanitizeInput = true;
      plan.sanitizeMethod = crypto ? device::SanitizeMethod::CryptoErase : device::SanitizeMethod::BlockErase;
      plan.allNamespaces = true;  // a sanitize reaches the whole NVM subsystem
      if (facts.status) {
        const std::uint32_t time = crypto ? facts.status->cryptoEraseTime : facts.status->blockEraseTime;
        if (time != device::kNoEstimate) plan.estimateSeconds = time;
      }
      plan.timeoutSeconds = TimeoutFor(plan.estimateSeconds);
      break;
    }
    case PurgeMethod::NvmeFormatCrypto:
      // FNA bit 0 (format) or bit 1 (secure erase): every namespace goes with this one.
      plan.allNamespaces = (facts.features->fna & 0x3u) != 0;
      break;
    case PurgeMethod::AtaSanitizeCrypto:
    case PurgeMethod::AtaSanitizeBlock:
    case PurgeMethod::AtaSanitizeOverwrite:
    case PurgeMethod::AtaSecurityEraseEnhanced:
    case PurgeMethod::AtaSecurityErase:
    case PurgeMethod::None: break;
  }
  return plan;
}

std::optional<Refusal> ZeroFillRefusal(const std::optional<device::SanitizeStatus>& status) {
  if (!status) return std::nullopt;
  switch (status->StateOf()) {
    case device::SanitizeStatus::State::InProgress:
      return Refusal{kSanitizeInProgress,
                     u"a sanitize is in progress on this disk: it must end before the disk can be written"};
    case device::SanitizeStatus::State::Failed:
      return Refusal{kSanitizeFailed, u"the disk's last sanitize failed: purge it again before writing to it"};
    default: return std::nullopt;
  }
}

std::optional<Refusal> ZeroFillRefusal(const std::optional<device::AtaSanitizeStatus>& status) {
  if (!status) return std::nullopt;
  device::SanitizeStatus state;  // the same words as for an NVMe disk's log
  if (status->state == device::AtaSanitizeStatus::State::InProgress) state.sstat = 2;
  else if (status->state == device::AtaSanitizeStatus::State::Failed) state.sstat = 3;
  else return std::nullopt;
  return ZeroFillRefusal(std::optional<device::SanitizeStatus>(state));
}

std::optional<Refusal> ZeroFillRefusal(const PurgeFacts& facts) {
  return facts.Ata() ? ZeroFillRefusal(facts.ataSanitize) : ZeroFillRefusal(facts.status);
}

bool IsAtaSanitize(PurgeMethod method) {
  return method == PurgeMethod::AtaSanitizeCrypto || method == PurgeMethod::AtaSanitizeBlock ||
         method == PurgeMethod::AtaSanitizeOverwrite;
}

bool IsSecurityErase(PurgeMethod method) {
  return method == PurgeMethod::AtaSecurityErase || method == PurgeMethod::AtaSecurityEraseEnhanced;
}

bool IsAtaMethod(PurgeMethod method) { return IsAtaSanitize(method) || IsSecurityErase(method); }

std::u16string PurgeMethodText(PurgeMethod method) {
  switch (method) {
    case PurgeMethod::NvmeSanitizeCrypto: return u"Sanitize, crypto erase";
    case PurgeMethod::NvmeSanitizeBlock: return u"Sanitize, block erase";
    case PurgeMethod::NvmeFormatCrypto: return u"Format NVM, crypto erase";
    case PurgeMethod::AtaSanitizeCrypto: return u"Sanitize, crypto scramble";
    case PurgeMethod::AtaSanitizeBlock: return u"Sanitize, block erase";
    case PurgeMethod::AtaSanitizeOverwrite: return u"Sanitize, overwrite (one pass of zeros)";
    case PurgeMethod::AtaSecurityEraseEnhanced: return u"Security erase, enhanced";
    case PurgeMethod::AtaSecurityErase: return u"Security erase";
    case PurgeMethod::None: break;
  }
  return u"none";
}

std::string PurgeMethodWord(PurgeMethod method) {
  switch (method) {
    case PurgeMethod::NvmeSanitizeCrypto: return "nvme-sanitize-crypto-erase";
    case PurgeMethod::NvmeSanitizeBlock: return "nvme-sanitize-block-erase";
    case PurgeMethod::NvmeFormatCrypto: return "nvme-format-crypto-erase";
    case PurgeMethod::AtaSanitizeCrypto: return "ata-sanitize-crypto-scramble";
    case PurgeMethod::AtaSanitizeBlock: return "ata-sanitize-block-erase";
    case PurgeMethod::AtaSanitizeOverwrite: return "ata-sanitize-overwrite";
    case PurgeMethod::AtaSecurityEraseEnhanced: return "ata-security-erase-enhanced";
    case PurgeMethod::AtaSecurityErase: return "ata-security-erase";
    case PurgeMethod::None: break;
  }
  return "none";
}

std::u16string PurgeScopeText(const PurgePlan& plan) {
  if (IsAtaMethod(plan.method)) return u"the whole disk";
  if (!plan.allNamespaces) return u"this namespace only";
  std::u16string text = u"every namespace of the controller";
  if (plan.namespaceCount > 0)
    text += u" (" + DecimalText(plan.namespaceCount) + (plan.namespaceCount == 1 ? u" namespace)" : u" namespaces)");
  return text;
}

std::u16string PurgeEstimateText(const PurgePlan& plan) {
  if (!plan.estimateSeconds) return u"the drive gives no estimate";
  return u"about " + DurationText(*plan.estimateSeconds) + u" (the drive's estimate)";
}

} // namespace trv::format
