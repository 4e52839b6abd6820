#include "report/nvme_health_report.h"


#include "device/nvme.h"
#include "platform/text.h"
#include "report/counter_text.h"
#include "report/number_text.h"
#include "report/nvme_verdict.h"

namespace trv::report {

namespace {

constexpr std::size_t kNameWidth = 12;
constexpr std::size_t kEnglishNameWidth = 32;  // "Endurance group critical warning"
constexpr std::size_t kRuleWidth = 60;
constexpr std::uint32_t kDataUnitBytes = 512000;  // one data unit: 1,000 blocks of 512 bytes
constexpr int kKelvinAtZeroCelsius = 273;
constexpr int kHighestPlausibleKelvin = 400;  // 127 °C; a drive past it is not reporting a temperature

std::u16string Row(Language l, const char16_t* name, const std::u16string& value) {
  std::u16string line = u" ";
  line += name;
  const std::size_t width = l == Language::English ? kEnglishNameWidth : kNameWidth;
  while (line.size() < width + 1) line.push_back(u' ');
  return line + u"  " + value;
}

std::u16string HexByte(std::uint8_t v) {
  static const char16_t digits[] = u"0123456789ABCDEF";
  return std::u16string(u"0x") + digits[v >> 4] + digits[v & 15];
}

// Units of 512,000 bytes, with the byte amount as a capacity wherever the
// product fits 128 bits.
std::u16string DataUnits(const device::Counter128& units, char16_t sep, Language l) {
  std::u16string text = CounterThousands(units) + Say(l, u" 单位", u" units");
  device::Counter128 bytes;
  if (MultiplyCounter(units, kDataUnitBytes, bytes)) text += u" (" + CounterCapacity(bytes, sep) + u")";
  return text;
}

// Kelvin as degrees Celsius; 0 K and anything above 400 K is no temperature a
// drive can have, so it is shown as it came and flagged.
std::u16string Temperature(std::uint16_t kelvin, Language l) {
  if (kelvin == 0 || kelvin > kHighestPlausibleKelvin)
    return DecimalText(std::uint32_t{kelvin}) + Say(l, u" K (不可信的值)", u" K (not a plausible value)");
  return DecimalText(std::int64_t{kelvin} - kKelvinAtZeroCelsius) + u" °C";
}

} // namespace

std::vector<std::u16string> NvmeHealthLines(const device::NvmeHealth& h, char16_t sep, Language l) {
  std::vector<std::u16string> out;
  out.push_back(Row(l, Say(l, u"项目", u"Item"), Say(l, u"值", u"Value")));
  out.push_back(std::u16string(kRuleWidth, u'-'));
  out.push_back(Row(l, Say(l, u"严重警告", u"Critical warning"),
                    HexByte(h.criticalWarning) + (h.criticalWarning == 0 ? Say(l, u" (无)", u" (none)") : u"")));
  for (int bit = 0; bit < 8; ++bit)
    if ((h.criticalWarning >> bit) & 1) out.push_back(u"   - " + NvmeWarningName(bit, l));
  if (h.enduranceGroupWarning != 0) {
    out.push_back(Row(l, Say(l, u"耐久组严重警告", u"Endurance group critical warning"), HexByte(h.enduranceGroupWarning)));
    for (int bit = 0; bit < 8; ++bit)
      if ((h.enduranceGroupWarning >> bit) & 1) out.push_back(u"   - " + EnduranceWarningName(bit, l));
  }
  out.push_back(Row(l, Say(l, u"综合温度", u"Composite temperature"), Temperature(h.temperatureKelvin, l)));
  for (std::size_t i = 0; i < h.sensorKelvin.size(); ++i) {
    if (h.sensorKelvin[i] == 0) continue;  // sensor not reported
    const std::u16string name = Say(l, u"温度传感器 ", u"Temperature sensor ") + DecimalText(static_cast<std::uint32_t>(i + 1));
    out.push_back(Row(l, name.c_str(), Temperature(h.sensorKelvin[i], l)));
  }
  out.push_back(Row(l, Say(l, u"可用备用空间", u"Available spare"), DecimalText(std::uint32_t{h.availableSpare}) + u" %"));
  out.push_back(Row(l, Say(l, u"可用备用阈值", u"Available spare threshold"), DecimalText(std::uint32_t{h.spareThreshold}) + u" %"));
  out.push_back(Row(l, Say(l, u"已用寿命", u"Percentage used"), DecimalText(std::uint32_t{h.percentageUsed}) + u" %"));
  out.push_back(Row(l, Say(l, u"读取数据量", u"Data units read"), DataUnits(h.dataUnitsRead, sep, l)));
  out.push_back(Row(l, Say(l, u"写入数据量", u"Data units written"), DataUnits(h.dataUnitsWritten, sep, l)));
  out.push_back(Row(l, Say(l, u"主机读命令", u"Host read commands"), CounterThousands(h.hostReadCommands)));
  out.push_back(Row(l, Say(l, u"主机写命令", u"Host write commands"), CounterThousands(h.hostWriteCommands)));
  out.push_back(Row(l, Say(l, u"控制器忙碌时间", u"Controller busy time"),
                    CounterThousands(h.controllerBusyMinutes) + Say(l, u" 分钟", u" minutes")));
  out.push_back(Row(l, Say(l, u"电源周期", u"Power cycles"), CounterThousands(h.powerCycles)));
  out.push_back(Row(l, Say(l, u"通电时间", u"Power-on hours"), CounterThousands(h.powerOnHours) + Say(l, u" 小时", u" hours")));
  out.push_back(Row(l, Say(l, u"不安全关机", u"Unsafe shutdowns"), CounterThousands(h.unsafeShutdowns)));
  out.push_back(Row(l, Say(l, u"介质和数据完整性错误", u"Media and data integrity errors"), CounterThousands(h.mediaErrors)));
  out.push_back(Row(l, Say(l, u"错误日志条目", u"Error log entries"), CounterThousands(h.errorLogEntries)));
  out.push_back(Row(l, Say(l, u"警告温度时间", u"Warning temperature time"),
                    CounterThousands({h.warningTemperatureMinutes, 0}) + Say(l, u" 分钟", u" minutes")));
  out.push_back(Row(l, Say(l, u"严重温度时间", u"Critical temperature time"),
                    CounterThousands({h.criticalTemperatureMinutes, 0}) + Say(l, u" 分钟", u" minutes")));
  out.push_back(u" ");
  return out;
}

bool AppendNvmeHealth(win::Platform& platform, win::Handle handle, LineSink& logSmart, char16_t decimalSeparator,
                      std::optional<SmartHealth>* health, Language l) {
  device::NvmeLogBlock block{};
  if (!device::ReadNvmeHealthLog(platform, handle, block)) return false;
  const device::NvmeHealth parsed = device::ParseNvmeHealth(block);
  for (auto& line : NvmeHealthLines(parsed, decimalSeparator, l)) AddToSmartLog(logSmart, std::move(line));
  const HealthResult verdict = JudgeNvmeHealth(parsed, l);
  for (auto& line : HealthLines(verdict, l)) AddToSmartLog(logSmart, std::move(line));
  if (health) *health = SmartHealth{verdict, false, device::SmartStatus::NotRead, true, {}, std::nullopt, parsed};
  return true;
}

} // namespace trv::report
