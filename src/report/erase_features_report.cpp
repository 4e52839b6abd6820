#include "report/erase_features_report.h"

#include "platform/text.h"
#include "report/counter_text.h"

namespace trv::report {

namespace {

std::u16string YesNo(bool on) { return on ? u"是" : u"否"; }
std::u16string Offered(bool on) { return on ? u"支持" : u"不支持"; }

std::u16string Hex(std::uint32_t v, int digits) {
  static const char16_t hex[] = u"0123456789ABCDEF";
  std::u16string s = u"0x";
  for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) s.push_back(hex[(v >> shift) & 15]);
  return s;
}

std::u16string TimeText(const device::EraseTime& t) {
  if (!t.reported) return u"未报告";
  return (t.atLeast ? u"超过 " : u"约 ") + CounterThousands({t.minutes, 0}) + u" 分钟";
}

void Ata(const device::EraseFeatures& f, std::vector<std::u16string>& out) {
  out.push_back(u"ATA 安全功能集: " + Offered(f.securitySupported));
  if (f.securitySupported) {
    out.push_back(u"  已启用 (设有用户密码): " + YesNo(f.securityEnabled));
    out.push_back(u"  已锁定: " + YesNo(f.locked));
    out.push_back(u"  已冻结: " + YesNo(f.frozen));
    out.push_back(u"  密码尝试次数已用尽: " + YesNo(f.countExpired));
    out.push_back(u"  增强型安全擦除: " + Offered(f.enhancedEraseSupported));
    out.push_back(u"  普通安全擦除时间估计: " + TimeText(f.normalEraseTime));
    out.push_back(u"  增强型安全擦除时间估计: " + TimeText(f.enhancedEraseTime));
  }
  out.push_back(u"ATA Sanitize 功能集: " + Offered(f.sanitizeSupported));
  if (f.sanitizeSupported) {
    out.push_back(u"  加密擦除 (CRYPTO SCRAMBLE): " + Offered(f.cryptoScramble));
    out.push_back(u"  块擦除 (BLOCK ERASE): " + Offered(f.blockErase));
    out.push_back(u"  覆盖 (OVERWRITE): " + Offered(f.overwrite));
  }
}

void Nvme(const device::EraseFeatures& f, std::vector<std::u16string>& out) {
  out.push_back(u"Format NVM 命令: " + Offered(f.formatNvm));
  // The attributes describe a command the drive offers: without it they mean nothing.
  if (f.formatNvm) {
    out.push_back(u"  Format NVM 属性 (FNA): " + Hex(f.fna, 2));
    out.push_back(u"  格式化作用于所有命名空间: " + YesNo(f.formatAllNamespaces));
    out.push_back(u"  安全擦除作用于所有命名空间: " + YesNo(f.eraseAllNamespaces));
    out.push_back(u"  安全擦除可为加密擦除: " + YesNo(f.cryptoEraseOnFormat));
  }
  out.push_back(u"Sanitize 能力 (SANICAP): " + Hex(f.sanicap, 8));
  out.push_back(u"  加密擦除: " + Offered(f.sanitizeCrypto));
  out.push_back(u"  块擦除: " + Offered(f.sanitizeBlock));
  out.push_back(u"  覆盖: " + Offered(f.sanitizeOverwrite));
}

} // namespace

std::vector<std::u16string> EraseFeatureLines(const device::EraseFeatures& f) {
  std::vector<std::u16string> out = {u" ", u"固件擦除 (仅读取，不发送擦除命令)："};
  if (f.nvme) Nvme(f, out);
  else Ata(f, out);
  return out;
}

} // namespace trv::report
