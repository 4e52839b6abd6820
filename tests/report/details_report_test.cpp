// The device details report, seen the way the user sees it: a whole run on a
// simulated PC with one disk, chosen in the selection dialog, then the lines of
// the main window's details memo. Expected lines are worked out by hand from
// the IDENTIFY words of each disk.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "report/details_lines.h"
#include "test_support.h"

using nlohmann::json;
using trv::test::IdentifyHex;
using trv::test::Join;
using trv::test::kPurgeBus;
using trv::test::kPurgeSystemDisk;
using trv::test::kPurgeUsb;
using trv::test::PurgeNone;
using trv::test::Lines;
using trv::test::Play;
using trv::test::Scenario;
using Report = std::vector<std::string>;
using Words = std::vector<std::pair<int, std::uint16_t>>;

namespace {

constexpr std::uint32_t kSmartGetVersion = 0x00074080;
constexpr std::uint32_t kSmartRcvDriveData = 0x0007C088;

// A small synthetic disk: model "M", firmware "F", serial "S" (each character
// in the high byte of its first word), LBA with 1,000,000 sectors, no cache size,
// no security, no features, no queue; `more` words added or replaced.
json Synthetic(const Words& more = {}) {
  Words words = {{10, 0x5300}, {23, 0x4600}, {27, 0x4D00}, {49, 0x0200}, {60, 0x4240}, {61, 0x000F}};
  words.insert(words.end(), more.begin(), more.end());
  return {{"identify", IdentifyHex(words)}};
}
constexpr long long kSyntheticSectors = 1000000;
constexpr char kSyntheticDescription[] = "[0]  M    F    [512 MB]";

json With(json j, const json& patch) {
  j.update(patch);
  return j;
}

json Capture(const std::string& file) { return {{"capture", trv::test::TestDataDir() + "/drives/" + file}}; }

// Drive 0 of the PC with its bus, its sector count as the storage stack reports
// it, and its ATA side (null: no ATA pass-through at all).
json Disk(int bus, long long sectors, json ata) {
  json d = {{"number", 0}, {"bus", bus}, {"sectors", sectors}};
  if (!ata.is_null()) d["ata"] = std::move(ata);
  return d;
}

struct Shown {
  trv::app::HeadlessRun run;
  Report lines;
  std::size_t identifyReads = 0;  // ReadIdentify calls on the opened disk
};

Shown ChooseDisk(json disk, json extra = json::object()) {
  extra["drives"] = json::array({std::move(disk)});
  Shown s{Play(Scenario(extra), "select DriveList 0; click btContinue"), {}, 0};
  s.lines = Lines(s.run.app->FmMain.Log_Details);
  // Every ReadIdentify begins with one SMART_GET_VERSION on the disk's own handle.
  for (const auto* e : s.run.platform->journal().Find("DeviceIoControl"))
    if (e->code == kSmartGetVersion && e->handle == s.run.app->dev.DeviceHandle) ++s.identifyReads;
  return s;
}

Report Header(const std::string& description) { return trv::test::DetailsHeader(description); }

// The lines from `heading` up to the next single-blank line or the end.
Report Section(const Report& lines, const std::string& heading) {
  auto from = std::find(lines.begin(), lines.end(), heading);
  if (from == lines.end()) return {"(no " + heading + ")"};
  return Report(from, std::find(from, lines.end(), " "));
}

const Report kSyntheticBody = {
    "模型: M", "固件版本: F", "序列号: S", " ",
    "物理参数：", "支持 LBA 模式", "不支持 LBA 48 模式", "可用扇区 LBA 命令: 1,000,000", "可用扇区 LBA48 命令: 0",
    "设备全部容量: 512,000,000 bytes", " ",
    "安全：", "安全功能不支持", "当前设备未被锁定", " ",
    "特征：", "SMART 不支持", "HPA (宿主保护区) 不支持", "AAM (自动噪音管理) 不支持", "不支持特征功能", " ",
    "队列：", "设备不支持命令队列",
    " ", "固件擦除 (仅读取，不发送擦除命令)：", "ATA 安全功能集: 不支持", "ATA Sanitize 功能集: 不支持",
    " ", "固件清除: 此处不可用: the system disk"};

// The last section of a captured drive's report: its Security feature set (word
// 128: enabled bit 1, frozen bit 3, enhanced erase bit 5; words 89 and 90 in
// units of 2 minutes). None of the five offers Sanitize (word 59 bit 12 clear).
// Then the purge line closes the report: each is disk 0, the system disk.
Report EraseSection(const Report& security, const std::string& state = "") {
  Report r = {" ", "固件擦除 (仅读取，不发送擦除命令)："};
  r.insert(r.end(), security.begin(), security.end());
  r.push_back("ATA Sanitize 功能集: 不支持");
  r = Join(r, PurgeNone(kPurgeSystemDisk));
  if (!state.empty()) r.push_back("ATA 安全状态 (字 128): " + state);  // frozen, or a password set
  return r;
}
Report Security(bool enabled, bool frozen, bool enhanced, const std::string& normal, const std::string& enhancedTime) {
  auto yes = [](bool on) { return std::string(on ? "是" : "否"); };
  return {"ATA 安全功能集: 支持", "  已启用 (设有用户密码): " + yes(enabled), "  已锁定: 否", "  已冻结: " + yes(frozen),
          "  密码尝试次数已用尽: 否", std::string("  增强型安全擦除: ") + (enhanced ? "支持" : "不支持"),
          "  普通安全擦除时间估计: " + normal, "  增强型安全擦除时间估计: " + enhancedTime};
}

} // namespace

// --- the five captured drives, line by line --------------------------------------
//
// Common to all five: word 49 = 0x2F00 (LBA), words 60/61 give the 28-bit count,
// word 84 bit 4 clear (no streaming), word 106 without a logical sector size (512).

TEST(DetailsReport, CapturedSeagateST9160821AS) {
  // w21 16384 -> 8,388,608 bytes; w83 0x7D09: 48-bit yes, AAM (bit 9) no; words
  // 100..103 312581808 > 268435455; w82 0x346B: security, HPA, SMART; w128 0x0029:
  // bit 1 clear, not locked; w75 31 -> depth 32. The table's figures all agree.
  auto s = ChooseDisk(Disk(3, 312581808, Capture("ST9160821AS--3.CLH")));
  EXPECT_EQ(s.lines, Join(Join(Header("[0]  ST9160821AS    3.CLH    [160.04 GB]"),
                          {"模型: ST9160821AS", "固件版本: 3.CLH", "序列号: 5MAC2QTA", "缓存大小: 8388.6 KB", " ",
                           "物理参数：", "支持 LBA 模式", "支持 LBA 48 模式", "可用扇区 LBA 命令: 268,435,455",
                           "可用扇区 LBA48 命令: 312,581,808", "设备全部容量: 160,041,885,696 bytes", " ",
                           "安全：", "支持安全功能", "当前设备未被锁定", " ",
                           "特征：", "SMART 支持", "HPA (宿主保护区) 支持", "AAM (自动噪音管理) 不支持", "不支持特征功能", " ",
                           "队列：", "设备支持命令队列", "最大队列深度: 32"}), EraseSection(Security(false, true, true, "约 88 分钟", "约 88 分钟"), "已冻结")));
  EXPECT_EQ(s.identifyReads, 1u);
}

TEST(DetailsReport, CapturedWdcWD5000AAKS) {
  // w21 32768 -> 16,777,216 bytes = 16.77 MB (the table's 16384 KiB); w83 0x7F61:
  // 48-bit and AAM; 976773168 sectors; w82 0x746B; w128 0x0001 not locked; w75 31.
  auto s = ChooseDisk(Disk(3, 976773168, Capture("WDC_WD5000AAKS--00TMA0-12.01C01")));
  EXPECT_EQ(s.lines, Join(Join(Header("[0]  WDC WD5000AAKS-00TMA0    12.01C01    [500.1 GB]"),
                          {"模型: WDC WD5000AAKS-00TMA0", "固件版本: 12.01C01", "序列号: WD-WCAPW0493929",
                           "缓存大小: 16.77 MB", " ",
                           "物理参数：", "支持 LBA 模式", "支持 LBA 48 模式", "可用扇区 LBA 命令: 268,435,455",
                           "可用扇区 LBA48 命令: 976,773,168", "设备全部容量: 500,107,862,016 bytes", " ",
                           "安全：", "支持安全功能", "当前设备未被锁定", " ",
                           "特征：", "SMART 支持", "HPA (宿主保护区) 支持", "AAM (自动噪音管理) 支持", "不支持特征功能", " ",
                           "队列：", "设备支持命令队列", "最大队列深度: 32"}), EraseSection(Security(false, false, false, "约 122 分钟", "未报告"))));
}

TEST(DetailsReport, CapturedIntelSSDSA2CW120G3_No48BitBecauseBothCountsAreEqual_PasswordSetButNotLocked) {
  // Differences to the table: words 100..103 equal words 60/61 (234441648), so
  // 48-bit addressing does not count and its line shows 0 (the table lists
  // 234441648); w21 0: no cache line ("unknown"). w128 0x012B: a password is set
  // (bit 1) at the maximum level (bit 8), but bit 2 is clear: not locked. w83
  // 0x7D01: no AAM.
  auto s = ChooseDisk(Disk(3, 234441648, Capture("INTEL_SSDSA2CW120G3--4PC10302")));
  EXPECT_EQ(s.lines, Join(Join(Header("[0]  INTEL SSDSA2CW120G3    4PC10302    [120.03 GB]"),
                          {"模型: INTEL SSDSA2CW120G3", "固件版本: 4PC10302", "序列号: CVPR109301UZ120LGN", " ",
                           "物理参数：", "支持 LBA 模式", "不支持 LBA 48 模式", "可用扇区 LBA 命令: 234,441,648",
                           "可用扇区 LBA48 命令: 0", "设备全部容量: 120,034,123,776 bytes", " ",
                           "安全：", "支持安全功能", "当前设备未被锁定", " ",
                           "特征：", "SMART 支持", "HPA (宿主保护区) 支持", "AAM (自动噪音管理) 不支持", "不支持特征功能", " ",
                           "队列：", "设备支持命令队列", "最大队列深度: 32"}), EraseSection(Security(true, true, true, "约 2 分钟", "约 2 分钟"), "已设密码, 已冻结")));
}

TEST(DetailsReport, CapturedMaxtor96147H8_NoQueueNoSecurity) {
  // w21 4096 -> 2,097,152 bytes = 2097.15 KB (the table's 2048 KiB); w83 0x4309:
  // no 48-bit (bit 10 clear; the table says none), AAM yes; w82 0x7C69: no
  // security (bit 1 clear), HPA, SMART; w75 0: no queue (the table says none).
  auto s = ChooseDisk(Disk(3, 120060864, Capture("Maxtor_96147H8--BAC51KJ0")));
  EXPECT_EQ(s.lines, Join(Join(Header("[0]  Maxtor 96147H8    BAC51KJ0    [61.47 GB]"),
                          {"模型: Maxtor 96147H8", "固件版本: BAC51KJ0", "序列号: N80BR8EC", "缓存大小: 2097.15 KB", " ",
                           "物理参数：", "支持 LBA 模式", "不支持 LBA 48 模式", "可用扇区 LBA 命令: 120,060,864",
                           "可用扇区 LBA48 命令: 0", "设备全部容量: 61,471,162,368 bytes", " ",
                           "安全：", "安全功能不支持", "当前设备未被锁定", " ",
                           "特征：", "SMART 支持", "HPA (宿主保护区) 支持", "AAM (自动噪音管理) 支持", "不支持特征功能", " ",
                           "队列：", "设备不支持命令队列"}), EraseSection({"ATA 安全功能集: 不支持"})));
}

TEST(DetailsReport, CapturedSamsungHD501LJ) {
  // w21 32768 -> 16.77 MB; w83 0x7F01: 48-bit and AAM; 976773168 sectors; w82
  // 0x746B; w128 0x0021 not locked; w75 31. The table's figures all agree.
  auto s = ChooseDisk(Disk(3, 976773168, Capture("SAMSUNG_HD501LJ--CR100-12")));
  EXPECT_EQ(s.lines, Join(Join(Header("[0]  SAMSUNG HD501LJ    CR100-12    [500.1 GB]"),
                          {"模型: SAMSUNG HD501LJ", "固件版本: CR100-12", "序列号: S0MUJ1NQ110060", "缓存大小: 16.77 MB", " ",
                           "物理参数：", "支持 LBA 模式", "支持 LBA 48 模式", "可用扇区 LBA 命令: 268,435,455",
                           "可用扇区 LBA48 命令: 976,773,168", "设备全部容量: 500,107,862,016 bytes", " ",
                           "安全：", "支持安全功能", "当前设备未被锁定", " ",
                           "特征：", "SMART 支持", "HPA (宿主保护区) 支持", "AAM (自动噪音管理) 支持", "不支持特征功能", " ",
                           "队列：", "设备支持命令队列", "最大队列深度: 32"}), EraseSection(Security(false, false, true, "约 168 分钟", "约 168 分钟"))));
}

// --- reading the IDENTIFY data ---------------------------------------------------

TEST(DetailsReport, NonAtaBusGetsOneAttemptOnly) {
  for (int bus : {7, 11, 1}) {  // USB, SATA, SCSI
    auto s = ChooseDisk(Disk(bus, kSyntheticSectors, With(Synthetic(), {{"identifyFailures", 1000}})));
    EXPECT_EQ(s.lines, Join(Join(Header(kSyntheticDescription), {"详细信息不可用于此设备。"}),
                            PurgeNone(bus == 7 ? kPurgeUsb : bus == 1 ? kPurgeBus : kPurgeSystemDisk)))
        << bus;
    EXPECT_EQ(s.identifyReads, 1u) << bus;
  }
  // A SATA drive whose first read fails is not asked again.
  auto sata = ChooseDisk(Disk(11, kSyntheticSectors, With(Synthetic(), {{"identifyFailures", 2}})));
  EXPECT_EQ(sata.lines, Join(Join(Header(kSyntheticDescription), {"详细信息不可用于此设备。"}), PurgeNone(kPurgeSystemDisk)));
  EXPECT_EQ(sata.identifyReads, 1u);
  // A USB stick without any ATA pass-through; the storage stack gives it no texts.
  auto stick = ChooseDisk(Disk(7, kSyntheticSectors, nullptr));
  EXPECT_EQ(stick.lines,
            Join(Join(Header("[0]  Storage Device    0000    [512 MB]"), {"详细信息不可用于此设备。"}), PurgeNone(kPurgeUsb)));
}

TEST(DetailsReport, AtaBusRetriesOnceThenGivesUp) {
  const Report failed = Join({"详细信息不可用： 内部错误。", "请发送这个问题到 https://trevasso.example.org/forum/"},
                             PurgeNone(kPurgeSystemDisk));
  auto s = ChooseDisk(Disk(3, kSyntheticSectors, With(Synthetic(), {{"identifyFailures", 1000}})));
  EXPECT_EQ(s.lines, Join(Header(kSyntheticDescription), failed));
  EXPECT_EQ(s.identifyReads, 2u);  // asked twice, never more
  auto none = ChooseDisk(Disk(3, kSyntheticSectors, nullptr));
  EXPECT_EQ(none.lines, Join(Header("[0]  Storage Device    0000    [512 MB]"), failed));
  EXPECT_EQ(none.identifyReads, 2u);
}

TEST(DetailsReport, AtaBusSecondReadThatWorksGivesTheFullReport) {
  // A failed ReadIdentify tries both of its paths, so two failed IDENTIFY
  // commands make exactly the first read fail.
  auto retried = ChooseDisk(Disk(3, kSyntheticSectors, With(Synthetic(), {{"identifyFailures", 2}})));
  auto first = ChooseDisk(Disk(3, kSyntheticSectors, Synthetic()));
  EXPECT_EQ(retried.lines, Join(Header(kSyntheticDescription), kSyntheticBody));
  EXPECT_EQ(retried.lines, first.lines);
  EXPECT_EQ(retried.identifyReads, 2u);
  EXPECT_EQ(first.identifyReads, 1u);
}

TEST(DetailsReport, SlaveDriveIsReadAsDriveOne) {
  auto s = ChooseDisk(With(Disk(3, kSyntheticSectors, Synthetic()), {{"slave", true}}));
  EXPECT_EQ(s.run.app->dev.Devices[1].IdentifyData.IsIDESlave, 1);
  EXPECT_EQ(s.lines, Join(Header(kSyntheticDescription), kSyntheticBody));
  bool sawSlaveIdentify = false;
  for (const auto* e : s.run.platform->journal().Find("DeviceIoControl"))
    if (e->code == kSmartRcvDriveData && e->handle == s.run.app->dev.DeviceHandle && e->input.size() > 10)
      sawSlaveIdentify = sawSlaveIdentify || (e->input[9] == 0xB0 && e->input[10] == 0xEC);
  EXPECT_TRUE(sawSlaveIdentify);
}

// --- the decoded lines -----------------------------------------------------------

TEST(DetailsReport, NoCacheSizeNoQueueNo48Bit) {
  // Word 21 = 0: the blank line follows the serial directly; word 75 = 0: no depth line.
  auto s = ChooseDisk(Disk(3, kSyntheticSectors, Synthetic()));
  EXPECT_EQ(s.lines, Join(Header(kSyntheticDescription), kSyntheticBody));
}

TEST(DetailsReport, CacheSizeAndQueueDepth) {
  auto s = ChooseDisk(Disk(3, kSyntheticSectors, Synthetic({{21, 16384}, {75, 31}})));
  EXPECT_EQ(Report(s.lines.begin() + 5, s.lines.begin() + 10),
            (Report{"模型: M", "固件版本: F", "序列号: S", "缓存大小: 8388.6 KB", " "}));
  EXPECT_EQ(Section(s.lines, "队列："), (Report{"队列：", "设备支持命令队列", "最大队列深度: 32"}));
  // The erase section, then the purge line end it, no closing blank line.
  EXPECT_EQ(Report(s.lines.end() - 3, s.lines.end()), Join({"ATA Sanitize 功能集: 不支持"}, PurgeNone(kPurgeSystemDisk)));

  // The locale's decimal separator; word 75 taken whole (0x0100 is depth 257).
  auto comma = ChooseDisk(Disk(3, kSyntheticSectors, Synthetic({{21, 16384}, {75, 0x0100}})),
                          {{"decimalSeparator", ","}});
  EXPECT_EQ(comma.lines[8], "缓存大小: 8388,6 KB");
  EXPECT_EQ(Section(comma.lines, "队列：").back(), "最大队列深度: 257");
}

TEST(DetailsReport, SecurityLevels) {
  struct Case {
    const char* name;
    Words words;
    Report lines;
  };
  const Case cases[] = {
      {"high", {{82, 0x0002}, {128, 0x0006}},
       {"安全：", "支持安全功能", "当前已锁定驱动器", "安全级别： 高", "解锁设备需要用户或主密码。"}},
      {"maximum", {{82, 0x0002}, {128, 0x0106}},
       {"安全：", "支持安全功能", "当前已锁定驱动器", "安全级别： 最大", "解锁设备需要用户密码。",
        "如果未知用户密码，则该设备能删除主服务器的密码。"}},
      {"not locked", {{82, 0x0002}, {128, 0x0100}}, {"安全：", "支持安全功能", "当前设备未被锁定"}},
      // A password set at the maximum level (bits 1 and 8) does not lock the drive by itself.
      {"password set, not locked", {{82, 0x0002}, {128, 0x0102}}, {"安全：", "支持安全功能", "当前设备未被锁定"}},
      {"bits without the feature set", {{82, 0x0000}, {128, 0x0106}}, {"安全：", "安全功能不支持", "当前设备未被锁定"}},
  };
  for (const auto& c : cases) {
    auto s = ChooseDisk(Disk(3, kSyntheticSectors, Synthetic(c.words)));
    EXPECT_EQ(Section(s.lines, "安全："), c.lines) << c.name;
    EXPECT_EQ(Section(s.lines, "特征：").size(), 5u) << c.name;  // the next section follows unchanged
  }
}

TEST(DetailsReport, FeatureLines) {
  auto s = ChooseDisk(Disk(3, kSyntheticSectors, Synthetic({{82, 0x0401}, {83, 0x0200}, {84, 0x0010}})));
  EXPECT_EQ(Section(s.lines, "特征："), (Report{"特征：", "SMART 支持", "HPA (宿主保护区) 支持",
                                                "AAM (自动噪音管理) 支持", "支持特征功能"}));
}

TEST(DetailsReport, CapacityUsesTheLogicalSectorSize) {
  // Words 106 = 0x5000 and 117 = 2048: 4096-byte logical sectors. 1,000,000 of
  // them are 4,096,000,000 bytes, not the 512,000,000 of 512-byte sectors.
  json disk = Disk(3, kSyntheticSectors, Synthetic({{106, 0x5000}, {117, 2048}}));
  disk["bytesPerSector"] = 4096;
  auto s = ChooseDisk(disk);
  EXPECT_EQ(s.lines[3], "设备详细信息[0]  M    F    [4096 MB]");
  EXPECT_EQ(Section(s.lines, "物理参数："),
            (Report{"物理参数：", "支持 LBA 模式", "不支持 LBA 48 模式", "可用扇区 LBA 命令: 1,000,000",
                    "可用扇区 LBA48 命令: 0", "设备全部容量: 4,096,000,000 bytes"}));
}
