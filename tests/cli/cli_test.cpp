// trevasso-cli on the simulated PC: every command, every exit code, and the
// JSON a script reads, checked against docs/cli.md.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "cli/cli_app.h"
#include "cli/cli_support.h"
#include "cli/console_erase.h"
#include "cli/sim_cli.h"
#include "format/format_support.h"
#include "modern_pc.h"
#include "platform/sim/sim_platform.h"

using namespace trv::test;
using nlohmann::json;
using trv::sim::ByteRange;

namespace {

// A PC where a JSON file cannot be created: the disk is full (112).
class JsonFilesFail : public trv::sim::SimPlatform {
 public:
  using SimPlatform::SimPlatform;
  trv::win::Handle CreateFileW(std::u16string_view path, std::uint32_t access, std::uint32_t share,
                               std::uint32_t disposition, std::uint32_t flags) override {
    if (disposition == trv::win::CREATE_NEW && path.ends_with(u".json")) {
      failed_ = true;
      return trv::win::kInvalidHandle;
    }
    failed_ = false;
    return SimPlatform::CreateFileW(path, access, share, disposition, flags);
  }
  std::uint32_t GetLastError() override { return failed_ ? trv::win::ERROR_DISK_FULL : SimPlatform::GetLastError(); }

 private:
  bool failed_ = false;
};

// Whether the UTF-8 text holds a CJK character (the window's language).
bool HasChinese(const std::string& text) {
  const std::u16string wide = trv::Utf8ToUtf16(text);
  return std::any_of(wide.begin(), wide.end(), [](char16_t c) { return (c >= 0x3000 && c < 0xA000) || (c >= 0xFF00 && c < 0xFFF0); });
}

// The field names a table of docs/cli.md lists under the heading that starts with `heading`.
std::set<std::string> DocumentedFields(const std::string& heading) {
  std::ifstream in(std::string(TREVASSO_DOCS_DIR) + "/cli.md");
  std::string line;
  bool inSection = false;
  std::set<std::string> fields;
  const std::regex name("`([a-z_]+)`");
  while (std::getline(in, line)) {
    if (line.rfind(heading, 0) == 0) inSection = true;
    else if (inSection && line.rfind("`", 0) == 0 && !fields.empty()) break;
    if (!inSection || line.rfind("| `", 0) != 0) continue;
    const std::string first = line.substr(0, line.find(" |", 2));
    for (std::sregex_iterator it(first.begin(), first.end(), name), end; it != end; ++it) fields.insert((*it)[1]);
  }
  return fields;
}

std::set<std::string> Keys(const json& object) {
  std::set<std::string> keys;
  for (const auto& [k, v] : object.items()) keys.insert(k);
  return keys;
}

} // namespace

TEST(Cli, ListShowsEveryDiskAndItsJsonMatchesTheDocument) {
  auto text = Cli(Scenario(), "list");
  EXPECT_EQ(text.code, 0);
  EXPECT_NE(text.host.out.find("WDC WD5000AAKS-00TMA0"), std::string::npos) << text.host.out;
  EXPECT_NE(text.host.out.find("976,773,168"), std::string::npos);

  auto run = Cli(Scenario(), "list --json");
  ASSERT_EQ(run.code, 0);
  const json doc = run.Json();
  ASSERT_TRUE(doc["disks"].is_array());
  ASSERT_GE(doc["disks"].size(), 3u);
  std::set<std::string> documented = DocumentedFields("`list --json`");
  documented.erase("disks");
  for (const auto& disk : doc["disks"]) EXPECT_EQ(Keys(disk), documented);
  const json& d1 = doc["disks"][1];
  EXPECT_EQ(d1["number"], 1);
  EXPECT_EQ(d1["model"], "WDC WD5000AAKS-00TMA0");
  EXPECT_EQ(d1["sectors"], 976'773'168);
  EXPECT_EQ(d1["capacity_bytes"], 500'107'862'016);
  EXPECT_EQ(d1["confirm_serial"], d1["serial"]);
  EXPECT_EQ(run.platform->journal().Count("WriteFile"), 0u);
}

TEST(Cli, ReportsAreTheWindowsLinesAndTheRefusalsHaveTheirOwnCodes) {
  // The details report, line for line as the window's tab (the time stamps of
  // the two runs differ only in their time).
  auto window = Play(Scenario(), "select DriveList 1; click btContinue");
  const auto shown = Lines(window.app->FmMain.Log_Details);
  auto details = Cli(Scenario(), "details 1 --json");
  ASSERT_EQ(details.code, 0) << details.host.err;
  const json doc = details.Json();
  EXPECT_EQ(Keys(doc), DocumentedFields("`details N --json`"));
  ASSERT_EQ(doc["lines"].size(), shown.size());
  for (std::size_t i = 0; i < shown.size(); ++i)
    if (!HasTimeStamp(shown[i])) {
      EXPECT_EQ(doc["lines"][i], shown[i]) << i;
    }
  auto smart = Cli(Scenario(), "smart 0");
  EXPECT_EQ(smart.code, 0);
  EXPECT_NE(smart.host.out.find("SMART data for"), std::string::npos);

  EXPECT_EQ(Cli(Scenario(), "details 9").code, 1);                          // no such disk
  EXPECT_EQ(Cli(Scenario({{"elevated", false}}), "list").code, 3);          // a standard user
  auto usage = Cli(Scenario(), "erase 1 --quick --full --confirm-serial X");
  EXPECT_EQ(usage.code, 2);
  EXPECT_NE(usage.host.err.find("usage:"), std::string::npos);
  for (const char* bad : {"", "format 1", "details", "details x", "list 1", "erase 1 --quick", "list --verify",
                          "erase 1 --confirm-serial S1", "erase 1 --quick --confirm-serial"})
    EXPECT_EQ(Cli(Scenario(), bad).code, 2) << bad;
  EXPECT_EQ(Cli(Scenario(), "--version").host.out, "Trevasso 4.12\n");
}

TEST(CliErase, AWrongSerialIsRefusedWithNothingWritten) {
  auto run = Cli(SmallPc(), "erase 1 --quick --confirm-serial S2 --json");
  EXPECT_EQ(run.code, 4);
  EXPECT_EQ(run.platform->journal().Count("WriteFile"), 0u);
  EXPECT_TRUE(run.platform->Media(1)->changed.Empty());
  const json doc = run.Json();
  EXPECT_EQ(doc["outcome"], "refused");
  EXPECT_EQ(doc["exit_code"], 4);
  EXPECT_EQ(Keys(doc), DocumentedFields("A command that is refused"));

  // A disk without a serial is confirmed by its size, and the refusal says how.
  json disk = PlainDisk(1, 131'072, {{"megabytesPerSecond", 100000}});
  disk["device"]["serial"] = nullptr;
  auto noSerial = Cli(PcWithDisk1(disk), "erase 1 --quick --confirm-serial 000000");
  EXPECT_EQ(noSerial.code, 4);
  EXPECT_NE(noSerial.host.err.find("give --confirm-serial NONE-67108864"), std::string::npos) << noSerial.host.err;
  EXPECT_EQ(Cli(PcWithDisk1(disk), "erase 1 --quick --confirm-serial NONE-67108864").code, 0);

  // A reader without its card has nothing to erase: refused, not "completed".
  json empty = PlainDisk(1, 0);
  auto none = Cli(PcWithDisk1(empty), "erase 1 --quick --confirm-serial S1");
  EXPECT_EQ(none.code, 4);
  EXPECT_NE(none.host.err.find("reports no capacity"), std::string::npos) << none.host.err;
  EXPECT_EQ(none.platform->journal().Count("WriteFile"), 0u);
}

TEST(CliErase, AQuickEraseWritesItsRecordAndPrintsItsJson) {
  auto run = Cli(SmallPc(), "erase 1 --quick --verify --confirm-serial S1 --records C:/Erased --json");
  ASSERT_EQ(run.code, 0) << run.host.err;
  EXPECT_EQ(run.platform->Media(1)->zero.List(), (std::vector<ByteRange>{{0, 10'240'000}, {66'060'288, 67'108'864}}));
  const json record = run.Json();
  EXPECT_EQ(record["outcome"], "completed");
  EXPECT_EQ(record["disk"]["serial"], "S1");
  EXPECT_EQ(record["verify"]["outcome"], "passed");
  // The same document is saved beside the text record in the folder given.
  const auto files = run.platform->FilesWritten(u"C:\\Erased");
  ASSERT_EQ(files.size(), 2u);
  EXPECT_EQ(json::parse(*run.platform->FileContent(files[0])), record);  // the .json sorts first
  // Progress and the log went to standard error, one progress line per percent.
  EXPECT_NE(run.host.err.find("progress: 100%"), std::string::npos);
  // Standard error is English; the record keeps the log as the window shows it.
  EXPECT_NE(run.host.err.find("Read-back passed"), std::string::npos) << run.host.err;
  EXPECT_NE(record["log"].dump().find("校验通过"), std::string::npos) << record["log"];
  EXPECT_NE(run.host.err.find("Low-level format is complete."), std::string::npos);
}

TEST(CliErase, EveryOutcomeHasItsExitCodeAndRecord) {
  struct Case {
    const char* name;
    trv::sim::Scenario scenario;
    std::string args;
    int interruptAt;
    int code;
    const char* outcome;
  };
  const std::string full = "erase 1 --full --confirm-serial S1 --json";
  const std::vector<Case> cases = {
      {"bad area", SmallPc({{"badAreas", {{{"offset", 5'242'880}, {"length", 512}}}}}), full, 0, 5, "completed-with-errors"},
      {"flush", SmallPc({{"flushError", 1117}}), full, 0, 5, "completed-with-errors"},
      {"lying cache", SmallPc({{"lyingAreas", {{{"offset", 1'048'576}, {"length", 4096}}}}}),
       "erase 1 --full --verify --confirm-serial S1 --json", 0, 6, "verify-failed"},
      {"ctrl+c", SmallPc(), full, 6, 7, "cancelled"},
      {"unplug", SmallPc({{"unplugAt", {{"offset", 3'145'728}}}}), full, 0, 8, "terminated"},
  };
  for (const auto& c : cases) {
    auto run = Cli(c.scenario, c.args, c.interruptAt);
    EXPECT_EQ(run.code, c.code) << c.name << "\n" << run.host.err;
    const json record = run.Json();
    EXPECT_EQ(record["outcome"], c.outcome) << c.name;
    EXPECT_FALSE(run.platform->Media(1)->changed.Empty()) << c.name;
  }
  // The folder took the probe, but the record itself could not be saved (the disk filled up in between).
  auto unsaved = CliOn(
      std::make_unique<JsonFilesFail>(SmallPc({}, {{"errorMessages", {{"112", "There is not enough space on the disk."}}}})),
      full);
  EXPECT_EQ(unsaved.code, 9) << unsaved.host.err;
  EXPECT_EQ(unsaved.Json()["outcome"], "completed");
  EXPECT_FALSE(unsaved.platform->Media(1)->changed.Empty());
  EXPECT_NE(unsaved.host.err.find("error: the erase record could not be saved to C:\\Users\\User\\AppData\\Local\\"
                                  "Trevasso\\records\\2026-12-08_170509_S1.json: There is not enough space on the disk."),
            std::string::npos)
      << unsaved.host.err;
  auto stopped = Cli(SmallPc(), full, 6);
  EXPECT_NE(stopped.host.err.find("Ctrl+C: stopping after the current block..."), std::string::npos);
  EXPECT_EQ(stopped.Json()["written"][0]["end"], 5 * 65'536);  // Ctrl+C as block 5 begins: blocks 1 to 5
}

TEST(CliErase, AVolumeWithOpenFilesIsInUseAndNamedASwappedDiskIsRefused) {
  // The default PC's data disk holds E: and F:; F: has open files (its lock fails with 5): try again later (11).
  const std::string serial = Cli(Scenario(), "list --json").Json()["disks"][1]["serial"].get<std::string>();
  auto inUse = Cli(Scenario({{"volumes", {{{"letter", "E"}, {"deviceNumber", 1}},
                                          {{"letter", "F"}, {"deviceNumber", 1}, {"fail", {{"lock", 5}}}}}}}),
                   "erase 1 --quick --confirm-serial " + serial + " --json");
  EXPECT_EQ(inUse.code, 11) << inUse.host.err;
  EXPECT_EQ(inUse.Json()["outcome"], "in-use");
  EXPECT_EQ(inUse.Json()["message"], "in use: Volume F: could not be locked (error 5: Access is denied.): a program has "
                                     "files open on it, or holds it. Close its files and try again later. Nothing was written");
  // The log names it too.
  EXPECT_NE(inUse.host.err.find("   Volume F: could not be locked (error 5: Access is denied.)"), std::string::npos);
  EXPECT_EQ(inUse.platform->journal().Count("WriteFile"), 0u);
  EXPECT_EQ(inUse.platform->OpenVolumeHandles(), 0u) << "E:, locked first, is released";
  // Any other failure to lock is no reason to wait: refused, the volume named.
  auto broken = Cli(Scenario({{"volumes", {{{"letter", "F"}, {"deviceNumber", 1}, {"fail", {{"lock", 1117}}}}}}}),
                    "erase 1 --quick --confirm-serial " + serial);
  EXPECT_EQ(broken.code, 4) << broken.host.err;
  EXPECT_NE(broken.host.err.find("refused: Volume F: could not be locked (error 1117"), std::string::npos) << broken.host.err;

  // The disk Windows runs from is refused before any lock, in words.
  auto system = Cli(Scenario(), "erase 0 --quick --confirm-serial " +
                                    Cli(Scenario(), "list --json").Json()["disks"][0]["serial"].get<std::string>());
  EXPECT_EQ(system.code, 4) << system.host.err;
  EXPECT_NE(system.host.err.find("refused: nothing was written. Windows runs from volume C: on this disk"), std::string::npos)
      << system.host.err;
  EXPECT_EQ(system.platform->journal().Count("WriteFile"), 0u);

  json disk = PlainDisk(1, 131'072, {{"megabytesPerSecond", 100000}});
  disk["swap"] = {{"afterOpens", 1}, {"drive", PlainDisk(1, 131'072)}};
  disk["swap"]["drive"]["device"]["serial"] = "OTHER";
  auto swapped = Cli(PcWithDisk1(disk), "erase 1 --quick --confirm-serial S1");
  EXPECT_EQ(swapped.code, 4);
  EXPECT_NE(swapped.host.err.find("the disk was changed"), std::string::npos);
  EXPECT_TRUE(swapped.platform->Media(1)->changed.Empty());
}

TEST(CliErase, AWriteProtectedDiskIsRefusedAndAGoneDiskEndsTheRun) {
  auto locked = Cli(SmallPc({{"writeProtected", true}}), "erase 1 --full --confirm-serial S1 --json");
  EXPECT_EQ(locked.code, 4) << locked.host.err;
  EXPECT_NE(locked.host.err.find("refused: the disk is write-protected (a write-protect switch or a read-only attribute): "
                                 "nothing was written."),
            std::string::npos)
      << locked.host.err;
  EXPECT_FALSE(HasChinese(locked.host.err)) << "standard error is English throughout";
  EXPECT_NE(locked.Json()["message"].get<std::string>().find("write-protected"), std::string::npos);
  EXPECT_EQ(locked.Json()["outcome"], "refused");
  EXPECT_EQ(locked.platform->journal().Count("WriteFile"), 0u);
  // A card pulled from its reader (21): terminated, at once.
  auto pulled = Cli(SmallPc({{"unplugAt", {{"offset", 3'145'728}, {"error", 21}}}}), "erase 1 --full --confirm-serial S1 --json");
  EXPECT_EQ(pulled.code, 8) << pulled.host.err;
  EXPECT_EQ(pulled.Json()["outcome"], "terminated");
  // The console program, too, never lets the system ask for a disk.
  EXPECT_EQ(locked.platform->ErrorMode() & trv::win::SEM_FAILCRITICALERRORS, trv::win::SEM_FAILCRITICALERRORS);
}

TEST(CliErase, BytesPastWhatWindowsShowsAreNamedAndTheRunIsNotCompleted) {
  // The drive states 976,773,168 sectors; Windows shows 2,096 fewer, as behind a bridge that cuts the capacity.
  json disk = json::parse(trv::sim::DefaultScenarioJson())["drives"][1];
  disk["sectors"] = 976'771'072;
  disk["media"] = {{"megabytesPerSecond", 100000}};
  const auto pc = PcWithDisk1(disk);
  const std::string serial = Cli(pc, "list --json").Json()["disks"][1]["serial"].get<std::string>();
  auto run = Cli(pc, "erase 1 --quick --confirm-serial " + serial + " --json");
  EXPECT_EQ(run.code, 5) << run.host.err;
  EXPECT_EQ(run.Json()["outcome"], "completed-with-errors");
  ASSERT_FALSE(run.Json()["unwritten"].empty());
  EXPECT_EQ(run.Json()["unwritten"].back(), (json{{"begin", 500'106'788'864}, {"end", 500'107'862'016}}));
  EXPECT_NE(run.host.err.find("bytes from offset 500,106,788,864 to 500,107,862,016 could not be reached."),
            std::string::npos)
      << run.host.err;
  EXPECT_EQ(run.host.err.find("Low-level format is complete."), std::string::npos);
}

TEST(CliErase, TheEndOfTheSessionDuringARequestThatIgnoresTheCancelSavesTheRecordFirst) {
  // The write of the 512 KiB block at 8,323,072 takes the cancel and goes on
  // for two minutes; the host's thread hears the session end as it hangs, and
  // the erase's thread does not get to its pump: the record is saved from the run's copy.
  constexpr std::int64_t kHang = 8'323'072;
  CliRun r;
  r.platform = std::make_unique<trv::sim::SimPlatform>(SmallPc(
      {{"hangingAreas", {{{"offset", kHang}, {"length", 512}, {"milliseconds", 120'000}, {"ignoresCancel", true}}}}}));
  int sleeps = 0;
  r.platform->SetHangWait([&](bool) {
    if (r.host.erasing && !r.host.erasing->Ending()) r.host.erasing->EndNow([&](std::uint32_t) { ++sleeps; });
  });
  r.code = trv::cli::RunCli(*r.platform, r.host, Args("erase 1 --full --confirm-serial S1 --json"));
  EXPECT_EQ(sleeps, 20) << "a second in steps of 50 ms for the pump";
  EXPECT_EQ(r.code, 7) << r.host.err;
  EXPECT_EQ(r.platform->journal().Count("CancelSynchronousIo"), 1u);
  const json record = r.Json();  // printed from the record as saved
  EXPECT_EQ(record["outcome"], "cancelled");
  EXPECT_EQ(record["pending_offset"], kHang);
  EXPECT_EQ(record["written"], (json{{{"begin", 0}, {"end", kHang}}}));
  const auto files = r.platform->FilesWritten(u"C:\\Users\\User\\AppData\\Local\\Trevasso\\records");
  EXPECT_EQ(files.size(), 2u) << "one record, saved once";
  EXPECT_NE(r.host.err.find("The console is closing or Windows is ending the session: stopping now; the record is saved first."),
            std::string::npos) << r.host.err;
}

TEST(CliErase, ACancelledCheckOfTheDiskIsAStopNeverAChangedDisk) {
  auto run = CliOn(std::make_unique<IdentityCheckCancelled>(SmallPc()), "erase 1 --full --confirm-serial S1 --json");
  EXPECT_EQ(run.code, 7) << run.host.err;
  EXPECT_EQ(run.Json()["outcome"], "cancelled");
  EXPECT_EQ(run.host.err.find("changed"), std::string::npos) << run.host.err;
  EXPECT_NE(run.host.err.find("Stopped: the check of the disk was cancelled; nothing was written."), std::string::npos)
      << run.host.err;
  EXPECT_EQ(run.platform->journal().Count("WriteFile"), 0u);
}

TEST(CliErase, ALiveConsoleGetsOneProgressLineUpdatedInPlace) {
  auto run = Cli(SmallPc(), "erase 1 --quick --confirm-serial S1", 0, true);
  ASSERT_EQ(run.code, 0);
  EXPECT_EQ(run.host.err.find("progress: "), std::string::npos);
  EXPECT_NE(run.host.err.find("\r100%  sector 131,072"), std::string::npos);
  EXPECT_NE(run.host.out.find("outcome: completed\n"), std::string::npos);
  EXPECT_NE(run.host.out.find("record: C:\\Users\\User\\AppData\\Local\\Trevasso\\records\\"), std::string::npos);
}

TEST(Cli, SmartJsonCarriesTheVerdictAScriptCanTest) {
  // Disk 0 of the default PC, its drive reporting itself failing.
  json failing = json::parse(trv::sim::DefaultScenarioJson());
  failing["drives"][0]["ata"]["status"] = "failing";
  auto run = Cli(Scenario(failing), "smart 0 --json");
  ASSERT_EQ(run.code, 0) << run.host.err;  // the report was made
  json doc = run.Json();
  EXPECT_EQ(Keys(doc), DocumentedFields("`smart N --json`"));
  const json& health = doc["health"];
  EXPECT_EQ(Keys(health), DocumentedFields("`health` in `smart N --json`"));
  EXPECT_EQ(health["verdict"], "failing");
  EXPECT_EQ(health["failing"], true);
  EXPECT_EQ(health["source"], "ata-smart");
  EXPECT_EQ(health["drive_status"], "failing");
  EXPECT_EQ(health["reasons"], json::parse(R"J([{"code": "drive-reports-failing",
      "text": "驱动器报告自身即将发生故障 (SMART RETURN STATUS)"}])J"));
  EXPECT_EQ(health["thresholds_read"], true);
  // The Intel SSD's three attributes with thresholds: 170 (AAh), 184 (B8h), 232 (E8h).
  ASSERT_EQ(health["thresholds"].size(), 3u);
  EXPECT_EQ(health["thresholds"][1], json::parse(R"({"id": 184, "prefailure": true, "current": 100, "worst": 100,
      "threshold": 90, "failing_now": false, "failed_in_past": false})"));
  EXPECT_EQ(health["notes"], json::array());
  EXPECT_EQ(health["advice"], json::parse(R"({"code": "replace-disk", "text": "建议: 立即将重要数据复制到其他磁盘，并更换此磁盘"})"));
  // The lines end with the same verdict and advice.
  ASSERT_GE(doc["lines"].size(), 4u);
  EXPECT_EQ(doc["lines"][doc["lines"].size() - 4], "健康评估: 故障");
  EXPECT_EQ(doc["lines"][doc["lines"].size() - 2], health["advice"]["text"]);

  // The WDC data disk: a caution, not failing. The USB stick: no data, no verdict.
  doc = Cli(Scenario(), "smart 1 --json").Json();
  EXPECT_EQ(doc["health"]["verdict"], "caution");
  EXPECT_EQ(doc["health"]["failing"], false);
  EXPECT_TRUE(Cli(Scenario(), "smart 2 --json").Json()["health"].is_null());

  // Details carry what firmware erase the disk offers, and which shape that has.
  doc = Cli(Scenario(), "details 1 --json").Json();
  EXPECT_EQ(doc["erase_features"]["kind"], "ata");
  EXPECT_EQ(doc["erase_features"]["security"]["supported"], true);
  doc = Cli(Scenario(), "details 2 --json").Json();
  EXPECT_TRUE(doc["erase_features"].is_null());
  EXPECT_TRUE(doc["model"].is_null() && doc["serial"].is_null() && doc["capacity_bytes"].is_null()) << "no identify data";
}

TEST(Cli, SmartAndDetailsJsonCarryTheDrivesOwnValues) {
  // The WDC capture's attribute 05h (63 reallocated sectors) and 09h (14,992 hours),
  // as the table shows them.
  json doc = Cli(Scenario(), "smart 1 --json").Json();
  ASSERT_TRUE(doc["attributes"].is_array());
  const auto attribute = [&](int id) {
    for (const auto& a : doc["attributes"])
      if (a["id"] == id) return a;
    return json();
  };
  EXPECT_EQ(attribute(5), json::parse(R"({"id": 5, "name": "重新分配扇区数", "flags": 51, "prefailure": true,
      "current": 192, "worst": 192, "threshold": 140, "raw": 63, "raw_bytes": "3f0000000000"})"));
  EXPECT_EQ(attribute(9)["threshold"], 0) << "a threshold of 0 is read, not missing";
  EXPECT_EQ(doc["power_on_hours"], 14992);
  EXPECT_TRUE(doc["nvme_health_log"].is_null());
  EXPECT_EQ(doc["health"]["reasons"][1]["code"], "pending-sectors");

  // The modern PC: the NVMe disk's log as numbers; the disk behind the USB
  // bridge gives its own model and serial (the bridge's are 0000000000000123).
  const auto modern = trv::test::ModernPc();
  doc = Cli(modern, "smart 0 --json").Json();
  EXPECT_TRUE(doc["attributes"].is_null());
  EXPECT_EQ(doc["nvme_health_log"]["power_on_hours"], 3210);
  EXPECT_EQ(doc["nvme_health_log"]["temperature_kelvin"], 311);
  EXPECT_EQ(doc["power_on_hours"], 3210);
  EXPECT_EQ(doc["temperature_celsius"], 38);
  doc = Cli(modern, "details 0 --json").Json();
  EXPECT_EQ(doc["erase_features"]["kind"], "nvme");
  EXPECT_EQ(doc["model"], "Samsung SSD 970 EVO Plus 500GB");
  EXPECT_EQ(doc["capacity_bytes"], 500'107'862'016);
  doc = Cli(modern, "details 2 --json").Json();
  EXPECT_EQ(doc["model"], "ST9160821AS");
  EXPECT_EQ(doc["serial"], "5MAC2QTA");
  EXPECT_EQ(doc["firmware"], "3.CLH");
  EXPECT_EQ(doc["sectors"], 312'581'808);
  EXPECT_EQ(doc["sector_size"], 512);
}

namespace {

// The lines of a text output.
std::vector<std::string> TextLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// A PC with these drives and no drive letters.
trv::sim::Scenario PcWithDrives(const json& drives, const json& patch = json::object()) {
  json p = patch;
  p["drives"] = drives;
  p["volumes"] = json::array();
  return Scenario(p);
}

} // namespace

TEST(CliOptions, RepeatedSwitchesAndNumbersThatAreNotPlainAreUsageErrors) {
  // The last serial would have won: the disk was erased.
  for (const char* line : {"erase 1 --quick --confirm-serial WRONG --confirm-serial S1",
                           "erase 1 --quick --confirm-serial S1 --records C:\\A --records C:\\B"}) {
    auto run = Cli(SmallPc(), line);
    EXPECT_EQ(run.code, 2) << line;
    EXPECT_TRUE(run.platform->Media(1)->changed.Empty()) << line;
    EXPECT_EQ(run.platform->journal().Count("CreateFileW"), 0u) << "a usage error touches nothing: " << line;
  }
  auto twice = Cli(SmallPc(), "erase 1 --quick --confirm-serial WRONG --confirm-serial S1");
  EXPECT_NE(twice.host.err.find("trevasso-cli: --confirm-serial is given more than once\n"), std::string::npos)
      << twice.host.err;
  for (const char* bad : {"list --json --json", "erase 1 --quick --quick --confirm-serial S1",
                          "erase 1 --full --verify --verify --confirm-serial S1", "details 01", "details 001",
                          "details +1", "details 1.0", "details 256", "details 0x1", "details １",
                          "erase 1 --quick --confirm-serial --json", "erase 1 --quick --records --confirm-serial S1"})
    EXPECT_EQ(Cli(SmallPc(), bad).code, 2) << bad;
  EXPECT_EQ(Cli(SmallPc(), "details 0").code, 0);
  EXPECT_EQ(Cli(SmallPc(), "erase 1 --quick --confirm-serial S1 --json").code, 0);

  // A machine without docs/ still learns the exit codes, Ctrl+C and where the records go.
  auto help = Cli(Scenario(), "--help");
  EXPECT_EQ(help.code, 0);
  for (const char* part : {"  10  refused, nothing written: the records folder cannot be used\n",
                           "   9  the erase completed, but its record could not be saved\n", "   3  not elevated",
                           "%LOCALAPPDATA%\\Trevasso\\records", "%ProgramData%\\Trevasso\\records when running as SYSTEM",
                           "A second\nCtrl+C, or one while no erase runs, ends the program at once, with no record.",
                           "(before 5)"})
    EXPECT_NE(help.host.out.find(part), std::string::npos) << part;
  EXPECT_EQ(help.platform->journal().entries().size(), 0u);
}

TEST(CliList, DeviceTextsCannotBreakLinesAndColumnsFitTheLongestSerial) {
  json cr = PlainDisk(1, 131'072);
  cr["device"]["serial"] = "AB\rCD\x1b[2K";
  json longSerial = PlainDisk(2, 131'072);
  longSerial["device"]["serial"] = "0123456789ABCDEFGHIJ0123456789XYZ";
  auto run = Cli(PcWithDrives(json::array({PlainDisk(0, 131'072), cr, longSerial})), "list");
  ASSERT_EQ(run.code, 0) << run.host.err;
  EXPECT_EQ(run.host.out.find('\r'), std::string::npos);
  EXPECT_EQ(run.host.out.find('\x1b'), std::string::npos);
  const auto lines = TextLines(run.host.out);
  ASSERT_EQ(lines.size(), 4u) << run.host.out;
  EXPECT_NE(lines[2].find("AB␍CD␛[2K"), std::string::npos) << lines[2];
  // Every column starts where its heading does, after two blanks at least.
  const std::u16string head = trv::Utf8ToUtf16(lines[0]);
  for (const char16_t* heading : {u"Serial", u"Sectors", u"Sector ", u"Capacity"}) {
    const auto at = head.find(heading);
    ASSERT_NE(at, std::u16string::npos);
    for (std::size_t i = 1; i < lines.size(); ++i) {
      const std::u16string line = trv::Utf8ToUtf16(lines[i]);
      ASSERT_GT(line.size(), at) << lines[i];
      EXPECT_EQ(line.substr(at - 2, 2), u"  ") << lines[i];
      EXPECT_NE(line[at], u' ') << lines[i];
    }
  }
  EXPECT_NE(lines[3].find("0123456789ABCDEFGHIJ0123456789XYZ  131,072"), std::string::npos) << lines[3];
  // The JSON keeps the texts exactly.
  const json doc = Cli(PcWithDrives(json::array({cr})), "list --json").Json();
  EXPECT_EQ(doc["disks"][0]["serial"], "AB\rCD\x1b[2K");
}

TEST(CliList, EveryDiskOnEveryNumberAndAnUnreadableDiskNamedWithItsReason) {
  // Twenty disks, more than the window program's fifteen, up to number 250;
  // one whose device query is denied and one that cannot be opened at all.
  json drives = json::array();
  for (int n = 0; n < 20; ++n) drives.push_back(PlainDisk(n < 19 ? n : 250, 131'072, {{"megabytesPerSecond", 100000}}));
  json denied = PlainDisk(30, 131'072);
  denied["fail"] = {{"device", 5}};
  json locked = PlainDisk(31, 131'072);
  locked["open"] = "denied";
  drives.push_back(denied);
  drives.push_back(locked);
  const auto pc = PcWithDrives(drives);

  auto run = Cli(pc, "list --json");
  ASSERT_EQ(run.code, 0) << run.host.err;
  const json doc = run.Json();
  ASSERT_EQ(doc["disks"].size(), 20u);
  EXPECT_EQ(doc["disks"][19]["number"], 250);
  EXPECT_EQ(doc["unreadable"], json::parse(R"([
    {"number": 30, "code": "disk-unreadable", "error": 5, "reason": "Error accessing device: Access is denied."},
    {"number": 31, "code": "disk-unreadable", "error": 5, "reason": "cannot be opened: Access is denied."}])"));
  auto text = Cli(pc, "list");
  const auto lines = TextLines(text.host.out);
  ASSERT_EQ(lines.size(), 23u) << text.host.out;
  EXPECT_EQ(lines[20], "30    Error accessing device: Access is denied.");
  EXPECT_EQ(lines[22].substr(0, 4), "250 ");

  // The unreadable disk stops neither another disk's erase nor its report; its own commands say why.
  auto erase = Cli(pc, "erase 250 --quick --confirm-serial S250");
  EXPECT_EQ(erase.code, 0) << erase.host.err;
  EXPECT_FALSE(erase.platform->Media(250)->changed.Empty());
  EXPECT_EQ(Cli(pc, "details 18").code, 0);
  auto broken = Cli(pc, "erase 30 --quick --confirm-serial S30");
  EXPECT_EQ(broken.code, 1);
  EXPECT_NE(broken.host.err.find("trevasso-cli: disk 30 cannot be read: Error accessing device: Access is denied.\n"),
            std::string::npos)
      << broken.host.err;
  // An erase asks only its own disk.
  for (const auto* e : erase.platform->journal().Find("CreateFileW"))
    EXPECT_EQ(e->detail.find("PhysicalDrive") == std::string::npos || e->detail.find("PhysicalDrive250 ") != std::string::npos,
              true)
        << e->detail;
}

TEST(CliReports, AnInventoryWorksWhileAnotherProgramHoldsTheDiskOnlyAnEraseNeedsItAlone) {
  json disk = PlainDisk(1, 131'072);
  disk["open"] = "inUse";
  const auto pc = PcWithDisk1(disk);
  for (const char* command : {"list", "details 1", "smart 1 --json"}) {
    auto run = Cli(pc, command);
    EXPECT_EQ(run.code, 0) << command << ": " << run.host.err;
    for (const auto* e : run.platform->journal().Find("CreateFileW"))
      if (e->detail.find("PhysicalDrive1 ") != std::string::npos) {
        EXPECT_NE(e->detail.find(" share=3 "), std::string::npos) << e->detail;
      }
  }
  // In use, not missing: worth trying again later (11), never the "no such disk" of 1.
  auto erase = Cli(pc, "erase 1 --quick --confirm-serial S1 --json");
  EXPECT_EQ(erase.code, 11);
  EXPECT_EQ(erase.Json()["outcome"], "in-use");
  EXPECT_EQ(erase.Json()["message"], "in use: another program has disk 1 open (The process cannot access the file "
                                     "because it is being used by another process.); close it and try again later. "
                                     "Nothing was written");
  EXPECT_TRUE(erase.platform->Media(1)->changed.Empty());
}

TEST(CliErase, TheRecordsFolderIsProvenBeforeTheFirstWrite) {
  const auto nothingWritten = [](const CliRun& run, const std::string& name) {
    EXPECT_EQ(run.code, 10) << name << "\n" << run.host.err;
    EXPECT_TRUE(run.platform->Media(1)->changed.Empty()) << name;
    EXPECT_EQ(run.platform->journal().Count("DeviceIoControl") > 0 &&
                  [&] {
                    for (const auto* e : run.platform->journal().Find("DeviceIoControl"))
                      if (e->code == 0x00090018) return true;  // FSCTL_LOCK_VOLUME
                    return false;
                  }(),
              false)
        << name << ": no volume is locked";
    EXPECT_EQ(run.Json()["outcome"], "refused") << name;
    EXPECT_EQ(run.Json()["exit_code"], 10) << name;
  };
  const std::string erase = "erase 1 --full --confirm-serial S1 --json";
  // A folder that takes no files (its permissions were taken away).
  auto readOnly = Cli(SmallPc({}, {{"readOnlyFolders", {"C:\\Users\\User\\AppData\\Local\\Trevasso\\records"}}}), erase);
  nothingWritten(readOnly, "read-only");
  EXPECT_EQ(readOnly.Json()["message"],
            "refused: no record could be saved in C:\\Users\\User\\AppData\\Local\\Trevasso\\records: "
            "C:\\Users\\User\\AppData\\Local\\Trevasso\\records\\trevasso-write-test.tmp: (5) Access is denied. "
            "Nothing was written");
  // A mistyped drive: Windows answers 3.
  auto noDrive = Cli(SmallPc(), erase + " --records Q:\\records");
  nothingWritten(noDrive, "no drive");
  EXPECT_NE(noDrive.host.err.find("Q:\\records: (3) The system cannot find the path specified."), std::string::npos)
      << noDrive.host.err;
  // A folder on the disk to be erased (E: lies on disk 1): nothing is made there either.
  auto onDisk = Cli(SmallPc(), erase + " --records e:/records");
  nothingWritten(onDisk, "on the disk");
  EXPECT_EQ(onDisk.Json()["message"],
            "refused: the records folder e:\\records is on E:\\, a volume of disk 1, which is to be erased; give "
            "--records on another disk. Nothing was written");
  EXPECT_EQ(onDisk.platform->journal().Count("CreateDirectoryW"), 0u);
  // A volume of the disk mounted in a folder of C: is locked by the erase too.
  const json mountedVolumes = {{{"letter", "C"}, {"deviceNumber", 0}, {"partition", 1}},
                               {{"guid", "{5b1e2f3a-0c4d-4e5f-8a9b-0c1d2e3f4a5b}"}, {"deviceNumber", 1}, {"partition", 1},
                                {"mountFolders", {"C:\\Mount\\Data\\"}}}};
  auto mounted = Cli(SmallPc({}, {{"volumes", mountedVolumes}}), erase + " --records C:\\Mount\\Data\\records");
  nothingWritten(mounted, "mounted in a folder");
  EXPECT_EQ(mounted.Json()["message"],
            "refused: the records folder C:\\Mount\\Data\\records is on C:\\Mount\\Data\\, a volume of disk 1, which is "
            "to be erased; give --records on another disk. Nothing was written");

  // A relative folder is made absolute, the probe leaves nothing behind, and
  // the log names the real path.
  auto relative = Cli(SmallPc(), "erase 1 --quick --confirm-serial S1 --records out/recs");
  ASSERT_EQ(relative.code, 0) << relative.host.err;
  const std::u16string folder = u"C:\\Users\\User\\out\\recs";
  EXPECT_EQ(relative.platform->FilesWritten(folder),
            (std::vector<std::u16string>{folder + u"\\2026-12-08_170509_S1.json", folder + u"\\2026-12-08_170509_S1.txt"}));
  EXPECT_FALSE(relative.platform->FileContent(folder + u"\\trevasso-write-test.tmp"));
  EXPECT_EQ(relative.platform->journal().Count("DeleteFileW"), 1u);
  EXPECT_NE(relative.host.err.find("   Erase record saved: C:\\Users\\User\\out\\recs\\2026-12-08_170509_S1.txt\n"),
            std::string::npos)
      << relative.host.err;
  // A root gives clean paths.
  auto root = Cli(SmallPc(), "erase 1 --quick --confirm-serial S1 --records C:\\");
  ASSERT_EQ(root.code, 0) << root.host.err;
  EXPECT_NE(root.host.out.find("record: C:\\2026-12-08_170509_S1.txt\nrecord: C:\\2026-12-08_170509_S1.json\n"),
            std::string::npos)
      << root.host.out;
}

TEST(CliErase, AsSystemTheRecordsGoToProgramData) {
  auto run = Cli(SmallPc({}, {{"localSystem", true},
                              {"localAppData", "C:\\Windows\\system32\\config\\systemprofile\\AppData\\Local"}}),
                 "erase 1 --quick --confirm-serial S1");
  ASSERT_EQ(run.code, 0) << run.host.err;
  EXPECT_NE(run.host.out.find("record: C:\\ProgramData\\Trevasso\\records\\2026-12-08_170509_S1.txt\n"), std::string::npos)
      << run.host.out;
  EXPECT_NE(run.host.err.find("Erase record saved: C:\\ProgramData\\Trevasso\\records\\"), std::string::npos);
  EXPECT_EQ(run.platform->FilesWritten(u"C:\\ProgramData\\Trevasso\\records").size(), 2u);
}

TEST(CliErase, StandardErrorIsEnglishWithEachPassNamedAndTheRecordKeepsTheWindowsLog) {
  // A read-back that fails: the lines the window shows in Chinese.
  auto run = Cli(SmallPc({{"lyingAreas", {{{"offset", 1'048'576}, {"length", 4096}}}}}),
                 "erase 1 --quick --verify --confirm-serial S1 --json");
  EXPECT_EQ(run.code, 6);
  EXPECT_FALSE(HasChinese(run.host.err)) << run.host.err;
  for (const char* part : {"Read-back: reading the 11,288,576 bytes written... \n",
                           "Read-back found non-zero data: 4096 of the 65,536 bytes from offset 1,048,576 are not zero\n",
                           "Read-back failed: 4096 bytes in 1 areas did not read back as zero (the first at offset 1,048,576)\n",
                           "progress: 100%  sector 131,072", "  (writing)\n", "  (read-back)\n", "   Erase record saved: "})
    EXPECT_NE(run.host.err.find(part), std::string::npos) << part << "\n" << run.host.err;
  EXPECT_LT(run.host.err.find("(writing)"), run.host.err.find("(read-back)"));
  const json record = run.Json();
  EXPECT_TRUE(HasChinese(record["log"].dump())) << "the record's log is the window's";
  ASSERT_FALSE(record["log"].empty());
  EXPECT_FALSE(HasChinese(record["log"].back().get<std::string>())) << "the record line is the console's only";

  // A read-back that cannot read a sector: its lines, too, in English.
  auto unreadable = Cli(SmallPc({{"readErrors", {{{"offset", 2'097'152}, {"length", 512}}}}}),
                        "erase 1 --quick --verify --confirm-serial S1");
  EXPECT_EQ(unreadable.code, 6) << unreadable.host.err;
  EXPECT_FALSE(HasChinese(unreadable.host.err)) << unreadable.host.err;
  EXPECT_NE(unreadable.host.err.find("Read-back read error at offset "), std::string::npos) << unreadable.host.err;
  EXPECT_NE(unreadable.host.err.find("; read again in 64 KiB pieces: 1 of "), std::string::npos) << unreadable.host.err;

  // The swapped-disk refusal, all of it.
  json disk = PlainDisk(1, 131'072, {{"megabytesPerSecond", 100000}});
  disk["swap"] = {{"afterOpens", 1}, {"drive", PlainDisk(1, 131'072)}};
  disk["swap"]["drive"]["device"]["serial"] = "OTHER";
  auto swapped = Cli(PcWithDisk1(disk), "erase 1 --quick --confirm-serial S1");
  EXPECT_EQ(swapped.code, 4);
  EXPECT_FALSE(HasChinese(swapped.host.err)) << swapped.host.err;
  EXPECT_NE(swapped.host.err.find("Chosen: ACME TestDisk 1, serial S1, 67,108,864 bytes; now: ACME TestDisk 1, serial OTHER"),
            std::string::npos)
      << swapped.host.err;

  // The stop line says what a second Ctrl+C does.
  auto stopped = Cli(SmallPc(), "erase 1 --full --confirm-serial S1", 6);
  EXPECT_NE(stopped.host.err.find("a second Ctrl+C ends the program at once, with no record."), std::string::npos);
}

TEST(CliErase, DisksTheWindowRefusesAreRefusedAndADiskWithoutSerialNamesItsFilesSo) {
  auto tooSmall = Cli(PcWithDisk1(PlainDisk(1, 65'534)), "erase 1 --quick --confirm-serial S1 --json");
  EXPECT_EQ(tooSmall.code, 4);
  EXPECT_EQ(tooSmall.Json()["message"], "refused: disk 1 has 65,534 sectors, fewer than 65,535; the window program refuses "
                                        "it too, and so does this one. Nothing was written");
  EXPECT_EQ(tooSmall.platform->journal().Count("WriteFile"), 0u);
  EXPECT_EQ(Cli(PcWithDisk1(PlainDisk(1, 65'535)), "erase 1 --quick --confirm-serial S1").code, 0);
  // The window's selection dialog says the same of the same disk.
  auto window = Play(PcWithDisk1(PlainDisk(1, 65'534)), "select DriveList 1; click btContinue");
  ASSERT_FALSE(window.ui->boxes().empty());
  EXPECT_NE(window.ui->boxes().back().text.find(u"smaller than 65535 sectors"), std::u16string::npos);

  json disk = PlainDisk(1, 131'072, {{"megabytesPerSecond", 100000}});
  disk["device"]["serial"] = nullptr;
  auto run = Cli(PcWithDisk1(disk), "erase 1 --quick --confirm-serial NONE-67108864");
  ASSERT_EQ(run.code, 0) << run.host.err;
  EXPECT_NE(run.host.out.find("\\2026-12-08_170509_no-serial.txt\n"), std::string::npos) << run.host.out;
}

TEST(SimCli, TheSimulatorsOwnSwitchesFailLoudlyBeforeTheCommandRuns) {
#ifdef _WIN32
  GTEST_SKIP() << "host paths of a POSIX system (/dev/zero); trevasso-cli-sim.exe's switches are scripts/cli-console's";
#endif
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "trevasso-sim-cli-test";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir / "folder");
  std::ofstream(dir / "file") << "not a folder";
  { std::ofstream(dir / "huge.json"); }
  std::filesystem::resize_file(dir / "huge.json", (64u << 20) + 1);
  const std::string d = dir.string();
  const std::string erase = " erase 1 --quick --confirm-serial WD-WCAPW0493929";
  struct Case {
    std::string args, message;
  };
  for (const Case& c : std::vector<Case>{
           {"--state " + d + "/file/sub" + erase, "--state " + d + "/file/sub: not a folder that can be made"},
           {"--report " + d + "/none/report.txt" + erase, "--report " + d + "/none/report.txt: the file cannot be written"},
           {"--scenario /dev/zero list", "/dev/zero: not a scenario file (not a regular file)"},
           {"--scenario " + d + "/folder list", d + "/folder: not a scenario file (not a regular file)"},
           {"--scenario " + d + "/huge.json list", d + "/huge.json: too large for a scenario file (more than 67108864 bytes)"},
           {"--scenario " + d + "/huge.json --pc modern list", "--scenario and --pc: give one PC, not both"},
           {"--pc modern --pc default list", "--pc is given more than once"},
           {"--state", "--state needs a value"}}) {
    FakeHost host;
    EXPECT_EQ(trv::cli::RunSimCli(Args(c.args), host), 2) << c.args;
    EXPECT_EQ(host.err, "trevasso-cli: " + c.message + "\n") << c.args;
    EXPECT_EQ(host.out, "") << c.args;
  }
  // --help names them and says where they go.
  FakeHost help;
  EXPECT_EQ(trv::cli::RunSimCli(Args("--pc modern --help"), help), 0);
  for (const char* part : {"Its own switches go before the command", "  --pc default|modern", "  --scenario FILE",
                           "  --state DIR", "  --report FILE", "SIGTERM stops an erase as Ctrl+C does", "Exit codes:"})
    EXPECT_NE(help.out.find(part), std::string::npos) << part;
  FakeHost empty;
  EXPECT_EQ(trv::cli::RunSimCli({u"--scenario", u"", u"list"}, empty), 2);
  EXPECT_EQ(empty.err, "trevasso-cli: --scenario needs a value, not an empty one\n");
  // A report that can be written is, and the state folder keeps the records.
  FakeHost ok;
  EXPECT_EQ(trv::cli::RunSimCli(Args("--state " + d + "/state --report " + d + "/report.txt" + erase), ok), 0) << ok.err;
  std::ifstream report(dir / "report.txt");
  std::string first;
  std::getline(report, first);
  EXPECT_EQ(first, "== Disk 1: 11288576 bytes changed; zero: [0, 10240000) [500106813440, 500107862016)");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "state"), std::filesystem::directory_iterator()), 2);
  std::filesystem::remove_all(dir);
}
