// trevasso-cli on the simulated PC: every command, every exit code, and the
// JSON a script reads, checked against docs/cli.md.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "cli/cli_app.h"
#include "format/format_support.h"
#include "platform/sim/sim_platform.h"

using namespace trv::test;
using nlohmann::json;
using trv::sim::ByteRange;

namespace {

// A console host that keeps what was written, and presses Ctrl+C at a given
// pump of the erase.
class FakeHost : public trv::cli::CliHost {
 public:
  void Out(std::u16string_view t) override { out += trv::Utf16ToUtf8(t); }
  void Err(std::u16string_view t) override { err += trv::Utf16ToUtf8(t); }
  bool ErrIsConsole() override { return console; }
  bool Interrupted() override { return stoppable && interruptAtCall > 0 && ++calls >= interruptAtCall; }
  void SetStoppable(bool on) override { stoppable = on; }
  bool stoppable = false;
  std::string out, err;
  bool console = false;
  int interruptAtCall = 0, calls = 0;
};

struct CliRun {
  int code = -1;
  FakeHost host;
  std::unique_ptr<trv::sim::SimPlatform> platform;
  json Json() const { return json::parse(host.out); }
};

std::vector<std::u16string> Args(const std::string& line) {
  std::vector<std::u16string> out;
  std::istringstream in(line);
  for (std::string a; in >> a;) out.push_back(trv::Utf8ToUtf16(a));
  return out;
}

CliRun Cli(const trv::sim::Scenario& scenario, const std::string& args, int interruptAt = 0, bool console = false) {
  CliRun r;
  r.platform = std::make_unique<trv::sim::SimPlatform>(scenario);
  r.host.interruptAtCall = interruptAt;
  r.host.console = console;
  r.code = trv::cli::RunCli(*r.platform, r.host, Args(args));
  return r;
}

// A PC whose disk 1 is a small, fast plain disk with the given media.
trv::sim::Scenario SmallPc(const json& media = json::object(), const json& patch = json::object()) {
  json m = {{"megabytesPerSecond", 100000}};
  if (media.is_object()) m.update(media);
  return PcWithDisk1(PlainDisk(1, 131'072, m), patch);  // 64 MiB
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
  EXPECT_NE(run.host.err.find("校验通过"), std::string::npos);
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
      {"record", SmallPc({}, {{"readOnlyFolders", {"C:\\Users\\User\\AppData\\Local\\Trevasso\\records"}}}), full, 0, 9,
       "completed"},
  };
  for (const auto& c : cases) {
    auto run = Cli(c.scenario, c.args, c.interruptAt);
    EXPECT_EQ(run.code, c.code) << c.name << "\n" << run.host.err;
    const json record = run.Json();
    EXPECT_EQ(record["outcome"], c.outcome) << c.name;
    EXPECT_FALSE(run.platform->Media(1)->changed.Empty()) << c.name;
  }
  auto stopped = Cli(SmallPc(), full, 6);
  EXPECT_NE(stopped.host.err.find("Ctrl+C: stopping after the current block..."), std::string::npos);
  EXPECT_EQ(stopped.Json()["written"][0]["end"], 5 * 65'536);  // Ctrl+C as block 5 begins: blocks 1 to 5
}

TEST(CliErase, AVolumeInUseOrASwappedDiskIsRefused) {
  // The default PC's data disk holds E: and F:; F: has open files.
  auto inUse = Cli(Scenario({{"volumes", {{{"letter", "E"}, {"deviceNumber", 1}},
                                          {{"letter", "F"}, {"deviceNumber", 1}, {"fail", {{"lock", 5}}}}}}}),
                   "erase 1 --quick --confirm-serial " + Cli(Scenario(), "list --json").Json()["disks"][1]["serial"].get<std::string>());
  EXPECT_EQ(inUse.code, 4) << inUse.host.err;
  EXPECT_EQ(inUse.platform->journal().Count("WriteFile"), 0u);

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
  EXPECT_NE(locked.host.err.find("refused: 磁盘处于写保护状态"), std::string::npos) << locked.host.err;
  EXPECT_EQ(locked.Json()["outcome"], "refused");
  EXPECT_EQ(locked.platform->journal().Count("WriteFile"), 0u);
  // A card pulled from its reader (21): terminated, at once.
  auto pulled = Cli(SmallPc({{"unplugAt", {{"offset", 3'145'728}, {"error", 21}}}}), "erase 1 --full --confirm-serial S1 --json");
  EXPECT_EQ(pulled.code, 8) << pulled.host.err;
  EXPECT_EQ(pulled.Json()["outcome"], "terminated");
  // The console program, too, never lets the system ask for a disk.
  EXPECT_EQ(locked.platform->ErrorMode() & trv::win::SEM_FAILCRITICALERRORS, trv::win::SEM_FAILCRITICALERRORS);
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
  EXPECT_EQ(health["reasons"], json::array({"驱动器报告自身即将发生故障 (SMART RETURN STATUS)"}));
  EXPECT_EQ(health["thresholds_read"], true);
  // The Intel SSD's three attributes with thresholds: 170 (AAh), 184 (B8h), 232 (E8h).
  ASSERT_EQ(health["thresholds"].size(), 3u);
  EXPECT_EQ(health["thresholds"][1], json::parse(R"({"id": 184, "prefailure": true, "current": 100, "worst": 100,
      "threshold": 90, "failing_now": false, "failed_in_past": false})"));
  // The lines end with the same verdict.
  EXPECT_EQ(doc["lines"][doc["lines"].size() - 3], "健康评估: 故障");

  // The WDC data disk: a caution, not failing. The USB stick: no data, no verdict.
  doc = Cli(Scenario(), "smart 1 --json").Json();
  EXPECT_EQ(doc["health"]["verdict"], "caution");
  EXPECT_EQ(doc["health"]["failing"], false);
  EXPECT_TRUE(Cli(Scenario(), "smart 2 --json").Json()["health"].is_null());

  // Details carry what firmware erase the disk offers.
  doc = Cli(Scenario(), "details 1 --json").Json();
  EXPECT_EQ(doc["erase_features"]["security"]["supported"], true);
  EXPECT_TRUE(Cli(Scenario(), "details 2 --json").Json()["erase_features"].is_null());
}
