#include "device/windows_version.h"

#include <array>

#include "platform/records.h"

namespace trv::device {

WindowsVersion TrueWindowsVersion(win::Platform& platform) {
  std::array<std::uint8_t, rec::kOsVersionInfoSize> info{};
  WindowsVersion v;
  rec::Put32(info, 0, rec::kOsVersionInfoSize);
  if (platform.RtlGetVersion(info)) {
    v.fromRtl = true;
  } else {
    info.fill(0);
    rec::Put32(info, 0, rec::kOsVersionInfoSize);
    if (!platform.GetVersionExW(info)) return v;
  }
  v.known = true;
  v.major = rec::U32(info, 4);
  v.minor = rec::U32(info, 8);
  v.build = rec::U32(info, 12);
  return v;
}

} // namespace trv::device
