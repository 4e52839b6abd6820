#include "report/nvme_health_report.h"

#include <limits>

#include "device/nvme.h"
#include "platform/text.h"
#include "report/counter_text.h"
#include "report/number_text.h"

namespace trv::report {

namespace {

constexpr std::size_t kNameWidth = 12;
constexpr std::size_t kRuleWidth = 60;
constexpr std::uint32_t kDataUnitBytes = 512000;  // one data unit: 1,000 blocks of 512 bytes
constexpr int kKelvinAtZeroCelsius = 273;

// Names of the critical warning bits 0 to 7; bits 6 and 7 are reserved.
constexpr const char16_t* kWarningBits[8] = {
    u"可用备用空间低于阈值", u"温度超出阈值", u"NVM 子系统可靠性下降", u"介质已置为只读",
    u"易失性存储备份设备故障", u"持久性存储区域只读", u"保留位 6", u"保留位 7"};

std::u16string Row(const char16_t* name, const std::u16string& value) {
  std::u16string line = u" ";
  line += name;
  while (line.size() < kNameWidth + 1) line.push_back(u' ');
  return line + u"  " + value;
}

std::u16string HexByte(std::uint8_t v) {
  static const char16_t digits[] = u"0123456789ABCDEF";
  return std::u16string(u"0x") + digits[v >> 4] + digits[v & 15];
}

// Units of 512,000 bytes, with the byte amount as a capacity where it fits the
// capacity text's 64-bit range (up to about 9.2 EB).
std::u16string DataUnits(const device::Counter128& units, char16_t sep) {
  std::u16string text = CounterThousands(units) + u" 单位";
  device::Counter128 bytes;
  if (MultiplyCounter(units, kDataUnitBytes, bytes) && bytes.high == 0 &&
      bytes.low <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
    text += u" (" + CapacityToStr(static_cast<std::int64_t>(bytes.low), sep) + u")";
  return text;
}

} // namespace

std::vector<std::u16string> NvmeHealthLines(const device::NvmeHealth& h, char16_t sep) {
  std::vector<std::u16string> out;
  out.push_back(Row(u"项目", u"值"));
  out.push_back(std::u16string(kRuleWidth, u'-'));
  out.push_back(Row(u"严重警告", HexByte(h.criticalWarning) + (h.criticalWarning == 0 ? u" (无)" : u"")));
  for (int bit = 0; bit < 8; ++bit)
    if ((h.criticalWarning >> bit) & 1) out.push_back(u"   - " + std::u16string(kWarningBits[bit]));
  out.push_back(Row(u"综合温度", h.temperatureKelvin == 0
                                     ? std::u16string(u"未报告")
                                     : DecimalText(std::int64_t{h.temperatureKelvin} - kKelvinAtZeroCelsius) + u" °C"));
  out.push_back(Row(u"可用备用空间", DecimalText(std::uint32_t{h.availableSpare}) + u" %"));
  out.push_back(Row(u"可用备用阈值", DecimalText(std::uint32_t{h.spareThreshold}) + u" %"));
  out.push_back(Row(u"已用寿命", DecimalText(std::uint32_t{h.percentageUsed}) + u" %"));
  out.push_back(Row(u"读取数据量", DataUnits(h.dataUnitsRead, sep)));
  out.push_back(Row(u"写入数据量", DataUnits(h.dataUnitsWritten, sep)));
  out.push_back(Row(u"主机读命令", CounterThousands(h.hostReadCommands)));
  out.push_back(Row(u"主机写命令", CounterThousands(h.hostWriteCommands)));
  out.push_back(Row(u"控制器忙碌时间", CounterThousands(h.controllerBusyMinutes) + u" 分钟"));
  out.push_back(Row(u"电源周期", CounterThousands(h.powerCycles)));
  out.push_back(Row(u"通电时间", CounterThousands(h.powerOnHours) + u" 小时"));
  out.push_back(Row(u"不安全关机", CounterThousands(h.unsafeShutdowns)));
  out.push_back(Row(u"介质和数据完整性错误", CounterThousands(h.mediaErrors)));
  out.push_back(Row(u"错误日志条目", CounterThousands(h.errorLogEntries)));
  out.push_back(Row(u"警告温度时间", CounterThousands({h.warningTemperatureMinutes, 0}) + u" 分钟"));
  out.push_back(Row(u"严重温度时间", CounterThousands({h.criticalTemperatureMinutes, 0}) + u" 分钟"));
  out.push_back(u" ");
  return out;
}

bool AppendNvmeHealth(win::Platform& platform, win::Handle handle, LineSink& logSmart, char16_t decimalSeparator) {
  device::NvmeLogBlock block{};
  if (!device::ReadNvmeHealthLog(platform, handle, block)) return false;
  for (auto& line : NvmeHealthLines(device::ParseNvmeHealth(block), decimalSeparator))
    AddToSmartLog(logSmart, std::move(line));
  return true;
}

} // namespace trv::report
