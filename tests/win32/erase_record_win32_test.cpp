// Erase records through the real Windows backend: saved into a folder this
// test makes under the system's temporary folder, and the clocks and computer
// name the record takes.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <string>

#include "format/record_support.h"
#include "platform/records.h"
#include "platform/win32/win32_platform.h"

// <windows.h> after the core's headers: its macros share names with the core's constants.
#include "platform/win32/wide.h"
#include "platform/win32/windows_headers.h"

namespace trv::win32 {
namespace {

std::string ReadWhole(const std::u16string& path) {
  const HANDLE h = ::CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  std::string content(1 << 16, '\0');
  DWORD read = 0;
  if (h == INVALID_HANDLE_VALUE || !::ReadFile(h, content.data(), static_cast<DWORD>(content.size()), &read, nullptr))
    read = 0;
  if (h != INVALID_HANDLE_VALUE) ::CloseHandle(h);
  return content.substr(0, read);
}

// Milliseconds between a record's time stamp and a SYSTEMTIME.
std::int64_t MsApart(const format::TimeStamp& t, const SYSTEMTIME& system) {
  const SYSTEMTIME st{static_cast<WORD>(t.year), static_cast<WORD>(t.month), 0, static_cast<WORD>(t.day),
                      static_cast<WORD>(t.hour), static_cast<WORD>(t.minute), static_cast<WORD>(t.second),
                      static_cast<WORD>(t.milliseconds)};
  FILETIME a{}, b{};
  ::SystemTimeToFileTime(&st, &a);
  ::SystemTimeToFileTime(&system, &b);
  const auto ticks = [](const FILETIME& f) { return (static_cast<std::int64_t>(f.dwHighDateTime) << 32) | f.dwLowDateTime; };
  return std::abs(ticks(a) - ticks(b)) / 10'000;
}

TEST(Win32EraseRecord, SavedIntoAFreshFolderChainInFullAndNeverOverwritten) {
  wchar_t temp[MAX_PATH] = {};
  ASSERT_NE(::GetTempPathW(MAX_PATH, temp), 0u);
  const std::wstring base = std::wstring(temp) + L"trevasso-record-" + std::to_wstring(::GetCurrentProcessId()) +
                            L"-" + std::to_wstring(::GetTickCount());
  const std::wstring nested = base + L"\\nested", folder = nested + L"\\records";
  Win32Platform p;
  format::EraseRecord record = test::QuickWipeRecord();
  record.disk.serial = u"  SN \u4E2D\U0001F600\x01" u"7  ";

  const format::SavedRecord first = format::SaveRecord(p, Narrow16(folder), record);
  ASSERT_TRUE(first.saved) << "error " << first.error;
  EXPECT_EQ(first.textPath, Narrow16(folder) + u"\\2026-12-08_170509_SN____7.txt");
  EXPECT_EQ(ReadWhole(first.textPath), format::RecordText(record));
  EXPECT_EQ(ReadWhole(first.jsonPath), format::RecordJson(record));
  const format::SavedRecord second = format::SaveRecord(p, Narrow16(folder) + u"\\", record);
  ASSERT_TRUE(second.saved) << "error " << second.error;
  EXPECT_EQ(second.jsonPath, Narrow16(folder) + u"\\2026-12-08_170509_SN____7_2.json");
  EXPECT_EQ(ReadWhole(first.textPath), format::RecordText(record)) << "the first record is kept";

  // No folder can be made below a file: the failure names the folder.
  const format::SavedRecord refused = format::SaveRecord(p, first.textPath + u"\\sub", record);
  EXPECT_FALSE(refused.saved);
  EXPECT_NE(refused.error, 0u);
  EXPECT_EQ(refused.failedPath, first.textPath + u"\\sub");

  for (const auto* saved : {&first, &second})
    for (const std::u16string& path : {saved->textPath, saved->jsonPath}) EXPECT_TRUE(::DeleteFileW(Wide(path).c_str()));
  for (const std::wstring& f : {folder, nested, base}) EXPECT_TRUE(::RemoveDirectoryW(f.c_str()));
}

TEST(Win32EraseRecord, ClocksAndComputerNameAreTheSystems) {
  Win32Platform p;
  SYSTEMTIME local, utc;
  ::GetLocalTime(&local);
  ::GetSystemTime(&utc);
  std::array<std::uint8_t, rec::kSystemTimeSize> raw{};
  p.GetLocalTime(raw);
  EXPECT_EQ(rec::U16(raw, rec::kSystemTimeDayOfWeek), local.wDayOfWeek);
  EXPECT_LT(MsApart(format::LocalTimeNow(p), local), 2000);
  EXPECT_LT(MsApart(format::UtcTimeNow(p), utc), 2000);

  wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
  ASSERT_TRUE(::GetComputerNameW(name, &length));
  EXPECT_FALSE(p.GetComputerNameW().empty());
  EXPECT_EQ(p.GetComputerNameW(), Narrow16(std::wstring_view(name, length)));
}

} // namespace
} // namespace trv::win32
