#include "report/nvme_health_report.h"


#include "device/nvme.h"
#include "platform/text.h"
#include "report/counter_text.h"
#include "report/number_text.h"
#include "report/nvme_verdict.h"

namespace trv::report {

namespace {

constexpr std::size_t kNameWidth = 12;
constexpr std::size_t kRuleWidth = 60;
constexpr std::uint32_t kDataUnitBytes = 512000;  // one data unit: 1,000 blocks of 512 bytes
constexpr int kKelvinAtZeroCelsius = 273;
constexpr int kHighestPlausibleKelvin = 400;  // 127 °C; a drive past it is not reporting a temperature

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

// Units of 512,000 bytes, with the byte amount as a capacity wherever the
// product fits 128 bits.
std::u16string DataUnits(const device::Counter128& units, char16_t sep) {
  std::u16string text = CounterThousands(units) + u" 单位";
  device::Counter128 bytes;
  if (MultiplyCounter(units, kDataUnitBytes, bytes)) text += u" (" + CounterCapacity(bytes, sep) + u")";
  return text;
}

// Kelvin as degrees Celsius; 0 K and anything above 400 K is no temperature a
// drive can have, so it is shown as it came and flagged.
std::u16string Temperature(std::uint16_t kelvin) {
  if (kelvin == 0 || kelvin > kHighestPlausibleKelvin)
    return DecimalText(std::uint32_t{kelvin}) + u" K (不可信的值)";
  return DecimalText(std::int64_t{kelvin} - kKelvinAtZeroCelsius) + u" °C";
}

} // namespace

std::vector<std::u16string> NvmeHealthLines(const device::NvmeHealth& h, char16_t sep) {
  std::vector<std::u16string> out;
  out.push_back(Row(u"项目", u"值"));
  out.push_back(std::u16string(kRuleWidth, u'-'));
  out.push_back(Row(u"严重警告", HexByte(h.criticalWarning) + (h.criticalWarning == 0 ? u" (无)" : u"")));
  for (int bit = 0; bit < 8; ++bit)
    if ((h.criticalWarning >> bit) & 1) out.push_back(u"   - " + NvmeWarningName(bit));
  if (h.enduranceGroupWarning != 0) {
    out.push_back(Row(u"耐久组严重警告", HexByte(h.enduranceGroupWarning)));
    for (int bit = 0; bit < 8; ++bit)
      if ((h.enduranceGroupWarning >> bit) & 1) out.push_back(u"   - " + EnduranceWarningName(bit));
  }
  out.push_back(Row(u"综合温度", Temperature(h.temperatureKelvin)));
  for (std::size_t i = 0; i < h.sensorKelvin.size(); ++i) {
    if (h.sensorKelvin[i] == 0) continue;  // sensor not reported
    const std::u16string name = u"温度传感器 " + DecimalText(static_cast<std::uint32_t>(i + 1));
    out.push_back(Row(name.c_str(), Temperature(h.sensorKelvin[i])));
  }
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

bool AppendNvmeHealth(win::Platform& platform, win::Handle handle, LineSink& logSmart, char16_t decimalSeparator,
                      std::optional<SmartHealth>* health) {
  device::NvmeLogBlock block{};
  if (!device::ReadNvmeHealthLog(platform, handle, block)) return false;
  const device::NvmeHealth parsed = device::ParseNvmeHealth(block);
  for (auto& line : NvmeHealthLines(parsed, decimalSeparator)) AddToSmartLog(logSmart, std::move(line));
  const HealthResult verdict = JudgeNvmeHealth(parsed);
  for (auto& line : HealthLines(verdict)) AddToSmartLog(logSmart, std::move(line));
  if (health) *health = SmartHealth{verdict, false, device::SmartStatus::NotRead, true, {}, std::nullopt, parsed};
  return true;
}

} // namespace trv::report
