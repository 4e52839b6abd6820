// The Windows version the program truly runs on. GetVersionExW answers what
// the compatibility layer lets a program see (Windows 8.1 and later tell a
// program without a manifest entry for them that they are Windows 8);
// RtlGetVersion of ntdll is never shimmed, and it decides what a firmware
// purge may send.
#pragma once
#include <cstdint>

#include "platform/platform.h"

namespace trv::device {

struct WindowsVersion {
  bool known = false;  // neither call answered: nothing that depends on the build is offered
  std::uint32_t major = 0, minor = 0, build = 0;
  bool fromRtl = false;  // RtlGetVersion answered (else GetVersionExW did)
  std::uint32_t servicePack = 0;  // N of "Service Pack N" (szCSDVersion); 0: none
};

// RtlGetVersion through the seam, else GetVersionExW.
WindowsVersion TrueWindowsVersion(win::Platform& platform);

// Windows PE: HKLM\SYSTEM\CurrentControlSet\Control\MiniNT exists.
bool IsWindowsPe(win::Platform& platform);

// Windows 10 1607, the first build that knows IOCTL_STORAGE_REINITIALIZE_MEDIA,
// and Windows 10 21H1, the first that takes its sanitize input.
inline constexpr std::uint32_t kBuildReinitializeMedia = 14393;
inline constexpr std::uint32_t kBuildSanitizeInput = 19043;

} // namespace trv::device
