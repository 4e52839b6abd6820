// The health section below the S.M.A.R.T. table: the verdict and its reasons
// on the five captured drives (beside libatasmart's overall status for the
// same captures), on drives built to meet each rule, and on NVMe disks; and the
// faults the section's audit found in the reads and tables around it.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "cli/cli_support.h"
#include "modern_pc.h"
#include "platform/records.h"
#include "platform/sim/drive_capture.h"
#include "platform/text.h"
#include "report/counter_text.h"
#include "report/health_codes.h"
#include "report/number_text.h"
#include "report/nvme_health_report.h"
#include "report/smart_support.h"
#include "test_support.h"

using nlohmann::json;
using namespace trv::test;
using Report = std::vector<std::string>;

namespace {

const AtaCommandNames kFullSession = {"IDENTIFY DEVICE", "SMART ENABLE OPERATIONS", "SMART READ DATA",
                                      "SMART READ THRESHOLDS", "SMART RETURN STATUS"};

// One attribute of a crafted drive: its data entry and its threshold entry.
struct Attr {
  std::uint8_t id;
  std::uint16_t flags;  // bit 0: pre-failure
  std::uint8_t current, worst;
  std::uint64_t raw;
  std::uint8_t threshold;
};

// A data or threshold block with its checksum byte set (or set wrong).
std::string Block(const std::vector<Attr>& attrs, bool thresholds, bool rightChecksum = true) {
  std::vector<std::uint8_t> b(512, 0);
  b[0] = 0x10;
  for (std::size_t k = 0; k < attrs.size(); ++k) {
    const Attr& a = attrs[k];
    const std::size_t at = 2 + 12 * k;
    b[at] = a.id;
    if (thresholds) {
      b[at + 1] = a.threshold;
    } else {
      trv::rec::PutLE(b, at + 1, 2, a.flags);
      b[at + 3] = a.current;
      b[at + 4] = a.worst;
      trv::rec::PutLE(b, at + 5, 6, a.raw);
    }
  }
  std::uint8_t sum = 0;
  for (std::size_t i = 0; i < 511; ++i) sum = static_cast<std::uint8_t>(sum + b[i]);
  b[511] = static_cast<std::uint8_t>(-sum + (rightChecksum ? 0 : 1));
  return HexText(b);
}

json Crafted(const std::vector<Attr>& attrs, json more = json::object()) {
  json ata = {{"smartData", Block(attrs, false)}, {"thresholds", Block(attrs, true)}};
  ata.update(more);
  return OneDisk(Disk(3, 1000000, ata));
}

// A row of the NVMe health table: the name in 12 columns after one blank, two blanks, the value.
std::string Row(const std::string& name, const std::string& value) {
  const std::size_t columns = trv::Utf8ToUtf16(name).size();
  return " " + name + std::string(columns < 12 ? 12 - columns : 0, ' ') + "  " + value;
}

// The section: verdict, reasons, notes, the advice line (none for a good verdict).
Report Section(const std::string& verdict, const Report& reasons, const Report& notes = {},
               const std::string& advice = {}) {
  Report r = {"健康评估: " + verdict};
  for (const auto& reason : reasons) r.push_back("  - " + reason);
  for (const auto& note : notes) r.push_back("  备注: " + note);
  if (!advice.empty()) r.push_back(advice);
  r.push_back(" ");
  return r;
}

const std::string kReplace = "建议: 立即将重要数据复制到其他磁盘，并更换此磁盘";
// A caution's advice, naming what to watch.
std::string Watch(const Report& counts) {
  std::string advice = "建议: 备份重要数据，并尽快再次查看";
  for (std::size_t i = 0; i < counts.size(); ++i) advice += (i == 0 ? "；留意 " : "、") + counts[i];
  return advice;
}
const std::string k05 = "已重新分配的扇区 (05h)", kC5 = "等待重新分配的扇区 (C5h)", kC6 = "脱机无法校正的扇区 (C6h)";
const std::string kAirflowNote = "属性 BEh Airflow 温度：阈值 45，最差值 44：寿命属性曾经达到阈值，现已恢复，不影响评估";

} // namespace

// --- the five captures, beside libatasmart ------------------------------------------

TEST(Health, FiveCapturesBesideLibatasmartsOverallStatus) {
  // libatasmart's overall status for each capture, from `skdump --load=FILE`
  // (libatasmart 0.19); docs/health.md maps its levels onto the verdict and
  // explains the differences in detail.
  struct Case {
    const char* file;
    long long sectors;
    const char* libatasmart;
    Report section;
  };
  const auto verdictOf = [](const std::string& level) {
    return level == "GOOD" ? "良好" : level == "BAD_SECTOR" || level == "BAD_ATTRIBUTE_IN_THE_PAST" ? "警告" : "故障";
  };
  const Case cases[] = {
      {"INTEL_SSDSA2CW120G3--4PC10302", 234441648, "GOOD", Section("良好", {})},
      {"Maxtor_96147H8--BAC51KJ0", 120060864, "BAD_SECTOR",
       Section("警告", {k05 + ": 69", kC5 + ": 2"}, {}, Watch({k05, kC5}))},
      {"SAMSUNG_HD501LJ--CR100-12", 976773168, "BAD_SECTOR",
       Section("警告", {k05 + ": 1", kC5 + ": 1"}, {}, Watch({k05, kC5}))},
      // The airflow temperature (an advisory attribute) once fell to 44, at or
      // below its threshold 45 (libatasmart's "Good/Past: no"): a note only.
      {"ST9160821AS--3.CLH", 312581808, "BAD_SECTOR",
       Section("警告", {kC5 + ": 1", kC6 + ": 1"}, {kAirflowNote}, Watch({kC5, kC6}))},
      {"WDC_WD5000AAKS--00TMA0-12.01C01", 976773168, "BAD_SECTOR",
       Section("警告", {k05 + ": 63", kC5 + ": 529"}, {}, Watch({k05, kC5}))},
  };
  for (const Case& c : cases) {
    auto s = ClickSmart(OneDisk(Disk(3, c.sectors, Capture(c.file))));
    EXPECT_EQ(HealthSection(s.lines), c.section) << c.file;
    EXPECT_EQ(c.section[0], std::string("健康评估: ") + verdictOf(c.libatasmart)) << c.file << " " << c.libatasmart;
    EXPECT_EQ(s.commands, kFullSession) << c.file;
    // The section follows the table's closing blank line.
    const auto verdictAt = s.lines.size() - c.section.size();
    EXPECT_EQ(s.lines[verdictAt - 1], " ") << c.file;
  }
}

TEST(Health, ADriveThatReportsItselfFailingIsFailing) {
  // The captures' status (SMST) is good; the scenario overrides it.
  json ata = Capture("INTEL_SSDSA2CW120G3--4PC10302");
  ata["status"] = "failing";
  auto s = ClickSmart(OneDisk(Disk(3, 234441648, ata)));
  EXPECT_EQ(HealthSection(s.lines), Section("故障", {"驱动器报告自身即将发生故障 (SMART RETURN STATUS)"}, {}, kReplace));
  EXPECT_EQ(s.commands, kFullSession);

  // A driver that does not hand the registers back: unknown, said so, nothing more.
  ata["status"] = "silent";
  s = ClickSmart(OneDisk(Disk(3, 234441648, ata)));
  EXPECT_EQ(HealthSection(s.lines), Section("良好", {"驱动器自身的健康状态未知：驱动程序未返回状态寄存器"}));
  // A driver that refuses the send request: the status is not read (on the SATA
  // bus, where no enable is sent).
  ata["status"] = "good";
  json disk = Disk(11, 234441648, ata);
  disk["fail"] = {{"smartSend", 1}};
  s = ClickSmart(OneDisk(disk));
  EXPECT_EQ(HealthSection(s.lines), Section("良好", {"未能读取驱动器自身的健康状态 (SMART RETURN STATUS)"}));
  EXPECT_EQ(s.commands, (AtaCommandNames{"SMART READ DATA", "SMART READ THRESHOLDS", "SMART RETURN STATUS failed"}));
  ata.erase("capture");
  ata["identify"] = IdentifyHex({});
  ata["smartData"] = Block({{5, 0x33, 100, 100, 0, 36}}, false);
  s = ClickSmart(OneDisk(Disk(3, 1000000, ata)));
  EXPECT_EQ(HealthSection(s.lines), Section("良好", {"未能读取属性阈值：未与阈值比较"}));
  EXPECT_EQ(s.commands, (AtaCommandNames{"IDENTIFY DEVICE", "SMART ENABLE OPERATIONS", "SMART READ DATA",
                                         "SMART READ THRESHOLDS failed", "SMART READ THRESHOLDS failed",
                                         "SMART RETURN STATUS"}));
}

// --- the rules, one crafted drive ------------------------------------------------------

TEST(Health, ThresholdAndSectorRules) {
  auto s = ClickSmart(Crafted({
      {5, 0x0033, 30, 30, 12, 36},             // pre-failure, now at or below: failing
      {190, 0x0022, 45, 40, 0, 45},            // advisory, now at its threshold: caution
      {1, 0x000F, 100, 51, 0, 51},             // worst at the threshold: in the past
      {3, 0x0003, 0, 0, 0, 21},                // 0 is no normalized value: not compared
      {4, 0x0032, 1, 1, 0, 0},                 // threshold 0 never fails
      {7, 0x000F, 10, 10, 0, 254},             // 254 is no threshold
      {197, 0x0012, 100, 100, 0x1'0000'0000, 0},  // only the top bytes: no pending sectors
      {198, 0x0010, 100, 100, 1234, 0},        // offline uncorrectable, grouped
  }));
  EXPECT_EQ(HealthSection(s.lines),
            Section("故障", {"属性 05h 重新分配扇区数：阈值 36，当前值 30：预失效属性现已达到阈值",
                             "属性 BEh Airflow 温度：阈值 45，当前值 45：寿命属性现已达到阈值",
                             "属性 01h 读取错误速率：阈值 51，最差值 51：曾经达到阈值",
                             "已重新分配的扇区 (05h): 12", "脱机无法校正的扇区 (C6h): 1,234"},
                    {}, kReplace));

  // Without the pre-failure attribute the worst is a caution.
  s = ClickSmart(Crafted({{190, 0x0022, 45, 40, 0, 45}, {5, 0x0033, 100, 100, 0, 36}}));
  EXPECT_EQ(HealthSection(s.lines)[0], "健康评估: 警告");
  // An advisory attribute whose worst value once touched its threshold, above
  // it now: a note, the verdict stays good.
  s = ClickSmart(Crafted({{190, 0x0022, 60, 44, 0, 45}}));
  EXPECT_EQ(HealthSection(s.lines), Section("良好", {}, {kAirflowNote}));
}

TEST(Health, EmptySlotsAreSkippedAndWhatFollowsIsJudgedAndShown) {
  // As on Fujitsu drives: slots 0..18 used, 19..24 empty, a failing reallocated
  // count in slot 25.
  std::vector<Attr> attrs;
  for (std::uint8_t id = 100; id < 119; ++id) attrs.push_back({id, 0x0032, 100, 100, 0, 0});
  attrs.insert(attrs.end(), 6, Attr{0, 0, 0, 0, 0, 0});
  attrs.push_back({5, 0x0033, 1, 1, 99, 36});
  const auto s = ClickSmart(Crafted(attrs));
  EXPECT_EQ(HealthSection(s.lines), Section("故障", {"属性 05h 重新分配扇区数：阈值 36，当前值 1：预失效属性现已达到阈值",
                                                   k05 + ": 99"}, {}, kReplace));
  // The table: header and rule, the 20 used entries in slot order, the closing blank.
  const auto table = std::find(s.lines.begin(), s.lines.end(), std::string(88, '-'));
  ASSERT_NE(table, s.lines.end());
  ASSERT_GT(s.lines.end() - table, 22);
  EXPECT_EQ(table[19], " 118  76  Unknown                          100      100                 0");
  EXPECT_EQ(table[20], " 5    05  重新分配扇区数         1        1                99");
  EXPECT_EQ(table[21], " ");
}

TEST(Health, CountsThatCannotCountTheDisksSectorsAreNotUnderstood) {
  // A 120 GB disk (234,441,648 sectors): a pending count above that, and a
  // reallocated count of all ones, are vendor numbers; the offline count of 3 is one.
  json ata = {{"smartData", Block({{5, 0x0033, 100, 100, 0xFFFF'FFFF, 36}, {197, 0x0012, 100, 100, 4246863874, 0},
                                   {198, 0x0010, 100, 100, 3, 0}}, false)},
              {"thresholds", Block({{5, 0, 0, 0, 0, 36}}, true)}};
  auto s = ClickSmart(OneDisk(Disk(3, 234441648, ata)));
  EXPECT_EQ(HealthSection(s.lines),
            Section("警告", {kC6 + ": 3"},
                    {k05 + ": 4,294,967,295：不可能是本磁盘的扇区数 (原始值由厂商定义)，无法理解，不影响评估",
                     kC5 + ": 4,246,863,874：不可能是本磁盘的扇区数 (原始值由厂商定义)，无法理解，不影响评估"},
                    Watch({kC6})));
  // On a disk large enough for it, the same pending count is a count.
  s = ClickSmart(OneDisk(Disk(3, 4246863874, ata)));
  EXPECT_EQ(HealthSection(s.lines)[1], "  - " + kC5 + ": 4,246,863,874");
}

TEST(Health, ABlockWithAWrongChecksumIsStillJudgedAndKeepsACaution) {
  const std::vector<Attr> attrs = {{5, 0x0033, 30, 30, 9, 36}};
  const std::string failing = "属性 05h 重新分配扇区数：阈值 36，当前值 30：预失效属性现已达到阈值";
  json bad = Crafted(attrs);
  bad["drives"][0]["ata"]["smartData"] = Block(attrs, false, false);
  auto s = ClickSmart(bad);
  EXPECT_NE(std::find(s.lines.begin(), s.lines.end(), " 5    05  重新分配扇区数        30       30                 9"),
            s.lines.end());
  EXPECT_EQ(HealthSection(s.lines),
            Section("故障", {"属性数据块校验和错误：属性值仍被评估，但可能有误", failing, k05 + ": 9"}, {}, kReplace));

  bad = Crafted(attrs);
  bad["drives"][0]["ata"]["thresholds"] = Block(attrs, true, false);
  s = ClickSmart(bad);
  EXPECT_EQ(HealthSection(s.lines),
            Section("故障", {"阈值数据块校验和错误：仍与阈值比较，但阈值可能有误", failing, k05 + ": 9"}, {}, kReplace));

  // The Intel SSD's capture, good, with one byte of its data block changed: the
  // wrong sum alone is a caution.
  json intel = Capture("INTEL_SSDSA2CW120G3--4PC10302");
  auto block = trv::sim::LoadDriveCapture(TestDataDir() + "/drives/INTEL_SSDSA2CW120G3--4PC10302").smartData.value();
  block[511] = static_cast<std::uint8_t>(block[511] + 1);
  intel["smartData"] = HexText(std::vector<std::uint8_t>(block.begin(), block.end()));
  s = ClickSmart(OneDisk(Disk(3, 234441648, intel)));
  EXPECT_EQ(HealthSection(s.lines), Section("警告", {"属性数据块校验和错误：属性值仍被评估，但可能有误"}, {}, Watch({})));
}

// --- faults of the reads around the section ---------------------------------------

TEST(Health, AShortSmartAnswerIsAFailedReadWithItsOwnLine) {
  for (int bytes : {520, 526}) {
    json ata = Capture("ST9160821AS--3.CLH");
    ata["answerBytes"] = {{"smartReceive", bytes}};
    auto s = ClickSmart(OneDisk(Disk(3, 312581808, ata)));
    ASSERT_EQ(s.lines.size(), 6u) << bytes;  // the header and one line: no shifted table, no verdict
    EXPECT_EQ(s.lines.back(), "SMART 数据读取失败：驱动程序只返回了 " + std::to_string(bytes) + " 字节 (应为 528 字节)。");
    // The driver answers IDENTIFY as short on its S.M.A.R.T. path too: the
    // miniport path reads it. The read's second path is refused.
    EXPECT_EQ(s.commands, (AtaCommandNames{"IDENTIFY DEVICE", "IDENTIFY DEVICE", "SMART ENABLE OPERATIONS",
                                           "SMART READ DATA", "SMART READ DATA failed"}));
  }
  // 528 bytes is the whole answer.
  json ata = Capture("ST9160821AS--3.CLH");
  ata["answerBytes"] = {{"smartReceive", 528}};
  EXPECT_EQ(HealthSection(ClickSmart(OneDisk(Disk(3, 312581808, ata))).lines)[0], "健康评估: 警告");
}

TEST(Health, SmartStateIsKnownOnlyWithWord87sSignature) {
  // S.M.A.R.T. off (word 85 bit 0 clear): switched off again only when word 87
  // bits 15:14 are 01b; otherwise the state is unknown and no DISABLE is sent.
  const auto run = [](std::uint16_t word87) {
    json ata = Capture("ST9160821AS--3.CLH");
    ata["identify"] = IdentifyHex({{49, 0x0200}, {60, 0x4240}, {61, 0x000F}, {82, 0x0001}, {83, 0x4000},
                                   {85, 0x0000}, {87, word87}});
    return ClickSmart(OneDisk(Disk(3, 1000000, ata))).commands;
  };
  AtaCommandNames disabled = kFullSession;
  disabled.push_back("SMART DISABLE OPERATIONS");
  EXPECT_EQ(run(0x4000), disabled);
  EXPECT_EQ(run(0x0000), kFullSession);
  EXPECT_EQ(run(0xC000), kFullSession);
  EXPECT_EQ(run(0x8000), kFullSession);
}

// --- NVMe ----------------------------------------------------------------------------

TEST(Health, NvmeCriticalWarningsAreNamedAndMakeTheDiskFailing) {
  // The modern PC's NVMe system disk, its log changed: every critical-warning bit
  // but the reserved ones, the endurance groups' summary bits 0, 2 and 3, the
  // spare below its threshold, the endurance used up and media errors.
  const auto s = ClickSmart(ModernPc([](json& pc) {
    auto& log = pc["drives"][0]["nvme"]["healthLog"];
    log["criticalWarning"] = 0x3F;
    log["enduranceGroupWarning"] = 0x0D;
    log["availableSpare"] = 5;
    log["spareThreshold"] = 10;
    log["percentageUsed"] = 103;
    log["mediaErrors"] = 2;
  }), 0);
  const Report& lines = s.lines;
  const auto warning = std::find(lines.begin(), lines.end(), Row("严重警告", "0x3F"));
  ASSERT_NE(warning, lines.end());
  EXPECT_EQ(Report(warning + 1, warning + 10),
            (Report{"   - 可用备用空间低于阈值", "   - 温度高于过热阈值或低于过冷阈值",
                    "   - NVM 子系统可靠性因介质或内部错误而下降", "   - 介质已置为只读",
                    "   - 易失性存储备份设备故障或不可靠", "   - 持久性存储区域已置为只读或不可靠",
                    Row("耐久组严重警告", "0x0D"), "   - 耐久组的可用备用空间低于阈值",
                    "   - 耐久组的可靠性因介质或内部错误而下降"}));
  EXPECT_EQ(HealthSection(lines),
            Section("故障", {"严重警告: 可用备用空间低于阈值", "严重警告: 温度高于过热阈值或低于过冷阈值",
                             "严重警告: NVM 子系统可靠性因介质或内部错误而下降", "严重警告: 介质已置为只读",
                             "严重警告: 易失性存储备份设备故障或不可靠", "严重警告: 持久性存储区域已置为只读或不可靠",
                             "耐久组严重警告: 耐久组的可用备用空间低于阈值",
                             "耐久组严重警告: 耐久组的可靠性因介质或内部错误而下降", "耐久组严重警告: 耐久组已置为只读",
                             "可用备用空间 5 % 低于阈值 10 %", "已用寿命 103 %：已达到或超过额定耐久",
                             "介质和数据完整性错误: 2"},
                    {}, kReplace));

  // The modern PC as built: good.
  EXPECT_EQ(HealthSection(ClickSmart(ModernPc(), 0).lines), Section("良好", {}));
}

TEST(Health, NvmeEachLevelAlone) {
  // One field of the modern PC's health log changed at a time.
  struct Case {
    const char* field;
    int value;
    Report section;
  };
  const auto failing = [](const std::string& reason) { return Section("故障", {reason}, {}, kReplace); };
  const Case cases[] = {
      {"criticalWarning", 0x01, failing("严重警告: 可用备用空间低于阈值")},
      {"criticalWarning", 0x02, failing("严重警告: 温度高于过热阈值或低于过冷阈值")},
      {"criticalWarning", 0x04, failing("严重警告: NVM 子系统可靠性因介质或内部错误而下降")},
      {"criticalWarning", 0x08, failing("严重警告: 介质已置为只读")},
      {"criticalWarning", 0x10, failing("严重警告: 易失性存储备份设备故障或不可靠")},
      {"criticalWarning", 0x20, failing("严重警告: 持久性存储区域已置为只读或不可靠")},
      {"criticalWarning", 0x40, Section("警告", {"严重警告: 保留位 6"}, {}, Watch({"严重警告"}))},
      // The spare (100 %) below a threshold of 100 is not; 101 is a reserved threshold.
      {"spareThreshold", 100, Section("良好", {})},
      {"spareThreshold", 101, Section("良好", {}, {"可用备用空间阈值 101 % 为保留值：未比较"})},
      {"availableSpare", 9, failing("可用备用空间 9 % 低于阈值 10 %")},
      {"availableSpare", 10, Section("良好", {})},
      {"availableSpare", 200, Section("良好", {}, {"可用备用空间 200 % 为保留值：未比较"})},
      // Only wear: exactly 100 % used is a caution, 99 % nothing.
      {"percentageUsed", 100, Section("警告", {"已用寿命 100 %：已达到或超过额定耐久"}, {}, Watch({"已用寿命"}))},
      {"percentageUsed", 99, Section("良好", {})},
      {"mediaErrors", 1, Section("警告", {"介质和数据完整性错误: 1"}, {}, Watch({"介质和数据完整性错误"}))},
  };
  for (const Case& c : cases) {
    const auto s = ClickSmart(ModernPc([&](json& pc) { pc["drives"][0]["nvme"]["healthLog"][c.field] = c.value; }), 0);
    EXPECT_EQ(HealthSection(s.lines), c.section) << c.field << " " << c.value;
  }
  // A spare below a reserved threshold is not compared either.
  const auto s = ClickSmart(ModernPc([](json& pc) {
    pc["drives"][0]["nvme"]["healthLog"]["availableSpare"] = 5;
    pc["drives"][0]["nvme"]["healthLog"]["spareThreshold"] = 255;
  }), 0);
  EXPECT_EQ(HealthSection(s.lines), Section("良好", {}, {"可用备用空间阈值 255 % 为保留值：未比较"}));
}

TEST(Health, NvmeTemperaturesAndDataAmounts) {
  trv::device::NvmeHealth h;
  h.temperatureKelvin = 65535;  // was shown as 65262 °C
  h.sensorKelvin = {300, 0, 0, 0, 0, 0, 0, 401};
  h.dataUnitsRead = {0xFFFF'FFFF'FFFF'FFFF, 0};  // 2^64 - 1 units: past 2^63 bytes
  h.dataUnitsWritten = {19531250000, 0};        // exactly 10 PB
  h.powerOnHours = {1234, 0};
  const auto lines = trv::report::NvmeHealthLines(h, u',');
  auto row = [&](const std::string& start) {
    for (const auto& l : lines)
      if (U8(l).rfind(" " + start, 0) == 0) return U8(l);
    return std::string("(none)");
  };
  EXPECT_EQ(row("综合温度"), Row("综合温度", "65535 K (不可信的值)"));
  EXPECT_EQ(row("温度传感器 1"), Row("温度传感器 1", "27 °C"));
  EXPECT_EQ(row("温度传感器 8"), Row("温度传感器 8", "401 K (不可信的值)"));
  EXPECT_EQ(row("温度传感器 2"), "(none)");  // 0: not reported
  // 18,446,744,073,709,551,615 units x 512,000 bytes = 9,444,732,965,739,290,426,880,000
  // bytes: 25 digits, below the 10^25 - 1 where YB begins.
  EXPECT_EQ(row("读取数据量"), Row("读取数据量", "18,446,744,073,709,551,615 单位 (9444,73 ZB)"));
  EXPECT_EQ(row("写入数据量"), Row("写入数据量", "19,531,250,000 单位 (10 PB)"));
  EXPECT_EQ(row("通电时间"), Row("通电时间", "1,234 小时"));
  h.temperatureKelvin = 0;
  EXPECT_EQ(U8(trv::report::NvmeHealthLines(h, u'.')[3]), Row("综合温度", "0 K (不可信的值)"));

  // The capacity text past GB continues CapacityToStr's steps and cut.
  using trv::device::Counter128;
  for (std::int64_t bytes : {std::int64_t{0}, std::int64_t{99998}, std::int64_t{99999}, std::int64_t{9999999},
                             std::int64_t{8388608}, std::int64_t{9999999999}, std::int64_t{80026361856},
                             std::int64_t{2000398934016}, std::int64_t{9999999999998}})
    EXPECT_EQ(trv::report::CounterCapacity({static_cast<std::uint64_t>(bytes), 0}),
              trv::report::CapacityToStr(bytes)) << bytes;
  EXPECT_EQ(U8(trv::report::CounterCapacity({9999999999999, 0})), "9.99 TB");
  EXPECT_EQ(U8(trv::report::CounterCapacity({12009875968000, 0})), "12 TB");
  EXPECT_EQ(U8(trv::report::CounterCapacity({0, 1})), "18.44 EB");  // 2^64
  EXPECT_EQ(U8(trv::report::CounterThousands({999, 0})), "999");
  EXPECT_EQ(U8(trv::report::CounterThousands({1000, 0})), "1,000");
}

TEST(Health, NvmeTextsKeepTheirLinesWhole) {
  // Control bytes inside the model, serial and firmware show as control
  // pictures; padding at either end (blanks, NUL, CR) is trimmed.
  const auto pc = ModernPc([](json& pc) {
    auto& c = pc["drives"][0]["nvme"]["identifyController"];
    c["model"] = std::string("Evil\r\nModel\tX\x1b\x7f");
    c["serial"] = std::string("\rS\0N ", 5);
    c["firmware"] = std::string("FW\n1");
  });
  const auto details = Lines(Play(pc, "select DriveList 0; click btContinue").app->FmMain.Log_Details);
  EXPECT_EQ(details[5], "模型: Evil␍␊Model␉X␛␡");
  EXPECT_EQ(details[6], "固件版本: FW␊1");
  EXPECT_EQ(details[7], "序列号: S␀N");
}

TEST(Health, NvmeNamespaceIsTheDisksOwn) {
  // A disk on namespace 2: its identify data is asked for namespace 2.
  const auto pc = ModernPc([](json& pc) { pc["drives"][0]["nvme"]["namespaceId"] = 2; });
  const auto details = Lines(Play(pc, "select DriveList 0; click btContinue").app->FmMain.Log_Details);
  EXPECT_EQ(std::count(details.begin(), details.end(), "命名空间信息不可用。"), 0);
  EXPECT_NE(std::find(details.begin(), details.end(), "命名空间大小: 976,773,168 块 (500,107,862,016 bytes)"),
            details.end());
}

// --- the machine codes of `smart N --json` ---------------------------------------------

namespace {

// The codes of a JSON list of findings.
std::vector<std::string> Codes(const json& findings) {
  std::vector<std::string> codes;
  for (const auto& f : findings) codes.push_back(f["code"].get<std::string>());
  return codes;
}

// The code words docs/health.md's table lists ("| `code` | in | meaning |").
std::set<std::string> DocumentedCodes() {
  std::ifstream in(std::string(TREVASSO_DOCS_DIR) + "/health.md");
  std::set<std::string> codes;
  bool inTable = false;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("| code | in | meaning |", 0) == 0) inTable = true;
    else if (inTable && line.rfind("| `", 0) == 0) codes.insert(line.substr(3, line.find('`', 3) - 3));
    else if (inTable && line.rfind("|---", 0) != 0) break;
  }
  return codes;
}

} // namespace

TEST(HealthCodes, EveryKindOfReasonNoteAndAdviceHasItsStableCode) {
  // The console's JSON on drives built to meet each rule. A script tests these
  // words: each one below is published and may never change.
  struct Case {
    const char* name;
    trv::sim::Scenario pc;
    int disk;
    std::vector<std::string> reasons, notes;
    const char* advice;  // nullptr: no advice (a good verdict)
  };
  const std::vector<Attr> failingAttr = {{5, 0x0033, 30, 30, 9, 36}};
  json badData = Crafted(failingAttr), badThresholds = Crafted(failingAttr);
  badData["drives"][0]["ata"]["smartData"] = Block(failingAttr, false, false);
  badThresholds["drives"][0]["ata"]["thresholds"] = Block(failingAttr, true, false);
  json failing = Capture("INTEL_SSDSA2CW120G3--4PC10302"), silent = failing;
  failing["status"] = "failing";
  silent["status"] = "silent";
  json refused = Disk(11, 234441648, Capture("INTEL_SSDSA2CW120G3--4PC10302"));
  refused["fail"] = {{"smartSend", 1}};
  const json noThresholds = {{"identify", IdentifyHex({})}, {"smartData", Block({{5, 0x33, 100, 100, 0, 36}}, false)}};
  const json vendorCounts = {{"smartData", Block({{5, 0x0033, 100, 100, 0xFFFF'FFFF, 36}, {198, 0x0010, 100, 100, 3, 0}}, false)},
                             {"thresholds", Block({{5, 0, 0, 0, 0, 36}}, true)}};
  const auto nvme = [](std::function<void(json&)> change) {
    return ModernPc([&](json& pc) { change(pc["drives"][0]["nvme"]["healthLog"]); });
  };
  const std::vector<Case> cases = {
      {"thresholds", Scenario(Crafted({{5, 0x0033, 30, 30, 12, 36}, {190, 0x0022, 45, 40, 0, 45},
                                       {1, 0x000F, 100, 51, 0, 51}, {198, 0x0010, 100, 100, 1234, 0}})), 0,
       {"threshold-exceeded", "advisory-threshold-exceeded", "threshold-exceeded-in-past", "reallocated-sectors",
        "offline-uncorrectable-sectors"}, {}, "replace-disk"},
      {"past", Scenario(Crafted({{190, 0x0022, 60, 44, 0, 45}})), 0, {}, {"advisory-threshold-exceeded-in-past"}, nullptr},
      {"WDC", Scenario(), 1, {"reallocated-sectors", "pending-sectors"}, {}, "back-up-and-watch"},
      {"vendor counts", Scenario(OneDisk(Disk(3, 234441648, vendorCounts))), 0, {"offline-uncorrectable-sectors"},
       {"implausible-sector-count"}, "back-up-and-watch"},
      {"data checksum", Scenario(badData), 0, {"data-checksum-wrong", "threshold-exceeded", "reallocated-sectors"}, {},
       "replace-disk"},
      {"thresholds checksum", Scenario(badThresholds), 0,
       {"thresholds-checksum-wrong", "threshold-exceeded", "reallocated-sectors"}, {}, "replace-disk"},
      {"failing", Scenario(OneDisk(Disk(3, 234441648, failing))), 0, {"drive-reports-failing"}, {}, "replace-disk"},
      {"silent", Scenario(OneDisk(Disk(3, 234441648, silent))), 0, {"status-unknown"}, {}, nullptr},
      {"refused", Scenario(OneDisk(refused)), 0, {"status-not-read"}, {}, nullptr},
      {"no thresholds", Scenario(OneDisk(Disk(3, 1000000, noThresholds))), 0, {"thresholds-not-read"}, {}, nullptr},
      {"bridge", ModernPc([](json& pc) { pc["drives"][2]["sat"]["registers"] = false; }), 2,
       {"pending-sectors", "offline-uncorrectable-sectors", "status-not-passed-by-bridge"},
       {"advisory-threshold-exceeded-in-past"}, "back-up-and-watch"},
      {"nvme warnings", nvme([](json& log) {
         log["criticalWarning"] = 0x41;
         log["enduranceGroupWarning"] = 0x03;
         log["availableSpare"] = 5;
         log["percentageUsed"] = 100;
         log["mediaErrors"] = 2;
       }), 0, {"critical-warning", "critical-warning-reserved-bit", "endurance-group-warning",
               "endurance-group-reserved-bit", "spare-below-threshold", "rated-endurance-reached", "media-errors"},
       {}, "replace-disk"},
      {"nvme reserved threshold", nvme([](json& log) { log["spareThreshold"] = 101; }), 0, {}, {"spare-threshold-reserved"},
       nullptr},
      {"nvme reserved spare", nvme([](json& log) { log["availableSpare"] = 200; }), 0, {}, {"spare-reserved"}, nullptr},
  };
  std::set<std::string> seen;
  for (const Case& c : cases) {
    const auto run = Cli(c.pc, "smart " + std::to_string(c.disk) + " --json");
    ASSERT_EQ(run.code, 0) << c.name << "\n" << run.host.err;
    const json health = run.Json()["health"];
    ASSERT_TRUE(health.is_object()) << c.name;
    EXPECT_EQ(Codes(health["reasons"]), c.reasons) << c.name;
    EXPECT_EQ(Codes(health["notes"]), c.notes) << c.name;
    EXPECT_EQ(health["advice"].is_null() ? json(nullptr) : health["advice"]["code"],
              c.advice ? json(c.advice) : json(nullptr))
        << c.name;
    // The code stands beside the line the report shows, never in place of it.
    for (const auto& r : health["reasons"]) EXPECT_FALSE(r["text"].get<std::string>().empty()) << c.name;
    for (const auto& list : {health["reasons"], health["notes"]})
      for (const auto& code : Codes(list)) seen.insert(code);
    if (c.advice) seen.insert(c.advice);
  }
  // Every code the program has was met above, and docs/health.md lists exactly those.
  std::set<std::string> all;
  for (auto code : trv::report::AllHealthCodes()) all.insert(trv::report::HealthCodeWord(code));
  EXPECT_EQ(all.size(), trv::report::AllHealthCodes().size()) << "each code its own word";
  EXPECT_EQ(seen, all);
  EXPECT_EQ(DocumentedCodes(), all);
  // Thresholds not read: the attribute's threshold is unknown (null), never 0 ("never fails").
  const json attributes = Cli(cases[9].pc, "smart 0 --json").Json()["attributes"];
  ASSERT_EQ(attributes.size(), 1u);
  EXPECT_TRUE(attributes[0]["threshold"].is_null()) << attributes;
}
