#include "report/smart_names.h"

#include <array>

namespace trv::report {

namespace {

struct NamedAttribute {
  std::uint8_t id;
  const char16_t* name;
  int trailingBlanks;  // part of the stored name; nothing trims them
};

// Ids 192 and 228 share a name, and so do 222 and 226.
constexpr std::array<NamedAttribute, 54> kNames = {{
    {1, u"读取错误速率", 11},
    {2, u"吞吐量性能", 4},
    {3, u"旋转时间", 14},
    {4, u"启动的次数", 3},
    {5, u"重新分配扇区数", 0},
    {6, u"读取通道缘", 7},
    {7, u"寻址错误率", 11},
    {8, u"寻址性能", 10},
    {9, u"开机时间", 13},
    {10, u"加速旋转重试次数", 10},
    {11, u"校准重试次数", 7},
    {12, u"电源周期", 14},
    {13, u"软读取错误率", 6},
    {99, u"平均 FHC (所有磁头)", 3},
    {100, u"最小值 FHC", 15},
    {101, u"最大值 FHC", 15},
    {184, u"端到端错误", 10},
    {187, u"报告无法纠正", 4},
    {188, u"命令超时", 10},
    {189, u"高级 Fly 写入", 11},
    {190, u"Airflow 温度", 7},
    {192, u"关闭电源缩回计数", 3},
    {193, u"加载/卸载周期计数", 3},
    {194, u"HDA 温度", 11},
    {195, u"硬件 ECC 恢复", 4},
    {196, u"重新分配事件计数", 4},
    {197, u"当前挂起的扇区", 3},
    {198, u"脱机扫描 UNC 扇区", 2},
    {199, u"极端 ATA CRC 错误率", 2},
    {200, u"写入速率预置误差率", 0},
    {201, u"关闭跟踪读取错误", 5},
    {202, u"DAM 读取错误", 11},
    {203, u"ECC 读取错误", 10},
    {204, u"软 ECC 更正", 6},
    {205, u"热标本", 9},
    {207, u"高电流加速旋转", 6},
    {208, u"自旋 Buzz", 17},
    {209, u"离线寻求性能", 1},
    {210, u"写入时振动", 4},
    {211, u"读取过程中的振动", 5},
    {212, u"写入冲击过程中", 8},
    {220, u"磁盘转换", 16},
    {221, u"G 传感器休克定时", 4},
    {222, u"加载的时间", 14},
    {223, u"加载重试计数", 10},
    {224, u"加载摩擦", 13},
    {225, u"加载周期计数", 10},
    {226, u"加载的时间", 14},
    {227, u"扭矩放大", 6},
    {228, u"关闭电源缩回计数", 3},
    {229, u"Fly 高度测量", 4},
    {230, u"GMR 磁头振幅", 8},
    {232, u"保留的可用空间", 2},
    {233, u"Media Wearout 指示器", 3},
}};

constexpr std::size_t kNameColumn = 26;

} // namespace

std::u16string GetSmartAttributeName(std::uint8_t id) {
  for (const auto& a : kNames)
    if (a.id == id) return std::u16string(a.name) + std::u16string(static_cast<std::size_t>(a.trailingBlanks), u' ');
  std::u16string unknown = u"Unknown";
  unknown.resize(kNameColumn, u' ');
  return unknown;
}

} // namespace trv::report
