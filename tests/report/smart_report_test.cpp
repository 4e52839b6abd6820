// The S.M.A.R.T. report seen the way the user sees it: a whole run on a
// simulated PC, the disk chosen in the selection dialog, the S.M.A.R.T. tab's
// button clicked, then the lines of Log_Smart and the ATA commands that reached
// the disk. The tables are worked out by hand from each drive's SMART block:
// id, name with its blanks, current, worst, the six raw bytes as one number.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "device/ata.h"
#include "platform/records.h"
#include "report/smart_names.h"
#include "report/smart_support.h"
#include "test_support.h"

using nlohmann::json;
using trv::test::IdentifyHex;
using trv::test::Lines;
using trv::test::Play;
using trv::test::Scenario;
using trv::test::AtaCommands;
using trv::test::Capture;
using trv::test::ClickSmart;
using trv::test::Disk;
using trv::test::OneDisk;
using Report = std::vector<std::string>;
using Commands = std::vector<std::string>;

namespace {

constexpr char kColumns[] = "          属性                      当前   最差          原始       请注意";
const std::string kRule(88, '-');
constexpr char kNotSupported[] = "SMART is not supported by this device.";
// After the attribute block, the thresholds and the drive's own status are read
// in the same session (docs/health.md).
const Commands kHealthReads = {"SMART READ THRESHOLDS", "SMART RETURN STATUS"};
const Commands kEnableAndRead = {"IDENTIFY DEVICE", "SMART ENABLE OPERATIONS", "SMART READ DATA",
                                 "SMART READ THRESHOLDS", "SMART RETURN STATUS"};
const Commands kReadOnly = {"SMART READ DATA", "SMART READ THRESHOLDS", "SMART RETURN STATUS"};
// The health section below the table.
const Report kGood = {"健康评估: 良好", " "};
const Report kGoodWithoutThresholds = {"健康评估: 良好", "  - 未能读取属性阈值：未与阈值比较", " "};
// Its airflow temperature (an advisory attribute) once touched its threshold: a note.
const Report kSeagateHealth = {"健康评估: 警告", "  - 等待重新分配的扇区 (C5h): 1", "  - 脱机无法校正的扇区 (C6h): 1",
                               "  备注: 属性 BEh Airflow 温度：阈值 45，最差值 44：寿命属性曾经达到阈值，现已恢复，不影响评估",
                               "建议: 备份重要数据，并尽快再次查看；留意 等待重新分配的扇区 (C5h)、脱机无法校正的扇区 (C6h)", " "};

// What IDENTIFY word 85 bit 0 of drive 0 says once the program has ended.
bool SmartOnAfterwards(trv::app::HeadlessRun& run) {
  auto& p = *run.platform;
  const auto h = p.CreateFileW(u"\\\\.\\PhysicalDrive0", trv::win::GENERIC_READ | trv::win::GENERIC_WRITE, 0,
                               trv::win::OPEN_EXISTING, 0);
  trv::device::AtaBlock identify{};
  EXPECT_TRUE(trv::device::ReadIdentify(p, h, 0, identify));
  p.CloseHandle(h);
  return (trv::rec::U16(identify, 170) & 1) != 0;
}

// Lines 1 to 5. The virtual clock of the default PC starts at 2026-12-08 17:05:09.
Report Header(const std::string& description) {
  return {" ", "当前日期和时间: 2026/12/8 17:05:09", "Trevasso 4.12; https://trevasso.example.org/",
          "SMART data for " + description, " "};
}

// The whole report around the attribute lines.
Report Table(const std::string& description, const Report& attributes, const Report& health) {
  Report r = Header(description);
  r.push_back(kColumns);
  r.push_back(kRule);
  r.insert(r.end(), attributes.begin(), attributes.end());
  r.push_back(" ");
  r.insert(r.end(), health.begin(), health.end());
  return r;
}

Report Join(Report a, const Report& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// A SMART READ DATA block with these attribute entries (slot 0..29) and the rest zero.
struct Entry {
  std::size_t slot;
  std::uint8_t id, current, worst;
  std::uint64_t raw;  // the low 48 bits are the six raw bytes
};
std::string SmartHex(const std::vector<Entry>& entries) {
  std::vector<std::uint8_t> b(512, 0);
  b[0] = 0x10;  // data structure revision, not shown
  for (const auto& e : entries) {
    const std::size_t at = 2 + 12 * e.slot;
    b[at] = e.id;
    b[at + 1] = 0x33;  // status flags, not shown
    b[at + 3] = e.current;
    b[at + 4] = e.worst;
    trv::rec::PutLE(b, at + 5, 6, e.raw);
    b[at + 11] = 0xEE;  // reserved, not shown
  }
  std::uint8_t sum = 0;  // the checksum byte, so that the block adds up to 0
  for (std::size_t i = 0; i < 511; ++i) sum = static_cast<std::uint8_t>(sum + b[i]);
  b[511] = static_cast<std::uint8_t>(-sum);
  return trv::test::HexText(b);
}

// A disk without IDENTIFY data on the SATA bus: the report only reads.
constexpr char kPlainDescription[] = "[0]  Storage Device    0000    [512 MB]";
json PlainDisk(const std::vector<Entry>& entries) { return Disk(11, 1000000, {{"smartData", SmartHex(entries)}}); }

// The Intel SSD's attributes: the system disk of the default PC. Vendor ids 170
// to 172, 241 and 242 are unnamed; 226 and 228 share their names with 222 and
// 192; raw FF FF 00 00 00 00 is 65535.
constexpr char kIntelDescription[] = "[0]  INTEL SSDSA2CW120G3    4PC10302    [120.03 GB]";
const Report kIntelAttributes = {
    " 3    03  旋转时间                     100      100                 0",
    " 4    04  启动的次数          100      100                 0",
    " 5    05  重新分配扇区数       100      100                 0",
    " 9    09  开机时间                    100      100                45",
    " 12   0C  电源周期                     100      100                14",
    " 170  AA  Unknown                          100      100                 0",
    " 171  AB  Unknown                          100      100                 0",
    " 172  AC  Unknown                          100      100                 0",
    " 184  B8  端到端错误                 100      100                 0",
    " 187  BB  报告无法纠正           100      100                 0",
    " 192  C0  关闭电源缩回计数          100      100                 2",
    " 225  E1  加载周期计数                 100      100               820",
    " 226  E2  加载的时间                     100      100             65535",
    " 227  E3  扭矩放大             100      100             65535",
    " 228  E4  关闭电源缩回计数          100      100             65535",
    " 232  E8  保留的可用空间         100      100                 0",
    " 233  E9  Media Wearout 指示器          100      100                 0",
    " 241  F1  Unknown                          100      100               820",
    " 242  F2  Unknown                          100      100              4634",
};

} // namespace

// --- the five captured drives, whole reports, on the ATA bus ----------------------
//
// Each drive's IDENTIFY word 85 has bit 0 set: S.M.A.R.T. is on, so it is
// enabled (which changes nothing) and not switched off afterwards.

TEST(SmartReport, CapturedSeagateST9160821AS) {
  // Id 9's raw bytes 2C 02 00 00 96 D6 are 0xD696'0000'022C; id 194's raw bytes
  // 26 00 00 00 11 00 are 73014444070, and its note takes the low byte, 38.
  // Id 191 has no name; id 190 gets no note.
  auto s = ClickSmart(OneDisk(Disk(3, 312581808, Capture("ST9160821AS--3.CLH"))));
  EXPECT_EQ(s.lines, Table("[0]  ST9160821AS    3.CLH    [160.04 GB]", {
      " 1    01  读取错误速率                   97       81          66008300",
      " 3    03  旋转时间                     100      100                 0",
      " 4    04  启动的次数           73       73             28064",
      " 5    05  重新分配扇区数       100      100                 0",
      " 7    07  寻址错误率                   70       60        8612919990",
      " 9    09  开机时间                    100      100   235939733439020",
      " 10   0A  加速旋转重试次数                 100      100                 0",
      " 12   0C  电源周期                     100      100               465",
      " 187  BB  报告无法纠正           100      100                 0",
      " 189  BD  高级 Fly 写入                  100      100                 0",
      " 190  BE  Airflow 温度               62       44    85934345617446",
      " 191  BF  Unknown                          100      100                 2",
      " 192  C0  关闭电源缩回计数          100      100                25",
      " 193  C1  加载/卸载周期计数           86       86             28492",
      " 194  C2  HDA 温度                   38       56       73014444070  (38 度) ",
      " 195  C3  硬件 ECC 恢复            81       67          66008300",
      " 196  C4  重新分配事件计数           100      100   190129612259805",
      " 197  C5  当前挂起的扇区          100      100                 1",
      " 198  C6  脱机扫描 UNC 扇区         100      100                 1",
      " 199  C7  极端 ATA CRC 错误率         200      200                 0",
      " 200  C8  写入速率预置误差率       100      253                 0",
      " 202  CA  DAM 读取错误                  100      253                 0",
  }, kSeagateHealth));
  EXPECT_EQ(s.commands, kEnableAndRead);
  EXPECT_TRUE(SmartOnAfterwards(s.run));
}

TEST(SmartReport, CapturedWdcWD5000AAKS) {
  auto s = ClickSmart(OneDisk(Disk(3, 976773168, Capture("WDC_WD5000AAKS--00TMA0-12.01C01"))));
  EXPECT_EQ(s.lines, Table("[0]  WDC WD5000AAKS-00TMA0    12.01C01    [500.1 GB]", {
      " 1    01  读取错误速率                  200      200                18",
      " 3    03  旋转时间                     208      164              4566",
      " 4    04  启动的次数          100      100               115",
      " 5    05  重新分配扇区数       192      192                63",
      " 7    07  寻址错误率                  200      200                 0",
      " 9    09  开机时间                     80       80             14992",
      " 10   0A  加速旋转重试次数                 100      100                 0",
      " 11   0B  校准重试次数              100      253                 0",
      " 12   0C  电源周期                     100      100                56",
      " 192  C0  关闭电源缩回计数          200      200                53",
      " 193  C1  加载/卸载周期计数          200      200               126",
      " 194  C2  HDA 温度                  110       81                40  (40 度) ",
      " 196  C4  重新分配事件计数           137      137                63",
      " 197  C5  当前挂起的扇区          194      193               529",
      " 198  C6  脱机扫描 UNC 扇区         200      193                 0",
      " 199  C7  极端 ATA CRC 错误率         200      200                 0",
      " 200  C8  写入速率预置误差率       200      175                 0",
  }, {"健康评估: 警告", "  - 已重新分配的扇区 (05h): 63", "  - 等待重新分配的扇区 (C5h): 529",
      "建议: 备份重要数据，并尽快再次查看；留意 已重新分配的扇区 (05h)、等待重新分配的扇区 (C5h)", " "}));
  EXPECT_EQ(s.commands, kEnableAndRead);
}

TEST(SmartReport, CapturedIntelSSDSA2CW120G3) {
  auto s = ClickSmart(OneDisk(Disk(3, 234441648, Capture("INTEL_SSDSA2CW120G3--4PC10302"))));
  EXPECT_EQ(s.lines, Table(kIntelDescription, kIntelAttributes, kGood));
  EXPECT_EQ(s.commands, kEnableAndRead);
}

TEST(SmartReport, CapturedMaxtor96147H8_ThirtyEntries) {
  // All 30 entries are used: 30 lines, then the closing blank. Id 8's raw bytes
  // 93 2C 0D 00 54 E0 are 246651382738067.
  auto s = ClickSmart(OneDisk(Disk(3, 120060864, Capture("Maxtor_96147H8--BAC51KJ0"))));
  EXPECT_EQ(s.lines, Table("[0]  Maxtor 96147H8    BAC51KJ0    [61.47 GB]", {
      " 1    01  读取错误速率                  253      252            343062",
      " 3    03  旋转时间                     196      191    61546881351742",
      " 4    04  启动的次数          252      252              2064",
      " 5    05  重新分配扇区数       226      226                69",
      " 6    06  读取通道缘              253      253                 0",
      " 7    07  寻址错误率                  253      252             54737",
      " 8    08  寻址性能                 250      239   246651382738067",
      " 9    09  开机时间                    248      248            121017",
      " 10   0A  加速旋转重试次数                 241      226       38654705739",
      " 11   0B  校准重试次数              253      252                67",
      " 12   0C  电源周期                     249      249              1807",
      " 196  C4  重新分配事件计数           253      253                 0",
      " 197  C5  当前挂起的扇区          251      251                 2",
      " 198  C6  脱机扫描 UNC 扇区         253      253                 0",
      " 199  C7  极端 ATA CRC 错误率         199      180             22047",
      " 200  C8  写入速率预置误差率       253      252            331694",
      " 201  C9  关闭跟踪读取错误            253      252      386547399702",
      " 202  CA  DAM 读取错误                  253      252            343062",
      " 203  CB  ECC 读取错误                 253      252            343062",
      " 204  CC  软 ECC 更正             253      252            343062",
      " 205  CD  热标本                253      252            343062",
      " 207  CF  高电流加速旋转             244      233       30064771147",
      " 208  D0  自旋 Buzz                        252      245        4294967371",
      " 209  D1  离线寻求性能        253      253                 0",
      " 96   60  Unknown                          253      253                 0",
      " 97   61  Unknown                          253      253                 0",
      " 98   62  Unknown                          253      253                 0",
      " 99   63  平均 FHC (所有磁头)          253      253                 0",
      " 100  64  最小值 FHC                      253      253                 0",
      " 101  65  最大值 FHC                      253      253                 0",
  }, {"健康评估: 警告", "  - 已重新分配的扇区 (05h): 69", "  - 等待重新分配的扇区 (C5h): 2",
      "建议: 备份重要数据，并尽快再次查看；留意 已重新分配的扇区 (05h)、等待重新分配的扇区 (C5h)", " "}));
  EXPECT_EQ(s.lines.size(), 5u + 2u + 30u + 1u + 5u);  // and the health section
  EXPECT_EQ(s.commands, kEnableAndRead);
}

TEST(SmartReport, CapturedSamsungHD501LJ) {
  // Id 190 and id 194 both hold 47 degrees; only 194 gets the note.
  auto s = ClickSmart(OneDisk(Disk(3, 976773168, Capture("SAMSUNG_HD501LJ--CR100-12"))));
  EXPECT_EQ(s.lines, Table("[0]  SAMSUNG HD501LJ    CR100-12    [500.1 GB]", {
      " 1    01  读取错误速率                  100      100                20",
      " 3    03  旋转时间                     100      100              7360",
      " 4    04  启动的次数          100      100               114",
      " 5    05  重新分配扇区数       100      100                 1",
      " 7    07  寻址错误率                  253      253                 0",
      " 8    08  寻址性能                 253      253                 0",
      " 9    09  开机时间                    100      100              7326",
      " 10   0A  加速旋转重试次数                 253      253                 0",
      " 11   0B  校准重试次数              253      253                 0",
      " 12   0C  电源周期                     100      100                88",
      " 13   0D  软读取错误率             100      100        1018108425",
      " 187  BB  报告无法纠正           253      253             65536",
      " 188  BC  命令超时                 253      253                 0",
      " 190  BE  Airflow 温度               53       50                47",
      " 194  C2  HDA 温度                   97       88                47  (47 度) ",
      " 195  C3  硬件 ECC 恢复           100      100        1018108425",
      " 196  C4  重新分配事件计数           100      100                 1",
      " 197  C5  当前挂起的扇区          100      100                 1",
      " 198  C6  脱机扫描 UNC 扇区         253      253                 0",
      " 199  C7  极端 ATA CRC 错误率         200      200                 0",
      " 200  C8  写入速率预置误差率       100      100                 0",
      " 201  C9  关闭跟踪读取错误            100      100                 0",
      " 202  CA  DAM 读取错误                  253      253                 0",
  }, {"健康评估: 警告", "  - 已重新分配的扇区 (05h): 1", "  - 等待重新分配的扇区 (C5h): 1",
      "建议: 备份重要数据，并尽快再次查看；留意 已重新分配的扇区 (05h)、等待重新分配的扇区 (C5h)", " "}));
  EXPECT_EQ(s.commands, kEnableAndRead);
}

// --- the default PC ---------------------------------------------------------------

TEST(SmartReport, DefaultPcSystemDiskOnTheSataBusIsReadOnly) {
  // Off the ATA bus the report neither enables nor disables S.M.A.R.T.: the reads only.
  auto s = ClickSmart(json::object(), 0);
  EXPECT_EQ(s.commands, kReadOnly);
  EXPECT_EQ(s.lines, Table(kIntelDescription, kIntelAttributes, kGood));
  EXPECT_TRUE(SmartOnAfterwards(s.run));
}

TEST(SmartReport, DefaultPcSystemDiskInAtaModeIsEnabledReadAndLeftOn) {
  // The same disk behind an ATA-bus driver: IDENTIFY says S.M.A.R.T. is on, so
  // enable and read, and no disable.
  json patch = json::parse(trv::sim::DefaultScenarioJson());
  patch["drives"][0]["bus"] = 3;
  auto s = ClickSmart(patch, 0);
  EXPECT_EQ(s.commands, kEnableAndRead);
  EXPECT_EQ(s.lines.size(), 5u + 2u + 19u + 1u + 2u);
  EXPECT_TRUE(SmartOnAfterwards(s.run));
}

TEST(SmartReport, DefaultPcUsbStickIsNotSupportedAfterOneRead) {
  // The one read tries the receive request and then the send request; both fail.
  // A USB disk then gets one ATA pass-through try (the stick refuses it).
  auto s = ClickSmart(json::object(), 2);
  EXPECT_EQ(s.lines, Join(Header("[2]  Kingston DataTraveler 2.0    PMAP    [8011.12 MB]"), {kNotSupported}));
  EXPECT_EQ(s.commands, (Commands{"SMART READ DATA failed", "SMART READ DATA failed"}));
  const auto requests = s.run.platform->journal().Find("DeviceIoControl");
  ASSERT_GE(requests.size(), 2u);
  EXPECT_EQ(requests[requests.size() - 2]->code, 0x0007C084u);  // SMART_SEND_DRIVE_COMMAND, the read's second path
  EXPECT_EQ(requests.back()->code, 0x0004D004u);                // IOCTL_SCSI_PASS_THROUGH, once
}

TEST(SmartReport, TwoClicksGiveTwoWholeReports) {
  auto one = ClickSmart(json::object(), 1, 1);
  auto two = ClickSmart(json::object(), 1, 2);
  ASSERT_EQ(one.lines.size(), 5u + 2u + 17u + 1u + 5u);  // the WDC data disk's 17 attributes and the verdict
  EXPECT_EQ(two.lines, Join(one.lines, one.lines));
  EXPECT_EQ(two.commands, Join(kReadOnly, kReadOnly));
  // After the report the command controls are usable again.
  const auto& m = two.run.app->FmMain;
  EXPECT_TRUE(m.btRunBenchmarks.enabled());
  EXPECT_TRUE(m.btGetSmart.enabled());
  EXPECT_TRUE(m.cbQuickWipe.enabled());
  EXPECT_FALSE(m.btStop.enabled());
  EXPECT_EQ(trv::test::U8(m.Log_Smart.font().name), "Courier New");
}

// --- leaving S.M.A.R.T. as it was found on the ATA bus ------------------------------

namespace {

// An ATA-bus disk that supports S.M.A.R.T., on or off as IDENTIFY word 85 says,
// with the ST9160821AS's attribute block.
json AtaDisk(bool smartOn, json more = json::object()) {
  json ata = Capture("ST9160821AS--3.CLH");
  // Words 83 and 87 carry their 01b signatures: words 82 to 87 are valid.
  ata["identify"] = IdentifyHex({{49, 0x0200}, {60, 0x4240}, {61, 0x000F}, {82, 0x0001}, {83, 0x4000},
                                 {85, smartOn ? 0x0001 : 0}, {87, 0x4000}});
  ata.update(more);
  return Disk(3, 1000000, ata);
}

} // namespace

TEST(SmartReport, SmartOffBeforeIsSwitchedOnForTheReadAndOffAgain) {
  auto s = ClickSmart(OneDisk(AtaDisk(false)));
  EXPECT_EQ(s.commands, Join(kEnableAndRead, {"SMART DISABLE OPERATIONS"}));
  EXPECT_EQ(s.lines.size(), 5u + 2u + 22u + 1u + 6u);
  EXPECT_FALSE(SmartOnAfterwards(s.run));

  auto on = ClickSmart(OneDisk(AtaDisk(true)));
  EXPECT_EQ(on.commands, kEnableAndRead);
  EXPECT_EQ(on.lines, s.lines);
  EXPECT_TRUE(SmartOnAfterwards(on.run));
}

TEST(SmartReport, SmartOffIsAskedAnewOnEveryClick) {
  auto s = ClickSmart(OneDisk(AtaDisk(false)), 0, 2);
  const Commands once = Join(kEnableAndRead, {"SMART DISABLE OPERATIONS"});
  EXPECT_EQ(s.commands, Join(once, once));
  EXPECT_FALSE(SmartOnAfterwards(s.run));
}

TEST(SmartReport, FailedEnableSendsNoRead) {
  // S.M.A.R.T. on: nothing to restore. Off: the disable is still sent.
  auto on = ClickSmart(OneDisk(AtaDisk(true, {{"smartEnable", false}})));
  EXPECT_EQ(on.commands, (Commands{"IDENTIFY DEVICE", "SMART ENABLE OPERATIONS failed"}));
  EXPECT_EQ(on.lines, Join(Header("[0]  Storage Device    0000    [512 MB]"), {kNotSupported}));

  auto off = ClickSmart(OneDisk(AtaDisk(false, {{"smartEnable", false}})));
  EXPECT_EQ(off.commands,
            (Commands{"IDENTIFY DEVICE", "SMART ENABLE OPERATIONS failed", "SMART DISABLE OPERATIONS"}));
  EXPECT_EQ(off.lines.back(), kNotSupported);
  EXPECT_FALSE(SmartOnAfterwards(off.run));
}

TEST(SmartReport, FailedReadAfterEnableIsNotSupported) {
  // No attribute block at all: the read fails on both of its paths. A failed
  // disable changes nothing in the report.
  json ata = {{"identify", IdentifyHex({{82, 0x0001}, {83, 0x4000}, {87, 0x4000}})}, {"smartDisable", false}};
  auto s = ClickSmart(OneDisk(Disk(3, 1000000, ata)));
  EXPECT_EQ(s.commands, (Commands{"IDENTIFY DEVICE", "SMART ENABLE OPERATIONS", "SMART READ DATA failed",
                                  "SMART READ DATA failed", "SMART DISABLE OPERATIONS failed"}));
  EXPECT_EQ(s.lines, Join(Header("[0]  Storage Device    0000    [512 MB]"), {kNotSupported}));
}

TEST(SmartReport, UnknownStateIsNeverSwitchedOff) {
  // The details report uses up four IDENTIFY commands (two reads of two paths),
  // the purge's facts two more through the pass-through (the details and the
  // window's purge box); the report's own read then fails on both paths too, so
  // the state before is unknown and S.M.A.R.T. is not switched off, although it was off.
  auto s = ClickSmart(OneDisk(AtaDisk(false, {{"identifyFailures", 8}})));
  EXPECT_EQ(s.commands, Join(Commands{"IDENTIFY DEVICE failed", "IDENTIFY DEVICE failed", "SMART ENABLE OPERATIONS",
                                       "SMART READ DATA"},
                              kHealthReads));
  EXPECT_EQ(s.lines.size(), 5u + 2u + 22u + 1u + 6u);
  EXPECT_TRUE(SmartOnAfterwards(s.run));
}

// --- the attribute lines ----------------------------------------------------------

TEST(SmartReport, AnEmptyFirstEntryIsSkippedNotTheTablesEnd) {
  auto s = ClickSmart(OneDisk(PlainDisk({{1, 5, 100, 100, 0}, {29, 9, 100, 100, 3}})));  // slots 1 and 29 of 0..29
  EXPECT_EQ(s.lines, Table(kPlainDescription, {" 5    05  重新分配扇区数       100      100                 0",
                                               " 9    09  开机时间                    100      100                 3"},
                           kGoodWithoutThresholds));
}

TEST(SmartReport, EdgesOfTheAttributeLine) {
  auto s = ClickSmart(OneDisk(PlainDisk({
      {0, 5, 100, 100, 0},                // a name without blanks meets the five blanks
      {1, 240, 1, 0, 7},                  // no name: "Unknown" and 19 blanks
      {2, 9, 255, 255, 0xFFFF'FFFF'FFFF}, // the largest raw value, 15 digits
      {3, 194, 40, 30, 0x28},             // a temperature of 40 degrees
      {4, 194, 36, 45, 0x002D'000F'0024}, // the note takes the lowest raw byte only
      {5, 190, 60, 50, 0x28},             // the airflow temperature gets no note
      {7, 1, 100, 100, 1},                // after the empty slot 6: shown all the same
  })));
  EXPECT_EQ(s.lines, Table(kPlainDescription, {
      " 5    05  重新分配扇区数       100      100                 0",
      " 240  F0  Unknown                            1        0                 7",
      " 9    09  开机时间                    255      255   281474976710655",
      " 194  C2  HDA 温度                   40       30                40  (40 度) ",
      " 194  C2  HDA 温度                   36       45      193274511396  (36 度) ",
      " 190  BE  Airflow 温度               60       50                40",
      " 1    01  读取错误速率                  100      100                 1",
  }, kGoodWithoutThresholds));
}

TEST(SmartReport, CommandControlsAreDisabledWhileTheDiskIsAsked) {
  // A platform that notes the command controls' state at each device request.
  struct Watching : trv::sim::SimPlatform {
    using SimPlatform::SimPlatform;
    trv::app::App* app = nullptr;
    std::vector<std::string> states;
    bool DeviceIoControl(trv::win::Handle h, std::uint32_t code, const void* in, std::uint32_t inSize, void* out,
                         std::uint32_t outSize, std::uint32_t* returned) override {
      if (app && app->FmMain.Log_Smart.lines().size() > 0) {
        const auto& m = app->FmMain;
        states.push_back(std::string(m.btRunBenchmarks.enabled() ? "1" : "0") + (m.btGetSmart.enabled() ? "1" : "0") +
                         (m.cbQuickWipe.enabled() ? "1" : "0"));
      }
      return SimPlatform::DeviceIoControl(h, code, in, inSize, out, outSize, returned);
    }
  };
  Watching platform(Scenario(OneDisk(AtaDisk(false))));
  trv::ui::HeadlessUi ui{trv::ui::ScriptedUser("select DriveList 0; click btContinue; tab 2; click btGetSmart")};
  trv::app::App app(platform, ui, {});
  platform.app = &app;
  trv::app::RunProgram(app);
  EXPECT_EQ(platform.states, (std::vector<std::string>(7, "000")));  // IDENTIFY on two requests, enable, the three reads, disable
  EXPECT_TRUE(app.FmMain.btGetSmart.enabled());
}

TEST(SmartReport, JournalNamesEachAtaCommand) {
  auto s = ClickSmart(OneDisk(AtaDisk(false)));
  const std::string journal = s.run.JournalText();
  for (const char* line : {"code=0x7C088 in=33 out=528 command=0xEC feature=0x00 IDENTIFY DEVICE -> ok",
                           "code=0x7C084 in=32 out=527 command=0xB0 feature=0xD8 SMART ENABLE OPERATIONS -> ok",
                           "code=0x7C088 in=32 out=1039 command=0xB0 feature=0xD0 SMART READ DATA -> ok",
                           "code=0x7C084 in=32 out=527 command=0xB0 feature=0xD9 SMART DISABLE OPERATIONS -> ok"})
    EXPECT_NE(journal.find(std::string("DeviceIoControl ") + line), std::string::npos) << line;
  EXPECT_NE(journal.find("DeviceIoControl code=0x74080 in=0 out=28 -> ok"), std::string::npos);  // no ATA command
}

// --- the name table ---------------------------------------------------------------

TEST(SmartAttributeNames, EachNameFillsItsStoredGbkLength) {
  // The names were stored as GBK texts of these lengths in bytes (two per Chinese
  // character, one per ASCII character, blanks included), at most 26.
  const std::pair<int, std::size_t> stored[] = {
      {1, 23},   {2, 14},   {3, 22},   {4, 13},   {5, 14},   {6, 17},   {7, 21},   {8, 18},   {9, 21},
      {10, 26},  {11, 19},  {12, 22},  {13, 18},  {99, 22},  {100, 25}, {101, 25}, {184, 20}, {187, 16},
      {188, 18}, {189, 24}, {190, 19}, {192, 19}, {193, 20}, {194, 19}, {195, 17}, {196, 20}, {197, 17},
      {198, 19}, {199, 21}, {200, 18}, {201, 21}, {202, 23}, {203, 22}, {204, 17}, {205, 15}, {207, 20},
      {208, 26}, {209, 13}, {210, 14}, {211, 21}, {212, 22}, {220, 24}, {221, 20}, {222, 24}, {223, 22},
      {224, 21}, {225, 22}, {226, 24}, {227, 14}, {228, 19}, {229, 16}, {230, 20}, {232, 16}, {233, 23}};
  std::size_t named = 0;
  for (int id = 1; id <= 255; ++id) {
    const std::u16string name = trv::report::GetSmartAttributeName(static_cast<std::uint8_t>(id));
    std::size_t gbk = 0;
    for (char16_t c : name) gbk += c < 0x80 ? 1 : 2;
    const auto* listed = std::find_if(std::begin(stored), std::end(stored), [&](auto& s) { return s.first == id; });
    if (listed == std::end(stored)) {
      EXPECT_EQ(trv::test::U8(name), "Unknown                   ") << id;
      continue;
    }
    ++named;
    EXPECT_EQ(gbk, listed->second) << id;
    EXPECT_NE(name.front(), u' ') << id;
  }
  EXPECT_EQ(named, 54u);
  using trv::report::GetSmartAttributeName;
  EXPECT_EQ(GetSmartAttributeName(222), GetSmartAttributeName(226));
  EXPECT_EQ(GetSmartAttributeName(192), GetSmartAttributeName(228));
  EXPECT_EQ(trv::test::U8(GetSmartAttributeName(5)), "重新分配扇区数");
  EXPECT_EQ(trv::test::U8(GetSmartAttributeName(233)), "Media Wearout 指示器   ");
}
