// `erase N --purge` on the simulated PC (docs/cli.md, "Firmware purge"): what
// each Windows build sends, what is refused with nothing sent, the outcome
// words and exit codes of each way a purge ends; list, details and a zero fill
// of a disk whose sanitize runs or failed; the switch's usage errors.
#include <gtest/gtest.h>

#include "cli/cli_support.h"
#include "format/format_support.h"
#include "modern_pc.h"

using namespace trv::test;
using nlohmann::json;

namespace {

constexpr char kPurge4[] = "erase 4 --purge --confirm-serial N4SERIAL";
// Where the drive's identify cannot be had (before Windows 10, through USB, while it
// sanitizes) the disk is confirmed by the serial Windows shows.
constexpr char kPurge4ByWindowsSerial[] = "erase 4 --purge --confirm-serial 0000_0004.";

// The modern PC on `build` (below 10240: Windows XP) with disk 4, a 64 MiB NVMe data disk offering
// crypto and block sanitize and a crypto format; `nvme` and `drive` fields are merged over it.
trv::sim::Scenario PurgePcOf(std::uint32_t build, const json& nvme = json::object(), const json& drive = json::object()) {
  json disk = {{"number", 4}, {"bus", 17}, {"sectors", 131'072}, {"media", FastMedia()},
               {"device", {{"vendor", "NVMe"}, {"product", "TestNVMe"}, {"serial", "0000_0004."}}},
               {"nvme", {{"identifyController", {{"model", "TestNVMe 64M"}, {"serial", "N4SERIAL"}, {"namespaces", 1},
                                                 {"fna", "0x04"}, {"sanicap", "0x00000003"}}},
                         {"identifyNamespace", {{"size", 131'072}}},
                         {"sanitize", {{"estimates", {{"crypto", 60}, {"block", 120}}}}}}}};
  disk["nvme"].merge_patch(nvme);
  disk.merge_patch(drive);
  return ModernPc([&](json& pc) {
    pc["os"] = build < 10240 ? json{{"major", 5}, {"minor", 1}, {"build", build}, {"csd", "Service Pack 3"}}
                             : json{{"major", 10}, {"minor", 0}, {"build", build}, {"csd", ""}};
    pc["drives"].push_back(disk);
  });
}

json Sanitize(const json& fields) { return {{"sanitize", fields}}; }

// The REINITIALIZE_MEDIA requests the journal decodes, with their answers; and the writes to a disk.
std::vector<std::string> PurgeRequests(const CliRun& run) {
  std::vector<std::string> sent;
  for (const auto& e : run.platform->journal().entries())
    if (const auto at = e.detail.find("IOCTL_STORAGE_REINITIALIZE_MEDIA"); at != std::string::npos)
      sent.push_back(e.detail.substr(at));
  return sent;
}
std::size_t DiskWrites(const CliRun& run) {
  std::size_t n = 0;
  for (const auto* w : run.platform->journal().Find("WriteFile")) n += w->detail.starts_with("offset=");  // not the record's
  return n;
}

std::vector<std::string> OutLines(const CliRun& run) {
  std::vector<std::string> lines;
  std::istringstream in(run.host.out);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

} // namespace

TEST(CliPurge, EachWindowsBuildSendsItsOwnFormAndAProvenPurgeIsAPurge) {
  const std::string sanitize = "IOCTL_STORAGE_REINITIALIZE_MEDIA version=16 size=16 timeout=";
  const std::string scope = ", every namespace of the controller (1 namespace)";
  struct Case {
    std::uint32_t build;
    std::string method, request, methodLine;
  };
  for (const Case& c : std::vector<Case>{
           // 21H1 and later: the input names the method; the timeout is twice the drive's estimate and 30 minutes.
           {22621, "", sanitize + "1920 method=crypto disallowExit=0 -> ok returned=0", "Sanitize, crypto erase" + scope},
           {22621, "=block", sanitize + "2040 method=block disallowExit=0 -> ok returned=0", "Sanitize, block erase" + scope},
           // 1607 to 20H2: no input, which the driver runs as a crypto Format NVM.
           {17763, "", "IOCTL_STORAGE_REINITIALIZE_MEDIA no input -> ok returned=0",
            "Format NVM, crypto erase, this namespace only"}}) {
    auto run = Cli(PurgePcOf(c.build), "erase 4 --purge" + c.method + " --confirm-serial N4SERIAL");
    EXPECT_EQ(run.code, 0) << c.build << c.method << '\n' << run.host.err;
    EXPECT_EQ(PurgeRequests(run), std::vector<std::string>{c.request});
    EXPECT_EQ(DiskWrites(run), 0u) << "the drive erased it, not the program";
    const auto lines = OutLines(run);
    ASSERT_EQ(lines.size(), 5u) << run.host.out;
    EXPECT_EQ(lines[0] + '|' + lines[1] + '|' + lines[2], "outcome: purged|method: " + c.methodLine + "|category: Purge");
    EXPECT_TRUE(lines[3].starts_with("record: C:\\Users\\User\\AppData\\Local\\Trevasso\\records\\")) << lines[3];
  }
  const json record = Cli(PurgePcOf(22621), std::string(kPurge4) + " --json").Json();  // the record, as saved
  EXPECT_EQ(record["nist_category"], "Purge");
  EXPECT_EQ(record["purge"]["outcome"], "purged");
}

TEST(CliPurge, AMethodNotAvailableHereIsRefusedWithItsReasonAndNothingIsSent) {
  struct Case {
    trv::sim::Scenario pc;
    std::string args, code, reason;
  };
  for (const Case& c : std::vector<Case>{
           {PurgePcOf(2600), kPurge4ByWindowsSerial, "purge-windows-too-old", "needs Windows 10 1607 or later"},
           {PurgePcOf(10586), kPurge4, "purge-windows-too-old", "needs Windows 10 1607 or later"},
           {PurgePcOf(22621, json::object(), {{"bus", 7}}), kPurge4ByWindowsSerial, "purge-usb", "connected through USB"},
           // The SATA SSD offers a security erase and no sanitize: outside Windows PE, Windows 10 passes neither.
           {PurgePcOf(22621), "erase 1 --purge --confirm-serial CVPR109301UZ120LGN", "purge-security-erase-not-here",
            "Windows 7 and later let a security erase through only in Windows PE"},
           {PurgePcOf(22621), "erase 0 --purge --confirm-serial S4EVNX0N612345K", "purge-system-disk", "the system disk"},
           {PurgePcOf(22621, {{"identifyController", {{"sanicap", "0x00000001"}}}}),
            "erase 4 --purge=block --confirm-serial N4SERIAL", "purge-block-not-offered", "the disk offers no block erase"},
           {PurgePcOf(17763), "erase 4 --purge=block --confirm-serial N4SERIAL", "purge-block-needs-21h1",
            "block erase needs Windows 10 21H1 or later"},
           // A drive at work answers no identify (docs/scenario.md, busyError): the sanitize is the reason.
           {PurgePcOf(22621, Sanitize({{"state", "in-progress"}, {"lastAction", "crypto"}})), kPurge4ByWindowsSerial,
            "purge-sanitize-in-progress", "a sanitize is already in progress on this disk"}}) {
    auto run = Cli(c.pc, c.args + " --json");
    EXPECT_EQ(run.code, 13) << c.code << '\n' << run.host.err;
    EXPECT_EQ(run.host.err, "trevasso-cli: not available here: the purge asked for cannot run on this disk: " +
                                c.reason + " (" + c.code + "). Nothing was sent\n");
    EXPECT_EQ(run.Json(), (json{{"outcome", "refused"}, {"code", c.code}, {"exit_code", 13},
                                {"message", run.host.err.substr(14, run.host.err.size() - 15)}}));
    EXPECT_TRUE(PurgeRequests(run).empty()) << c.code;
    EXPECT_EQ(DiskWrites(run), 0u) << c.code;
    EXPECT_TRUE(run.platform->FilesWritten(kDefaultRecords).empty()) << c.code << ": no record";
  }
}

TEST(CliPurge, APurgeThatIsNotProvenIsNeverCalledPurged) {
  struct Case {
    json sanitize;
    int code;
    std::string outcome, failureCode;
  };
  for (const Case& c : std::vector<Case>{
           // Says it sanitized and changed nothing: the sample finds the old data.
           {{{"fault", "lies"}}, 15, "outcome: failed: 4340 sampled sectors still hold their old data", "sample-unchanged"},
           {{{"fault", "ends-failed"}}, 15, "outcome: failed: ", "status-failed"},
           {{{"fault", "stuck"}, {"requestWaits", false}}, 15, "outcome: failed: no progress for twice", "stalled"},
           {{{"statusLog", false}}, 14, "outcome: purge unverified: the request succeeded", ""}}) {
    auto run = Cli(PurgePcOf(22621, Sanitize(c.sanitize)), kPurge4);
    EXPECT_EQ(run.code, c.code) << c.failureCode << '\n' << run.host.err;
    const auto lines = OutLines(run);
    ASSERT_EQ(lines.size(), 5u) << run.host.out;
    EXPECT_TRUE(lines[0].starts_with(c.outcome)) << lines[0];
    EXPECT_TRUE(c.failureCode.empty() || lines[0].ends_with(" (" + c.failureCode + ")")) << lines[0];
    EXPECT_EQ(lines[2], "category: none");
    const auto files = run.platform->FilesWritten(kDefaultRecords);
    ASSERT_EQ(files.size(), 2u) << "the record is kept";
    const json record = json::parse(*run.platform->FileContent(files[0]));
    EXPECT_TRUE(record["nist_category"].is_null());
    EXPECT_EQ(record["purge"]["outcome"], c.code == 14 ? "purge-unverified" : "failed");
  }
}

TEST(CliPurge, CtrlCDuringAPurgeSaysOnceThatItCannotBeStoppedAndItGoesOn) {
  // The request returns at once and the drive sanitizes on; Ctrl+C comes as the program waits for it.
  auto run = Cli(PurgePcOf(22621, Sanitize({{"requestWaits", false}})), kPurge4, 3);
  EXPECT_EQ(run.code, 0) << run.host.err;
  EXPECT_EQ(OutLines(run)[0], "outcome: purged");
  const std::string said = "Ctrl+C: a firmware purge cannot be stopped; it goes on to its end, and the record is saved "
                           "then. A second Ctrl+C ends this program at once, with no record, while the drive goes on.\n";
  const auto at = run.host.err.find(said);
  EXPECT_NE(at, std::string::npos) << run.host.err;
  EXPECT_EQ(run.host.err.find(said, at + 1), std::string::npos) << "said once";
  // The drive's own progress (5 s of 60 between two readings of its log), not a zero fill's sectors.
  for (const char* line : {"\nprogress: 8%  (purging)\n", "\nprogress: 100%  (purging)\n"})
    EXPECT_NE(run.host.err.find(line), std::string::npos) << line;
}

TEST(CliPurge, ASanitizeInProgressOrFailedRefusesAZeroFillAndListSaysSo) {
  struct Case {
    std::string state, serial, code, text;
  };
  for (const Case& c : std::vector<Case>{
           {"in-progress", "0000_0004.", "sanitize-in-progress",
            "a sanitize is in progress on this disk: it must end before the disk can be written"},
           {"failed", "N4SERIAL", "sanitize-failed", "the disk's last sanitize failed: purge it again before writing to it"}}) {
    json sanitize = {{"state", c.state}, {"lastAction", "block"}};
    if (c.state == "in-progress") sanitize["progress"] = 0.5;  // half done when the power went
    const auto pc = PurgePcOf(22621, Sanitize(sanitize));
    for (const char* fill : {"--full", "--quick"}) {
      auto run = Cli(pc, std::string("erase 4 ") + fill + " --confirm-serial " + c.serial + " --json");
      EXPECT_EQ(run.code, 4) << c.state << fill << '\n' << run.host.err;
      EXPECT_EQ(run.Json()["code"], c.code);
      EXPECT_EQ(run.host.err, "trevasso-cli: refused: disk 4: " + c.text + ". Nothing was written\n");
      EXPECT_TRUE(run.platform->Media(4)->changed.Empty());
    }
    const json disk = Cli(pc, "list --json").Json()["disks"][4];
    EXPECT_EQ(disk["confirm_serial"], c.serial);
    EXPECT_EQ(disk["refusals"], json::array({{{"code", c.code}, {"text", c.text}}}));
    EXPECT_EQ(disk["sanitize"]["state"], c.state);
    EXPECT_EQ(disk["sanitize"]["progress_percent"], c.state == "in-progress" ? json(50) : json(nullptr));
    std::string erasable = "  no: " + c.code;
    std::replace(erasable.begin(), erasable.end(), '-', ' ');
    EXPECT_NE(OutLines(Cli(pc, "list")).back().find(erasable + "  "), std::string::npos) << erasable;
  }
  EXPECT_TRUE(Cli(PurgePcOf(22621), "list --json").Json()["disks"][4]["sanitize"].is_null());
  // A failed sanitize is mended by purging again.
  EXPECT_EQ(Cli(PurgePcOf(22621, Sanitize({{"state", "failed"}})), kPurge4).code, 0);
}

TEST(CliPurge, DetailsSaysWhichPurgeWouldRunHereOrWhyNone) {
  const json runs = Cli(PurgePcOf(22621), "details 4 --json").Json()["purge"];
  EXPECT_EQ(runs["method"], "nvme-sanitize-crypto-erase");
  EXPECT_EQ(runs["estimate_seconds"], 60);
  EXPECT_TRUE(runs["refusal"].is_null());
  EXPECT_EQ(runs["sanitize_status"]["state"], "never");
  const json none = Cli(PurgePcOf(2600), "details 4 --json").Json()["purge"];
  EXPECT_EQ(none["method"], "none");
  EXPECT_EQ(none["refusal"], (json{{"code", "purge-windows-too-old"}, {"text", "needs Windows 10 1607 or later"}}));
  const auto lines = OutLines(Cli(PurgePcOf(2600), "details 4 --lang en"));
  EXPECT_NE(std::find(lines.begin(), lines.end(), "Firmware purge: none here: needs Windows 10 1607 or later"), lines.end());
}

TEST(CliPurge, UsageErrorsTouchNothing) {
  const std::string one = "erase needs exactly one of --quick, --full and --purge";
  constexpr char kMethods[] =
      "--purge takes no method, or =crypto, =block, =overwrite, =secure-erase or =enhanced-secure-erase, not: ";
  for (const auto& [args, message] : std::vector<std::pair<std::string, std::string>>{
           {"erase 4 --quick --purge --confirm-serial S", one},
           {"erase 4 --full --purge=crypto --confirm-serial S", one},
           {"erase 4 --purge --purge=block --confirm-serial S", "--purge is given more than once"},
           {"erase 4 --purge=sanitize --confirm-serial S", std::string(kMethods) + "--purge=sanitize"},
           {"erase 4 --purge= --confirm-serial S", std::string(kMethods) + "--purge="},
           {"erase 4 --purge crypto --confirm-serial S", "write --purge=crypto, not --purge crypto"},
           {"erase 4 --confirm-serial --purge=block", "--confirm-serial needs a value"},
           {"details 4 --purge", "--purge belongs to erase"},
           {"erase 4 --purge secure-erase --confirm-serial S", "write --purge=secure-erase, not --purge secure-erase"},
           {"unlock", "which disk? give its number"},
           {"unlock 4 --confirm-serial S", "--confirm-serial belongs to erase"},
           {"smart 4 --records C:\\R", "--records belongs to erase, unlock, list and details"}}) {
    auto run = Cli(PurgePcOf(22621), args);
    EXPECT_EQ(run.code, 2) << args;
    EXPECT_TRUE(run.host.err.starts_with("trevasso-cli: " + message + "\nusage: ")) << run.host.err;
    EXPECT_EQ(run.platform->journal().Count("CreateFileW"), 0u) << args;
  }
  const std::string help = Cli(PurgePcOf(22621), "--help").host.out;
  for (const char* part : {"--quick|--full|--purge[=METHOD]", "METHOD: crypto|block|overwrite|secure-erase|enhanced-secure-erase", "\n  13  refused, nothing sent: the purge method",
                           "\n  14  purge unverified", "\n  15  purge failed",
                           "trevasso-cli unlock N [--records DIR] [--json]", "\n  16  unlock: ", "\n  17  unlock: "})
    EXPECT_NE(help.find(part), std::string::npos) << part;
}
