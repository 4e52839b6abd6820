#include "report/smart_names.h"

#include <array>

namespace trv::report {

namespace {

struct NamedAttribute {
  std::uint8_t id;
  const char16_t* name;
  int trailingBlanks;  // part of the stored name; nothing trims them
  const char16_t* english;  // padded to the column's 26 characters
};

// Ids 192 and 228 share a name, and so do 222 and 226.
constexpr std::array<NamedAttribute, 54> kNames = {{
    {1, u"读取错误速率", 11, u"Raw Read Error Rate"},
    {2, u"吞吐量性能", 4, u"Throughput Performance"},
    {3, u"旋转时间", 14, u"Spin-Up Time"},
    {4, u"启动的次数", 3, u"Start/Stop Count"},
    {5, u"重新分配扇区数", 0, u"Reallocated Sectors Count"},
    {6, u"读取通道缘", 7, u"Read Channel Margin"},
    {7, u"寻址错误率", 11, u"Seek Error Rate"},
    {8, u"寻址性能", 10, u"Seek Time Performance"},
    {9, u"开机时间", 13, u"Power-On Hours"},
    {10, u"加速旋转重试次数", 10, u"Spin Retry Count"},
    {11, u"校准重试次数", 7, u"Calibration Retry Count"},
    {12, u"电源周期", 14, u"Power Cycle Count"},
    {13, u"软读取错误率", 6, u"Soft Read Error Rate"},
    {99, u"平均 FHC (所有磁头)", 3, u"Average FHC (all heads)"},
    {100, u"最小值 FHC", 15, u"Minimum FHC"},
    {101, u"最大值 FHC", 15, u"Maximum FHC"},
    {184, u"端到端错误", 10, u"End-to-End Error"},
    {187, u"报告无法纠正", 4, u"Reported Uncorrectable"},
    {188, u"命令超时", 10, u"Command Timeout"},
    {189, u"高级 Fly 写入", 11, u"High Fly Writes"},
    {190, u"Airflow 温度", 7, u"Airflow Temperature"},
    {192, u"关闭电源缩回计数", 3, u"Power-Off Retract Count"},
    {193, u"加载/卸载周期计数", 3, u"Load/Unload Cycle Count"},
    {194, u"HDA 温度", 11, u"HDA Temperature"},
    {195, u"硬件 ECC 恢复", 4, u"Hardware ECC Recovered"},
    {196, u"重新分配事件计数", 4, u"Reallocation Event Count"},
    {197, u"当前挂起的扇区", 3, u"Current Pending Sectors"},
    {198, u"脱机扫描 UNC 扇区", 2, u"Offline Uncorrectable"},
    {199, u"极端 ATA CRC 错误率", 2, u"UltraDMA CRC Error Count"},
    {200, u"写入速率预置误差率", 0, u"Write Error Rate"},
    {201, u"关闭跟踪读取错误", 5, u"Off-Track Read Errors"},
    {202, u"DAM 读取错误", 11, u"Data Address Mark Errors"},
    {203, u"ECC 读取错误", 10, u"ECC Read Errors"},
    {204, u"软 ECC 更正", 6, u"Soft ECC Correction"},
    {205, u"热标本", 9, u"Thermal Asperity Rate"},
    {207, u"高电流加速旋转", 6, u"Spin High Current"},
    {208, u"自旋 Buzz", 17, u"Spin Buzz"},
    {209, u"离线寻求性能", 1, u"Offline Seek Performance"},
    {210, u"写入时振动", 4, u"Vibration During Write"},
    {211, u"读取过程中的振动", 5, u"Vibration During Read"},
    {212, u"写入冲击过程中", 8, u"Shock During Write"},
    {220, u"磁盘转换", 16, u"Disk Shift"},
    {221, u"G 传感器休克定时", 4, u"G-Sense Error Rate"},
    {222, u"加载的时间", 14, u"Loaded Hours"},
    {223, u"加载重试计数", 10, u"Load Retry Count"},
    {224, u"加载摩擦", 13, u"Load Friction"},
    {225, u"加载周期计数", 10, u"Load Cycle Count"},
    {226, u"加载的时间", 14, u"Load-In Time"},
    {227, u"扭矩放大", 6, u"Torque Amplification"},
    {228, u"关闭电源缩回计数", 3, u"Power-Off Retract Count"},
    {229, u"Fly 高度测量", 4, u"Fly Height Measurement"},
    {230, u"GMR 磁头振幅", 8, u"GMR Head Amplitude"},
    {232, u"保留的可用空间", 2, u"Available Reserved Space"},
    {233, u"Media Wearout 指示器", 3, u"Media Wearout Indicator"},
}};

constexpr std::size_t kNameColumn = 26;

} // namespace

std::u16string GetSmartAttributeName(std::uint8_t id, Language language) {
  for (const auto& a : kNames) {
    if (a.id != id) continue;
    if (language == Language::English) {
      std::u16string name = a.english;
      name.resize(kNameColumn, u' ');
      return name;
    }
    return std::u16string(a.name) + std::u16string(static_cast<std::size_t>(a.trailingBlanks), u' ');
  }
  std::u16string unknown = u"Unknown";
  unknown.resize(kNameColumn, u' ');
  return unknown;
}

} // namespace trv::report
