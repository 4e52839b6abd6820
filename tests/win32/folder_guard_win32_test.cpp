// The records folder's guard through the real Windows backend, on folders this
// test makes under the system's temporary folder: the access list a folder is
// made with, its owner, its attributes, its final path, a junction (where the
// system lets the test make one), SUBST's answer for a drive, and the I/O
// memory. Under Wine some of these are not implemented: the test says which.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

#include "format/records_folder_guard.h"
#include "platform/win32/win32_platform.h"

// <windows.h> after the core's headers: its macros share names with the core's constants.
#include "platform/win32/wide.h"
#include "platform/win32/windows_headers.h"

#include <aclapi.h>
#include <sddl.h>

namespace trv::win32 {
namespace {

std::u16string Upper(std::u16string s) {
  for (char16_t& c : s)
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
  return s;
}

// A mount-point reparse point (a junction) at `link`, an empty folder, leading to `target`.
bool MakeJunction(const std::wstring& link, const std::wstring& target) {
  if (!::CreateDirectoryW(link.c_str(), nullptr)) return false;
  const HANDLE h = ::CreateFileW(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  // REPARSE_DATA_BUFFER's mount point form: tag, data length, reserved, then
  // the substitute name's and print name's offsets and lengths, then the names.
  const std::wstring substitute = L"\\??\\" + target;
  const auto nameBytes = static_cast<WORD>(substitute.size() * sizeof(wchar_t));
  std::string buffer(16 + nameBytes + 2 * sizeof(wchar_t), '\0');
  const DWORD tag = IO_REPARSE_TAG_MOUNT_POINT;
  const WORD dataLength = static_cast<WORD>(buffer.size() - 8), printOffset = static_cast<WORD>(nameBytes + 2);
  std::memcpy(&buffer[0], &tag, 4);
  std::memcpy(&buffer[4], &dataLength, 2);
  std::memcpy(&buffer[10], &nameBytes, 2);
  std::memcpy(&buffer[12], &printOffset, 2);
  std::memcpy(&buffer[16], substitute.data(), nameBytes);
  DWORD returned = 0;
  const BOOL ok = ::DeviceIoControl(h, FSCTL_SET_REPARSE_POINT, buffer.data(), static_cast<DWORD>(buffer.size()),
                                    nullptr, 0, &returned, nullptr);
  ::CloseHandle(h);
  return ok != FALSE;
}

bool UnderWine() {
  const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  return ntdll && ::GetProcAddress(ntdll, "wine_get_version");
}

// A security descriptor's access list: how many entries, and whether it is protected from the parent's.
std::pair<int, bool> AccessList(PSECURITY_DESCRIPTOR descriptor) {
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  BOOL present = FALSE, defaulted = FALSE;
  PACL dacl = nullptr;
  if (!::GetSecurityDescriptorControl(descriptor, &control, &revision) ||
      !::GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) || !present || !dacl)
    return {-1, false};
  return {dacl->AceCount, (control & SE_DACL_PROTECTED) != 0};
}

TEST(Win32FolderGuard, TheRealCallsOnFoldersTheTestMakes) {
  wchar_t temp[MAX_PATH] = {};
  ASSERT_NE(::GetTempPathW(MAX_PATH, temp), 0u);
  const std::wstring base = std::wstring(temp) + L"trevasso-guard-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                            std::to_wstring(::GetTickCount());
  const std::wstring program = base + L"\\Trevasso", link = base + L"\\link";
  Win32Platform p;
  ASSERT_TRUE(::CreateDirectoryW(base.c_str(), nullptr));

  // The program's access list means what it says: three entries (SYSTEM,
  // Administrators, Users), protected from the parent's.
  const std::wstring sddl = Wide(format::kProgramFolderAccess);
  PSECURITY_DESCRIPTOR made = nullptr;
  ASSERT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &made, nullptr));
  EXPECT_EQ(AccessList(made), (std::pair<int, bool>{3, true}));
  ::LocalFree(made);
  // A folder made with it keeps it on Windows; Wine keeps no access list of
  // its own and answers one made from the Unix permissions instead.
  ASSERT_TRUE(p.CreateDirectoryWithAccessW(Narrow16(program), format::kProgramFolderAccess)) << ::GetLastError();
  EXPECT_FALSE(p.CreateDirectoryWithAccessW(Narrow16(program + L"\\bad"), u"not an SDDL text"));
  PSECURITY_DESCRIPTOR kept = nullptr;
  std::wstring name = program;
  ASSERT_EQ(::GetNamedSecurityInfoW(name.data(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, nullptr,
                                    nullptr, &kept),
            static_cast<DWORD>(ERROR_SUCCESS));
  const std::pair<int, bool> folderAccess = AccessList(kept);
  ::LocalFree(kept);
  if (UnderWine())
    std::printf("Wine keeps no access list: the folder answers %d entries, %s\n", folderAccess.first,
                folderAccess.second ? "protected" : "inherited");
  else
    EXPECT_EQ(folderAccess, (std::pair<int, bool>{3, true}));

  // Its owner: whoever made it, as a SID text.
  const std::u16string owner = p.GetFileOwnerSid(Narrow16(program));
  EXPECT_EQ(owner.rfind(u"S-1-", 0), 0u) << "error " << ::GetLastError();
  EXPECT_TRUE(p.GetFileOwnerSid(Narrow16(base + L"\\missing")).empty());

  // Attributes: a plain folder, no reparse point; a missing name fails with 2.
  const std::uint32_t attributes = p.GetFileAttributesW(Narrow16(program));
  EXPECT_NE(attributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
  EXPECT_EQ(attributes & FILE_ATTRIBUTE_REPARSE_POINT, 0u);
  EXPECT_EQ(p.GetFileAttributesW(Narrow16(base + L"\\missing")), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(p.GetLastError(), static_cast<std::uint32_t>(ERROR_FILE_NOT_FOUND));

  // The final path of the folder, as the drive's path.
  const win::Handle h = p.CreateFileW(Narrow16(program), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
  ASSERT_NE(h, win::kInvalidHandle);
  EXPECT_EQ(Upper(p.GetFinalPathNameByHandleW(h, VOLUME_NAME_DOS)), Upper(u"\\\\?\\" + Narrow16(program)));
  const std::u16string byGuid = p.GetFinalPathNameByHandleW(h, VOLUME_NAME_GUID);
  if (byGuid.empty())
    std::printf("GetFinalPathNameByHandleW(VOLUME_NAME_GUID) fails here with %lu\n", ::GetLastError());
  else
    EXPECT_EQ(byGuid.rfind(u"\\\\?\\Volume{", 0), 0u);
  p.CloseHandle(h);

  // A drive letter is no SUBST drive: its target is a device.
  const std::u16string drive = p.QueryDosDeviceW(Narrow16(base.substr(0, 2)));
  EXPECT_FALSE(drive.empty()) << ::GetLastError();
  EXPECT_NE(drive.rfind(u"\\??\\", 0), 0u) << std::string(drive.begin(), drive.end());

  // The guard on the real backend: a plain way is no refusal; a junction on it is.
  EXPECT_FALSE(format::CheckFolderWay(p, Narrow16(program + L"\\records")));
  if (MakeJunction(link, program)) {
    EXPECT_NE(p.GetFileAttributesW(Narrow16(link)) & FILE_ATTRIBUTE_REPARSE_POINT, 0u);
    const auto refusal = format::CheckFolderWay(p, Narrow16(link + L"\\records"));
    ASSERT_TRUE(refusal);
    EXPECT_EQ(refusal->why, format::FolderRefusal::Why::Link);
    EXPECT_EQ(refusal->path, Narrow16(link));
    ::RemoveDirectoryW(link.c_str());
  } else {
    // Wine 8 answers FSCTL_SET_REPARSE_POINT with 50 (not supported).
    std::printf("no junction could be made here (error %lu): the reparse check was not run on one\n", ::GetLastError());
    ::RemoveDirectoryW(link.c_str());
  }

  // I/O memory: page-aligned, zero, given back.
  auto* memory = static_cast<std::uint8_t*>(p.VirtualAlloc(1 << 20));
  ASSERT_NE(memory, nullptr);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(memory) % 4096, 0u);
  EXPECT_EQ(memory[0] | memory[(1 << 20) - 1], 0);
  EXPECT_TRUE(p.VirtualFree(memory));

  EXPECT_TRUE(::RemoveDirectoryW(program.c_str()));
  EXPECT_TRUE(::RemoveDirectoryW(base.c_str()));
}

} // namespace
} // namespace trv::win32
