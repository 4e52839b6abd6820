// Which firmware purge a disk gets on this Windows, or exactly why none: the
// NVMe disk's own capabilities (Identify Controller FNA, SANICAP, NN), its
// Sanitize Status log, how it is attached, and the true Windows build decide.
// Nothing here changes the disk.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "device/erase_features.h"
#include "device/nvme_sanitize.h"
#include "device/windows_version.h"
#include "format/refusal.h"
#include "platform/platform.h"

namespace trv::format {

// What the user asked for: the best the disk and Windows allow, or one method.
enum class PurgeChoice { Best, Crypto, Block };

enum class PurgeMethod {
  None,
  NvmeSanitizeCrypto,  // REINITIALIZE_MEDIA with input, SanitizeMethod CryptoErase (21H1 and later)
  NvmeSanitizeBlock,   // REINITIALIZE_MEDIA with input, SanitizeMethod BlockErase (21H1 and later)
  NvmeFormatCrypto,    // REINITIALIZE_MEDIA without input: Format NVM, Secure Erase Settings 2 (1607 to 20H2)
};

// Everything the choice rests on, read before the confirmation.
struct PurgeFacts {
  std::uint32_t deviceNumber = 0;
  std::int64_t busType = 0;      // STORAGE_BUS_TYPE (17 NVMe, 7 USB)
  bool systemDisk = false;       // holds the Windows or boot volume or a page file
  device::WindowsVersion windows;
  std::optional<device::EraseFeatures> features;   // none: Identify Controller could not be read
  std::uint32_t namespaceCount = 0;                // Identify Controller NN (0: not read)
  std::optional<device::SanitizeStatus> status;    // none: log 81h could not be read
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
  bool Runs() const { return method != PurgeMethod::None; }
};

// Reads the facts through a handle opened on \\.\PhysicalDriveN (read access
// is enough): identify, log 81h, bus, system disk, Windows build.
PurgeFacts GatherPurgeFacts(win::Platform& platform, win::Handle handle, std::uint32_t deviceNumber);

PurgePlan PlanPurge(const PurgeFacts& facts, PurgeChoice choice);

// Texts for people and words for the record and JSON.
std::u16string PurgeMethodText(PurgeMethod method);  // "Sanitize, crypto erase"
std::string PurgeMethodWord(PurgeMethod method);     // "nvme-sanitize-crypto-erase"
// "every namespace of the controller (8 namespaces)" or "this namespace only".
std::u16string PurgeScopeText(const PurgePlan& plan);
// "about 2 minutes (the drive's estimate)" or "the drive gives no estimate".
std::u16string PurgeEstimateText(const PurgePlan& plan);

} // namespace trv::format
