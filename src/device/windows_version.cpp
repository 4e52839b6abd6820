#include "device/windows_version.h"

#include <array>
#include <span>
#include <string>
#include <string_view>

#include "platform/records.h"

namespace trv::device {

namespace {

// szCSDVersion, WCHAR[128] at byte 20 of OSVERSIONINFOW: "Service Pack 2" gives 2;
// anything else (empty, a beta's name) none.
std::uint32_t ServicePackOf(std::span<const std::uint8_t> info) {
  constexpr std::size_t kCsdVersion = 20, kCsdChars = 128;
  constexpr std::u16string_view kPrefix = u"Service Pack ";
  std::u16string text;
  for (std::size_t i = 0; i < kCsdChars && kCsdVersion + 2 * i + 2 <= info.size(); ++i) {
    const char16_t c = rec::U16(info, kCsdVersion + 2 * i);
    if (c == 0) break;
    text.push_back(c);
  }
  if (text.size() <= kPrefix.size() || text.compare(0, kPrefix.size(), kPrefix) != 0) return 0;
  std::uint32_t n = 0;
  for (std::size_t i = kPrefix.size(); i < text.size() && text[i] >= u'0' && text[i] <= u'9' && n < 1000; ++i)
    n = n * 10 + static_cast<std::uint32_t>(text[i] - u'0');
  return n;
}

} // namespace

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
  v.servicePack = ServicePackOf(info);
  return v;
}

bool IsWindowsPe(win::Platform& platform) {
  return platform.RegOpenLocalMachineKeyW(u"SYSTEM\\CurrentControlSet\\Control\\MiniNT") == 0;
}

} // namespace trv::device
