// NVMe Sanitize through Windows: the Sanitize Status log page (81h), read with
// the protocol-specific storage query, and IOCTL_STORAGE_REINITIALIZE_MEDIA,
// the one request the full Windows passes on to the controller as a Format NVM
// (crypto erase) or, from Windows 10 21H1, as a Sanitize.
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "device/nvme.h"
#include "platform/platform.h"

namespace trv::device {

inline constexpr std::uint32_t kSanitizeStatusLogPage = 0x81;
inline constexpr std::uint32_t IOCTL_STORAGE_REINITIALIZE_MEDIA = 0x002D9640;
inline constexpr std::uint32_t kNoEstimate = 0xFFFFFFFF;  // an estimate field the drive does not report

// Sanitize Status log, bytes 0-31.
struct SanitizeStatus {
  enum class State : std::uint8_t {
    Never = 0,                  // never sanitized
    Succeeded = 1,
    InProgress = 2,
    Failed = 3,
    SucceededNoDeallocate = 4,
    Other = 0xFF,               // a value the standard does not define
  };
  std::uint16_t sprog = 0;   // bytes 0-1: progress of the sanitize in progress, in 65,536ths
  std::uint16_t sstat = 0;   // bytes 2-3
  std::uint32_t scdw10 = 0;  // bytes 4-7: Command Dword 10 of the sanitize that last ran
  // Bytes 8-31, seconds each; kNoEstimate where not reported.
  std::uint32_t overwriteTime = kNoEstimate, blockEraseTime = kNoEstimate, cryptoEraseTime = kNoEstimate;
  std::uint32_t overwriteNoDeallocateTime = kNoEstimate, blockEraseNoDeallocateTime = kNoEstimate,
                cryptoEraseNoDeallocateTime = kNoEstimate;

  State StateOf() const;                    // SSTAT bits 2:0
  bool GlobalDataErased() const { return (sstat & 0x100) != 0; }  // SSTAT bit 8
  std::uint8_t ActionRun() const { return static_cast<std::uint8_t>(scdw10 & 0x7); }  // SANACT of SCDW10
};

// SANACT values (Command Dword 10 bits 2:0).
inline constexpr std::uint8_t kSanactExitFailureMode = 1, kSanactBlockErase = 2, kSanactOverwrite = 3,
                              kSanactCryptoErase = 4;

// "never", "succeeded", "in-progress", "failed", "succeeded-no-deallocate", "other".
const char* SanitizeStateWord(SanitizeStatus::State state);

SanitizeStatus ParseSanitizeStatus(const NvmeLogBlock& log);
// Log page 81h for the controller; false when it could not be read whole.
bool ReadNvmeSanitizeStatus(win::Platform& platform, win::Handle handle, SanitizeStatus& status);

// STORAGE_REINITIALIZE_MEDIA (Windows 10 21H1 and later): Version and Size
// (16), TimeoutInSeconds, then SanitizeMethod in bits 3:0 and
// DisallowUnrestrictedSanitizeExit in bit 4 of the last ULONG.
enum class SanitizeMethod : std::uint32_t { Default = 0, BlockErase = 1, CryptoErase = 2 };
inline constexpr std::size_t kReinitializeMediaSize = 16;
std::array<std::uint8_t, kReinitializeMediaSize> ReinitializeMediaInput(std::uint32_t timeoutSeconds,
                                                                       SanitizeMethod method,
                                                                       bool disallowUnrestrictedSanitizeExit);

} // namespace trv::device
