#include <gtest/gtest.h>

#include <array>
#ifndef _WIN32
#include <future>
#include <mutex>
#include <thread>
#endif

#include "platform/locked_platform.h"
#include "platform/sim/civil_time.h"
#include "platform/sim/sim_platform.h"
#include "test_support.h"

using trv::test::Scenario;
namespace win = trv::win;

TEST(SimClock, TimeStampsFollowTheChineseLocaleAndDropMidnight) {
  trv::sim::SimPlatform noon(Scenario({{"clock", {{"start", "2026-01-05 09:03:07"}}}}));
  EXPECT_EQ(trv::test::U8(noon.DateTimeText()), "2026/1/5 9:03:07");
  noon.Sleep(2000);
  EXPECT_EQ(trv::test::U8(noon.DateTimeText()), "2026/1/5 9:03:09");
  trv::sim::SimPlatform midnight(Scenario({{"clock", {{"start", "2026-12-08 00:00:00"}}}}));
  EXPECT_EQ(trv::test::U8(midnight.DateTimeText()), "2026/12/8");
  const auto before = midnight.WallClockMilliseconds();
  midnight.Sleep(1500);
  EXPECT_EQ(midnight.WallClockMilliseconds() - before, 1500);
}

TEST(SimClock, PeriodicTimerTicksAsTheScenarioSays) {
  trv::sim::SimPlatform p(Scenario());
  static int ticks;
  ticks = 0;
  const auto id = p.timeSetEvent(1, 0, [](std::uint32_t, std::uint32_t, std::uintptr_t, std::uintptr_t, std::uintptr_t) { ++ticks; }, 0, win::TIME_PERIODIC);
  ASSERT_NE(id, 0u);
  p.Sleep(50);
  EXPECT_EQ(ticks, 50);
  EXPECT_EQ(p.timeKillEvent(id), 0u);
  p.Sleep(50);
  EXPECT_EQ(ticks, 50);
  EXPECT_NE(p.timeKillEvent(id), 0u);
}

TEST(SimFiles, FilesAreCreatedReadAndJournaled) {
  trv::sim::SimPlatform p(Scenario());
  EXPECT_EQ(p.CreateFileW(u"C:\\nope.txt", win::GENERIC_READ, 1, win::OPEN_EXISTING, 0), win::kInvalidHandle);
  EXPECT_EQ(p.GetLastError(), win::ERROR_FILE_NOT_FOUND);
  const auto h = p.CreateFileW(u"C:\\Users\\User\\AppData\\Local\\x.txt", win::GENERIC_WRITE | win::GENERIC_READ, 0,
                               win::CREATE_ALWAYS, 0);
  ASSERT_NE(h, win::kInvalidHandle);
  std::uint32_t n = 0;
  EXPECT_TRUE(p.WriteFile(h, "abc", 3, &n));
  EXPECT_EQ(n, 3u);
  EXPECT_TRUE(p.CloseHandle(h));
  EXPECT_FALSE(p.CloseHandle(h));
  EXPECT_EQ(p.GetLastError(), win::ERROR_INVALID_HANDLE);
  EXPECT_EQ(p.FileContent(u"c:\\users\\user\\appdata\\local\\X.TXT"), "abc");
  EXPECT_EQ(p.journal().Count("CreateFileW"), 2u);
  EXPECT_EQ(p.OpenHandleCount(), 0u);
}

TEST(SimSystem, VersionRecordNeedsItsSizeField) {
  trv::sim::SimPlatform p(Scenario());
  std::array<std::uint8_t, 276> info{};
  EXPECT_FALSE(p.GetVersionExW(info));  // size field not set
  info[0] = 0x14;
  info[1] = 0x01;  // 276
  ASSERT_TRUE(p.GetVersionExW(info));
  EXPECT_EQ(info[4], 6);
  EXPECT_EQ(info[20], 'S');
  EXPECT_EQ(trv::test::U8(p.SystemMessage(32)),
            "The process cannot access the file because it is being used by another process.");
}

TEST(SimSystem, AnsiTextFollowsTheCodePage) {
  trv::sim::SimPlatform chinese(Scenario());  // the default PC: code page 936
  auto convert = [](trv::sim::SimPlatform& p, std::uint32_t codePage, std::vector<std::uint8_t> bytes) {
    return p.MultiByteToWideChar(codePage, bytes);
  };
  // GBK: ASCII as it is, pairs from the table, 0x80 the euro sign, zero bytes kept.
  EXPECT_EQ(convert(chinese, win::CP_ACP, {'S', 'S', 'D', ' ', 0xD6, 0xD0, 0xCE, 0xC4, 0x80, 0x00}),
            std::u16string(u"SSD 中文\u20AC") + u'\0');
  EXPECT_EQ(convert(chinese, win::CP_ACP, {0x81, 0x40, 0xFE, 0x4F, 0xA1, 0xA1}), u"\u4E02\uFA29\u3000");
  // No character: a pair outside the table (user-defined area), 0xFF, a lead
  // byte before a byte that cannot trail (read on its own) or at the end.
  EXPECT_EQ(convert(chinese, win::CP_ACP, {0xAA, 0xA1, 0xFF, 0xB0, 0x20, 0xB0}), u"\uFFFD\uFFFD\uFFFD \uFFFD");
  // Windows-1252: the 0x80..0x9F letters, its undefined bytes as C1 controls, Latin-1 above.
  EXPECT_EQ(convert(chinese, 1252, {0x80, 0x9F, 0x8D, 0xA0, 0xE9, 0xFF}), u"\u20AC\u0178\u008D\u00A0\u00E9\u00FF");
  trv::sim::SimPlatform western(Scenario({{"ansiCodePage", 1252}}));
  EXPECT_EQ(convert(western, win::CP_ACP, {0xD6, 0xD0}), u"\u00D6\u00D0");
  // A code page the machine does not know: nothing, and the error Windows gives.
  EXPECT_EQ(convert(western, 437, {'A'}), u"");
  EXPECT_EQ(western.GetLastError(), win::ERROR_INVALID_PARAMETER);
}

TEST(SimClock, SystemTimeRecordsCarryTheDateTimeAndDayOfWeek) {
  trv::sim::SimPlatform p(Scenario());
  std::array<std::uint8_t, 16> local{}, utc{};
  p.GetLocalTime(local);
  p.GetSystemTime(utc);
  // 2026-12-08 17:05:09.000, a Tuesday (2), as eight little-endian WORDs; UTC eight hours earlier.
  EXPECT_EQ(local, (std::array<std::uint8_t, 16>{0xEA, 0x07, 12, 0, 2, 0, 8, 0, 17, 0, 5, 0, 9, 0, 0, 0}));
  EXPECT_EQ(utc, (std::array<std::uint8_t, 16>{0xEA, 0x07, 12, 0, 2, 0, 8, 0, 9, 0, 5, 0, 9, 0, 0, 0}));
  EXPECT_EQ(p.journal().Find("GetLocalTime").at(0)->detail, "2026-12-08 17:05:09.000");
  // Before the origin (1899-12-30, a Saturday) the day still starts at midnight.
  const auto before = trv::sim::CivilFromWallMs(-1);
  EXPECT_EQ(std::vector<std::int64_t>({before.year, before.month, before.day, before.hour, before.milliseconds, before.dayOfWeek}),
            std::vector<std::int64_t>({1899, 12, 29, 23, 999, 5}));
  const auto leap = trv::sim::CivilFromWallMs(45351LL * 86'400'000);
  EXPECT_EQ(std::vector<std::int64_t>({leap.year, leap.month, leap.day, leap.dayOfWeek}),
            std::vector<std::int64_t>({2024, 2, 29, 4}));
}

TEST(SimSystem, ComputerNameIsTheScenariosAndAsLongAsWindowsAllows) {
  EXPECT_EQ(trv::sim::SimPlatform(Scenario({{"computerName", ""}})).GetComputerNameW(), u"");
  try {
    Scenario({{"computerName", "SIXTEEN-LETTERS!"}});
    ADD_FAILURE() << "a name of 16 characters was taken";
  } catch (const trv::sim::ScenarioError& e) {
    EXPECT_STREQ(e.what(), "test scenario: field 'computerName': longer than 15 characters (MAX_COMPUTERNAME_LENGTH)");
  }
}

TEST(SimFiles, CreateNewAndReadOnlyFolders) {
  trv::sim::SimPlatform p(Scenario({{"readOnlyFolders", nlohmann::json::array({"C:\\Locked"})},
                                    {"files", {{"C:\\Locked\\kept.txt", "old"}}}}));
  const std::u16string file = u"C:\\Users\\User\\AppData\\Local\\New.txt";
  const auto create = [&](std::u16string_view path, std::uint32_t disposition, std::uint32_t error) {
    const auto h = p.CreateFileW(path, win::GENERIC_WRITE, 0, disposition, 0);
    EXPECT_EQ(h == win::kInvalidHandle ? p.GetLastError() : 0u, error) << trv::test::U8(std::u16string(path));
    if (h != win::kInvalidHandle) p.CloseHandle(h);
  };
  create(file, win::CREATE_NEW, 0);
  create(file, win::CREATE_NEW, win::ERROR_FILE_EXISTS);
  // A read-only folder exists, takes nothing new, and keeps what it holds readable.
  create(u"C:\\Locked\\new.txt", win::CREATE_ALWAYS, win::ERROR_ACCESS_DENIED);
  EXPECT_FALSE(p.CreateDirectoryW(u"c:\\locked\\"));
  EXPECT_EQ(p.GetLastError(), win::ERROR_ALREADY_EXISTS);
  EXPECT_FALSE(p.CreateDirectoryW(u"C:\\LOCKED\\Sub"));
  EXPECT_EQ(p.GetLastError(), win::ERROR_ACCESS_DENIED);
  EXPECT_TRUE(p.CreateDirectoryW(u"C:\\Locked2")) << "a name that merely begins like it is another folder";
  const auto kept = p.CreateFileW(u"C:\\Locked\\kept.txt", win::GENERIC_READ, 1, win::OPEN_EXISTING, 0);
  EXPECT_NE(kept, win::kInvalidHandle);
  p.CloseHandle(kept);
  // What the program created or wrote, as it named it; not what was there before.
  EXPECT_EQ(p.FilesWritten(u"C:\\USERS\\"), std::vector<std::u16string>{file});
  EXPECT_TRUE(p.FilesWritten(u"C:\\Locked").empty());
}

TEST(SimVolumes, SearchNamesExtentsAndPageFilesAnswerAsWindowsDoes) {
  trv::sim::SimPlatform p(Scenario({{"volumes",
                                     {{{"letter", "E"}, {"deviceNumber", 1}, {"mountFolders", {"C:\\Data\\"}},
                                       {"guid", "{11111111-2222-3333-4444-555555555555}"}},
                                      {{"extents", {{{"disk", 1}}, {{"disk", 2}, {"offset", 4096}, {"length", 512}}}}}}},
                                    {"pagingFiles", {"D:\\pagefile.sys 16 32"}}}));
  // The search: a buffer one character short fails, the full one gets the GUID path.
  std::array<char16_t, 64> name{};
  EXPECT_EQ(p.FindFirstVolumeW(name.data(), 49), win::kInvalidHandle);
  EXPECT_EQ(p.GetLastError(), 206u);
  const win::Handle find = p.FindFirstVolumeW(name.data(), 50);
  ASSERT_NE(find, win::kInvalidHandle);
  const std::u16string first(name.data());
  EXPECT_EQ(first, u"\\\\?\\Volume{11111111-2222-3333-4444-555555555555}\\");
  ASSERT_TRUE(p.FindNextVolumeW(find, name.data(), 64));
  const std::u16string second(name.data());
  EXPECT_FALSE(p.FindNextVolumeW(find, name.data(), 64));
  EXPECT_EQ(p.GetLastError(), 18u);
  EXPECT_FALSE(p.CloseHandle(find));  // a search ends with FindVolumeClose
  EXPECT_TRUE(p.FindVolumeClose(find));
  EXPECT_FALSE(p.FindVolumeClose(find));
  EXPECT_EQ(p.OpenHandleCount(), 0u);

  // Names: the letter, then the folders, each NUL-terminated, and one more NUL.
  std::array<char16_t, 64> names{};
  std::uint32_t needed = 0;
  EXPECT_FALSE(p.GetVolumePathNamesForVolumeNameW(first, names.data(), 5, &needed));
  EXPECT_EQ(p.GetLastError(), 234u);
  EXPECT_EQ(needed, 14u);
  ASSERT_TRUE(p.GetVolumePathNamesForVolumeNameW(first, names.data(), 64, &needed));
  EXPECT_EQ(std::u16string(names.data(), 14), std::u16string(u"E:\\\0C:\\Data\\\0\0", 14));
  ASSERT_TRUE(p.GetVolumePathNamesForVolumeNameW(second, names.data(), 64, &needed));
  EXPECT_EQ(needed, 1u);
  EXPECT_FALSE(p.GetVolumePathNamesForVolumeNameW(first.substr(0, first.size() - 1), names.data(), 64, &needed));

  // Extents: both disks of the spanned volume, opened by its GUID path.
  std::u16string device = second;
  device.pop_back();
  const win::Handle h = p.CreateFileW(device, 0, 3, win::OPEN_EXISTING, 0);
  ASSERT_NE(h, win::kInvalidHandle);
  std::array<std::uint8_t, 56> extents{};
  std::uint32_t returned = 0;
  EXPECT_FALSE(p.DeviceIoControl(h, 0x00560000, nullptr, 0, extents.data(), 31, &returned));
  EXPECT_EQ(p.GetLastError(), 122u);
  EXPECT_FALSE(p.DeviceIoControl(h, 0x00560000, nullptr, 0, extents.data(), 55, &returned));
  EXPECT_EQ(p.GetLastError(), 234u);
  EXPECT_EQ(extents[0], 2u);  // the count, for the caller's next try
  ASSERT_TRUE(p.DeviceIoControl(h, 0x00560000, nullptr, 0, extents.data(), 56, &returned));
  EXPECT_EQ(returned, 56u);
  EXPECT_EQ(extents[32], 2u);  // the second extent's disk
  EXPECT_EQ(extents[40], 0x00u);
  EXPECT_EQ(extents[41], 0x10u);  // its offset, 4096
  EXPECT_FALSE(p.DeviceIoControl(h, 0x002D1080, nullptr, 0, extents.data(), 56, &returned));  // no one device number
  EXPECT_EQ(p.GetLastError(), 1u);
  p.CloseHandle(h);

  // The system folder and the memory manager's values.
  std::array<char16_t, 32> folder{};
  EXPECT_EQ(p.GetSystemDirectoryW(folder.data(), 19), 20u);
  EXPECT_EQ(p.GetSystemDirectoryW(folder.data(), 20), 19u);
  EXPECT_EQ(std::u16string(folder.data()), u"C:\\Windows\\system32");
  const std::u16string key = u"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Memory Management";
  std::array<std::uint8_t, 64> value{};
  std::uint32_t type = 0, size = 8;
  EXPECT_EQ(p.RegQueryLocalMachineValueW(key, u"PagingFiles", &type, value.data(), &size), 234u);
  EXPECT_EQ(size, 2u * 23);
  size = 64;
  EXPECT_EQ(p.RegQueryLocalMachineValueW(key, u"PagingFiles", &type, value.data(), &size), 0u);
  EXPECT_EQ(type, 7u);
  EXPECT_EQ(value[0], 'D');
  EXPECT_EQ(p.RegQueryLocalMachineValueW(key, u"ExistingPageFiles", &type, value.data(), &size), 0u);
  EXPECT_EQ(p.RegQueryLocalMachineValueW(key + u"X", u"PagingFiles", &type, value.data(), &size), 2u);
  trv::sim::SimPlatform xp(Scenario({{"os", {{"major", 5}, {"minor", 1}, {"build", 2600}}}}));
  EXPECT_EQ(xp.RegQueryLocalMachineValueW(key, u"ExistingPageFiles", &type, value.data(), &size), 2u);
  EXPECT_GE(p.journal().Count("RegQueryLocalMachineValueW"), 4u);
}

TEST(SimFiles, FoldersAndPathsAnswerAsWindowsDoes) {
  trv::sim::SimPlatform p(Scenario({{"currentDirectory", "C:\\Users\\User\\Work"}}));
  const auto created = [&](std::u16string_view path) { return p.CreateDirectoryW(path) ? 0u : p.GetLastError(); };
  EXPECT_EQ(created(u"Q:\\Records"), win::ERROR_PATH_NOT_FOUND) << "no drive Q:";
  EXPECT_EQ(created(u"C:\\Users"), win::ERROR_ALREADY_EXISTS);
  EXPECT_EQ(created(u"C:\\ProgramData\\Trevasso"), 0u);
  EXPECT_EQ(created(u"C:\\ProgramData\\Trevasso\\"), win::ERROR_ALREADY_EXISTS);
  EXPECT_EQ(created(u"C:\\New\\Deeper"), win::ERROR_PATH_NOT_FOUND) << "its parent does not exist";
  EXPECT_EQ(created(u"C:\\"), win::ERROR_ACCESS_DENIED);
  EXPECT_EQ(created(u"E:\\Records"), 0u) << "a volume's drive";
  const auto h = p.CreateFileW(u"Q:\\file.txt", win::GENERIC_WRITE, 0, win::CREATE_NEW, 0);
  EXPECT_EQ(h, win::kInvalidHandle);
  EXPECT_EQ(p.GetLastError(), win::ERROR_PATH_NOT_FOUND);

  // A file made, held open, and removed.
  const std::u16string file = u"C:\\ProgramData\\Trevasso\\probe.tmp";
  const auto f = p.CreateFileW(file, win::GENERIC_WRITE, 0, win::CREATE_NEW, 0);
  ASSERT_NE(f, win::kInvalidHandle);
  EXPECT_FALSE(p.DeleteFileW(file));
  EXPECT_EQ(p.GetLastError(), win::ERROR_SHARING_VIOLATION);
  p.CloseHandle(f);
  EXPECT_TRUE(p.DeleteFileW(file));
  EXPECT_FALSE(p.FileContent(file));
  EXPECT_FALSE(p.DeleteFileW(file));
  EXPECT_EQ(p.GetLastError(), win::ERROR_FILE_NOT_FOUND);

  for (auto [given, full] : {std::pair<std::u16string, std::u16string>{u"recs", u"C:\\Users\\User\\Work\\recs"},
                             {u"../recs/./a/", u"C:\\Users\\User\\recs\\a\\"},
                             {u"\\Logs", u"C:\\Logs"},
                             {u"C:sub", u"C:\\Users\\User\\Work\\sub"},
                             {u"D:sub", u"D:\\sub"},
                             {u"e:/x/../y", u"e:\\y"},
                             {u"\\\\server\\share\\a\\..\\b", u"\\\\server\\share\\b"}})
    EXPECT_EQ(p.GetFullPathNameW(given), full) << trv::test::U8(given);
  EXPECT_EQ(p.GetFullPathNameW(u""), u"");
  EXPECT_EQ(p.GetLastError(), win::ERROR_INVALID_NAME);
  EXPECT_EQ(p.GetVolumePathNameW(u"recs"), u"C:\\");
  EXPECT_EQ(p.GetVolumePathNameW(u"\\\\server\\share\\a"), u"\\\\server\\share\\");
  EXPECT_EQ(p.journal().Count("GetFullPathNameW"), 8u);
}

#ifndef _WIN32  // std::thread: not in the build for Windows XP; the window tests cover it there
TEST(LockedPlatform, EveryCallIsMadeUnderTheLockAndEachThreadKeepsItsOwnLastError) {
  struct CountingLock : win::CallLock {
    std::mutex mutex;
    int entered = 0, left = 0;
    void Enter() override {
      mutex.lock();
      ++entered;
    }
    void Leave() override {
      ++left;
      mutex.unlock();
    }
  } lock;
  trv::sim::SimPlatform pc(Scenario());
  win::LockedPlatform shared(pc, lock);
  // The worker's write fails; the window thread's call fails otherwise before
  // the worker asks why: the worker still hears its own answer.
  std::promise<void> failed, otherCall;
  std::uint32_t workerError = 0;
  std::thread worker([&] {
    std::uint32_t written = 0;
    EXPECT_FALSE(shared.WriteFile(0x7777, "x", 1, &written));
    failed.set_value();
    otherCall.get_future().wait();
    workerError = shared.GetLastError();
  });
  failed.get_future().wait();
  EXPECT_FALSE(shared.CancelSynchronousIo(0));
  EXPECT_EQ(shared.GetLastError(), win::ERROR_NOT_FOUND);
  otherCall.set_value();
  worker.join();
  EXPECT_EQ(workerError, 6u) << "ERROR_INVALID_HANDLE";
  EXPECT_EQ(lock.entered, 2);
  EXPECT_EQ(lock.left, 2);
}
#endif
