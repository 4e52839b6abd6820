// --lang en: the console program's reports, verdicts and the erase's record in
// English, on the built-in modern PC (an NVMe disk, a SATA disk, a disk behind
// a USB bridge), with the JSON's machine words unchanged.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "cli/cli_support.h"
#include "cli/console_erase.h"
#include "format/format_support.h"
#include "modern_pc.h"

using namespace trv::test;
using nlohmann::json;

namespace {

// The first character of a CJK script or of the full-width forms in `text`
// (UTF-8), as UTF-8; empty when there is none. Any untranslated text has one.
std::string FirstCjk(const std::string& text) {
  const std::u16string wide = trv::Utf8ToUtf16(text);
  const auto at = std::find_if(wide.begin(), wide.end(),
                               [](char16_t c) { return (c >= 0x3000 && c < 0xA000) || (c >= 0xFF00 && c < 0xFFF0); });
  return at == wide.end() ? std::string() : trv::Utf16ToUtf8(std::u16string(1, *at));
}

// Each line of the output holds no CJK character.
void ExpectNoCjk(const std::string& output, const std::string& what) {
  std::istringstream in(output);
  for (std::string line; std::getline(in, line);)
    EXPECT_EQ(FirstCjk(line), "") << what << ": " << line;
}

bool HasLine(const std::string& output, const std::string& line) {
  return ("\n" + output).find("\n" + line + "\n") != std::string::npos;
}

// The modern PC with every verdict text raised: the NVMe disk warns on every
// bit, is worn out and short of spare; the SATA disk fails its own status and
// hides sectors behind an HPA whose overlay block cannot be checked.
trv::sim::Scenario TroubledModernPc() {
  return ModernPc([](json& pc) {
    json& log = pc["drives"][0]["nvme"]["healthLog"];
    log["criticalWarning"] = 0xFF;
    log["enduranceGroupWarning"] = 0xFF;
    log["availableSpare"] = 5;
    log["percentageUsed"] = 120;
    log["mediaErrors"] = 3;
    log["temperature"] = 0;
    json& ata = pc["drives"][1]["ata"];
    ata["status"] = "failing";
    ata["nativeSectors"] = 234'441'648 + 2048;
    ata["dcoAnswer"] = "badChecksum";
  });
}

} // namespace

TEST(CliLang, ReportsInEnglishHaveNoChineseLeftAndTheirKeyLines) {
  struct Expected {
    std::string command;
    std::vector<std::string> lines;
  };
  const Expected cases[] = {
      {"details 0", {"Model: Samsung SSD 970 EVO Plus 500GB", "Namespace size: 976,773,168 blocks (500,107,862,016 bytes)",
                     "Format NVM command: supported", "  Overwrite: not supported"}},
      {"details 1", {"Serial number: CVPR109301UZ120LGN", "Total device capacity: 120,034,123,776 bytes",
                     "ATA Security feature set: supported", "  Normal security erase time: about 2 minutes"}},
      {"details 2", {"Model: ST9160821AS", "Serial number: 5MAC2QTA", "Maximum queue depth: 32"}},
      {"details 3", {"Details are not available for this device."}},
      {"smart 0", {" Item                              Value", " Composite temperature             38 °C",
                   " Data units read                   23,456,789 units (12 TB)", "Health: good"}},
      {"smart 1", {" Id  Hex  Attribute                    Current    Worst               Raw  Note",
                   " 5    05  Reallocated Sectors Count        100      100                 0", "Health: good"}},
      {"smart 2",
       {" 194  C2  HDA Temperature                   38       56       73014444070  (38 °C)", "Health: caution",
        "  - Sectors pending reallocation (C5h): 1", "  - Offline uncorrectable sectors (C6h): 1",
        "  Note: Attribute BEh Airflow Temperature: threshold 45, worst 44: an old-age attribute that reached its "
        "threshold before and has recovered; it does not change the verdict",
        "Advice: back up important data, and look again soon; watch Sectors pending reallocation (C5h), Offline "
        "uncorrectable sectors (C6h)"}},
      {"smart 3", {"SMART is not supported by this device."}},
  };
  for (const auto& c : cases) {
    auto run = Cli(ModernPc(), c.command + " --lang en");
    ASSERT_EQ(run.code, 0) << c.command << "\n" << run.host.err;
    ExpectNoCjk(run.host.out, c.command);
    for (const auto& line : c.lines) EXPECT_TRUE(HasLine(run.host.out, line)) << c.command << ": " << line << "\n" << run.host.out;
    // zh is the default, by name: the same output as without --lang.
    EXPECT_EQ(Cli(ModernPc(), c.command + " --lang zh").host.out, Cli(ModernPc(), c.command).host.out) << c.command;
  }
}

TEST(CliLang, EveryVerdictReasonAndHiddenRangeIsTranslated) {
  auto nvme = Cli(TroubledModernPc(), "smart 0 --lang en");
  ExpectNoCjk(nvme.host.out, "smart 0");
  for (const char* line : {" Critical warning                  0xFF", "   - Reserved bit 7",
                           " Composite temperature             0 K (not a plausible value)", "Health: failing",
                           "  - Critical warning: Available spare is below its threshold",
                           "  - Endurance group critical warning: Endurance group reserved bit 1",
                           "  - Available spare 5 % is below its threshold 10 %",
                           "  - Percentage used 120 %: the rated endurance is reached or passed",
                           "  - Media and data integrity errors: 3",
                           "Advice: copy important data to another disk now, and replace this disk"})
    EXPECT_TRUE(HasLine(nvme.host.out, line)) << line << "\n" << nvme.host.out;

  auto ata = Cli(TroubledModernPc(), "smart 1 --lang en");
  ExpectNoCjk(ata.host.out, "smart 1");
  EXPECT_TRUE(HasLine(ata.host.out, "  - The drive reports that it is about to fail (SMART RETURN STATUS)")) << ata.host.out;

  auto details = Cli(TroubledModernPc(), "details 1 --lang en");
  ExpectNoCjk(details.host.out, "details 1");
  for (const char* line : {"A host protected area (HPA) hides 2048 sectors: LBA 234,441,648 to 234,443,695 "
                           "(1,048,576 bytes): the erase cannot write this part.",
                           "The device configuration overlay (DCO) could not be checked: the data block's checksum is wrong."})
    EXPECT_TRUE(HasLine(details.host.out, line)) << line << "\n" << details.host.out;
}

TEST(CliLang, JsonTextsFollowTheSwitchAndItsWordsDoNot) {
  for (const char* command : {"smart 0", "smart 1", "smart 2", "details 0", "details 1", "details 2"}) {
    const std::string troubled = std::string(command) + " --json";
    auto english = Cli(TroubledModernPc(), troubled + " --lang en");
    ASSERT_EQ(english.code, 0) << command << english.host.err;
    const json en = english.Json(), zh = Cli(TroubledModernPc(), troubled).Json();
    EXPECT_EQ(FirstCjk(en.dump(-1, ' ', false)), "") << command << "\n" << en.dump(2);
    // The same document but for its texts: the same lines, fields, words and codes.
    EXPECT_EQ(en["lines"].size(), zh["lines"].size()) << command;
    json enWords = en, zhWords = zh;
    for (json* doc : {&enWords, &zhWords}) {
      doc->erase("lines");
      if (doc->contains("health") && !(*doc)["health"].is_null()) {
        json& health = (*doc)["health"];
        for (const char* findings : {"reasons", "notes"})
          for (json& finding : health[findings]) finding.erase("text");
        if (!health["advice"].is_null()) health["advice"].erase("text");
      }
      if (doc->contains("attributes") && doc->at("attributes").is_array())
        for (json& attribute : (*doc)["attributes"]) attribute.erase("name");
    }
    EXPECT_EQ(enWords, zhWords) << command;
  }
  const json smart = Cli(TroubledModernPc(), "smart 1 --json --lang en").Json();
  EXPECT_EQ(smart["health"]["verdict"], "failing");
  EXPECT_EQ(smart["health"]["reasons"][0]["code"], "drive-reports-failing");
  EXPECT_EQ(smart["health"]["reasons"][0]["text"], "The drive reports that it is about to fail (SMART RETURN STATUS)");
  EXPECT_EQ(smart["health"]["advice"]["code"], "replace-disk");
  EXPECT_EQ(smart["health"]["advice"]["text"], "Advice: copy important data to another disk now, and replace this disk");
  EXPECT_EQ(smart["attributes"][0]["id"], 3);
  EXPECT_EQ(smart["attributes"][0]["name"], "Spin-Up Time");
}

TEST(CliLang, TheRecordOfAnEnglishEraseKeepsItsLogInEnglish) {
  // A read-back that finds non-zero bytes: lines the window's record keeps in Chinese.
  auto run = Cli(SmallPc({{"lyingAreas", {{{"offset", 1'048'576}, {"length", 4096}}}}}),
                 "erase 1 --quick --verify --confirm-serial S1 --json --lang en");
  EXPECT_EQ(run.code, 6) << run.host.err;
  const json record = run.Json();
  EXPECT_EQ(record["outcome"], "verify-failed");
  for (const auto& line : record["log"]) EXPECT_EQ(FirstCjk(line.get<std::string>()), "") << line;
  const std::string log = record["log"].dump();
  EXPECT_NE(log.find("Read-back failed: 4096 bytes in 1 areas did not read back as zero"), std::string::npos) << log;
  ExpectNoCjk(run.host.err, "standard error");
}

TEST(CliLang, OnlyTheTwoLanguagesAreTaken) {
  for (const char* bad : {"details 1 --lang fr", "smart 1 --lang", "details 1 --lang en --lang en", "list --lang EN"}) {
    auto run = Cli(ModernPc(), bad);
    EXPECT_EQ(run.code, 2) << bad;
    EXPECT_EQ(run.host.out, "") << bad;
  }
  EXPECT_NE(Cli(ModernPc(), "details 1 --lang fr").host.err.find("--lang takes en or zh, not: fr"), std::string::npos);
}

TEST(CliLang, ARecordSavedAsTheSessionEndsSaysSoInEnglish) {
  // A write that ignores the cancel: the host's thread saves the record from the run's copy.
  CliRun r;
  r.platform = std::make_unique<trv::sim::SimPlatform>(SmallPc(
      {{"hangingAreas", {{{"offset", 8'323'072}, {"length", 512}, {"milliseconds", 120'000}, {"ignoresCancel", true}}}}}));
  r.platform->SetHangWait([&](bool) {
    if (r.host.erasing && !r.host.erasing->Ending()) r.host.erasing->EndNow([](std::uint32_t) {});
  });
  r.code = trv::cli::RunCli(*r.platform, r.host, Args("erase 1 --full --confirm-serial S1 --json --lang en"));
  EXPECT_EQ(r.code, 7) << r.host.err;
  const json record = r.Json();
  for (const auto& line : record["log"]) EXPECT_EQ(FirstCjk(line.get<std::string>()), "") << line;
  EXPECT_NE(record["log"].dump().find("Windows is ending the session: the erase stops here, and its record is saved first."),
            std::string::npos) << record["log"].dump(2);
}
