// `erase N --purge` on the simulated PC: what each Windows build sends, what
// is refused before anything is sent, and the outcome words, exit codes and
// category of each way a purge ends (docs/cli.md, "Firmware purge").
#include <gtest/gtest.h>

#include "cli/cli_purge_support.h"
#include "cli/console_erase.h"

using namespace trv::test;
using nlohmann::json;

TEST(CliPurge, EachWindowsBuildSendsItsOwnFormAndAProvenPurgeIsAPurge) {
  struct Case {
    std::uint32_t build;
    std::string args, request, method;
  };
  const std::vector<Case> cases = {
      // 21H1 and later: the input names the method; the timeout is the drive's estimate for it.
      {22621, kPurgeNvme, "IOCTL_STORAGE_REINITIALIZE_MEDIA version=16 size=16 timeout=60 method=crypto disallowExit=0 -> ok returned=0",
       "method: Sanitize, crypto erase, every namespace of the controller (1 namespace)"},
      {22621, "erase 4 --purge=block --confirm-serial N4SERIAL",
       "IOCTL_STORAGE_REINITIALIZE_MEDIA version=16 size=16 timeout=120 method=block disallowExit=0 -> ok returned=0",
       "method: Sanitize, block erase, every namespace of the controller (1 namespace)"},
      // 1607 to 20H2: no input, which the driver runs as Format NVM with a crypto erase.
      {17763, kPurgeNvme, "IOCTL_STORAGE_REINITIALIZE_MEDIA no input -> ok returned=0",
       "method: Format NVM, crypto erase, this namespace only"},
  };
  for (const Case& c : cases) {
    auto run = Cli(ModernPurgePc(c.build), c.args);
    EXPECT_EQ(run.code, 0) << c.build << ' ' << c.args << '\n' << run.host.err;
    EXPECT_EQ(PurgeRequests(run), std::vector<std::string>{c.request}) << c.build;
    const auto lines = OutLines(run);
    ASSERT_GE(lines.size(), 5u) << run.host.out;
    EXPECT_EQ(lines[0], "outcome: purged") << c.build;
    EXPECT_EQ(lines[1], c.method) << c.build;
    EXPECT_EQ(lines[2], "category: Purge") << c.build;
    EXPECT_EQ(lines[3].rfind("record: C:\\Users\\User\\AppData\\Local\\Trevasso\\records\\", 0), 0u) << lines[3];
    // The drive erased it: nothing the program wrote, and no old content left in the sample.
    EXPECT_EQ(DiskWrites(run), 0u) << c.build;
  }

  // The JSON is the record, with the category and the purge as the engine records them.
  auto asJson = Cli(ModernPurgePc(22621), std::string(kPurgeNvme) + " --json");
  EXPECT_EQ(asJson.code, 0) << asJson.host.err;
  const json record = asJson.Json();
  EXPECT_EQ(record["nist_category"], "Purge");
  EXPECT_EQ(record["purge"]["outcome"], "purged");
  EXPECT_EQ(record["purge"]["method"], "nvme-sanitize-crypto-erase");
}

TEST(CliPurge, AMethodNotAvailableHereIsRefusedWithItsReasonAndNothingIsSent) {
  json usbNvme = NvmeDataDisk(json::object(), {{"bus", 7}});
  json cryptoOnly = NvmeDataDisk({{"identifyController", {{"sanicap", "0x00000001"}}}});
  json running = NvmeDataDisk({{"sanitize", {{"state", "in-progress"}, {"progress", 0.25}, {"lastAction", "crypto"}}}});
  struct Case {
    std::string what;
    trv::sim::Scenario pc;
    std::string args, code, reason;
  };
  // Where the drive's own identify cannot be had (no NVMe queries before Windows 10, none through a
  // USB bridge, none while a sanitize runs) the disk is confirmed by the serial Windows shows.
  const std::string byWindowsSerial = "erase 4 --purge --confirm-serial 0000_0004.";
  const std::vector<Case> cases = {
      {"Windows XP", ModernPurgePc(2600), byWindowsSerial, "purge-windows-too-old", "needs Windows 10 1607 or later"},
      {"Windows 10 1511", ModernPurgePc(10586), kPurgeNvme, "purge-windows-too-old", "needs Windows 10 1607 or later"},
      {"an NVMe disk behind USB", ModernPurgePc(22621, usbNvme), byWindowsSerial, "purge-usb", "connected through USB"},
      {"a SATA disk", ModernPurgePc(22621), "erase 1 --purge --confirm-serial CVPR109301UZ120LGN", "purge-not-nvme",
       "only NVMe disks can be purged by this version"},
      {"the system disk", ModernPurgePc(22621), "erase 0 --purge --confirm-serial S4EVNX0N612345K", "purge-system-disk",
       "the system disk"},
      {"block erase the drive lacks", ModernPurgePc(22621, cryptoOnly), "erase 4 --purge=block --confirm-serial N4SERIAL",
       "purge-block-not-offered", "the disk offers no block erase"},
      {"block erase before 21H1", ModernPurgePc(17763), "erase 4 --purge=block --confirm-serial N4SERIAL",
       "purge-block-needs-21h1", "block erase needs Windows 10 21H1 or later"},
      // The plan asks for the capabilities first, and a drive at work answers no identify
      // (docs/scenario.md, busyError); list and details name the sanitize itself.
      {"a sanitize already running", ModernPurgePc(22621, running), byWindowsSerial, "purge-capabilities-unread",
       "the disk's capabilities could not be read"},
  };
  for (const Case& c : cases) {
    auto run = Cli(c.pc, c.args + " --json");
    EXPECT_EQ(run.code, 13) << c.what << '\n' << run.host.err;
    EXPECT_EQ(run.host.err, "trevasso-cli: not available here: the purge asked for cannot run on this disk: " +
                                c.reason + " (" + c.code + "). Nothing was sent\n")
        << c.what;
    const json failure = run.Json();
    EXPECT_EQ(failure["outcome"], "refused") << c.what;
    EXPECT_EQ(failure["code"], c.code) << c.what;
    EXPECT_EQ(failure["exit_code"], 13) << c.what;
    EXPECT_TRUE(PurgeRequests(run).empty()) << c.what;
    EXPECT_EQ(DiskWrites(run), 0u) << c.what;
    EXPECT_TRUE(run.platform->FilesWritten(kDefaultRecords).empty()) << c.what << ": no record";
  }
}

TEST(CliPurge, APurgeThatIsNotProvenIsNeverCalledPurged) {
  struct Case {
    std::string what;
    json sanitize;
    int code;
    std::string outcome;  // the start of the first line
  };
  const std::vector<Case> cases = {
      // The drive says it sanitized and changed nothing: the sample finds the old data.
      {"a lying drive", {{"fault", "lies"}}, 15, "outcome: failed: "},
      {"a sanitize that fails", {{"fault", "ends-failed"}}, 15, "outcome: failed: "},
      {"a stuck sanitize", {{"fault", "stuck"}, {"requestWaits", false}}, 15, "outcome: failed: "},
      // The request succeeded and the sample held, but log 81h cannot be read.
      {"an unreadable status", {{"statusLog", false}}, 14, "outcome: purge unverified"},
  };
  for (const Case& c : cases) {
    auto run = Cli(ModernPurgePc(22621, NvmeDataDisk({{"sanitize", c.sanitize}})), kPurgeNvme);
    EXPECT_EQ(run.code, c.code) << c.what << '\n' << run.host.err;
    const auto lines = OutLines(run);
    ASSERT_GE(lines.size(), 3u) << c.what << '\n' << run.host.out;
    EXPECT_EQ(lines[0].rfind(c.outcome, 0), 0u) << c.what << ": " << lines[0];
    EXPECT_NE(lines[0], "outcome: purged") << c.what;
    EXPECT_EQ(lines[2], "category: none") << c.what;
    EXPECT_EQ(run.platform->FilesWritten(kDefaultRecords).size(), 2u) << c.what << ": the record is kept";
  }
  // The lying drive's reason names what gave it away.
  auto lies = Cli(ModernPurgePc(22621, NvmeDataDisk({{"sanitize", {{"fault", "lies"}}}})), std::string(kPurgeNvme) + " --json");
  EXPECT_EQ(lies.code, 15);
  EXPECT_EQ(lies.Json()["purge"]["outcome"], "failed");
  EXPECT_EQ(lies.Json()["purge"]["failure_code"], "sample-unchanged");
  EXPECT_TRUE(lies.Json()["nist_category"].is_null());
}

TEST(CliPurge, CtrlCDuringAPurgeSaysOnceThatItCannotBeStoppedAndItGoesOn) {
  // The request returns at once and the drive sanitizes on; Ctrl+C comes as the program waits for it.
  const auto pc = ModernPurgePc(22621, NvmeDataDisk({{"sanitize", {{"requestWaits", false}}}}));
  auto run = Cli(pc, kPurgeNvme, 3);
  EXPECT_EQ(run.code, 0) << run.host.err;
  EXPECT_EQ(OutLines(run)[0], "outcome: purged");
  // The drive's own progress, from its log, not the zero fill's sectors.
  EXPECT_NE(run.host.err.find("\nprogress: 8%  (purging)\n"), std::string::npos) << run.host.err;
  EXPECT_NE(run.host.err.find("\nprogress: 100%  (purging)\n"), std::string::npos) << run.host.err;
  const std::string said = "Ctrl+C: a firmware purge cannot be stopped; it goes on to its end, and the record is saved "
                           "then. A second Ctrl+C ends this program at once, with no record, while the drive goes on.\n";
  const auto at = run.host.err.find(said);
  EXPECT_NE(at, std::string::npos) << run.host.err;
  EXPECT_EQ(run.host.err.find(said, at + 1), std::string::npos) << "said once";
}

TEST(CliPurge, ASanitizeInProgressOrFailedRefusesAZeroFillAndListSaysSo) {
  struct Case {
    std::string state, serial, code, erasable, text;
  };
  const std::vector<Case> cases = {
      // While it runs the drive answers no identify: the disk is confirmed by the serial Windows shows.
      {"in-progress", "0000_0004.", "sanitize-in-progress", "no: sanitize in progress",
       "a sanitize is in progress on this disk: it must end before the disk can be written"},
      {"failed", kNvmeSerial, "sanitize-failed", "no: sanitize failed",
       "the disk's last sanitize failed: purge it again before writing to it"},
  };
  for (const Case& c : cases) {
    const auto pc = ModernPurgePc(22621, NvmeDataDisk({{"sanitize", {{"state", c.state}, {"lastAction", "block"}}}}));
    for (const char* fill : {"--full", "--quick"}) {
      auto run = Cli(pc, std::string("erase 4 ") + fill + " --confirm-serial " + c.serial + " --json");
      EXPECT_EQ(run.code, 4) << c.state << fill << '\n' << run.host.err;
      EXPECT_EQ(run.Json()["code"], c.code) << c.state;
      EXPECT_EQ(run.host.err, "trevasso-cli: refused: disk 4: " + c.text + ". Nothing was written\n") << c.state;
      EXPECT_TRUE(run.platform->Media(kNvmeDisk)->changed.Empty()) << c.state;
    }
    const json disk = Cli(pc, "list --json").Json()["disks"][4];
    EXPECT_EQ(disk["number"], kNvmeDisk);
    EXPECT_EQ(disk["confirm_serial"], c.serial);
    EXPECT_EQ(disk["erasable"], false) << c.state;
    EXPECT_EQ(disk["refusals"], json::array({{{"code", c.code}, {"text", c.text}}})) << c.state;
    EXPECT_EQ(disk["sanitize"]["state"], c.state);
    const auto rows = OutLines(Cli(pc, "list"));
    ASSERT_EQ(rows.size(), 6u);
    EXPECT_TRUE(rows[5].ends_with("  " + c.erasable)) << rows[5];
  }
  // Half done when the power went: the progress the drive's log keeps.
  const auto pc =
      ModernPurgePc(22621, NvmeDataDisk({{"sanitize", {{"state", "in-progress"}, {"progress", 0.5}, {"lastAction", "block"}}}}));
  EXPECT_EQ(Cli(pc, "list --json").Json()["disks"][4]["sanitize"]["progress_percent"], 50);
  // A failed sanitize is mended by purging again.
  auto again = Cli(ModernPurgePc(22621, NvmeDataDisk({{"sanitize", {{"state", "failed"}}}})), kPurgeNvme);
  EXPECT_EQ(again.code, 0) << again.host.err;
  // Other disks say nothing of a sanitize.
  EXPECT_TRUE(Cli(pc, "list --json").Json()["disks"][1]["sanitize"].is_null());
}

TEST(CliPurge, DetailsSaysWhichPurgeWouldRunHereOrWhyNone) {
  struct Case {
    std::uint32_t build;
    json disk;
    std::string method, refusal;
  };
  const std::vector<Case> cases = {
      {22621, NvmeDataDisk(), "nvme-sanitize-crypto-erase", ""},
      {17763, NvmeDataDisk(), "nvme-format-crypto-erase", ""},
      {22621, NvmeDataDisk({{"identifyController", {{"sanicap", "0x00000002"}, {"fna", "0x00"}}}}),
       "nvme-sanitize-block-erase", ""},
      {22621, NvmeDataDisk({{"identifyController", {{"sanicap", "0x00000000"}, {"fna", "0x00"}}}}), "none",
       "purge-not-offered"},
      {2600, NvmeDataDisk(), "none", "purge-windows-too-old"},
  };
  for (const Case& c : cases) {
    auto run = Cli(ModernPurgePc(c.build, c.disk), "details 4 --json");
    ASSERT_EQ(run.code, 0) << run.host.err;
    const json purge = run.Json()["purge"];
    EXPECT_EQ(purge["method"], c.method) << c.build;
    EXPECT_EQ(purge["windows_build"], c.build);
    if (c.refusal.empty()) {
      EXPECT_TRUE(purge["refusal"].is_null()) << purge;
      EXPECT_EQ(purge["namespace_count"], 1);
    } else {
      EXPECT_EQ(purge["refusal"]["code"], c.refusal) << purge;
    }
  }
  const json status = Cli(ModernPurgePc(22621), "details 4 --json").Json()["purge"];
  EXPECT_EQ(status["estimate_seconds"], 60);
  EXPECT_EQ(status["sanitize_status"]["state"], "never");
  // The text report says the same in its own lines.
  for (const auto& [build, line] : std::vector<std::pair<std::uint32_t, std::string>>{
           {2600, "Firmware purge: none here: needs Windows 10 1607 or later"},
           {22621, "Firmware purge: Sanitize, crypto erase; every namespace of the controller (1 namespace); "
                   "about 60 seconds (the drive's estimate)"}}) {
    const auto lines = OutLines(Cli(ModernPurgePc(build), "details 4 --lang en"));
    EXPECT_NE(std::find(lines.begin(), lines.end(), line), lines.end()) << build << '\n' << lines.back();
  }
}

TEST(CliPurge, UsageErrorsTouchNothing) {
  struct Case {
    std::string args, message;
  };
  const std::vector<Case> cases = {
      {"erase 4 --quick --purge --confirm-serial N4SERIAL", "erase needs exactly one of --quick, --full and --purge"},
      {"erase 4 --full --purge=crypto --confirm-serial N4SERIAL", "erase needs exactly one of --quick, --full and --purge"},
      {"erase 4 --purge --purge=block --confirm-serial N4SERIAL", "--purge is given more than once"},
      {"erase 4 --purge=overwrite --confirm-serial N4SERIAL", "--purge takes no method, or =crypto or =block, not: --purge=overwrite"},
      {"erase 4 --purge= --confirm-serial N4SERIAL", "--purge takes no method, or =crypto or =block, not: --purge="},
      {"erase 4 --purge crypto --confirm-serial N4SERIAL", "write --purge=crypto, not --purge crypto"},
      {"erase 4 --confirm-serial --purge=block", "--confirm-serial needs a value"},
      {"erase 4 --purge", "erase needs --confirm-serial with the disk's serial number (see list)"},
      {"details 4 --purge", "--purge belongs to erase"},
      {"list --purge=crypto", "--purge belongs to erase"},
  };
  for (const Case& c : cases) {
    auto run = Cli(ModernPurgePc(22621), c.args);
    EXPECT_EQ(run.code, 2) << c.args;
    EXPECT_EQ(run.host.err.rfind("trevasso-cli: " + c.message + "\nusage: ", 0), 0u) << c.args << '\n' << run.host.err;
    EXPECT_EQ(run.platform->journal().Count("CreateFileW"), 0u) << c.args;
  }
  // --help names the switch and the three new exit codes.
  const std::string help = Cli(ModernPurgePc(22621), "--help").host.out;
  for (const char* part : {"--quick|--full|--purge[=crypto|block]", "\n  13  refused, nothing sent: the purge method",
                           "\n  14  purge unverified", "\n  15  purge failed"})
    EXPECT_NE(help.find(part), std::string::npos) << part;
}

TEST(CliPurge, TheSessionEndingDuringAPurgeSavesARecordThatSaysItWasInterrupted) {
  // The request waits for the drive; Windows ends the session while it is out (the console host's
  // end, as the hidden window hears it). The record saved then must not claim anything was purged.
  CliRun r;
  r.platform = std::make_unique<trv::sim::SimPlatform>(ModernPurgePc(22621));
  json saved;
  r.platform->SetHangWait([&](bool) {
    if (!r.host.erasing || r.host.erasing->Ending()) return;
    r.host.erasing->EndNow([](std::uint32_t) {});
    for (const auto& f : r.platform->FilesWritten(kDefaultRecords))
      if (f.ends_with(u".json")) saved = json::parse(*r.platform->FileContent(f));
  });
  r.code = trv::cli::RunCli(*r.platform, r.host, Args(kPurgeNvme));
  ASSERT_TRUE(saved.is_object()) << r.host.err;
  EXPECT_EQ(saved["purge"]["outcome"], "failed");
  EXPECT_EQ(saved["purge"]["failure_code"], "interrupted");
  EXPECT_TRUE(saved["nist_category"].is_null());
}
