#include "format/purge_plan.h"

#include <algorithm>

#include "device/identify.h"
#include "device/nvme_parse.h"
#include "format/volume_lock.h"
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

constexpr std::int64_t kUsbBus = 7;

PurgePlan Refused(PurgePlan plan, const char* code, const char16_t* text) {
  plan.method = PurgeMethod::None;
  plan.refusal = {code, text};
  return plan;
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

// "90 seconds", "2 minutes", "3 hours": the unit that keeps the number readable.
std::u16string DurationText(std::uint32_t seconds) {
  auto counted = [](std::uint64_t n, const char16_t* one, const char16_t* many) {
    return DecimalText(n) + (n == 1 ? one : many);
  };
  if (seconds < 120) return counted(seconds, u" second", u" seconds");
  if (seconds < 2 * 3600) return counted((std::uint64_t{seconds} + 30) / 60, u" minute", u" minutes");
  return counted((std::uint64_t{seconds} + 1800) / 3600, u" hour", u" hours");
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
  if (!facts.Nvme()) return facts;  // refused on its bus alone: nothing NVMe is asked of it
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
  // Behind a USB bridge the drive's kind is unknown; the connection is the reason that holds.
  if (!facts.Nvme() && facts.busType != kUsbBus)
    return Refused(plan, kPurgeNotNvme, u"only NVMe disks can be purged by this version");
  if (facts.busType == kUsbBus) return Refused(plan, kPurgeUsb, u"connected through USB");
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
