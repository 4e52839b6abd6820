// Which firmware purge a disk gets on this Windows, or exactly why none: an
// NVMe disk's own capabilities (Identify Controller FNA, SANICAP, NN) and its
// Sanitize Status log; an ATA or SATA disk's IDENTIFY words (Security, Sanitize,
// estimates, rotation), SANITIZE STATUS EXT and this program's saved password;
// how it is attached, and the true Windows (build, service pack, Windows PE).
// Nothing here changes the disk.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "device/ata_sanitize.h"
#include "device/erase_features.h"
#include "device/identify.h"
#include "device/nvme_sanitize.h"
#include "device/windows_version.h"
#include "format/ata_password_file.h"
#include "format/refusal.h"
#include "platform/platform.h"

namespace trv::format {

// What the user asked for: the best the disk and Windows allow, or one method.
enum class PurgeChoice { Best, Crypto, Block, Overwrite, SecureErase, EnhancedSecureErase };

enum class PurgeMethod {
  None,
  NvmeSanitizeCrypto,  // REINITIALIZE_MEDIA with input, SanitizeMethod CryptoErase (21H1 and later)
  NvmeSanitizeBlock,   // REINITIALIZE_MEDIA with input, SanitizeMethod BlockErase (21H1 and later)
  NvmeFormatCrypto,    // REINITIALIZE_MEDIA without input: Format NVM, Secure Erase Settings 2 (1607 to 20H2)
  AtaSanitizeCrypto,   // SANITIZE DEVICE, CRYPTO SCRAMBLE EXT
  AtaSanitizeBlock,    // SANITIZE DEVICE, BLOCK ERASE EXT
  AtaSanitizeOverwrite,  // SANITIZE DEVICE, OVERWRITE EXT, one pass of zeros
  AtaSecurityEraseEnhanced,  // SECURITY ERASE UNIT, enhanced
  AtaSecurityErase,          // SECURITY ERASE UNIT, normal
};
bool IsAtaMethod(PurgeMethod method);
bool IsAtaSanitize(PurgeMethod method);
bool IsSecurityErase(PurgeMethod method);

// Everything the choice rests on, read before the confirmation.
struct PurgeFacts {
  std::uint32_t deviceNumber = 0;
  std::int64_t busType = 0;      // STORAGE_BUS_TYPE (17 NVMe, 7 USB)
  bool systemDisk = false;       // Windows runs from a volume on it: the erase's "system-disk" refusal
  device::WindowsVersion windows;
  std::optional<device::EraseFeatures> features;   // none: Identify Controller could not be read
  std::uint32_t namespaceCount = 0;                // Identify Controller NN (0: not read)
  std::optional<device::SanitizeStatus> status;    // none: log 81h could not be read
  // ATA and SATA disks (bus 3 or 11): IDENTIFY DEVICE through the pass-through
  // and SANITIZE STATUS EXT, each none when it could not be read.
  std::optional<device::AtaBlock> ataIdentify;
  std::optional<device::AtaSanitizeStatus> ataSanitize;
  bool windowsPe = false;
  std::int64_t diskBytes = 0;  // for the security erase's timeout
  // This program's saved password for this disk's serial (records folder),
  // filled by the erase command; with it a locked disk's erase is finished.
  std::optional<SavedPassword> savedPassword;
  bool Nvme() const { return busType == device::kNvmeBus; }
  bool Ata() const { return busType == device::kAtaBus || busType == device::kSataBus; }
};

struct PurgePlan {
  PurgeMethod method = PurgeMethod::None;  // None: see `refusal`
  Refusal refusal;                          // why nothing can run here (code and sentence), when None
  bool sanitizeInput = false;               // the request carries STORAGE_REINITIALIZE_MEDIA
  device::SanitizeMethod sanitizeMethod = device::SanitizeMethod::Default;
  std::uint32_t timeoutSeconds = 0;         // TimeoutInSeconds given (0: the driver's own)
  std::optional<std::uint32_t> estimateSeconds;  // the drive's own estimate, where it gives one
  bool allNamespaces = false;               // the method reaches every namespace of the controller
  std::uint32_t namespaceCount = 0;
  std::uint32_t windowsBuild = 0;
  // ATA: the security erase's password is Windows PE's fixed one (else random);
  // `finishesErase`: the disk is locked with this program's saved password, and
  // PREPARE + ERASE UNIT are sent with it (no SET PASSWORD).
  bool pePassword = false;
  bool finishesErase = false;
  bool rotational = true;  // word 217 says not a solid-state drive
  bool Runs() const { return method != PurgeMethod::None; }
};

// Reads the facts through a handle opened on \\.\PhysicalDriveN: identify,
// log 81h, bus, system disk, Windows build; on an ATA or SATA disk IDENTIFY
// DEVICE and SANITIZE STATUS EXT through the pass-through, Windows PE and the
// disk's size. Read access is enough for an NVMe disk; IOCTL_ATA_PASS_THROUGH
// needs a handle opened for reading and writing (else the identify is unread).
// Nothing NVMe is asked of an ATA disk, nothing ATA of an NVMe disk.
PurgeFacts GatherPurgeFacts(win::Platform& platform, win::Handle handle, std::uint32_t deviceNumber);
// The same with the bus type the scan already read (TIdentifyDeviceData::BusType).
PurgeFacts GatherPurgeFacts(win::Platform& platform, win::Handle handle, std::uint32_t deviceNumber,
                            std::int64_t busType);

PurgePlan PlanPurge(const PurgeFacts& facts, PurgeChoice choice);

// Why a zero fill may not write the disk: a sanitize in progress (the drive
// refuses writes until it ends) or one that failed (the drive stays in the
// failed state until a sanitize succeeds). None when the log says neither or
// could not be read.
std::optional<Refusal> ZeroFillRefusal(const std::optional<device::SanitizeStatus>& status);
// The same from an ATA disk's SANITIZE STATUS EXT.
std::optional<Refusal> ZeroFillRefusal(const std::optional<device::AtaSanitizeStatus>& status);
// The disk's own status: SANITIZE STATUS EXT on an ATA or SATA disk, else log 81h.
std::optional<Refusal> ZeroFillRefusal(const PurgeFacts& facts);

// The refusals' stable words (docs/cli.md and the window show their texts).
inline constexpr char kPurgeUsb[] = "purge-usb";
inline constexpr char kPurgeWindowsTooOld[] = "purge-windows-too-old";
inline constexpr char kPurgeSystemDisk[] = "purge-system-disk";
inline constexpr char kPurgeCapabilitiesUnread[] = "purge-capabilities-unread";
inline constexpr char kPurgeSanitizeInProgress[] = "purge-sanitize-in-progress";
inline constexpr char kPurgeNotOffered[] = "purge-not-offered";
inline constexpr char kPurgeBlockNeeds21H1[] = "purge-block-needs-21h1";
inline constexpr char kPurgeCryptoNotOffered[] = "purge-crypto-not-offered";
inline constexpr char kPurgeBlockNotOffered[] = "purge-block-not-offered";
inline constexpr char kSanitizeInProgress[] = "sanitize-in-progress";
inline constexpr char kSanitizeFailed[] = "sanitize-failed";
// ATA disks.
inline constexpr char kPurgeBus[] = "purge-bus";                        // neither ATA, SATA nor NVMe
// The word this was before ATA disks could be purged; kept for the callers that still name it.
inline constexpr const auto& kPurgeNotNvme = kPurgeBus;
inline constexpr char kPurgeRaid[] = "purge-raid";
inline constexpr char kPurgeIdentifyUnread[] = "purge-identify-unread";
inline constexpr char kPurgeFrozen[] = "purge-frozen";                  // word 128 bit 3
inline constexpr char kPurgeLocked[] = "purge-locked";                  // locked, no saved password of ours
inline constexpr char kPurgePasswordSet[] = "purge-password-set";       // someone else's user password
inline constexpr char kPurgeCountExpired[] = "purge-count-expired";
inline constexpr char kPurgeSecurityEraseNotHere[] = "purge-security-erase-not-here";  // Windows 7+ outside PE
inline constexpr char kPurgeIdeMode[] = "purge-ide-mode";               // PE, controller in IDE mode
inline constexpr char kPurgeEraseTooLong[] = "purge-erase-too-long";    // estimate over 108,000 s
inline constexpr char kPurgeOverwriteNotOffered[] = "purge-overwrite-not-offered";
inline constexpr char kPurgeSecurityEraseNotOffered[] = "purge-security-erase-not-offered";
inline constexpr char kPurgeEnhancedNotOffered[] = "purge-enhanced-not-offered";
inline constexpr char kPurgeSanitizeFrozen[] = "purge-sanitize-frozen";  // SANITIZE FREEZE LOCK

// The help a frozen disk's refusal gives.
inline constexpr char16_t kFrozenHelp[] =
    u"power the disk off and on without the firmware freezing it, or boot Windows PE on another PC";

// Texts for people and words for the record and JSON.
std::u16string PurgeMethodText(PurgeMethod method);  // "Sanitize, crypto erase"
std::string PurgeMethodWord(PurgeMethod method);     // "nvme-sanitize-crypto-erase"
// "every namespace of the controller (8 namespaces)" or "this namespace only".
std::u16string PurgeScopeText(const PurgePlan& plan);
// "about 2 minutes (the drive's estimate)" or "the drive gives no estimate".
std::u16string PurgeEstimateText(const PurgePlan& plan);

} // namespace trv::format
