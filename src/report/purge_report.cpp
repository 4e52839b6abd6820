#include "report/purge_report.h"

#include "device/ata_security.h"
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
  if (facts.Ata()) {
    if (facts.ataIdentify)
      if (auto state = SecurityStateLine(device::AtaEraseFeatures(*facts.ataIdentify), l)) out.push_back(std::move(*state));
    if (facts.ataSanitize)
      if (auto state = SanitizeStateLine(*facts.ataSanitize, l)) out.push_back(std::move(*state));
  } else if (facts.status) {
    if (auto state = SanitizeStateLine(*facts.status, l)) out.push_back(std::move(*state));
  }
  return out;
}

std::optional<std::u16string> SecurityStateLine(const device::EraseFeatures& f, Language l) {
  std::u16string text;
  switch (device::SecurityStateOf(f)) {
    case device::SecurityState::NotSupported:
    case device::SecurityState::Disabled: break;
    case device::SecurityState::DisabledFrozen: text = Say(l, u"已冻结", u"frozen"); break;
    case device::SecurityState::Locked: text = Say(l, u"已设密码, 已锁定", u"a password is set, locked"); break;
    case device::SecurityState::Unlocked: text = Say(l, u"已设密码, 未锁定", u"a password is set, unlocked"); break;
    case device::SecurityState::UnlockedFrozen: text = Say(l, u"已设密码, 已冻结", u"a password is set, frozen"); break;
  }
  if (f.securitySupported && f.countExpired)
    text += (text.empty() ? u"" : u"; ") + std::u16string(Say(l, u"密码尝试次数已用尽", u"no more password attempts until a power cycle"));
  if (text.empty()) return std::nullopt;
  return Say(l, u"ATA 安全状态 (字 128): ", u"ATA security (word 128): ") + text;
}

std::optional<std::u16string> SanitizeStateLine(const device::AtaSanitizeStatus& status, Language l) {
  const std::u16string label = Say(l, u"Sanitize 状态 (SANITIZE STATUS EXT): ", u"Sanitize status (SANITIZE STATUS EXT): ");
  switch (status.state) {
    case device::AtaSanitizeStatus::State::InProgress:
      // LBA 15:0 counts 65,536ths; the floor never says 100% before the end.
      return label + Say(l, u"正在进行, 已完成 ", u"in progress, ") +
             DecimalText(std::uint32_t{status.progress} * 100u / 65536u) + Say(l, u"%", u"% done");
    case device::AtaSanitizeStatus::State::Failed:
      return label + Say(l, u"上次 Sanitize 失败: ", u"the last sanitize failed: ") +
             device::AtaSanitizeReasonText(status.reason);
    case device::AtaSanitizeStatus::State::Frozen:
      return label + Say(l, u"已冻结, 断电重启前不接受 Sanitize 命令", u"frozen until the disk is powered off and on");
    case device::AtaSanitizeStatus::State::Idle:
    case device::AtaSanitizeStatus::State::Succeeded: break;
  }
  return std::nullopt;
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
