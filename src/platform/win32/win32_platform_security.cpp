// The records folder's guard on the real system: owners, access lists, links,
// final paths and SUBST drives, and the page-aligned memory of the disk I/O.
#include "platform/win32/win32_platform.h"

// The core's copies of Windows constants, taken before <windows.h> turns their
// names into macros, to be checked against the system's values below.
namespace guard_values {
constexpr std::uint32_t kReparsePoint = trv::win::FILE_ATTRIBUTE_REPARSE_POINT;
constexpr std::uint32_t kDirectory = trv::win::FILE_ATTRIBUTE_DIRECTORY;
constexpr std::uint32_t kInvalidAttributes = trv::win::INVALID_FILE_ATTRIBUTES;
constexpr std::uint32_t kBackupSemantics = trv::win::FILE_FLAG_BACKUP_SEMANTICS;
constexpr std::uint32_t kShareDelete = trv::win::FILE_SHARE_DELETE;
constexpr std::uint32_t kVolumeNameDos = trv::win::VOLUME_NAME_DOS, kVolumeNameGuid = trv::win::VOLUME_NAME_GUID;
} // namespace guard_values

#include "platform/win32/windows_headers.h"

#include <aclapi.h>
#include <ntsecapi.h>

#include <algorithm>
#include <sddl.h>

#include "platform/win32/wide.h"

namespace trv::win32 {

static_assert(guard_values::kReparsePoint == FILE_ATTRIBUTE_REPARSE_POINT && guard_values::kDirectory == FILE_ATTRIBUTE_DIRECTORY);
static_assert(guard_values::kInvalidAttributes == INVALID_FILE_ATTRIBUTES);
static_assert(guard_values::kBackupSemantics == FILE_FLAG_BACKUP_SEMANTICS && guard_values::kShareDelete == FILE_SHARE_DELETE);
static_assert(guard_values::kVolumeNameDos == VOLUME_NAME_DOS && guard_values::kVolumeNameGuid == VOLUME_NAME_GUID);

std::uint32_t Win32Platform::GetFileAttributesW(std::u16string_view path) {
  const std::wstring p = Wide(path);
  return ::GetFileAttributesW(p.c_str());
}

std::u16string Win32Platform::GetFileOwnerSid(std::u16string_view path) {
  std::wstring p = Wide(path);
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  const DWORD status = ::GetNamedSecurityInfoW(p.data(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
                                               nullptr, nullptr, &descriptor);
  if (status != ERROR_SUCCESS) {
    ::SetLastError(status);  // the call returns its error instead of setting it
    return {};
  }
  std::u16string text;
  DWORD error = ERROR_INVALID_SECURITY_DESCR;  // a descriptor without an owner
  wchar_t* sid = nullptr;
  if (owner && ::ConvertSidToStringSidW(owner, &sid)) {
    text = Narrow16(sid);
    ::LocalFree(sid);
  } else if (owner) {
    error = ::GetLastError();
  }
  ::LocalFree(descriptor);
  if (text.empty()) ::SetLastError(error);
  return text;
}

bool Win32Platform::CreateDirectoryWithAccessW(std::u16string_view path, std::u16string_view sddl) {
  const std::wstring p = Wide(path), s = Wide(sddl);
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(s.c_str(), SDDL_REVISION_1, &descriptor, nullptr))
    return false;
  SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
  const BOOL made = ::CreateDirectoryW(p.c_str(), &attributes);
  const DWORD error = ::GetLastError();
  ::LocalFree(descriptor);
  if (!made) ::SetLastError(error);
  return made != FALSE;
}

std::u16string Win32Platform::GetFinalPathNameByHandleW(win::Handle handle, std::uint32_t flags) {
  // Vista and later: looked up, so that the program still loads on Windows XP.
  using FinalPathFn = DWORD(WINAPI*)(HANDLE, LPWSTR, DWORD, DWORD);
  const HMODULE kernel32 = ::GetModuleHandleW(L"kernel32.dll");
  const auto finalPath = kernel32 ? reinterpret_cast<FinalPathFn>(reinterpret_cast<void*>(
                                        ::GetProcAddress(kernel32, "GetFinalPathNameByHandleW")))
                                  : nullptr;
  if (!finalPath) {
    ::SetLastError(ERROR_PROC_NOT_FOUND);
    return {};
  }
  std::wstring buffer(MAX_PATH, L'\0');
  for (int attempt = 0; attempt < 3; ++attempt) {
    const DWORD n = finalPath(reinterpret_cast<HANDLE>(handle), buffer.data(), static_cast<DWORD>(buffer.size()), flags);
    if (n == 0) return {};
    // Too small: n is the size needed, its final NUL included.
    if (n < buffer.size()) return Narrow16(std::wstring_view(buffer.data(), n));
    buffer.assign(n, L'\0');
  }
  ::SetLastError(ERROR_INSUFFICIENT_BUFFER);
  return {};
}

std::u16string Win32Platform::QueryDosDeviceW(std::u16string_view deviceName) {
  const std::wstring name = Wide(deviceName);
  // A drive's targets are few and short; a longer list fails with ERROR_INSUFFICIENT_BUFFER.
  std::wstring buffer(4096, L'\0');
  const DWORD n = ::QueryDosDeviceW(name.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
  if (n == 0) return {};
  return Narrow16(buffer.c_str());  // the first target: up to its NUL
}

void* Win32Platform::VirtualAlloc(std::size_t size) {
  return ::VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
}

bool Win32Platform::VirtualFree(void* memory) { return ::VirtualFree(memory, 0, MEM_RELEASE) != FALSE; }

bool Win32Platform::GenRandom(std::span<std::uint8_t> data) {
  // RtlGenRandom takes a ULONG: large requests go in pieces.
  for (std::size_t at = 0; at < data.size();) {
    const ULONG piece = static_cast<ULONG>(std::min<std::size_t>(data.size() - at, 1u << 20));
    if (!RtlGenRandom(data.data() + at, piece)) return false;
    at += piece;
  }
  return true;
}

} // namespace trv::win32
