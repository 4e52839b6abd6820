#include "report/purge_report.h"

#include "platform/text.h"

namespace trv::report {

std::vector<std::u16string> PurgeLines(const format::PurgeFacts& facts, const format::PurgePlan& plan, Language l) {
  std::vector<std::u16string> out;
  const std::u16string label = Say(l, u"固件清除: ", u"Firmware purge: ");
  if (plan.Runs())
    out.push_back(label + format::PurgeMethodText(plan.method) + u"; " + format::PurgeScopeText(plan) + u"; " +
                  format::PurgeEstimateText(plan));
  else
    out.push_back(label + Say(l, u"此处不可用: ", u"none here: ") + plan.refusal.text);
  if (facts.status)
    if (auto state = SanitizeStateLine(*facts.status, l)) out.push_back(std::move(*state));
  return out;
}

std::optional<std::u16string> SanitizeStateLine(const device::SanitizeStatus& status, Language l) {
  const std::u16string label = Say(l, u"Sanitize 状态 (日志 81h): ", u"Sanitize status (log 81h): ");
  switch (status.StateOf()) {
    case device::SanitizeStatus::State::InProgress:
      // SPROG counts 65,536ths; the floor never says 100% before the end.
      return label + Say(l, u"正在进行, 已完成 ", u"in progress, ") + DecimalText(std::uint32_t{status.sprog} * 100u / 65536u) +
             Say(l, u"%", u"% done");
    case device::SanitizeStatus::State::Failed:
      return label + Say(l, u"上次 Sanitize 失败", u"the last sanitize failed");
    default: return std::nullopt;
  }
}

} // namespace trv::report
