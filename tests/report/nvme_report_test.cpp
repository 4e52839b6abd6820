// NVMe disks seen the way the user sees them: the device list, the details tab
// and the health table, on the built-in modern PC and on drives described by
// their raw identify and log blocks. Every expected line is worked out by hand
// from the block fields named in the comments.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device/nvme.h"
#include "modern_pc.h"
#include "report/nvme_health_report.h"
#include "report/details_lines.h"
#include "test_support.h"
#include "platform/text.h"

using nlohmann::json;
using trv::test::Join;
using trv::test::PurgeNone;
using trv::test::Lines;
using trv::test::ModernPc;
using trv::test::Play;
using Report = std::vector<std::string>;
namespace win = trv::win;

namespace {

std::string S(std::size_t n) { return std::string(n, ' '); }

Report Header(const std::string& description) { return trv::test::DetailsHeader(description); }

struct Shown {
  trv::app::HeadlessRun run;
  Report details;
};

Shown Open(const trv::sim::Scenario& pc, int row) {
  Shown s{Play(pc, "select DriveList " + std::to_string(row) + "; click btContinue"), {}};
  s.details = Lines(s.run.app->FmMain.Log_Details);
  return s;
}

// A block of `size` bytes as scenario hex, with little-endian values and ASCII texts put in.
struct Block {
  explicit Block(std::size_t size) : bytes(size, 0) {}
  Block& Le(std::size_t at, std::uint64_t value, std::size_t width) {
    for (std::size_t i = 0; i < width; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
    return *this;
  }
  Block& Text(std::size_t at, std::size_t width, const std::string& text) {
    for (std::size_t i = 0; i < width; ++i) bytes[at + i] = i < text.size() ? static_cast<std::uint8_t>(text[i]) : ' ';
    return *this;
  }
  std::string Hex() const {
    static const char digits[] = "0123456789abcdef";
    std::string h;
    for (auto b : bytes) h += {digits[b >> 4], digits[b & 15]};
    return h;
  }
  std::vector<std::uint8_t> bytes;
};

// The health table of drive `number` of `pc`, appended to the S.M.A.R.T. tab's memo
// after a run that opened the disk, on a handle opened as the run flow opens one.
struct Health {
  bool shown = false;
  Report lines;
};
Health HealthOf(const trv::sim::Scenario& pc, int number) {
  auto run = Play(pc, "select DriveList " + std::to_string(number) + "; click btContinue");
  const win::Handle h = run.platform->CreateFileW(u"\\\\.\\PhysicalDrive" + trv::Utf8ToUtf16(std::to_string(number)),
                                                  win::GENERIC_READ | win::GENERIC_WRITE, 0, win::OPEN_EXISTING, 0);
  Health result;
  result.shown = trv::report::AppendNvmeHealth(*run.platform, h, run.app->FmMain.Log_Smart, u'.');
  result.lines = Lines(run.app->FmMain.Log_Smart);
  return result;
}

constexpr char kSamsung[] = "[0]  NVMe Samsung SSD 970    2B2QEXM7    [500.1 GB]";
// Windows runs from the modern PC's NVMe disk: no purge there.
const Report kSystemDiskPurge = PurgeNone("the system disk");

// The details report's last section: what firmware erase the controller offers.
Report EraseSection(bool formatNvm, const std::string& fna, bool allFormat, bool allErase, bool crypto,
                    const std::string& sanicap, bool sanCrypto, bool sanBlock, bool sanOverwrite) {
  auto offered = [](bool on) { return std::string(on ? "支持" : "不支持"); };
  auto yes = [](bool on) { return std::string(on ? "是" : "否"); };
  Report r = {" ", "固件擦除 (仅读取，不发送擦除命令)：", "Format NVM 命令: " + offered(formatNvm)};
  // The FNA lines only where Format NVM is offered, as the ATA detail lines.
  if (formatNvm)
    r.insert(r.end(), {"  Format NVM 属性 (FNA): " + fna, "  格式化作用于所有命名空间: " + yes(allFormat),
                       "  安全擦除作用于所有命名空间: " + yes(allErase), "  安全擦除可为加密擦除: " + yes(crypto)});
  r.insert(r.end(), {"Sanitize 能力 (SANICAP): " + sanicap, "  加密擦除: " + offered(sanCrypto),
                     "  块擦除: " + offered(sanBlock), "  覆盖: " + offered(sanOverwrite)});
  return r;
}

} // namespace

// --- the modern PC's NVMe system disk ---------------------------------------------

TEST(NvmeReport, ModernPcSystemDiskListDetailsAndHealth) {
  auto s = Open(ModernPc(), 0);
  const auto& rows = s.run.app->FmChoose.DriveList.items();
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(trv::test::U8(rows[0][0]), "NVMe");

  // Identify Controller: VID/SSVID 144D, VER 0x00010300, NN 1, OACS 0x17 (Format
  // NVM bit 1, self-test bit 4), FNA 0x04 (crypto erase), SANICAP 0x3 (crypto,
  // block; no overwrite), ONCS 0x5F (DSM bit 2, Write Zeroes bit 3), VWC 1.
  // Namespace: 976,773,168 blocks of LBA format 0 = 2^9 bytes, no metadata.
  EXPECT_EQ(s.details, Join(Join(Header(kSamsung),
                            {"模型: Samsung SSD 970 EVO Plus 500GB", "固件版本: 2B2QEXM7", "序列号: S4EVNX0N612345K",
                             "PCI 供应商 ID: 144D", "PCI 子系统供应商 ID: 144D", "NVMe 版本: 1.3", " ",
                             "命名空间：", "命名空间大小: 976,773,168 块 (500,107,862,016 bytes)",
                             "命名空间容量: 976,773,168 块 (500,107,862,016 bytes)",
                             "LBA 格式 0: 数据 512 字节, 元数据 0 字节", "命名空间数量: 1", " ",
                             "特征：", "易失性写缓存 支持", "Format NVM 支持", "安全擦除 (用户数据) 支持",
                             "安全擦除 (加密) 支持", "Sanitize 块擦除 支持", "Sanitize 加密擦除 支持",
                             "Sanitize 覆盖 不支持", "Write Zeroes 支持", "数据集管理 (释放) 支持", "设备自检 支持"}),
                            Join(EraseSection(true, "0x04", false, false, true, "0x00000003", true, true, false),
                                 kSystemDiskPurge)));

  // 311 K = 38 °C; 23,456,789 units x 512,000 = 12,009,875,968,000 bytes, cut to
  // 12 TB; 19,876,543 units = 10,176,790,016,000 bytes = 10.17 TB. Four-digit
  // counters are grouped as the longer ones are. Nothing to warn of: good.
  const Health h = HealthOf(ModernPc(), 0);
  EXPECT_TRUE(h.shown);
  EXPECT_EQ(h.lines, (Report{" 项目" + S(12) + "值", std::string(60, '-'),
                             " 严重警告" + S(10) + "0x00 (无)",
                             " 综合温度" + S(10) + "38 °C",
                             " 可用备用空间" + S(8) + "100 %",
                             " 可用备用阈值" + S(8) + "10 %",
                             " 已用寿命" + S(10) + "2 %",
                             " 读取数据量" + S(9) + "23,456,789 单位 (12 TB)",
                             " 写入数据量" + S(9) + "19,876,543 单位 (10.17 TB)",
                             " 主机读命令" + S(9) + "412,345,678",
                             " 主机写命令" + S(9) + "398,765,432",
                             " 控制器忙碌时间" + S(7) + "1,234 分钟",
                             " 电源周期" + S(10) + "1,456",
                             " 通电时间" + S(10) + "3,210 小时",
                             " 不安全关机" + S(9) + "57",
                             " 介质和数据完整性错误" + S(4) + "0",
                             " 错误日志条目" + S(8) + "2,048",
                             " 警告温度时间" + S(8) + "0 分钟",
                             " 严重温度时间" + S(8) + "0 分钟",
                             " ", "健康评估: 良好", " "}));
}

// --- raw blocks: the fields at their byte offsets, and the edges of each -----------

TEST(NvmeReport, RawBlocksDecodedFieldByField) {
  Block controller(4096);
  controller.Le(0, 0x1C5C, 2).Le(2, 0x1D79, 2).Text(4, 20, "SJ0AN1234567").Text(24, 40, "HFS512GD9TNG-L3A0B")
      .Text(64, 8, "11410C10").Le(80, 0x00010401, 4)  // 1.4.1
      .Le(256, 0x0002, 2)                            // Format NVM only: no self-test
      .Le(328, 0x4, 4)                               // Sanitize: overwrite only
      .Le(516, 3, 4).Le(520, 0x0008, 2)              // three namespaces; Write Zeroes, no DSM
      .Le(524, 0x00, 1).Le(525, 0x00, 1);            // no crypto erase on format, no write cache
  Block ns(4096);
  // 2^40 + 5 blocks; capacity 1,000,000; two formats (NLBAF 1); FLBAS 0x11: format 1
  // with metadata at the end of each block (bit 4, not part of the index).
  ns.Le(0, (1ull << 40) + 5, 8).Le(8, 1000000, 8).Le(25, 1, 1).Le(26, 0x11, 1)
      .Le(128, 9u << 16, 4).Le(132, (12u << 16) | 8, 4);  // 512 + 0; 4096 + 8
  Block log(512);
  log.Le(0, 0x0A, 1).Le(1, 0, 2).Le(3, 5, 1).Le(4, 10, 1).Le(5, 255, 1)
      .Le(32, 0, 8).Le(40, 1, 8)                                // read: exactly 2^64 units
      .Le(48, 18014398509481ull, 8)                             // written: the largest whose bytes fit 63 bits
      .Le(64, ~0ull, 8).Le(72, ~0ull, 8)                        // host reads: 2^128 - 1
      .Le(96, 59, 8).Le(112, 1234, 8).Le(128, 12345, 8).Le(160, 1, 8).Le(176, 99999, 8)
      .Le(192, 0xFFFFFFFF, 4).Le(196, 7, 4);
  auto pc = ModernPc([&](json& j) {
    j["drives"][0]["nvme"] = {{"identifyController", controller.Hex()},
                              {"identifyNamespace", ns.Hex()},
                              {"healthLog", log.Hex()}};
  });

  auto s = Open(pc, 0);
  // 2^52 + 5 x 4096 = 4,503,599,627,390,976 bytes; 1,000,000 x 4096 = 4,096,000,000.
  EXPECT_EQ(s.details, Join(Join(Join(Header(kSamsung),
                            {"模型: HFS512GD9TNG-L3A0B", "固件版本: 11410C10", "序列号: SJ0AN1234567",
                             "PCI 供应商 ID: 1C5C", "PCI 子系统供应商 ID: 1D79", "NVMe 版本: 1.4.1", " ",
                             "命名空间：", "命名空间大小: 1,099,511,627,781 块 (4,503,599,627,390,976 bytes)",
                             "命名空间容量: 1,000,000 块 (4,096,000,000 bytes)",
                             "LBA 格式 1: 数据 4096 字节, 元数据 8 字节", "命名空间数量: 3", " ",
                             "特征：", "易失性写缓存 不支持", "Format NVM 支持", "安全擦除 (用户数据) 支持",
                             "安全擦除 (加密) 不支持", "Sanitize 块擦除 不支持", "Sanitize 加密擦除 不支持",
                             "Sanitize 覆盖 支持", "Write Zeroes 支持", "数据集管理 (释放) 不支持", "设备自检 不支持"}),
                            Join(EraseSection(true, "0x00", false, false, false, "0x00000004", false, false, true),
                                 // The namespace states far more than Windows shows: the erase cannot reach it.
                                 {" ", "Windows 显示的容量: 500,107,862,016 bytes",
                                  "设备报告的容量比 Windows 显示的多 4,503,099,519,528,960 bytes：擦除无法写到最后这一部分。"})),
                            kSystemDiskPurge));

  // Written: 18,014,398,509,481 x 512,000 = 9,223,372,036,854,272,000 bytes, cut
  // to 9223.37 PB; read: 2^64 units x 512,000 = 9,444,732,965,739,290,427,392,000
  // bytes, 9444.73 ZB. A composite temperature of 0 K is no temperature.
  const Health h = HealthOf(pc, 0);
  EXPECT_EQ(h.lines, (Report{" 项目" + S(12) + "值", std::string(60, '-'),
                             " 严重警告" + S(10) + "0x0A", "   - 温度高于过热阈值或低于过冷阈值",
                             "   - 介质已置为只读",
                             " 综合温度" + S(10) + "0 K (不可信的值)",
                             " 可用备用空间" + S(8) + "5 %",
                             " 可用备用阈值" + S(8) + "10 %",
                             " 已用寿命" + S(10) + "255 %",
                             " 读取数据量" + S(9) + "18,446,744,073,709,551,616 单位 (9444.73 ZB)",
                             " 写入数据量" + S(9) + "18,014,398,509,481 单位 (9223.37 PB)",
                             " 主机读命令" + S(9) + "340,282,366,920,938,463,463,374,607,431,768,211,455",
                             " 主机写命令" + S(9) + "0",
                             " 控制器忙碌时间" + S(7) + "59 分钟",
                             " 电源周期" + S(10) + "1,234",
                             " 通电时间" + S(10) + "12,345 小时",
                             " 不安全关机" + S(9) + "0",
                             " 介质和数据完整性错误" + S(4) + "1",
                             " 错误日志条目" + S(8) + "99,999",
                             " 警告温度时间" + S(8) + "4,294,967,295 分钟",
                             " 严重温度时间" + S(8) + "7 分钟",
                             " ",
                             "健康评估: 故障",
                             "  - 严重警告: 温度高于过热阈值或低于过冷阈值",
                             "  - 严重警告: 介质已置为只读",
                             "  - 可用备用空间 5 % 低于阈值 10 %",
                             "  - 已用寿命 255 %：已达到或超过额定耐久",
                             "  - 介质和数据完整性错误: 1",
                             "建议: 立即将重要数据复制到其他磁盘，并更换此磁盘",
                             " "}));
}

TEST(NvmeReport, FormatsThatCannotBeMultipliedOutShowNoBytes) {
  // FLBAS names format 2, but NLBAF says only formats 0 and 1 exist; then a
  // described format whose data size is 2^8, below any usable size.
  for (auto [flbas, lbaf0] : {std::pair{0x02u, 9u << 16}, std::pair{0x00u, 8u << 16}}) {
    Block ns(4096);
    ns.Le(0, 1000, 8).Le(8, 1000, 8).Le(25, 1, 1).Le(26, flbas, 1).Le(128, lbaf0, 4).Le(132, 9u << 16, 4);
    auto pc = ModernPc([&](json& j) { j["drives"][0]["nvme"]["identifyNamespace"] = ns.Hex(); });
    const Report d = Open(pc, 0).details;
    ASSERT_GE(d.size(), 17u);
    EXPECT_EQ(Report(d.begin() + 13, d.begin() + 16),
              (Report{"命名空间大小: 1,000 块", "命名空间容量: 1,000 块", "LBA 格式 " + std::to_string(flbas) + ": 未知"}));
  }
}

TEST(NvmeReport, WithoutTheNamespaceBlockTheControllerLinesStay) {
  auto pc = ModernPc([](json& j) { j["drives"][0]["nvme"].erase("identifyNamespace"); });
  const Report d = Open(pc, 0).details;
  ASSERT_GE(d.size(), 16u);
  EXPECT_EQ(d[5], "模型: Samsung SSD 970 EVO Plus 500GB");
  EXPECT_EQ(Report(d.begin() + 12, d.begin() + 15), (Report{"命名空间：", "命名空间信息不可用。", "命名空间数量: 1"}));
}

// --- where the queries do not work --------------------------------------------------

TEST(NvmeReport, OnWindows7TheDiskKeepsTodaysLines) {
  // The same disk under Windows 7 SP1: the protocol-specific properties are unknown.
  auto pc = ModernPc([](json& j) { j["os"] = {{"major", 6}, {"minor", 1}, {"build", 7601}, {"csd", "Service Pack 1"}}; });
  auto s = Open(pc, 0);
  EXPECT_EQ(trv::test::U8(s.run.app->FmChoose.DriveList.items()[0][0]), "NVMe");
  EXPECT_EQ(s.details, Join(Join(Header(kSamsung), {"详细信息不可用于此设备。"}),
                            PurgeNone("needs Windows 10 1607 or later")));
  EXPECT_FALSE(HealthOf(pc, 0).shown);
}

TEST(NvmeReport, AnswersThatLieAboutTheirDataAreRefused) {
  // The descriptor with its data starts 48 bytes in; each lie points the read
  // outside the 4,144 bytes (560 for the log) the driver answered.
  const json lies[] = {
      {{"bytes", 559}},             // one byte short of the log, far short of the identify data
      {{"bytes", 47}},              // not even the descriptor
      {{"dataOffset", 39}},         // inside the protocol record itself
      {{"dataOffset", 41}},         // data would end one byte past the answer
      {{"dataOffset", 4294967295}}, // wraps a 32-bit sum
      {{"dataLength", 511}},        // fewer bytes than one block
  };
  for (const auto& lie : lies) {
    auto pc = ModernPc([&](json& j) { j["drives"][0]["nvme"]["answer"] = lie; });
    EXPECT_EQ(Open(pc, 0).details, Join(Join(Header(kSamsung), {"详细信息不可用于此设备。"}), kSystemDiskPurge))
        << lie.dump();
    EXPECT_FALSE(HealthOf(pc, 0).shown) << lie.dump();
  }
  auto failing = ModernPc([](json& j) { j["drives"][0]["fail"] = {{"protocolQuery", 1117}}; });
  EXPECT_FALSE(HealthOf(failing, 0).shown);
}

TEST(NvmeReport, FnaLinesOnlyWhereFormatNvmIsOffered) {
  // OACS without bit 1: no Format NVM, so its attributes are not shown.
  const auto s = Open(ModernPc([](json& pc) { pc["drives"][0]["nvme"]["identifyController"]["oacs"] = 0x15; }), 0);
  const Report expected =
      Join(EraseSection(false, "", false, false, false, "0x00000003", true, true, false), kSystemDiskPurge);
  ASSERT_GE(s.details.size(), expected.size());
  EXPECT_EQ(Report(s.details.end() - static_cast<std::ptrdiff_t>(expected.size()), s.details.end()), expected);
}

// --- the S.M.A.R.T. button on the modern PC ----------------------------------------

namespace {
// The S.M.A.R.T. tab after one click on its button, without its five header lines.
Report SmartTab(const trv::sim::Scenario& pc, int row) {
  auto run = Play(pc, "select DriveList " + std::to_string(row) + "; click btContinue; tab 2; click btGetSmart");
  const Report lines = Lines(run.app->FmMain.Log_Smart);
  return lines.size() < 5 ? Report{} : Report(lines.begin() + 5, lines.end());
}
} // namespace

TEST(NvmeReport, TheButtonShowsTheHealthTableForNvmeAndTheAttributesThroughABridge) {
  // NVMe: the health log takes the attribute table's place.
  EXPECT_EQ(SmartTab(ModernPc(), 0), HealthOf(ModernPc(), 0).lines);

  // The bridged Seagate shows the table and the verdict the same drive shows on
  // SATA: the thresholds come through the bridge, and its own status through
  // SMART RETURN STATUS with the registers returned in the sense data.
  const Report bridged = SmartTab(ModernPc(), 2);
  auto sata = ModernPc([](json& pc) {
    pc["drives"][2].erase("sat");
    pc["drives"][2]["bus"] = 11;
    pc["drives"][2]["ata"] = {{"capture", trv::test::TestDataDir() + "/drives/ST9160821AS--3.CLH"}};
  });
  ASSERT_GT(bridged.size(), 3u);
  EXPECT_EQ(bridged, SmartTab(sata, 2));
  // A failing drive behind it says so; a bridge that passes no registers is a
  // limit of the bridge, said after the drive's own reasons and raising nothing.
  const auto section = [](const Report& r) { return Report(r.begin() + 25, r.end()); };
  EXPECT_EQ(section(SmartTab(ModernPc([](json& pc) { pc["drives"][2]["sat"]["status"] = "failing"; }), 2)),
            (Report{"健康评估: 故障", "  - 驱动器报告自身即将发生故障 (SMART RETURN STATUS)",
                    "  - 等待重新分配的扇区 (C5h): 1", "  - 脱机无法校正的扇区 (C6h): 1",
                    "  备注: 属性 BEh Airflow 温度：阈值 45，最差值 44：寿命属性曾经达到阈值，现已恢复，不影响评估",
                    "建议: 立即将重要数据复制到其他磁盘，并更换此磁盘", " "}));
  EXPECT_EQ(section(SmartTab(ModernPc([](json& pc) { pc["drives"][2]["sat"]["registers"] = false; }), 2)),
            (Report{"健康评估: 警告", "  - 等待重新分配的扇区 (C5h): 1", "  - 脱机无法校正的扇区 (C6h): 1",
                    "  - 此 USB 桥接器不传回驱动器的状态寄存器：无法得知驱动器自身的健康状态 (这是桥接器的限制，不是磁盘的故障)",
                    "  备注: 属性 BEh Airflow 温度：阈值 45，最差值 44：寿命属性曾经达到阈值，现已恢复，不影响评估",
                    "建议: 备份重要数据，并尽快再次查看；留意 等待重新分配的扇区 (C5h)、脱机无法校正的扇区 (C6h)", " "}));

  // The plain stick keeps its line.
  EXPECT_EQ(SmartTab(ModernPc(), 3), (Report{"SMART is not supported by this device."}));
}
