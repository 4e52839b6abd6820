// What an erase record carries for an audit, on the simulated PC: operator,
// asset and ticket as given, the record's own id, the program file's SHA-256,
// and why no firmware erase was used.
#include <gtest/gtest.h>

#include <regex>

#include "cli/cli_support.h"
#include "format/format_support.h"

using namespace trv::test;
using nlohmann::json;

namespace {

const std::string kSmallErase = "erase 1 --quick --confirm-serial S1 --json";
// printf 'MZ simulated Trevasso program file\r\n' | sha256sum: the simulated PC's program file (docs/scenario.md).
constexpr char kSimProgramSha256[] = "f5c54c008cc66ada3a13bfbfb0344abcf13c19a4b6164bb3180dbcfb0deb743a";

std::vector<std::u16string> EraseWith(const std::u16string& name, const std::u16string& value) {
  auto args = Args(kSmallErase);
  args.push_back(name);
  args.push_back(value);
  return args;
}

// The text record the run saved (the .txt sorts after the .json).
std::string TextRecord(const CliRun& run) {
  const auto files = run.platform->FilesWritten(u"C:\\Users\\User\\AppData\\Local\\Trevasso\\records");
  return files.size() == 2 ? *run.platform->FileContent(files[1]) : std::string();
}

} // namespace

TEST(CliAudit, OperatorAssetAndTicketGoIntoBothRecordsWithItsIdAndTheProgramsHash) {
  auto run = CliOn(std::make_unique<trv::sim::SimPlatform>(SmallPc()),
                   Args(kSmallErase + " --operator Ann.Lee --asset INV-0042 --ticket CHG-7"));
  ASSERT_EQ(run.code, 0) << run.host.err;
  const json record = run.Json();
  EXPECT_EQ(record["operator"], "Ann.Lee");
  EXPECT_EQ(record["asset"], "INV-0042");
  EXPECT_EQ(record["ticket"], "CHG-7");
  EXPECT_TRUE(std::regex_match(record["record_id"].get<std::string>(),
                               std::regex("[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}")))
      << record["record_id"];
  EXPECT_EQ(record["program_version"], "4.12");
  EXPECT_EQ(record["program_file"], json({{"path", "C:\\Program Files\\Trevasso\\trevasso.exe"},
                                          {"sha256", kSimProgramSha256},
                                          {"error", nullptr}}));
  const std::string text = TextRecord(run);
  for (const std::string& line : std::vector<std::string>{"Operator:           Ann.Lee\r\n", "Asset:              INV-0042\r\n",
                                  "Ticket:             CHG-7\r\n",
                                  "Record id:          " + record["record_id"].get<std::string>() + "\r\n",
                                  std::string("Program SHA-256:    ") + kSimProgramSha256 + "\r\n"})
    EXPECT_NE(text.find(line), std::string::npos) << line << text;

  // A second erase on the same PC is another record: another id.
  const int again = trv::cli::RunCli(*run.platform, run.host, Args(kSmallErase));
  ASSERT_EQ(again, 0);
  const std::string second = run.host.out.substr(run.host.out.rfind("{\n  \"format\""));
  const json secondRecord = json::parse(second);
  EXPECT_NE(secondRecord["record_id"], record["record_id"]);
  // Not given: null in the JSON, said so in the text.
  EXPECT_EQ(secondRecord["operator"], nullptr);
  EXPECT_EQ(secondRecord["ticket"], nullptr);
}

TEST(CliAudit, AnUnreadableProgramFileLeavesTheHashNullWithTheReasonNeverAFailedErase) {
  auto pc = SmallPc();
  pc.programFile.reset();  // "programFile": null
  auto run = Cli(pc, kSmallErase);
  ASSERT_EQ(run.code, 0) << run.host.err;
  const json file = run.Json()["program_file"];
  EXPECT_EQ(file["sha256"], nullptr);
  EXPECT_EQ(file["error"], "the program file cannot be opened: The system cannot find the file specified. (2)");
  EXPECT_NE(TextRecord(run).find("Program SHA-256:    not known: the program file cannot be opened"), std::string::npos);
}

TEST(CliAudit, AuditTextsThatWouldForgeALineOrRunOnAreUsageErrorsThatSayTheLimit) {
  const std::u16string longest(128, u'x');
  const std::string limit = "takes at most 128 characters and no control characters";
  const std::pair<std::u16string, std::u16string> bad[] = {
      {u"--operator", u"Ann\r\nOutcome: completed"}, {u"--asset", longest + u"x"}, {u"--ticket", u"T\u0085"},
      {u"--ticket", u"a\u2028b"}};
  for (const auto& [name, value] : bad) {
    auto run = CliOn(std::make_unique<trv::sim::SimPlatform>(SmallPc()), EraseWith(name, value));
    EXPECT_EQ(run.code, 2) << trv::Utf16ToUtf8(name);
    EXPECT_NE(run.host.err.find(trv::Utf16ToUtf8(name) + " " + limit), std::string::npos) << run.host.err;
    EXPECT_EQ(run.platform->journal().Count("WriteFile"), 0u);
  }
  auto empty = CliOn(std::make_unique<trv::sim::SimPlatform>(SmallPc()), EraseWith(u"--asset", u""));
  EXPECT_EQ(empty.code, 2);
  EXPECT_NE(empty.host.err.find("--asset needs a value"), std::string::npos) << empty.host.err;
  EXPECT_EQ(Cli(SmallPc(), "list --operator Ann").code, 2);
  EXPECT_EQ(Cli(SmallPc(), kSmallErase + " --ticket A --ticket B").code, 2);
  // The longest text, and any printable Unicode, are taken as they are.
  auto longestRun = CliOn(std::make_unique<trv::sim::SimPlatform>(SmallPc()), EraseWith(u"--asset", longest));
  ASSERT_EQ(longestRun.code, 0) << longestRun.host.err;
  EXPECT_EQ(longestRun.Json()["asset"], trv::Utf16ToUtf8(longest));
  auto unicode = CliOn(std::make_unique<trv::sim::SimPlatform>(SmallPc()), EraseWith(u"--operator", u"王芳 Müller"));
  ASSERT_EQ(unicode.code, 0);
  EXPECT_EQ(unicode.Json()["operator"], "王芳 Müller");
}

TEST(CliAudit, TheRecordSaysWhichFirmwareEraseTheDiskOffersAndWhyNoneWasUsed) {
  // The default PC's data disk, its volumes free: a WD Caviar Blue with ATA Security.
  const auto pc = Scenario({{"volumes", {{{"letter", "E"}, {"deviceNumber", 1}}}}});
  const std::string serial = Cli(pc, "list --json").Json()["disks"][1]["serial"];
  auto run = Cli(pc, "erase 1 --quick --confirm-serial " + serial + " --json");
  ASSERT_EQ(run.code, 0) << run.host.err;
  EXPECT_EQ(run.Json()["firmware_erase"],
            json({{"offered", {"ata-security-erase"}},
                  {"used", false},
                  {"code", "overwrite-only-version"},
                  {"reason", "this version offers only the overwrite; a firmware purge is planned"}}));

  // A disk that answers no IDENTIFY: what it offers is not known.
  auto plain = Cli(SmallPc(), kSmallErase);
  EXPECT_EQ(plain.Json()["firmware_erase"]["offered"], nullptr);
  EXPECT_EQ(plain.Json()["firmware_erase"]["code"], "not-read");
}
