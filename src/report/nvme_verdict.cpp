#include "report/nvme_verdict.h"

#include "platform/text.h"
#include "report/counter_text.h"

namespace trv::report {

namespace {

bool IsZero(const device::Counter128& c) { return c.low == 0 && c.high == 0; }

} // namespace

std::u16string NvmeWarningName(int bit) {
  switch (bit) {
    case 0: return u"可用备用空间低于阈值";
    case 1: return u"温度高于过热阈值或低于过冷阈值";
    case 2: return u"NVM 子系统可靠性因介质或内部错误而下降";
    case 3: return u"介质已置为只读";
    case 4: return u"易失性存储备份设备故障或不可靠";
    case 5: return u"持久性存储区域已置为只读或不可靠";
    default: return u"保留位 " + DecimalText(std::int64_t{bit});
  }
}

std::u16string EnduranceWarningName(int bit) {
  switch (bit) {
    case 0: return u"耐久组的可用备用空间低于阈值";
    case 2: return u"耐久组的可靠性因介质或内部错误而下降";
    case 3: return u"耐久组已置为只读";
    default: return u"耐久组保留位 " + DecimalText(std::int64_t{bit});
  }
}

HealthResult JudgeNvmeHealth(const device::NvmeHealth& h) {
  HealthResult r;
  // Any defined critical warning is the drive's own alarm, as a failing
  // SMART RETURN STATUS is on ATA; a reserved bit is only worth a look.
  for (int bit = 0; bit < 8; ++bit) {
    if (((h.criticalWarning >> bit) & 1) == 0) continue;
    Raise(r, bit <= 5 ? Verdict::Failing : Verdict::Caution);
    r.reasons.push_back(
        {bit <= 5 ? HealthCode::CriticalWarning : HealthCode::CriticalWarningReservedBit, u"严重警告: " + NvmeWarningName(bit)});
    if (bit > 5) r.watch.push_back(u"严重警告");
  }
  for (int bit = 0; bit < 8; ++bit) {
    if (((h.enduranceGroupWarning >> bit) & 1) == 0) continue;
    const bool defined = bit == 0 || bit == 2 || bit == 3;
    Raise(r, defined ? Verdict::Failing : Verdict::Caution);
    r.reasons.push_back({defined ? HealthCode::EnduranceGroupWarning : HealthCode::EnduranceGroupReservedBit,
                         u"耐久组严重警告: " + EnduranceWarningName(bit)});
    if (!defined) r.watch.push_back(u"耐久组严重警告");
  }
  // Both are percentages: 101 to 255 are reserved values, not compared.
  const auto percent = [](std::uint8_t v) { return DecimalText(std::uint32_t{v}) + u" %"; };
  if (h.spareThreshold > 100) {
    r.notes.push_back({HealthCode::SpareThresholdReserved, u"可用备用空间阈值 " + percent(h.spareThreshold) + u" 为保留值：未比较"});
  } else if (h.availableSpare > 100) {
    r.notes.push_back({HealthCode::SpareReserved, u"可用备用空间 " + percent(h.availableSpare) + u" 为保留值：未比较"});
  } else if (h.availableSpare < h.spareThreshold) {
    Raise(r, Verdict::Failing);
    r.reasons.push_back({HealthCode::SpareBelowThreshold,
                         u"可用备用空间 " + percent(h.availableSpare) + u" 低于阈值 " + percent(h.spareThreshold)});
  }
  if (h.percentageUsed >= 100) {
    Raise(r, Verdict::Caution);
    r.reasons.push_back({HealthCode::RatedEnduranceReached, u"已用寿命 " + percent(h.percentageUsed) + u"：已达到或超过额定耐久"});
    r.watch.push_back(u"已用寿命");
  }
  if (!IsZero(h.mediaErrors)) {
    Raise(r, Verdict::Caution);
    r.reasons.push_back({HealthCode::MediaErrors, u"介质和数据完整性错误: " + CounterThousands(h.mediaErrors)});
    r.watch.push_back(u"介质和数据完整性错误");
  }
  return r;
}

} // namespace trv::report
