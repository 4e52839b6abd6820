#include "report/ata_health.h"

#include <numeric>

#include "platform/records.h"
#include "platform/text.h"
#include "report/counter_text.h"
#include "report/smart_attributes.h"
#include "report/smart_names.h"
#include "report/smart_table.h"

namespace trv::report {

namespace {

constexpr std::size_t kFirstEntry = 2, kEntrySize = 12, kEntries = 30;
constexpr std::uint8_t kReallocated = 0x05, kPending = 0xC5, kOfflineUncorrectable = 0xC6;

bool UsableValue(std::uint8_t v) { return v >= 1 && v <= 253; }

// "属性 05h 重新分配扇区数" with the name's stored blanks taken off.
std::u16string AttributeName(std::uint8_t id, Language l) {
  std::u16string name = GetSmartAttributeName(id, l);
  while (!name.empty() && name.back() == u' ') name.pop_back();
  return Say(l, u"属性 ", u"Attribute ") + Hex2(id) + u"h " + name;
}

void CheckThresholds(const device::AtaBlock& data, const device::AtaBlock& thresholds, Language l, HealthResult& r) {
  for (std::size_t k = 0; k < kEntries; ++k) {
    const std::size_t at = kFirstEntry + k * kEntrySize;
    const std::uint8_t id = data[at];
    if (id == 0) continue;  // an unused entry; later ones may be used (as on some Fujitsu drives)
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
    const std::u16string values = Say(l, u"：阈值 ", u": threshold ") + DecimalText(std::uint32_t{c.threshold});
    const std::u16string worst = Say(l, u"，最差值 ", u", worst ") + DecimalText(std::uint32_t{c.worst});
    const std::u16string name = AttributeName(id, l);
    if (c.failingNow) {
      Raise(r, c.prefailure ? Verdict::Failing : Verdict::Caution);
      r.reasons.push_back({c.prefailure ? HealthCode::ThresholdExceeded : HealthCode::AdvisoryThresholdExceeded,
                           name + values + Say(l, u"，当前值 ", u", current ") + DecimalText(std::uint32_t{c.current}) +
                               (c.prefailure ? Say(l, u"：预失效属性现已达到阈值", u": a pre-failure attribute has reached its threshold")
                                             : Say(l, u"：寿命属性现已达到阈值", u": an old-age attribute has reached its threshold"))});
      r.watch.push_back(name);
    } else if (c.failedInPast && c.prefailure) {
      Raise(r, Verdict::Caution);
      r.reasons.push_back({HealthCode::ThresholdExceededInPast,
                           name + values + worst + Say(l, u"：曾经达到阈值", u": it has reached its threshold before")});
      r.watch.push_back(name);
    } else if (c.failedInPast) {
      // An advisory attribute that once touched its threshold (a hot day, an
      // old spin-up retry) and is above it now says nothing about the disk today.
      r.notes.push_back({HealthCode::AdvisoryThresholdExceededInPast,
                         name + values + worst +
                             Say(l, u"：寿命属性曾经达到阈值，现已恢复，不影响评估",
                                 u": an old-age attribute that reached its threshold before and has recovered; "
                                 u"it does not change the verdict")});
    }
    r.attributes.push_back(c);
  }
}

// Reallocated, pending and offline-uncorrectable sectors. The count is the low
// 32 bits of the raw value: some drives keep other numbers in the top bytes.
// Raw values are the vendor's: one above the disk's sector count, or all ones,
// cannot count its sectors and is shown as not understood.
void CheckSectors(const device::AtaBlock& data, std::uint64_t sectors, Language l, HealthResult& r) {
  struct Kind {
    std::uint8_t id;
    const char16_t* name;
    const char16_t* english;
    HealthCode code;
  };
  static constexpr Kind kinds[] = {
      {kReallocated, u"已重新分配的扇区 (05h)", u"Reallocated sectors (05h)", HealthCode::ReallocatedSectors},
      {kPending, u"等待重新分配的扇区 (C5h)", u"Sectors pending reallocation (C5h)", HealthCode::PendingSectors},
      {kOfflineUncorrectable, u"脱机无法校正的扇区 (C6h)", u"Offline uncorrectable sectors (C6h)",
       HealthCode::OfflineUncorrectableSectors}};
  for (const Kind& kind : kinds) {
    for (std::size_t k = 0; k < kEntries; ++k) {
      const std::size_t at = kFirstEntry + k * kEntrySize;
      if (data[at] != kind.id) continue;
      const std::uint64_t count = rec::GetLE(data, at + 5, 4);
      const char16_t* name = Say(l, kind.name, kind.english);
      const std::u16string shown = name + std::u16string(u": ") + CounterThousands({count, 0});
      if (count == 0xFFFF'FFFF || (sectors > 0 && count > sectors)) {
        r.notes.push_back({HealthCode::ImplausibleSectorCount,
                           shown + Say(l, u"：不可能是本磁盘的扇区数 (原始值由厂商定义)，无法理解，不影响评估",
                                       u": cannot be a count of this disk's sectors (the raw value is the vendor's); "
                                       u"not understood, it does not change the verdict")});
      } else if (count > 0) {
        Raise(r, Verdict::Caution);
        r.reasons.push_back({kind.code, shown});
        r.watch.push_back(name);
      }
      break;
    }
  }
}

// What the path to the drive could not read: said after the drive's own reasons.
void StatusLimit(device::SmartStatus status, Language l, std::vector<Finding>& limits) {
  switch (status) {
    case device::SmartStatus::Unknown:
      limits.push_back({HealthCode::StatusUnknown,
                        Say(l, u"驱动器自身的健康状态未知：驱动程序未返回状态寄存器",
                            u"The drive's own health status is unknown: the driver did not return the status registers")});
      break;
    case device::SmartStatus::NotRead:
      limits.push_back({HealthCode::StatusNotRead,
                        Say(l, u"未能读取驱动器自身的健康状态 (SMART RETURN STATUS)",
                            u"The drive's own health status could not be read (SMART RETURN STATUS)")});
      break;
    case device::SmartStatus::NotPassed:
      limits.push_back({HealthCode::StatusNotPassedByBridge,
                        Say(l, u"此 USB 桥接器不传回驱动器的状态寄存器：无法得知驱动器自身的健康状态 (这是桥接器的限制，不是磁盘的故障)",
                            u"This USB bridge does not pass the drive's status registers back: the drive's own health "
                            u"status cannot be known (a limit of the bridge, not a fault of the disk)")});
      break;
    case device::SmartStatus::Good:
    case device::SmartStatus::Failing: break;
  }
}

} // namespace

bool BlockChecksumOk(const device::AtaBlock& block) {
  return static_cast<std::uint8_t>(std::accumulate(block.begin(), block.end(), 0u)) == 0;
}

HealthResult JudgeAtaHealth(const AtaHealthInput& in) {
  HealthResult r;
  const Language l = in.language;
  std::vector<Finding> limits;
  if (in.status == device::SmartStatus::Failing) {
    Raise(r, Verdict::Failing);
    r.reasons.push_back({HealthCode::DriveReportsFailing,
                         Say(l, u"驱动器报告自身即将发生故障 (SMART RETURN STATUS)",
                             u"The drive reports that it is about to fail (SMART RETURN STATUS)")});
  }
  StatusLimit(in.status, l, limits);
  // A block that does not add up is still judged: one wrong byte must not hide
  // a failing attribute. The wrong sum alone keeps the verdict at caution.
  if (!BlockChecksumOk(in.data)) {
    Raise(r, Verdict::Caution);
    r.reasons.push_back({HealthCode::DataChecksumWrong,
                         Say(l, u"属性数据块校验和错误：属性值仍被评估，但可能有误",
                             u"The attribute block's checksum is wrong: the values are still judged, but may be wrong")});
  }
  if (!in.thresholds) {
    limits.push_back({HealthCode::ThresholdsNotRead,
                      Say(l, u"未能读取属性阈值：未与阈值比较",
                          u"The attribute thresholds could not be read: nothing was compared with them")});
  } else {
    if (!BlockChecksumOk(*in.thresholds)) {
      Raise(r, Verdict::Caution);
      r.reasons.push_back({HealthCode::ThresholdsChecksumWrong,
                           Say(l, u"阈值数据块校验和错误：仍与阈值比较，但阈值可能有误",
                               u"The threshold block's checksum is wrong: still compared, but the thresholds may be wrong")});
    }
    CheckThresholds(in.data, *in.thresholds, l, r);
  }
  CheckSectors(in.data, in.sectors, l, r);
  r.reasons.insert(r.reasons.end(), limits.begin(), limits.end());
  return r;
}

std::u16string VerdictText(Verdict v, Language l) {
  switch (v) {
    case Verdict::Good: return Say(l, u"良好", u"good");
    case Verdict::Caution: return Say(l, u"警告", u"caution");
    case Verdict::Failing: return Say(l, u"故障", u"failing");
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

std::u16string AdviceText(const HealthResult& result, Language l) {
  switch (result.verdict) {
    case Verdict::Good: return {};
    case Verdict::Failing:
      return Say(l, u"建议: 立即将重要数据复制到其他磁盘，并更换此磁盘",
                 u"Advice: copy important data to another disk now, and replace this disk");
    case Verdict::Caution: break;
  }
  std::u16string advice =
      Say(l, u"建议: 备份重要数据，并尽快再次查看", u"Advice: back up important data, and look again soon");
  for (std::size_t i = 0; i < result.watch.size(); ++i)
    advice += (i == 0 ? Say(l, u"；留意 ", u"; watch ") : Say(l, u"、", u", ")) + result.watch[i];
  return advice;
}

std::optional<HealthCode> AdviceCode(const HealthResult& result) {
  switch (result.verdict) {
    case Verdict::Good: return std::nullopt;
    case Verdict::Failing: return HealthCode::ReplaceDisk;
    case Verdict::Caution: return HealthCode::BackUpAndWatch;
  }
  return std::nullopt;
}

std::vector<std::u16string> HealthLines(const HealthResult& result, Language l) {
  std::vector<std::u16string> lines = {Say(l, u"健康评估: ", u"Health: ") + VerdictText(result.verdict, l)};
  for (const auto& reason : result.reasons) lines.push_back(u"  - " + reason.text);
  for (const auto& note : result.notes) lines.push_back(Say(l, u"  备注: ", u"  Note: ") + note.text);
  if (auto advice = AdviceText(result, l); !advice.empty()) lines.push_back(std::move(advice));
  lines.push_back(u" ");
  return lines;
}

} // namespace trv::report
