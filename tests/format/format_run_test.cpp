// Whole-program format runs on the simulated PC: the confirmed command, its log,
// the volumes, and exactly which bytes of which disk end up zero.
#include <gtest/gtest.h>

#include "format/volume_lock.h"
#include "format_support.h"
#include "modern_pc.h"

using namespace trv::test;
using trv::sim::ByteRange;
using trv::ui::ProgressState;

namespace {

constexpr std::int64_t kDisk1Bytes = 500'107'862'016;  // the default PC's data disk
constexpr std::int64_t kGiB = 1'073'741'824;

std::vector<std::string> Tail(const std::vector<std::string>& lines, std::size_t n) {
  return {lines.end() - static_cast<std::ptrdiff_t>(std::min(n, lines.size())), lines.end()};
}

// The journal's calls in order, as "call detail" texts.
std::vector<std::string> Calls(const trv::app::HeadlessRun& run) {
  std::vector<std::string> out;
  for (const auto& e : run.platform->journal().entries()) out.push_back(e.call + " " + e.detail);
  return out;
}

std::ptrdiff_t IndexOf(const std::vector<std::string>& calls, const std::string& start, std::ptrdiff_t from = 0) {
  for (auto i = static_cast<std::size_t>(from); i < calls.size(); ++i)
    if (calls[i].rfind(start, 0) == 0) return static_cast<std::ptrdiff_t>(i);
  return -1;
}

void ExpectIdle(const trv::app::TFmMain& m) {
  EXPECT_TRUE(m.btRunBenchmarks.enabled());
  EXPECT_TRUE(m.btGetSmart.enabled());
  EXPECT_TRUE(m.cbQuickWipe.enabled());
  EXPECT_FALSE(m.btStop.enabled());
}

// The default PC started from Windows on the USB stick G:, so that disk 0 may
// be erased; the user's profile, and so the records folder, is on G: too.
const nlohmann::json kWindowsOnG = {{"systemDirectory", "G:\\Windows\\system32"},
                                    {"existingPageFiles", {"\\??\\G:\\pagefile.sys"}},
                                    {"localAppData", "G:\\Users\\User\\AppData\\Local"}};

// The EFI system partition the default PC's data disk holds beside E: and F:.
constexpr char kEfiVolume[] = "\\\\?\\Volume{8a3f6c21-94d2-4e0b-b7a5-2c51d0e9f3a7}";

const std::vector<std::string> kBanner = {
    " ",
    "=================================================",
    "Trevasso 4.12; https://trevasso.example.org/",
    "Low level format: [1]  WDC WD5000AAKS-00TMA0    12.01C01    [500.1 GB]",
    "Device capacity: 976,773,168 sectors",
    "Locking device... ",
};

} // namespace

TEST(FormatRun, QuickWipeOfTheDataDiskClearsBothPartitionTablesAndNothingElse) {
  auto run = Play(Scenario(), FormatScript(true));
  const auto& m = run.app->FmMain;
  std::vector<std::string> expected = kBanner;
  expected.push_back("Formatting... ");
  expected.push_back("Clearing the backup partition table: the last 1,048,576 bytes from offset 500,106,813,440");
  expected.push_back("Average speed: " + U8(m.lbSpeed.caption()));
  expected.push_back("Low-level format is complete.");
  expected.push_back("");
  expected.push_back("Remember to create new partitions.");
  EXPECT_EQ(RunLog(run), expected);
  for (const auto& line : Lines(m.Log_BenchMark)) EXPECT_TRUE(HasTimeStamp(line)) << line;
  EXPECT_EQ(ZeroRanges(run, 1), (std::vector<ByteRange>{{0, 10'240'000}, {kDisk1Bytes - 1'048'576, kDisk1Bytes}}));
  EXPECT_EQ(run.platform->Media(1)->changed.Bytes(), 10'240'000 + 1'048'576);
  for (std::uint32_t other : {0u, 2u, 3u}) EXPECT_TRUE(run.platform->Media(other)->changed.Empty()) << other;

  // E: and F: live on disk 1: locked and dismounted before the first write,
  // released after the refresh request; the others were only asked their number.
  const auto calls = Calls(run);
  const auto firstWrite = IndexOf(calls, "WriteFile");
  const auto refresh = IndexOf(calls, "DeviceIoControl code=0x70140");
  ASSERT_GT(firstWrite, 0);
  ASSERT_GT(refresh, firstWrite);
  for (std::size_t v = 0; v < 5; ++v) {
    EXPECT_FALSE(run.platform->VolumeLocked(v));
    EXPECT_EQ(run.platform->VolumeDismounted(v), v == 2 || v == 3) << v;
  }
  const auto lockE = IndexOf(calls, "DeviceIoControl code=0x90018 in=0 out=0 E:\\ -> ok");
  const auto lockF = IndexOf(calls, "DeviceIoControl code=0x90018 in=0 out=0 F:\\ -> ok");
  EXPECT_TRUE(lockE > 0 && lockF > lockE && firstWrite > lockF);
  EXPECT_EQ(run.platform->OpenVolumeHandles(), 0u);
  EXPECT_GT(IndexOf(calls, "CloseHandle", refresh), refresh);
  EXPECT_GT(IndexOf(calls, "FlushFileBuffers"), IndexOf(calls, "WriteFile offset=500106813440"));

  EXPECT_EQ(m.pbCurrentTask.position(), 100);
  EXPECT_EQ(m.pbCurrentTask.state(), ProgressState::Paused);
  EXPECT_EQ(U8(m.lbCurrentPercent.caption()), "100% complete");
  EXPECT_EQ(U8(m.lbCurrentPosition.caption()), "Current sector: 976,773,168");
  ExpectIdle(m);
  EXPECT_FALSE(run.app->StopRequested);
  EXPECT_TRUE(run.ui->problems().empty());
}

TEST(FormatRun, FullFormatZeroesTheWholeDiskWithTheDoublingBlockSchedule) {
  // Fast enough that every 10 blocks take less than a second.
  auto run = Play(PcWithDisk1(PlainDisk(1, kGiB / 512, {{"megabytesPerSecond", 100000}})), FormatScript(false));
  EXPECT_EQ(ZeroRanges(run, 1), (std::vector<ByteRange>{{0, kGiB}}));
  const auto writes = Writes(run);
  ASSERT_GT(writes.size(), 100u);
  for (std::size_t i = 0; i < 19; ++i) EXPECT_EQ(writes[i].size, 65'536) << i;
  EXPECT_EQ(writes[19].size, 131'072);  // block 20: the first window (blocks 10-19) was fast
  EXPECT_EQ(writes[29].size, 262'144);
  EXPECT_EQ(writes[89].size, 16'777'216);
  EXPECT_EQ(writes[98].size, 16'777'216);
  for (std::size_t i = 99; i + 1 < writes.size(); ++i) EXPECT_EQ(writes[i].size, 33'554'432) << i;
  std::int64_t next = 0;
  for (const auto& w : writes) {
    EXPECT_TRUE(w.ok);
    EXPECT_EQ(w.offset, next);
    next += w.size;
  }
  EXPECT_EQ(next, kGiB);
  EXPECT_LT(writes.back().size, 33'554'432);  // the shortened last block ends exactly at the end
  EXPECT_EQ(Tail(RunLog(run), 3)[0], "Low-level format is complete.");
  EXPECT_EQ(U8(run.app->FmMain.lbCurrentPercent.caption()), "100% complete");

  // A disk whose 10 blocks take a second or more keeps its 64 KiB blocks.
  auto slow = Play(PcWithDisk1(PlainDisk(1, 65'536, {{"megabytesPerSecond", 0}, {"writeLatencyMicroseconds", 100'000}})),
                   FormatScript(false));
  const auto slowWrites = Writes(slow);
  ASSERT_EQ(slowWrites.size(), 512u);
  for (const auto& w : slowWrites) EXPECT_EQ(w.size, 65'536);
  EXPECT_EQ(U8(slow.app->FmMain.lbSpeed.caption()), "0.7 MB/s");  // 65,536 bytes per 100 ms
}

TEST(FormatRun, DecliningTheConfirmationChangesNothing) {
  for (const char* answer : {"Cancel", "Close"}) {
    std::string script = FormatScript(true);
    script.replace(script.find("answer Yes"), 10, std::string("answer ") + answer);
    auto run = Play(Scenario(), script);
    const auto& m = run.app->FmMain;
    ASSERT_EQ(run.ui->boxes().size(), 1u);
    const auto& box = run.ui->boxes()[0];
    EXPECT_EQ(box.kind, "TaskDialog");
    EXPECT_EQ(U8(box.caption), "Warning");
    EXPECT_EQ(U8(box.instruction), "All data on the selected device will be lost");
    EXPECT_EQ(U8(box.text), "Are you absolutely sure you want to irreversibly destroy all data on this device?\r\n\r\n"
                            "[1]  WDC WD5000AAKS-00TMA0    12.01C01    [500.1 GB]");
    EXPECT_EQ(box.flags, 84u);
    EXPECT_EQ(box.buttons, 10);
    EXPECT_TRUE(RunLog(run).empty());
    EXPECT_TRUE(Writes(run).empty());
    EXPECT_EQ(IndexOf(Calls(run), "GetLogicalDriveStringsW"), -1);
    ExpectIdle(m);
    EXPECT_TRUE(m.cbQuickWipe.checked());
    EXPECT_EQ(m.pbCurrentTask.position(), 0);
    EXPECT_EQ(m.pbCurrentTask.state(), ProgressState::Normal);
    EXPECT_TRUE(m.lbCurrentPercent.caption().empty());
  }
}

TEST(FormatRun, AVolumeInUseStopsTheRunBeforeAnyWriteAndEveryLockIsReleased) {
  // Disk 0 of a PC started from the USB stick: C: has open files, so its lock fails.
  std::string script = FormatScript(true);
  script.replace(script.find("DriveList 1"), 11, "DriveList 0");
  auto run = Play(Scenario(kWindowsOnG), script);
  auto log = RunLog(run);
  ASSERT_EQ(log.size(), 8u);
  EXPECT_EQ(log[3], "Low level format: [0]  INTEL SSDSA2CW120G3    4PC10302    [120.03 GB]");
  EXPECT_EQ(log[5], "Locking device... ");
  // The volume that refused is named, with the system's answer.
  EXPECT_EQ(log[6], "Volume C: could not be locked (error 5: Access is denied.): a program has files open on it, or holds it.");
  EXPECT_EQ(log[7], "Unable to lock device. Make sure you do not have open files on this device and try again. ");
  EXPECT_TRUE(Writes(run).empty());
  const auto calls = Calls(run);
  const auto lockC = IndexOf(calls, "DeviceIoControl code=0x90018 in=0 out=0 C:\\ -> failed error=5");
  ASSERT_GT(lockC, 0);
  EXPECT_EQ(calls[static_cast<std::size_t>(lockC) + 1].rfind("CloseHandle", 0), 0u);  // closed at once
  EXPECT_GT(IndexOf(calls, "DeviceIoControl code=0x70140", lockC), lockC);  // the refresh still happens
  EXPECT_EQ(IndexOf(calls, "CreateFileW \\\\.\\D: access=0x80000000"), -1);  // D: is never reached
  EXPECT_EQ(run.platform->OpenVolumeHandles(), 0u);
  ExpectIdle(run.app->FmMain);
  EXPECT_EQ(run.app->FmMain.pbCurrentTask.state(), ProgressState::Normal);

  // The second of disk 1's volumes refuses: the first stays locked until the
  // release after the refresh request.
  auto patch = nlohmann::json::parse(trv::sim::DefaultScenarioJson());
  patch["volumes"][3]["fail"] = {{"lock", 5}};
  auto second = Play(Scenario({{"volumes", patch["volumes"]}}), FormatScript(true));
  EXPECT_EQ(RunLog(second).back(), "Unable to lock device. Make sure you do not have open files on this device and try again. ");
  EXPECT_TRUE(Writes(second).empty());
  const auto c2 = Calls(second);
  const auto lockE = IndexOf(c2, "DeviceIoControl code=0x90018 in=0 out=0 E:\\ -> ok");
  const auto lockF = IndexOf(c2, "DeviceIoControl code=0x90018 in=0 out=0 F:\\ -> failed");
  const auto refresh = IndexOf(c2, "DeviceIoControl code=0x70140");
  ASSERT_TRUE(lockE > 0 && lockF > lockE && refresh > lockF);
  EXPECT_EQ(c2[static_cast<std::size_t>(lockF) + 1].rfind("CloseHandle", 0), 0u);
  EXPECT_EQ(c2[static_cast<std::size_t>(refresh) + 1].rfind("CloseHandle", 0), 0u);  // E:'s lock ends here
  EXPECT_EQ(second.platform->OpenVolumeHandles(), 0u);
  EXPECT_FALSE(second.platform->VolumeLocked(2));
}

TEST(FormatRun, DebugModeTracesEveryVolumeAndACdromNumberedLikeTheDiskIsLeftAlone) {
  nlohmann::json patch = kWindowsOnG;
  patch["volumes"] = nlohmann::json::parse(trv::sim::DefaultScenarioJson())["volumes"];
  patch["volumes"][0].erase("fail");  // C: can be locked here
  std::string script = FormatScript(true);
  script.replace(script.find("DriveList 1"), 11, "DriveList 0");
  auto run = Play(Scenario(patch), "close; " + script, {u"--debug"});
  auto log = RunLog(run);
  const std::vector<std::string> expected = {
      "Looking for partitions...", "Done.",
      "Getting device data...", "Done.", "Found partition C:      DeviceType: 7   DeviceNumber: 0   Partition: 2",
      "Getting device data...", "Done.", "Found partition D:      DeviceType: 2   DeviceNumber: 0   Partition: 0",
      "Getting device data...", "Done.", "Found partition E:      DeviceType: 7   DeviceNumber: 1   Partition: 1",
      "Getting device data...", "Done.", "Found partition F:      DeviceType: 7   DeviceNumber: 1   Partition: 2",
      "Getting device data...", "Done.", "Found partition G:      DeviceType: 7   DeviceNumber: 2   Partition: 1",
      "Getting device data...", "Done.",
      std::string("Found partition ") + kEfiVolume + "\\      DeviceType: 7   DeviceNumber: 1   Partition: 3",
      "Locking \\\\.\\C:", "Got handle!", "Locking volume...", "Done.", "Dismounting volume...", "Done.",
      "Extending I/O...", "Done.",
      "Formatting... "};
  ASSERT_GE(log.size(), 6 + expected.size());
  EXPECT_EQ(std::vector<std::string>(log.begin() + 6, log.begin() + 6 + static_cast<std::ptrdiff_t>(expected.size())), expected);
  // The DVD drive shares disk 0's number but is no volume of the disk: never opened for a lock.
  EXPECT_FALSE(run.platform->VolumeDismounted(1));
  EXPECT_EQ(IndexOf(Calls(run), "CreateFileW \\\\.\\D: access=0x80000000"), -1);
  EXPECT_TRUE(run.platform->VolumeDismounted(0));
  EXPECT_EQ(ZeroRanges(run, 0).size(), 2u);

  // Without debug mode the lock adds no line at all.
  auto quiet = Play(Scenario(patch), script);
  EXPECT_EQ(RunLog(quiet)[6], "Formatting... ");

  // A DVD drive that refuses its lock, or a mounted image numbered like the data
  // disk, blocks nothing.
  patch["volumes"][1]["fail"] = {{"lock", 5}, {"dismount", 5}};
  patch["volumes"].push_back({{"letter", "K"}, {"deviceType", 2}, {"deviceNumber", 1}, {"fail", {{"lock", 5}}},
                              {"label", "a disc image mounted by Explorer"}});
  auto optical = Play(Scenario(patch), script);
  EXPECT_EQ(RunLog(optical)[6], "Formatting... ");
  auto image = Play(Scenario(patch), FormatScript(true));
  EXPECT_EQ(RunLog(image)[6], "Formatting... ");
  EXPECT_EQ(IndexOf(Calls(image), "CreateFileW \\\\.\\K: access=0x80000000"), -1);
  EXPECT_EQ(ZeroRanges(image, 1).size(), 2u);
}

TEST(FormatRun, LetterlessAndFolderMountedVolumesAreLockedAndDismounted) {
  auto volumes = nlohmann::json::parse(trv::sim::DefaultScenarioJson())["volumes"];
  volumes.push_back({{"guid", "{0f1e2d3c-4b5a-6978-8796-a5b4c3d2e1f0}"}, {"mountFolders", {"C:\\Backups\\Disk1\\"}},
                     {"deviceNumber", 1}, {"partition", 4}, {"label", "mounted in a folder of C:"}});
  auto run = Play(Scenario({{"volumes", volumes}}), "close; " + FormatScript(true), {u"--debug"});
  const auto log = RunLog(run);
  const std::string folderVolume = "\\\\?\\Volume{0f1e2d3c-4b5a-6978-8796-a5b4c3d2e1f0}";
  for (const std::string& line : std::vector<std::string>{
           std::string("Found partition ") + kEfiVolume + "\\      DeviceType: 7   DeviceNumber: 1   Partition: 3",
        "Found partition " + folderVolume + "\\ (C:\\Backups\\Disk1\\)      DeviceType: 7   DeviceNumber: 1   Partition: 4",
        "Locking \\\\.\\E:", "Locking \\\\.\\F:", std::string("Locking ") + kEfiVolume, "Locking " + folderVolume})
    EXPECT_NE(std::find(log.begin(), log.end(), line), log.end()) << line;
  EXPECT_EQ(Tail(log, 3)[0], "Low-level format is complete.");

  // All four of disk 1's volumes locked and dismounted before the first write, by
  // drive letter or by GUID path, and released after the refresh request.
  const auto calls = Calls(run);
  const auto firstWrite = IndexOf(calls, "WriteFile");
  for (const std::string& v : {std::string("E:\\"), std::string("F:\\"), std::string(kEfiVolume) + "\\", folderVolume + "\\"}) {
    const auto lock = IndexOf(calls, "DeviceIoControl code=0x90018 in=0 out=0 " + v + " -> ok");
    const auto dismount = IndexOf(calls, "DeviceIoControl code=0x90020 in=0 out=0 " + v + " -> ok");
    EXPECT_TRUE(lock > 0 && dismount > lock && firstWrite > dismount) << v;
  }
  EXPECT_GT(IndexOf(calls, std::string("CreateFileW ") + kEfiVolume + " access=0x80000000"), 0);
  for (std::size_t v = 0; v < 7; ++v) EXPECT_EQ(run.platform->VolumeDismounted(v), v == 2 || v == 3 || v >= 5) << v;
  EXPECT_EQ(run.platform->OpenVolumeHandles(), 0u);
  EXPECT_EQ(run.platform->OpenHandleCount(), 0u);  // the volume search was closed too
  // Each volume search (the purge's plan makes its own) was closed.
  EXPECT_EQ(run.platform->journal().Count("FindVolumeClose"), run.platform->journal().Count("FindFirstVolumeW"));
}

TEST(FormatRun, ThirtyVolumesWithLongMountFoldersAreAllFoundAndLocked) {
  // More than 1,024 characters of names, where a list of drive strings gave up.
  nlohmann::json volumes = nlohmann::json::array();
  for (int i = 0; i < 30; ++i)
    volumes.push_back({{"mountFolders", {"C:\\Mounts\\a-folder-with-a-long-name-for-volume-" + std::to_string(100 + i) + "\\"}},
                       {"deviceNumber", 1}, {"partition", i + 1}});
  auto run = Play(Scenario({{"volumes", volumes}}), "close; " + FormatScript(true), {u"--debug"});
  const auto log = RunLog(run);
  EXPECT_EQ(log[6], "Looking for partitions...");
  EXPECT_EQ(std::count_if(log.begin(), log.end(), [](const std::string& l) { return l.rfind("Locking \\\\?\\Volume{", 0) == 0; }), 30);
  for (std::size_t v = 0; v < 30; ++v) EXPECT_TRUE(run.platform->VolumeDismounted(v)) << v;
  EXPECT_EQ(Tail(log, 3)[0], "Low-level format is complete.");
}

TEST(FormatRun, VolumesThatCannotBeTakenOfflineSafelyRefuseTheEraseBeforeAnyLock) {
  const auto defaults = nlohmann::json::parse(trv::sim::DefaultScenarioJson())["volumes"];
  auto with = [&](const nlohmann::json& extra) {
    nlohmann::json volumes = defaults;
    volumes.push_back(extra);
    return Scenario({{"volumes", volumes}});
  };
  const std::string efiNamed = std::string(kEfiVolume) + "\\";
  struct Case {
    const char* name;
    trv::sim::Scenario pc;
    std::string script;
    std::vector<std::string> reasons;
  };
  std::string disk0 = FormatScript(true);
  disk0.replace(disk0.find("DriveList 1"), 11, "DriveList 0");
  const std::vector<Case> cases = {
      {"a volume spanning disks 1 and 2",
       with({{"letter", "S"}, {"extents", {{{"disk", 1}}, {{"disk", 2}, {"offset", 0}}}}}), FormatScript(true),
       {"Volume S: lies on this disk and also on disk 2 (a spanned, striped or mirrored volume): erasing this disk "
        "would destroy the whole volume. Delete the volume in Disk Management first if that is what you want."}},
      {"a letterless mirror whose other half is on disk 3",
       with({{"guid", "{11111111-2222-3333-4444-555555555555}"}, {"extents", {{{"disk", 3}}, {{"disk", 1}}}}}),
       FormatScript(true),
       {"Volume \\\\?\\Volume{11111111-2222-3333-4444-555555555555}\\ lies on this disk and also on disk 3 (a spanned, "
        "striped or mirrored volume): erasing this disk would destroy the whole volume. Delete the volume in Disk "
        "Management first if that is what you want."}},
      {"a volume that cannot say where it lies",
       with({{"mountFolders", {"C:\\Dyn\\"}}, {"guid", "{abcdef01-2345-6789-abcd-ef0123456789}"}, {"extents", {{{"disk", 2}}}},
             {"fail", {{"extents", 1}}}}),
       FormatScript(true),
       {"Volume \\\\?\\Volume{abcdef01-2345-6789-abcd-ef0123456789}\\ (C:\\Dyn\\) cannot say which disks it lies on "
        "(error 1: Incorrect function.), so it may lie on this disk."}},
      {"a volume that cannot be opened", with({{"letter", "T"}, {"deviceNumber", 3}, {"fail", {{"open", 5}}}}),
       FormatScript(true),
       {"Volume T: cannot say which disks it lies on (error 5: Access is denied.), so it may lie on this disk."}},
      {"the disk Windows runs from", Scenario(), disk0,
       {"Windows runs from volume C: on this disk: a disk cannot be erased while the computer runs from it. Start the "
        "computer from another disk, or connect this disk to another computer, and erase it there.",
        "Volume C: on this disk holds a page file that Windows uses (C:\\pagefile.sys). Move the page file to another "
        "disk (System Properties, Advanced, Performance, Virtual memory), restart, and try again."}},
      {"a page file on E:", Scenario({{"pagingFiles", {"?:\\pagefile.sys", "e:\\pagefile.sys 2048 4096"}}}),
       FormatScript(true),
       {"Volume E: on this disk holds a page file that Windows uses (e:\\pagefile.sys). Move the page file to another "
        "disk (System Properties, Advanced, Performance, Virtual memory), restart, and try again."}},
      {"a volume list that cannot be read", Scenario({{"volumeSearchFails", 5}}), FormatScript(true),
       {"The computer's volumes could not be listed (error 5: Access is denied.), so those on this disk cannot be "
        "taken offline."}},
  };
  for (const Case& c : cases) {
    auto run = Play(c.pc, c.script);
    std::vector<std::string> expected = c.reasons;
    expected.push_back("The disk was not erased: nothing was written.");
    const auto log = RunLog(run);
    ASSERT_GE(log.size(), 6u) << c.name;
    EXPECT_EQ(log[5], "Locking device... ") << c.name;
    EXPECT_EQ(std::vector<std::string>(log.begin() + 6, log.end()), expected) << c.name;
    EXPECT_TRUE(Writes(run).empty()) << c.name;
    const auto calls = Calls(run);
    EXPECT_EQ(IndexOf(calls, "DeviceIoControl code=0x90018"), -1) << c.name << ": no lock tried";
    EXPECT_EQ(IndexOf(calls, "CreateFileW \\\\.\\E: access=0x80000000"), -1) << c.name;
    EXPECT_EQ(run.platform->OpenVolumeHandles(), 0u) << c.name;
    EXPECT_TRUE(RecordLine(run).empty()) << c.name << ": nothing written, no record";
    ASSERT_EQ(run.ui->boxes().size(), 2u) << c.name;  // the confirmation, then the refusal
    const auto& box = run.ui->boxes()[1];
    EXPECT_EQ(U8(box.caption), "Erase refused") << c.name;
    std::string text = "The disk was not erased: nothing was written.";
    for (const auto& r : c.reasons) text += "\r\n\r\n" + r;
    EXPECT_EQ(U8(box.text), text) << c.name;
    ExpectIdle(run.app->FmMain);
  }

  // Left alone, and no reason to refuse: a volume of disk 2 whose extents cannot
  // be read, one whose extents need more room than the first answer gives, and
  // a volume that lies wholly on disk 2.
  nlohmann::json many = {{"guid", "{99999999-8888-7777-6666-555555555555}"}, {"extents", nlohmann::json::array()}};
  for (int i = 0; i < 40; ++i) many["extents"].push_back({{"disk", 1}, {"offset", 1'048'576 * (i + 1)}, {"length", 4096}});
  nlohmann::json volumes = defaults;
  volumes.push_back({{"letter", "U"}, {"deviceNumber", 2}, {"partition", 2}, {"fail", {{"extents", 21}}}});
  volumes.push_back(many);
  volumes.push_back({{"letter", "V"}, {"extents", {{{"disk", 2}}, {{"disk", 2}, {"offset", 0}}}}});
  auto fine = Play(Scenario({{"volumes", volumes}}), FormatScript(true));
  EXPECT_EQ(RunLog(fine)[6], "Formatting... ");
  EXPECT_FALSE(fine.platform->VolumeDismounted(defaults.size()));
  EXPECT_TRUE(fine.platform->VolumeDismounted(defaults.size() + 1));  // 40 extents on disk 1
  EXPECT_FALSE(fine.platform->VolumeDismounted(defaults.size() + 2));
  EXPECT_GT(IndexOf(Calls(fine), "DeviceIoControl code=0x560000 in=0 out=776 \\\\?\\Volume{99999999-8888-7777-6666-555555555555}\\ -> failed error=234"), 0);
  EXPECT_EQ(ZeroRanges(fine, 1).size(), 2u);

  // The modern PC runs from C: on its NVMe system disk; its SATA disk may go.
  std::string nvme = FormatScript(true);
  nvme.replace(nvme.find("DriveList 1"), 11, "DriveList 0");
  auto modern = Play(trv::test::ModernPc(), nvme);
  EXPECT_EQ(RunLog(modern)[6].rfind("Windows runs from volume C: on this disk", 0), 0u);
  EXPECT_TRUE(modern.platform->Media(0)->changed.Empty());
  auto sata = Play(trv::test::ModernPc(), FormatScript(true));
  EXPECT_EQ(RunLog(sata)[6], "Formatting... ");
}

TEST(FormatRun, BadAreasCostOnlyTheirFailing64KiBPiecesAndTheRunDoesNotClaimCompletion) {
  const nlohmann::json media = {{"megabytesPerSecond", 100000},
                                {"badAreas", {{{"offset", 314'576'896}, {"length", 70'000}, {"error", 23}},
                                              {{"offset", 700'000'256}, {"length", 512}, {"error", 1117}}}}};
  auto run = Play(PcWithDisk1(PlainDisk(1, kGiB / 512, media)), FormatScript(false));
  const auto& m = run.app->FmMain;
  // Pieces [314,572,800, 314,703,872) and [699,990,016, 700,055,552) stay as they were.
  EXPECT_EQ(ZeroRanges(run, 1), (std::vector<ByteRange>{{0, 314'572'800}, {314'703'872, 699'990'016}, {700'055'552, kGiB}}));
  const auto log = RunLog(run);
  std::vector<std::string> errors;
  for (const auto& l : log)
    if (l.rfind("Format Error occurred at offset ", 0) == 0) errors.push_back(l);
  // One line for each failing block, with what its 64 KiB pieces came to.
  ASSERT_EQ(errors.size(), 2u);
  EXPECT_EQ(errors[0], "Format Error occurred at offset 301,924,352   (23); tried again in 64 KiB pieces: 2 of 256 "
                       "failed (first at offset 314,572,800)");  // its 16 MiB block
  EXPECT_EQ(errors[1], "Format Error occurred at offset 671,023,104   (1117); tried again in 64 KiB pieces: 1 of 512 "
                       "failed (first at offset 699,990,016)");  // its 32 MiB block
  const auto tail = Tail(log, 4);
  EXPECT_EQ(tail[0], "Average speed: " + U8(m.lbSpeed.caption()));
  EXPECT_EQ(tail[1], "Low-level format finished with errors: 196,608 bytes in 2 areas could not be written "
                     "(first at offset 314,572,800).");
  EXPECT_EQ(tail[2], "");
  EXPECT_EQ(tail[3], "Remember to create new partitions.");
  EXPECT_EQ(m.pbCurrentTask.state(), ProgressState::Error);
  ExpectIdle(m);
}

TEST(FormatRun, AnUnpluggedDiskEndsTheRunAtTheFailingBlock) {
  for (std::uint32_t code : {55u, 2u}) {
    const nlohmann::json media = {{"megabytesPerSecond", 100000}, {"unplugAt", {{"offset", 500'000'768}, {"error", code}}}};
    auto run = Play(PcWithDisk1(PlainDisk(1, kGiB / 512, media)), FormatScript(false));
    const auto writes = Writes(run);
    ASSERT_FALSE(writes.empty());
    const auto failed = writes.back();  // nothing is written after it
    EXPECT_FALSE(failed.ok);
    EXPECT_LE(failed.offset, 500'000'768);
    EXPECT_GT(failed.offset + failed.size, 500'000'768);
    EXPECT_EQ(ZeroRanges(run, 1), (std::vector<ByteRange>{{0, failed.offset}}));
    const std::string at = trv::Utf16ToUtf8(trv::report::FormatThousands(failed.offset));
    const std::string lba = trv::Utf16ToUtf8(trv::report::FormatThousands(failed.offset / 512));
    const auto tail = Tail(RunLog(run), 4);
    EXPECT_EQ(tail[0], "Format Error occurred at offset " + at + "   (" + std::to_string(code) + ")");
    EXPECT_EQ(tail[1], "Device was unplugged, aborting...");
    EXPECT_EQ(tail[2].rfind("Average speed: ", 0), 0u);
    EXPECT_EQ(tail[3], "Operation terminated at offset " + at + "    LBA " + lba);
    ExpectEndsWithoutReminder(run, tail[3]);
    EXPECT_EQ(run.platform->journal().Count("FlushFileBuffers"), 2u);  // the record's two files; never the disk
    EXPECT_EQ(run.app->FmMain.pbCurrentTask.state(), ProgressState::Paused);
  }
}

TEST(FormatRun, StopEndsTheRunAfterTheCurrentBlockWhileOtherCommandsStayDisabled) {
  // Pump 1 comes before the first block, pump n+1 as block n begins.
  auto run = Play(Scenario(), FormatScript(false, "wait 2; click btGetSmart; wait 4; click btStop"));
  EXPECT_EQ(ZeroRanges(run, 1), (std::vector<ByteRange>{{0, 327'680}}));  // blocks 1 to 5
  const auto tail = Tail(RunLog(run), 2);
  EXPECT_EQ(tail[1], "Operation cancelled at offset 327,680    LBA 640");
  EXPECT_FALSE(run.app->StopRequested);
  EXPECT_EQ(run.app->FmMain.pbCurrentTask.state(), ProgressState::Paused);
  ASSERT_EQ(run.ui->problems().size(), 1u);
  EXPECT_EQ(run.ui->problems()[0], "\"click btGetSmart\": btGetSmart is disabled");
  ExpectIdle(run.app->FmMain);

  // A wait longer than the run is reported, not silently dropped.
  auto late = Play(PcWithDisk1(PlainDisk(1, 65'536, {{"megabytesPerSecond", 100000}})), FormatScript(false, "wait 999; click btStop"));
  ASSERT_EQ(late.ui->problems().size(), 2u);
  EXPECT_EQ(late.ui->problems()[0].rfind("\"wait 999\": the program pumped messages ", 0), 0u);
  EXPECT_EQ(late.ui->problems()[1], "\"click btStop\": btStop is disabled");
}

TEST(FormatRun, ClosingTheWindowDuringARunStopsItFirstAndNeverWritesToAClosedHandle) {
  auto run = Play(Scenario(), FormatScript(false, "wait 6; close"));
  EXPECT_EQ(run.exitReason, "main window closed");
  EXPECT_EQ(ZeroRanges(run, 1), (std::vector<ByteRange>{{0, 327'680}}));
  const auto tail = Tail(RunLog(run), 2);
  EXPECT_EQ(tail[1], "Operation cancelled at offset 327,680    LBA 640");
  ExpectEndsWithoutReminder(run, tail[1]);
  const auto calls = Calls(run);
  EXPECT_EQ(calls.back().rfind("CloseHandle", 0), 0u);  // the disk, last of all
  EXPECT_LT(IndexOf(calls, "CloseHandle", IndexOf(calls, "DeviceIoControl code=0x70140")), static_cast<std::ptrdiff_t>(calls.size()));
  EXPECT_EQ(run.platform->OpenHandleCount(), 0u);
  EXPECT_FALSE(run.app->FmMain.visible());
}

TEST(FormatRun, SeekAndFlushFailuresAreCountedAgainstTheRun) {
  auto seek = Play(PcWithDisk1(PlainDisk(1, 65'536, {{"megabytesPerSecond", 100000}, {"seekFails", {{{"offset", 196'608}}}}})),
                   FormatScript(false));
  EXPECT_EQ(ZeroRanges(seek, 1), (std::vector<ByteRange>{{0, 196'608}, {262'144, 33'554'432}}));
  const auto log = RunLog(seek);
  EXPECT_EQ(std::count(log.begin(), log.end(), "Seek error occurred at offset 196,608"), 1);
  EXPECT_EQ(Tail(log, 3)[0], "Low-level format finished with errors: 65,536 bytes in 1 area could not be written "
                             "(first at offset 196,608).");

  auto flush = Play(PcWithDisk1(PlainDisk(1, 65'536, {{"megabytesPerSecond", 100000}, {"flushError", 1117}})),
                    FormatScript(false));
  const auto tail = Tail(RunLog(flush), 5);
  EXPECT_EQ(tail[0], "Flush error occurred   (1117)");
  EXPECT_EQ(tail[1].rfind("Average speed: ", 0), 0u);
  EXPECT_EQ(tail[2], "Low-level format is not complete: the device did not confirm that the zeros were written.");
  EXPECT_EQ(flush.app->FmMain.pbCurrentTask.state(), ProgressState::Error);
  EXPECT_EQ(ZeroRanges(flush, 1), (std::vector<ByteRange>{{0, 33'554'432}}));
}

TEST(FormatRun, NoVolumeOrThreeVolumesOnTheDisk) {
  // A raw disk: nothing to lock, and the run goes on.
  auto raw = Play(Scenario({{"volumes", nlohmann::json::array()}}), FormatScript(true));
  EXPECT_EQ(RunLog(raw)[6], "Formatting... ");
  EXPECT_EQ(ZeroRanges(raw, 1).size(), 2u);

  // Three lettered partitions: locked in drive-list order, all released at the end.
  const nlohmann::json three = {{{"letter", "C"}, {"deviceNumber", 0}},
                                {{"letter", "H"}, {"deviceNumber", 1}, {"partition", 1}},
                                {{"letter", "I"}, {"deviceNumber", 1}, {"partition", 2}},
                                {{"letter", "J"}, {"deviceNumber", 1}, {"partition", 3}}};
  auto run = Play(Scenario({{"volumes", three}}), FormatScript(true, "wait 3; check cbQuickWipe"));
  const auto calls = Calls(run);
  std::ptrdiff_t previous = 0;
  for (const char* v : {"H:", "I:", "J:"}) {
    const auto lock = IndexOf(calls, std::string("DeviceIoControl code=0x90018 in=0 out=0 ") + v + "\\ -> ok");
    EXPECT_GT(lock, previous) << v;
    previous = lock;
  }
  const auto refresh = IndexOf(calls, "DeviceIoControl code=0x70140");
  for (std::size_t i = 1; i <= 3; ++i) EXPECT_EQ(calls[static_cast<std::size_t>(refresh) + i].rfind("CloseHandle", 0), 0u);
  EXPECT_EQ(run.platform->OpenVolumeHandles(), 0u);
  EXPECT_TRUE(run.app->VolumeHandles.empty());
  // The quick-wipe box cannot change the running operation.
  ASSERT_EQ(run.ui->problems().size(), 1u);
  EXPECT_EQ(run.ui->problems()[0], "\"check cbQuickWipe\": cbQuickWipe is disabled");
  EXPECT_TRUE(run.app->FmMain.cbQuickWipe.checked());
}

TEST(FormatRun, AStopThatCameDuringTheLastBlockLeavesACompleteRun) {
  // Pump n+1 begins block n: the Stop lands as the last block begins, too late to stop anything.
  const std::size_t blocks = Writes(Play(Scenario(), FormatScript(true))).size();
  auto run = Play(Scenario(), FormatScript(true, "wait " + std::to_string(blocks + 1) + "; click btStop"));
  EXPECT_EQ(Writes(run).size(), blocks);
  const auto tail = Tail(RunLog(run), 4);
  EXPECT_EQ(tail[1], "Low-level format is complete.");
  EXPECT_EQ(run.app->FmMain.pbCurrentTask.position(), 100);
  EXPECT_FALSE(run.app->StopRequested);
  EXPECT_TRUE(run.ui->problems().empty());
  const auto files = run.platform->FilesWritten(u"C:\\Users\\User\\AppData\\Local\\Trevasso\\records");
  ASSERT_EQ(files.size(), 2u);
  EXPECT_EQ(nlohmann::json::parse(*run.platform->FileContent(files[0]))["outcome"], "completed");

  // One block earlier it still stops the run before its last block.
  auto early = Play(Scenario(), FormatScript(true, "wait " + std::to_string(blocks) + "; click btStop"));
  EXPECT_EQ(Writes(early).size(), blocks - 1);
  EXPECT_EQ(Tail(RunLog(early), 2)[1].rfind("Operation cancelled at offset ", 0), 0u);
}

TEST(FormatRun, EveryRunStartsWithStopCleared) {
  // Stop clicked while a write hangs that then fails as the disk goes away
  // (code 55): the run ends terminated with no pump after the click, so the
  // Stop is never taken in, as a click that comes too late. The next confirmed
  // run, a quick wipe that does not reach that area, must write all of it.
  constexpr std::int64_t kMiB = 1'048'576, size = 64 * kMiB;
  const nlohmann::json hang = {{"offset", 32 * kMiB}, {"length", 512}, {"milliseconds", 300}, {"error", 55}};
  auto run = Play(SmallPc({{"hangingAreas", nlohmann::json::array({hang})}}),
                  FormatScript(false, "waithang 1; click btStop; check cbQuickWipe; click btRunBenchmarks; click btOk; answer Yes"));
  EXPECT_TRUE(run.ui->problems().empty()) << run.ui->problems()[0];
  const auto log = RunLog(run);
  EXPECT_EQ(CountPrefix(log, "Operation terminated at offset "), 1u);
  EXPECT_EQ(CountPrefix(log, "Operation cancelled"), 0u);
  EXPECT_EQ(Tail(log, 3)[0], "Low-level format is complete.");
  const auto zero = ZeroRanges(run, 1);
  ASSERT_FALSE(zero.empty());
  EXPECT_EQ(zero.back(), (ByteRange{size - kMiB, size}));
  EXPECT_FALSE(run.app->StopRequested);
}

TEST(FormatRun, AStoppedRunThatLeftBytesUnwrittenEndsWithTheBarInError) {
  const nlohmann::json media = {{"megabytesPerSecond", 100000},
                                {"badAreas", {{{"offset", 70'000}, {"length", 512}, {"error", 23}}}}};
  auto run = Play(PcWithDisk1(PlainDisk(1, kGiB / 512, media)), FormatScript(false, "wait 6; click btStop"));
  const auto tail = Tail(RunLog(run), 3);
  EXPECT_EQ(tail[1], "Low-level format finished with errors: 65,536 bytes in 1 area could not be written "
                     "(first at offset 65,536).");
  // Block 2 was tried again as one piece, which pumped too: Stop came as block 4 began.
  EXPECT_EQ(tail[2], "Operation cancelled at offset 262,144    LBA 512");
  EXPECT_EQ(run.app->FmMain.pbCurrentTask.state(), ProgressState::Error);
}

TEST(FormatRun, WithoutTheSystemTaskDialogTheQuestionIsAskedWithTheMessageDialog) {
  auto run = Play(Scenario({{"taskDialog", false}}), FormatScript(true));
  ASSERT_FALSE(run.ui->boxes().empty());
  EXPECT_EQ(run.ui->boxes()[0].kind, "MessageDialog");
  EXPECT_EQ(ZeroRanges(run, 1).size(), 2u);
  EXPECT_EQ(Tail(RunLog(run), 3)[0], "Low-level format is complete.");
}
