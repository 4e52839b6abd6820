#include "report/nvme_verdict.h"

#include "platform/text.h"
#include "report/counter_text.h"

namespace trv::report {

namespace {

bool IsZero(const device::Counter128& c) { return c.low == 0 && c.high == 0; }

} // namespace

std::u16string NvmeWarningName(int bit, Language l) {
  switch (bit) {
    case 0: return Say(l, u"可用备用空间低于阈值", u"Available spare is below its threshold");
    case 1: return Say(l, u"温度高于过热阈值或低于过冷阈值", u"Temperature is above the over or below the under temperature threshold");
    case 2: return Say(l, u"NVM 子系统可靠性因介质或内部错误而下降", u"NVM subsystem reliability is degraded by media or internal errors");
    case 3: return Say(l, u"介质已置为只读", u"The media has been placed in read-only mode");
    case 4: return Say(l, u"易失性存储备份设备故障或不可靠", u"The volatile memory backup device has failed or is unreliable");
    case 5: return Say(l, u"持久性存储区域已置为只读或不可靠", u"The persistent memory region is read-only or unreliable");
    default: return Say(l, u"保留位 ", u"Reserved bit ") + DecimalText(std::int64_t{bit});
  }
}

std::u16string EnduranceWarningName(int bit, Language l) {
  switch (bit) {
    case 0: return Say(l, u"耐久组的可用备用空间低于阈值", u"An endurance group's available spare is below its threshold");
    case 2: return Say(l, u"耐久组的可靠性因介质或内部错误而下降", u"An endurance group's reliability is degraded by media or internal errors");
    case 3: return Say(l, u"耐久组已置为只读", u"An endurance group has been placed in read-only mode");
    default: return Say(l, u"耐久组保留位 ", u"Endurance group reserved bit ") + DecimalText(std::int64_t{bit});
  }
}

HealthResult JudgeNvmeHealth(const device::NvmeHealth& h, Language l) {
  HealthResult r;
  // Any defined critical warning is the drive's own alarm, as a failing
  // SMART RETURN STATUS is on ATA; a reserved bit is only worth a look.
  for (int bit = 0; bit < 8; ++bit) {
    if (((h.criticalWarning >> bit) & 1) == 0) continue;
    Raise(r, bit <= 5 ? Verdict::Failing : Verdict::Caution);
    r.reasons.push_back({bit <= 5 ? HealthCode::CriticalWarning : HealthCode::CriticalWarningReservedBit,
                         Say(l, u"严重警告: ", u"Critical warning: ") + NvmeWarningName(bit, l)});
    if (bit > 5) r.watch.push_back(Say(l, u"严重警告", u"the critical warning"));
  }
  for (int bit = 0; bit < 8; ++bit) {
    if (((h.enduranceGroupWarning >> bit) & 1) == 0) continue;
    const bool defined = bit == 0 || bit == 2 || bit == 3;
    Raise(r, defined ? Verdict::Failing : Verdict::Caution);
    r.reasons.push_back({defined ? HealthCode::EnduranceGroupWarning : HealthCode::EnduranceGroupReservedBit,
                         Say(l, u"耐久组严重警告: ", u"Endurance group critical warning: ") + EnduranceWarningName(bit, l)});
    if (!defined) r.watch.push_back(Say(l, u"耐久组严重警告", u"the endurance group critical warning"));
  }
  // Both are percentages: 101 to 255 are reserved values, not compared.
  const auto percent = [](std::uint8_t v) { return DecimalText(std::uint32_t{v}) + u" %"; };
  if (h.spareThreshold > 100) {
    r.notes.push_back({HealthCode::SpareThresholdReserved,
                       Say(l, u"可用备用空间阈值 ", u"Available spare threshold ") + percent(h.spareThreshold) +
                           Say(l, u" 为保留值：未比较", u" is a reserved value: not compared")});
  } else if (h.availableSpare > 100) {
    r.notes.push_back({HealthCode::SpareReserved, Say(l, u"可用备用空间 ", u"Available spare ") + percent(h.availableSpare) +
                                                      Say(l, u" 为保留值：未比较", u" is a reserved value: not compared")});
  } else if (h.availableSpare < h.spareThreshold) {
    Raise(r, Verdict::Failing);
    r.reasons.push_back({HealthCode::SpareBelowThreshold,
                         Say(l, u"可用备用空间 ", u"Available spare ") + percent(h.availableSpare) +
                             Say(l, u" 低于阈值 ", u" is below its threshold ") + percent(h.spareThreshold)});
  }
  if (h.percentageUsed >= 100) {
    Raise(r, Verdict::Caution);
    r.reasons.push_back({HealthCode::RatedEnduranceReached,
                         Say(l, u"已用寿命 ", u"Percentage used ") + percent(h.percentageUsed) +
                             Say(l, u"：已达到或超过额定耐久", u": the rated endurance is reached or passed")});
    r.watch.push_back(Say(l, u"已用寿命", u"the percentage used"));
  }
  if (!IsZero(h.mediaErrors)) {
    Raise(r, Verdict::Caution);
    r.reasons.push_back({HealthCode::MediaErrors,
                         Say(l, u"介质和数据完整性错误: ", u"Media and data integrity errors: ") + CounterThousands(h.mediaErrors)});
    r.watch.push_back(Say(l, u"介质和数据完整性错误", u"the media and data integrity errors"));
  }
  return r;
}

} // namespace trv::report
