// The records folder's guard and the erase's I/O memory, in the window program
// and the console program on the simulated PC: a records folder that lies on
// the erased disk through a junction or a SUBST drive, one reached through a
// junction at all, and one another user owns, are refused before anything is
// locked or written; the program's folders under %ProgramData% get its access
// list; a floppy numbered like the disk is no volume of it; the buffers are
// VirtualAlloc's and given back; an adapter that needs more than page
// alignment is refused.
#include <gtest/gtest.h>

#include "cli/cli_support.h"
#include "format/records_folder_guard.h"
#include "format/volume_lock.h"
#include "format_support.h"

using namespace trv::test;
using nlohmann::json;

namespace {

constexpr char kUserRecords[] = "C:\\Users\\User\\AppData\\Local\\Trevasso\\records";
constexpr char kNothingWritten[] = "The disk was not erased: nothing was written.";

struct ConsoleRun {
  int code = -1;
  FakeHost host;
  std::unique_ptr<trv::sim::SimPlatform> platform;
  std::string Message() const { return json::parse(host.out)["message"]; }
};

ConsoleRun Console(const trv::sim::Scenario& scenario, const std::string& extra = "") {
  ConsoleRun r;
  r.platform = std::make_unique<trv::sim::SimPlatform>(scenario);
  std::vector<std::u16string> args = {u"erase", u"1", u"--quick", u"--confirm-serial", u"S1", u"--json"};
  if (!extra.empty()) args.push_back(trv::Utf8ToUtf16(extra));
  r.code = trv::cli::RunCli(*r.platform, r.host, args);
  return r;
}

// A PC whose disk 1 (E: and F:) is a small, fast disk, with `patch` merged in.
trv::sim::Scenario Pc(const json& patch = json::object()) {
  return PcWithDisk1(PlainDisk(1, 131'072, {{"megabytesPerSecond", 100000}}), patch);
}

bool AnyVolumeLocked(trv::sim::SimPlatform& pc) {
  for (const auto* e : pc.journal().Find("DeviceIoControl"))
    if (e->code == trv::format::FSCTL_LOCK_VOLUME) return true;
  return false;
}

struct Refused {
  const char* name;
  json patch;           // merged into the PC; "adapter": disk 1's adapter descriptor instead
  std::string window;   // the refusal the window's log and box show
  std::string console;  // the console's message
  int code;             // the console's exit code
};

} // namespace

TEST(RecordsGuard, FoldersThatCouldSteerTheRecordsAreRefusedBeforeAnythingIsLockedOrWritten) {
  const std::string userRecords = kUserRecords;
  const std::string onDisk1 = " is on E:\\, a volume of ";
  const std::string link =
      ", a junction, symbolic link or mounted folder, which could lead the records anywhere; make it a plain folder, "
      "or choose another records folder";
  const std::string owner =
      "the folder C:\\ProgramData\\Trevasso is owned by S-1-5-21-1004336348-1177238915-682003330-1001, not by SYSTEM "
      "or Administrators: another user may have made it, and could change the records or where they go. As an "
      "administrator, move any records out of it, delete it (rd /s /q \"C:\\ProgramData\\Trevasso\") and run again: "
      "the program makes it anew, with access for SYSTEM and Administrators only";
  const json asSystem = {{"localSystem", true},
                         {"localAppData", "C:\\Windows\\system32\\config\\systemprofile\\AppData\\Local"}};
  json userOwned = asSystem;
  userOwned["folderOwners"] = {{"C:\\ProgramData\\Trevasso", trv::Utf16ToUtf8(trv::sim::SimPlatform::kUserSid)}};
  const json substProfile = {{"localAppData", "S:\\AppData\\Local"}, {"substDrives", {{"S", "E:\\Profile"}}}};
  json substOnXp = substProfile;
  substOnXp["os"] = {{"major", 5}, {"minor", 1}, {"build", 2600}, {"csd", "Service Pack 3"}};
  const std::vector<Refused> cases = {
      {"a junction to the erased disk",
       {{"junctions", {{userRecords, "E:\\Stolen"}}}},
       "The records folder " + userRecords + onDisk1 + "this disk, which is to be erased.",
       "refused: the records folder " + userRecords + onDisk1 + "disk 1, which is to be erased; give --records on "
       "another disk. Nothing was written",
       10},
      {"a SUBST drive on the erased disk",
       substProfile,
       "The records folder S:\\AppData\\Local\\Trevasso\\records" + onDisk1 + "this disk, which is to be erased.",
       "refused: the records folder S:\\AppData\\Local\\Trevasso\\records" + onDisk1 +
           "disk 1, which is to be erased; give --records on another disk. Nothing was written",
       10},
      {"a SUBST drive on Windows XP, which has no final paths",
       substOnXp,
       "The records folder S:\\AppData\\Local\\Trevasso\\records" + onDisk1 + "this disk, which is to be erased.",
       "refused: the records folder S:\\AppData\\Local\\Trevasso\\records" + onDisk1 +
           "disk 1, which is to be erased; give --records on another disk. Nothing was written",
       10},
      {"a junction to another disk",
       {{"junctions", {{"C:\\Users\\User\\AppData\\Local\\Trevasso", "C:\\Elsewhere"}}}},
       "The way to the records folder " + userRecords + " passes through C:\\Users\\User\\AppData\\Local\\Trevasso" +
           link + ".",
       "refused: the way to the records folder " + userRecords +
           " passes through C:\\Users\\User\\AppData\\Local\\Trevasso" + link + ". Nothing was written",
       10},
      {"a program folder a standard user made", userOwned, "T" + owner.substr(1) + ".",
       "refused: " + owner + ". Nothing was written", 10},
      {"an adapter that needs buffers aligned to 8 KiB",
       {{"adapter", {{"alignmentMask", 0x1FFF}}}},
       "The disk's adapter asks for transfer buffers aligned to 8192 bytes (alignment mask 0x1FFF), more than the "
       "4096 bytes this program's buffers are aligned to: the disk cannot be erased with them.",
       "refused: the disk's adapter asks for transfer buffers aligned to 8192 bytes (alignment mask 0x1FFF), more "
       "than the 4096 bytes this program's buffers are aligned to: the disk cannot be erased with them. Nothing was "
       "written",
       4},
  };
  for (const Refused& c : cases) {
    SCOPED_TRACE(c.name);
    const bool alignment = c.patch.contains("adapter");
    json disk1 = PlainDisk(1, 131'072, {{"megabytesPerSecond", 100000}});
    if (alignment) disk1["adapter"] = c.patch["adapter"];
    const trv::sim::Scenario pc = PcWithDisk1(disk1, alignment ? json::object() : c.patch);

    const auto run = Play(pc, FormatScript(true));
    const auto log = RunLog(run);
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[log.size() - 2], c.window);
    EXPECT_EQ(log.back(), kNothingWritten);
    ASSERT_EQ(run.ui->boxes().size(), 2u);  // the confirmation, then the refusal
    EXPECT_EQ(trv::Utf16ToUtf8(run.ui->boxes()[1].caption), "Erase refused");
    EXPECT_EQ(trv::Utf16ToUtf8(run.ui->boxes()[1].text), std::string(kNothingWritten) + "\r\n\r\n" + c.window);
    EXPECT_TRUE(run.platform->Media(1)->changed.Empty());
    EXPECT_FALSE(AnyVolumeLocked(*run.platform));
    EXPECT_TRUE(run.platform->FilesWritten(u"E:\\").empty());

    const auto console = Console(pc);
    EXPECT_EQ(console.code, c.code) << console.host.err;
    EXPECT_EQ(console.Message(), c.console);
    EXPECT_TRUE(console.platform->Media(1)->changed.Empty());
    EXPECT_FALSE(AnyVolumeLocked(*console.platform));
    // Nothing is made through a link, on the erased disk, or in another user's folder.
    if (!alignment) {
      EXPECT_EQ(console.platform->journal().Count("CreateDirectoryW") +
                    console.platform->journal().Count("CreateDirectoryWithAccessW"),
                0u);
    }
  }
}

TEST(RecordsGuard, TheProgramsFoldersUnderProgramDataGetItsAccessListAndTheUsersFoldersTheirOwn) {
  const json asSystem = {{"localSystem", true},
                         {"localAppData", "C:\\Windows\\system32\\config\\systemprofile\\AppData\\Local"}};
  const std::u16string access = trv::format::kProgramFolderAccess;
  EXPECT_EQ(trv::Utf16ToUtf8(access), "D:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)");
  const auto window = Play(Pc(asSystem), FormatScript(true));
  const auto console = Console(Pc(asSystem));
  ASSERT_EQ(console.code, 0) << console.host.err;
  for (trv::sim::SimPlatform* pc : {window.platform.get(), console.platform.get()}) {
    EXPECT_EQ(pc->FolderAccess(u"C:\\ProgramData\\Trevasso"), access);
    EXPECT_EQ(pc->FolderAccess(u"C:\\ProgramData\\Trevasso\\records"), access);
    EXPECT_EQ(pc->GetFileOwnerSid(u"C:\\ProgramData\\Trevasso\\records"), trv::format::kSystemSid);
    EXPECT_EQ(pc->FilesWritten(u"C:\\ProgramData\\Trevasso\\records").size(), 2u);
  }
  // In the user's own profile the folders inherit the profile's access list.
  const auto user = Console(Pc());
  ASSERT_EQ(user.code, 0) << user.host.err;
  EXPECT_EQ(user.platform->journal().Count("CreateDirectoryWithAccessW"), 0u);
  EXPECT_FALSE(user.platform->FolderAccess(trv::Utf8ToUtf16(kUserRecords)));
  EXPECT_EQ(user.platform->FilesWritten(trv::Utf8ToUtf16(kUserRecords)).size(), 2u);
}

TEST(RecordsGuard, AFloppyNumberedZeroIsNoVolumeOfDiskZeroAndTheBuffersAreGivenBack) {
  // Windows on the USB stick G:, so that disk 0 may be erased; its floppy
  // drive A: is numbered 0 among floppies, has no disk in it, and its driver
  // knows no extents request.
  const json volumes = {{{"letter", "A"}, {"deviceNumber", 0}, {"partition", 0}, {"fail", {{"extents", 1}, {"lock", 21}}}},
                        {{"letter", "C"}, {"deviceNumber", 0}, {"partition", 1}},
                        {{"letter", "G"}, {"deviceNumber", 2}, {"partition", 1}}};
  const auto run = Play(Scenario({{"volumes", volumes},
                                  {"systemDirectory", "G:\\Windows\\system32"},
                                  {"localAppData", "G:\\Users\\User\\AppData\\Local"},
                                  {"existingPageFiles", {"\\??\\G:\\pagefile.sys"}}}),
                        "select DriveList 0; click btContinue; tab 1; check cbQuickWipe; click btRunBenchmarks; click btOk; answer Yes");
  EXPECT_EQ(RunLog(run).back(), "Remember to create new partitions.");
  EXPECT_FALSE(run.platform->VolumeLocked(0));
  EXPECT_TRUE(run.platform->VolumeDismounted(1));  // C:, the disk's own volume
  for (const auto* e : run.platform->journal().Find("CreateFileW"))
    EXPECT_EQ(e->detail.find("\\\\.\\A: access=0x80000000"), std::string::npos) << e->detail;
  // The zero fill's 32 MiB came from VirtualAlloc, page-aligned, and went back.
  ASSERT_EQ(run.platform->journal().Count("VirtualAlloc"), 1u);
  EXPECT_EQ(run.platform->journal().Find("VirtualAlloc")[0]->detail, "33554432 bytes");
  EXPECT_EQ(run.platform->LiveAllocations(), 0u);
}
