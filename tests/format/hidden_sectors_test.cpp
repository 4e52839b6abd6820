// Sectors past the drive's stated maximum, hidden by a host protected area or a
// device configuration overlay: named in the details, in the confirmation and
// in the run, counted as unreachable, in the window and in the console program;
// answers the program cannot use give a line of their own.
#include <gtest/gtest.h>

#include "cli/cli_support.h"
#include "format_support.h"
#include "modern_pc.h"
#include "platform/sim/sim_platform.h"

using namespace trv::test;
using nlohmann::json;

namespace {

// The default PC's data disk: its IDENTIFY data states 976,773,168 sectors
// (500,107,862,016 bytes), offers the HPA and DCO feature sets and 48-bit addressing.
constexpr std::int64_t kStatedBytes = 500'107'862'016;
constexpr char16_t kRecords[] = u"C:\\Users\\User\\AppData\\Local\\Trevasso\\records";

json DataDisk(const json& ata) {
  json disk = json::parse(trv::sim::DefaultScenarioJson())["drives"][1];
  disk["media"] = {{"megabytesPerSecond", 100000}};
  disk["ata"].update(ata);
  return disk;
}

json SavedRecord(const trv::app::HeadlessRun& run) {
  const auto files = run.platform->FilesWritten(kRecords);
  return files.empty() ? json() : json::parse(*run.platform->FileContent(files[0]));
}

// The details' lines on hidden sectors.
std::vector<std::string> HiddenLines(const std::vector<std::string>& details) {
  std::vector<std::string> out;
  for (const std::string& line : details)
    if (line.find("隐藏了") != std::string::npos || line.find("无法检查") != std::string::npos) out.push_back(line);
  return out;
}

CliRun RunCli(const trv::sim::Scenario& pc, std::vector<std::u16string> args) {
  return CliOn(std::make_unique<trv::sim::SimPlatform>(pc), std::move(args));
}

const std::string kHpaDetails =
    "主机保护区 (HPA) 隐藏了 1000 个扇区: LBA 976,773,168 到 976,774,167 (512,000 bytes)：擦除无法写到这一部分。";
const std::string kHpaText =
    "a host protected area (HPA) hides sectors 976,773,168 to 976,774,167 (512,000 bytes from offset 500,107,862,016)";
const std::string kDcoDetails =
    "设备配置覆盖 (DCO) 隐藏了 2000 个扇区: LBA 976,774,168 到 976,776,167 (1,024,000 bytes)：擦除无法写到这一部分。";
const std::string kDcoText = "a device configuration overlay (DCO) hides sectors 976,774,168 to 976,776,167 "
                             "(1,024,000 bytes from offset 500,108,374,016)";

struct HiddenCase {
  const char* name;
  json ata;
  std::vector<std::string> details;  // the report's lines on hidden sectors
  std::vector<std::string> ranges;   // the English texts of the hidden ranges
  std::int64_t unreachableEnd;       // the end of the unwritten bytes past the stated size (0: none)
};

const std::vector<HiddenCase> kCases = {
    {"HPA of 1,000 sectors", {{"nativeSectors", 976'774'168}}, {kHpaDetails}, {kHpaText}, kStatedBytes + 512'000},
    {"HPA and a DCO under it",
     {{"nativeSectors", 976'774'168}, {"dcoSectors", 976'776'168}},
     {kHpaDetails, kDcoDetails},
     {kHpaText, kDcoText},
     kStatedBytes + 1'536'000},
    {"DCO alone",
     {{"dcoSectors", 976'775'168}},
     {"设备配置覆盖 (DCO) 隐藏了 2000 个扇区: LBA 976,773,168 到 976,775,167 (1,024,000 bytes)：擦除无法写到这一部分。"},
     {"a device configuration overlay (DCO) hides sectors 976,773,168 to 976,775,167 "
      "(1,024,000 bytes from offset 500,107,862,016)"},
     kStatedBytes + 1'024'000},
    {"native maximum equal to the stated one", json::object(), {}, {}, 0},
    {"READ NATIVE MAX aborted", {{"nativeMaxAnswer", "aborted"}}, {"无法检查主机保护区 (HPA)：驱动器中止了命令。"}, {}, 0},
    {"driver hands no registers back",
     {{"nativeMaxAnswer", "noRegisters"}},
     {"无法检查主机保护区 (HPA)：驱动程序或桥接器没有传回寄存器。"},
     {},
     0},
    {"DCO block checksum wrong",
     {{"dcoSectors", 976'775'168}, {"dcoAnswer", "badChecksum"}},
     {"无法检查设备配置覆盖 (DCO)：数据块的校验和错误。"},
     {},
     0},
    {"READ NATIVE MAX aborted, DCO read: the range may be either",
     {{"nativeSectors", 976'774'168}, {"dcoSectors", 976'775'168}, {"nativeMaxAnswer", "aborted"}},
     {"主机保护区或设备配置覆盖 (HPA 或 DCO) 隐藏了 2000 个扇区: LBA 976,773,168 到 976,775,167 (1,024,000 bytes)："
      "擦除无法写到这一部分。",
      "无法检查主机保护区 (HPA)：驱动器中止了命令。"},
     {"a host protected area or a device configuration overlay (HPA or DCO) hides sectors 976,773,168 to 976,775,167 "
      "(1,024,000 bytes from offset 500,107,862,016)"},
     kStatedBytes + 1'024'000},
    {"DCO block without signature", {{"dcoAnswer", "badSignature"}}, {"无法检查设备配置覆盖 (DCO)：数据块没有 A5h 签名。"}, {}, 0},
    {"DCO command aborted, HPA still read",
     {{"nativeSectors", 976'774'168}, {"dcoAnswer", "aborted"}},
     {kHpaDetails, "无法检查设备配置覆盖 (DCO)：驱动器中止了命令。"},
     {kHpaText},
     kStatedBytes + 512'000},
};

} // namespace

TEST(HiddenSectors, TheWindowNamesThemConfirmsThemAndCountsThemUnreachable) {
  for (const HiddenCase& c : kCases) {
    SCOPED_TRACE(c.name);
    auto run = Play(PcWithDisk1(DataDisk(c.ata)), FormatScript(true));
    EXPECT_EQ(HiddenLines(Messages(run.app->FmMain.Log_Details)), c.details);
    ASSERT_GE(run.ui->boxes().size(), 1u);
    const std::string confirmation = trv::Utf16ToUtf8(run.ui->boxes()[0].text);
    const auto log = RunLog(run);
    for (const std::string& range : c.ranges) {
      EXPECT_NE(confirmation.find("\r\n\r\nOn this disk " + range +
                                  ": these sectors cannot be reached and will not be erased."),
                std::string::npos)
          << confirmation;
      EXPECT_NE(std::find(log.begin(), log.end(),
                          "The disk is not completely erased: " + range + ", which could not be reached."),
                log.end());
    }
    if (c.ranges.empty()) {
      EXPECT_EQ(confirmation.find("On this disk"), std::string::npos) << confirmation;
    }
    const json record = SavedRecord(run);
    ASSERT_TRUE(record.is_object());
    if (c.unreachableEnd) {
      EXPECT_EQ(record["outcome"], "completed-with-errors");
      EXPECT_EQ(record["unwritten"].back(), (json{{"begin", kStatedBytes}, {"end", c.unreachableEnd}}));
      EXPECT_EQ(std::find(log.begin(), log.end(), "Low-level format is complete."), log.end()) << "never said complete";
    } else {
      EXPECT_EQ(record["outcome"], "completed");
    }
  }
}

TEST(HiddenSectors, OnlyReadCommandsReachTheDrive) {
  auto run = Play(PcWithDisk1(DataDisk({{"nativeSectors", 976'774'168}, {"dcoSectors", 976'776'168}})),
                  FormatScript(true));
  std::vector<std::string> commands;
  for (const auto* e : run.platform->journal().Find("DeviceIoControl"))
    if (e->code == 0x0004D02C) commands.push_back(e->detail.substr(e->detail.find("command=")));
  ASSERT_FALSE(commands.empty());
  for (const std::string& c : commands)
    EXPECT_TRUE(c.starts_with("command=0x27 feature=0x00 READ NATIVE MAX ADDRESS EXT") ||
                c.starts_with("command=0xB1 feature=0xC2 DEVICE CONFIGURATION IDENTIFY") ||
                c.starts_with("command=0xEC feature=0x00 IDENTIFY DEVICE") ||
                c.starts_with("command=0xB4 feature=0x00 SANITIZE STATUS EXT"))
        << c;
}

TEST(HiddenSectors, TheConsoleShowsThemWarnsAndCountsThem) {
  for (const HiddenCase& c : kCases) {
    SCOPED_TRACE(c.name);
    const auto pc = PcWithDisk1(DataDisk(c.ata));
    const CliRun details = RunCli(pc, {u"details", u"1", u"--json"});
    ASSERT_EQ(details.code, 0) << details.host.err;
    const json report = json::parse(details.host.out);
    std::vector<std::string> lines;
    for (const auto& l : report["lines"]) lines.push_back(l.get<std::string>());
    EXPECT_EQ(HiddenLines(lines), c.details);
    EXPECT_EQ(report["hidden_sectors"].size(), c.ranges.size());

    const json list = json::parse(RunCli(pc, {u"list", u"--json"}).host.out);
    const std::u16string serial = trv::Utf8ToUtf16(list["disks"][1]["serial"].get<std::string>());
    const CliRun erase = RunCli(pc, {u"erase", u"1", u"--quick", u"--confirm-serial", serial, u"--json"});
    for (const std::string& range : c.ranges) {
      EXPECT_NE(erase.host.err.find("warning: on this disk " + range +
                                    ": these sectors cannot be reached and will not be erased.\n"),
                std::string::npos)
          << erase.host.err;
      EXPECT_NE(erase.host.err.find("The disk is not completely erased: " + range + ", which could not be reached."),
                std::string::npos);
    }
    const json record = json::parse(erase.host.out);
    EXPECT_EQ(erase.code, c.unreachableEnd ? 5 : 0) << erase.host.err;
    EXPECT_EQ(record["outcome"], c.unreachableEnd ? "completed-with-errors" : "completed");
  }
}

TEST(HiddenSectors, ADiskBehindABridgeIsAskedThroughIt) {
  // The modern PC's disk 2: a 160 GB drive (312,581,808 sectors) in a USB enclosure whose bridge speaks SAT.
  const auto details = [](const json& sat) {
    const auto pc = ModernPc([&](json& p) { p["drives"][2]["sat"].update(sat); });
    const CliRun c = RunCli(pc, {u"details", u"2", u"--json"});
    const json report = json::parse(c.host.out);
    std::vector<std::string> lines;
    for (const auto& l : report["lines"]) lines.push_back(l.get<std::string>());
    return HiddenLines(lines);
  };
  EXPECT_EQ(details({{"nativeSectors", 312'582'808}}),
            std::vector<std::string>{"主机保护区 (HPA) 隐藏了 1000 个扇区: LBA 312,581,808 到 312,582,807 (512,000 bytes)："
                                     "擦除无法写到这一部分。"});
  EXPECT_EQ(details({{"registers", false}}),
            std::vector<std::string>{"无法检查主机保护区 (HPA)：驱动程序或桥接器没有传回寄存器。"});
  EXPECT_EQ(details(json::object()), std::vector<std::string>{});
}
