#include "report/erase_features_report.h"

#include "platform/text.h"
#include "report/counter_text.h"

namespace trv::report {

namespace {

std::u16string YesNo(bool on, Language l) { return on ? Say(l, u"是", u"yes") : Say(l, u"否", u"no"); }
std::u16string Offered(bool on, Language l) {
  return on ? Say(l, u"支持", u"supported") : Say(l, u"不支持", u"not supported");
}

std::u16string Hex(std::uint32_t v, int digits) {
  static const char16_t hex[] = u"0123456789ABCDEF";
  std::u16string s = u"0x";
  for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) s.push_back(hex[(v >> shift) & 15]);
  return s;
}

std::u16string TimeText(const device::EraseTime& t, Language l) {
  if (!t.reported) return Say(l, u"未报告", u"not reported");
  return (t.atLeast ? Say(l, u"超过 ", u"more than ") : Say(l, u"约 ", u"about ")) + CounterThousands({t.minutes, 0}) +
         Say(l, u" 分钟", u" minutes");
}

void Ata(const device::EraseFeatures& f, std::vector<std::u16string>& out, Language l) {
  out.push_back(Say(l, u"ATA 安全功能集: ", u"ATA Security feature set: ") + Offered(f.securitySupported, l));
  if (f.securitySupported) {
    out.push_back(Say(l, u"  已启用 (设有用户密码): ", u"  Enabled (a user password is set): ") + YesNo(f.securityEnabled, l));
    out.push_back(Say(l, u"  已锁定: ", u"  Locked: ") + YesNo(f.locked, l));
    out.push_back(Say(l, u"  已冻结: ", u"  Frozen: ") + YesNo(f.frozen, l));
    out.push_back(Say(l, u"  密码尝试次数已用尽: ", u"  Password attempts used up: ") + YesNo(f.countExpired, l));
    out.push_back(Say(l, u"  增强型安全擦除: ", u"  Enhanced security erase: ") + Offered(f.enhancedEraseSupported, l));
    out.push_back(Say(l, u"  普通安全擦除时间估计: ", u"  Normal security erase time: ") + TimeText(f.normalEraseTime, l));
    out.push_back(Say(l, u"  增强型安全擦除时间估计: ", u"  Enhanced security erase time: ") + TimeText(f.enhancedEraseTime, l));
  }
  out.push_back(Say(l, u"ATA Sanitize 功能集: ", u"ATA Sanitize feature set: ") + Offered(f.sanitizeSupported, l));
  if (f.sanitizeSupported) {
    out.push_back(Say(l, u"  加密擦除 (CRYPTO SCRAMBLE): ", u"  Crypto erase (CRYPTO SCRAMBLE): ") + Offered(f.cryptoScramble, l));
    out.push_back(Say(l, u"  块擦除 (BLOCK ERASE): ", u"  Block erase (BLOCK ERASE): ") + Offered(f.blockErase, l));
    out.push_back(Say(l, u"  覆盖 (OVERWRITE): ", u"  Overwrite (OVERWRITE): ") + Offered(f.overwrite, l));
  }
}

void Nvme(const device::EraseFeatures& f, std::vector<std::u16string>& out, Language l) {
  out.push_back(Say(l, u"Format NVM 命令: ", u"Format NVM command: ") + Offered(f.formatNvm, l));
  // The attributes describe a command the drive offers: without it they mean nothing.
  if (f.formatNvm) {
    out.push_back(Say(l, u"  Format NVM 属性 (FNA): ", u"  Format NVM attributes (FNA): ") + Hex(f.fna, 2));
    out.push_back(Say(l, u"  格式化作用于所有命名空间: ", u"  Format applies to all namespaces: ") + YesNo(f.formatAllNamespaces, l));
    out.push_back(Say(l, u"  安全擦除作用于所有命名空间: ", u"  Secure erase applies to all namespaces: ") + YesNo(f.eraseAllNamespaces, l));
    out.push_back(Say(l, u"  安全擦除可为加密擦除: ", u"  Secure erase can be a crypto erase: ") + YesNo(f.cryptoEraseOnFormat, l));
  }
  out.push_back(Say(l, u"Sanitize 能力 (SANICAP): ", u"Sanitize capabilities (SANICAP): ") + Hex(f.sanicap, 8));
  out.push_back(Say(l, u"  加密擦除: ", u"  Crypto erase: ") + Offered(f.sanitizeCrypto, l));
  out.push_back(Say(l, u"  块擦除: ", u"  Block erase: ") + Offered(f.sanitizeBlock, l));
  out.push_back(Say(l, u"  覆盖: ", u"  Overwrite: ") + Offered(f.sanitizeOverwrite, l));
}

} // namespace

std::vector<std::u16string> EraseFeatureLines(const device::EraseFeatures& f, Language l) {
  std::vector<std::u16string> out = {
      u" ", Say(l, u"固件擦除 (仅读取，不发送擦除命令)：", u"Firmware erase (read only, no erase command is sent):")};
  if (f.nvme) Nvme(f, out, l);
  else Ata(f, out, l);
  return out;
}

} // namespace trv::report
