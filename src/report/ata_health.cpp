#include "report/ata_health.h"

#include <numeric>

#include "platform/records.h"
#include "platform/text.h"
#include "report/counter_text.h"
#include "report/smart_names.h"
#include "report/smart_table.h"

namespace trv::report {

namespace {

constexpr std::size_t kFirstEntry = 2, kEntrySize = 12, kEntries = 30;
constexpr std::uint8_t kReallocated = 0x05, kPending = 0xC5, kOfflineUncorrectable = 0xC6;

bool UsableValue(std::uint8_t v) { return v >= 1 && v <= 253; }

// "属性 05h 重新分配扇区数" with the name's stored blanks taken off.
std::u16string AttributeName(std::uint8_t id) {
  std::u16string name = GetSmartAttributeName(id);
  while (!name.empty() && name.back() == u' ') name.pop_back();
  return u"属性 " + Hex2(id) + u"h " + name;
}

std::optional<std::uint8_t> ThresholdOf(const device::AtaBlock& thresholds, std::uint8_t id) {
  for (std::size_t k = 0; k < kEntries; ++k) {
    const std::size_t at = kFirstEntry + k * kEntrySize;
    if (thresholds[at] == id) return thresholds[at + 1];
  }
  return std::nullopt;
}

void CheckThresholds(const device::AtaBlock& data, const device::AtaBlock& thresholds, HealthResult& r) {
  for (std::size_t k = 0; k < kEntries; ++k) {
    const std::size_t at = kFirstEntry + k * kEntrySize;
    const std::uint8_t id = data[at];
    if (id == 0) break;  // the table ends here, as the report's table does
    const auto threshold = ThresholdOf(thresholds, id);
    // 0 never fails; 254 and 255 are not thresholds a value can be compared with.
    if (!threshold || !UsableValue(*threshold)) continue;
    AttributeCheck c;
    c.id = id;
    c.prefailure = (data[at + 1] & 1) != 0;
    c.current = data[at + 3];
    c.worst = data[at + 4];
    c.threshold = *threshold;
    c.failingNow = UsableValue(c.current) && c.current <= c.threshold;
    c.failedInPast = UsableValue(c.worst) && c.worst <= c.threshold;
    const std::u16string values = u"：阈值 " + DecimalText(std::uint32_t{c.threshold});
    if (c.failingNow) {
      Raise(r, c.prefailure ? Verdict::Failing : Verdict::Caution);
      r.reasons.push_back(AttributeName(id) + values + u"，当前值 " + DecimalText(std::uint32_t{c.current}) +
                          (c.prefailure ? u"：预失效属性现已达到阈值" : u"：寿命属性现已达到阈值"));
    } else if (c.failedInPast) {
      Raise(r, Verdict::Caution);
      r.reasons.push_back(AttributeName(id) + values + u"，最差值 " + DecimalText(std::uint32_t{c.worst}) +
                          u"：曾经达到阈值");
    }
    r.attributes.push_back(c);
  }
}

// Reallocated, pending and offline-uncorrectable sectors. The count is the low
// 32 bits of the raw value: some drives keep other numbers in the top bytes.
void CheckSectors(const device::AtaBlock& data, HealthResult& r) {
  struct Kind {
    std::uint8_t id;
    const char16_t* text;
  };
  static constexpr Kind kinds[] = {{kReallocated, u"已重新分配的扇区 (05h): "},
                                   {kPending, u"等待重新分配的扇区 (C5h): "},
                                   {kOfflineUncorrectable, u"脱机无法校正的扇区 (C6h): "}};
  for (const Kind& kind : kinds) {
    for (std::size_t k = 0; k < kEntries; ++k) {
      const std::size_t at = kFirstEntry + k * kEntrySize;
      if (data[at] == 0) break;
      if (data[at] != kind.id) continue;
      const std::uint64_t count = rec::GetLE(data, at + 5, 4);
      if (count > 0) {
        Raise(r, Verdict::Caution);
        r.reasons.push_back(kind.text + CounterThousands({count, 0}));
      }
      break;
    }
  }
}

} // namespace

bool BlockChecksumOk(const device::AtaBlock& block) {
  return static_cast<std::uint8_t>(std::accumulate(block.begin(), block.end(), 0u)) == 0;
}

HealthResult JudgeAtaHealth(const AtaHealthInput& in) {
  HealthResult r;
  switch (in.status) {
    case device::SmartStatus::Failing:
      Raise(r, Verdict::Failing);
      r.reasons.push_back(u"驱动器报告自身即将发生故障 (SMART RETURN STATUS)");
      break;
    case device::SmartStatus::Unknown:
      r.reasons.push_back(u"驱动器自身的健康状态未知：驱动程序未返回状态寄存器");
      break;
    case device::SmartStatus::NotRead:
      r.reasons.push_back(u"未能读取驱动器自身的健康状态 (SMART RETURN STATUS)");
      break;
    case device::SmartStatus::Good: break;
  }
  if (!BlockChecksumOk(in.data)) {
    // A block that does not add up cannot be vouched for: no rule reads it.
    Raise(r, Verdict::Caution);
    r.reasons.push_back(u"属性数据块校验和错误：属性值不可信，未用于评估");
    return r;
  }
  if (!in.thresholds) {
    r.reasons.push_back(u"未能读取属性阈值：未与阈值比较");
  } else if (!BlockChecksumOk(*in.thresholds)) {
    Raise(r, Verdict::Caution);
    r.reasons.push_back(u"阈值数据块校验和错误：阈值不可信，未与阈值比较");
  } else {
    CheckThresholds(in.data, *in.thresholds, r);
  }
  CheckSectors(in.data, r);
  return r;
}

std::u16string VerdictText(Verdict v) {
  switch (v) {
    case Verdict::Good: return u"良好";
    case Verdict::Caution: return u"警告";
    case Verdict::Failing: return u"故障";
  }
  return {};
}

const char* VerdictWord(Verdict v) {
  switch (v) {
    case Verdict::Good: return "good";
    case Verdict::Caution: return "caution";
    case Verdict::Failing: return "failing";
  }
  return "";
}

std::vector<std::u16string> HealthLines(const HealthResult& result) {
  std::vector<std::u16string> lines = {u"健康评估: " + VerdictText(result.verdict)};
  for (const auto& reason : result.reasons) lines.push_back(u"  - " + reason);
  lines.push_back(u" ");
  return lines;
}

} // namespace trv::report
