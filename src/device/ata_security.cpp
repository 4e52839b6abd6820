#include "device/ata_security.h"

#include <algorithm>

#include "device/ata_commands.h"
#include "platform/records.h"

namespace trv::device {

namespace {

// SET PASSWORD, UNLOCK and DISABLE PASSWORD end within seconds.
constexpr std::uint32_t kSecurityTimeoutSeconds = 15;

// The task file of a Security command: COUNT 1 for the one block it may carry.
AtaTaskFile SecurityCommand(std::uint8_t opcode) {
  AtaTaskFile command;
  command.count = 1;
  command.command = opcode;
  return command;
}

AtaAnswer SendBlock(win::Platform& p, win::Handle h, std::uint8_t opcode, const AtaPassword& password,
                    bool enhanced, std::uint32_t timeoutSeconds) {
  return AtaDataOut(p, h, SecurityCommand(opcode), PasswordBlock(password, enhanced), timeoutSeconds);
}

// The IDENTIFY block's integrity word (255): with the signature A5h in its low
// byte, all 512 bytes add up to 0 modulo 256.
bool ChecksumHolds(const AtaBlock& block) {
  if (block[510] != 0xA5) return true;  // no signature: nothing to check
  std::uint8_t sum = 0;
  for (std::uint8_t b : block) sum = static_cast<std::uint8_t>(sum + b);
  return sum == 0;
}

} // namespace

AtaPassword PasswordFromText(std::string_view text) {
  AtaPassword password{};
  std::copy_n(text.begin(), std::min(text.size(), password.size()), password.begin());
  return password;
}

AtaPassword WindowsPePassword() { return PasswordFromText(atacmd::kWindowsPePassword); }

std::string RandomPasswordText(win::Platform& platform) {
  std::array<std::uint8_t, 16> bytes{};
  if (!platform.GenRandom(bytes)) return {};
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (std::uint8_t b : bytes) {
    text.push_back(kDigits[b >> 4]);
    text.push_back(kDigits[b & 0xF]);
  }
  return text;
}

AtaBlock PasswordBlock(const AtaPassword& password, bool enhanced) {
  AtaBlock block{};
  // Identifier user (bit 0 clear), security level high (bit 8 clear).
  rec::Put16(block, 0, enhanced ? atacmd::kPasswordEnhanced : std::uint16_t{0});
  std::copy(password.begin(), password.end(), block.begin() + atacmd::kPasswordAt);
  return block;
}

SecurityState SecurityStateOf(const EraseFeatures& f) {
  if (!f.securitySupported) return SecurityState::NotSupported;
  if (!f.securityEnabled) return f.frozen ? SecurityState::DisabledFrozen : SecurityState::Disabled;
  if (f.locked) return SecurityState::Locked;
  return f.frozen ? SecurityState::UnlockedFrozen : SecurityState::Unlocked;
}

std::string SecurityStateWord(SecurityState state) {
  switch (state) {
    case SecurityState::NotSupported: return "not-supported";
    case SecurityState::Disabled: return "disabled";
    case SecurityState::DisabledFrozen: return "frozen";
    case SecurityState::Locked: return "locked";
    case SecurityState::Unlocked: return "unlocked";
    case SecurityState::UnlockedFrozen: return "unlocked-frozen";
  }
  return "not-supported";
}

AtaAnswer SecuritySetPassword(win::Platform& p, win::Handle h, const AtaPassword& password) {
  return SendBlock(p, h, atacmd::kSecuritySetPassword, password, false, kSecurityTimeoutSeconds);
}

AtaAnswer SecurityUnlock(win::Platform& p, win::Handle h, const AtaPassword& password) {
  return SendBlock(p, h, atacmd::kSecurityUnlock, password, false, kSecurityTimeoutSeconds);
}

AtaAnswer SecurityErasePrepare(win::Platform& p, win::Handle h) {
  AtaTaskFile command;
  command.command = atacmd::kSecurityErasePrepare;
  return AtaNonData(p, h, command, false, AtaHighTaskFile{}, kSecurityTimeoutSeconds);
}

AtaAnswer SecurityEraseUnit(win::Platform& p, win::Handle h, const AtaPassword& password, bool enhanced,
                            std::uint32_t timeoutSeconds) {
  return SendBlock(p, h, atacmd::kSecurityEraseUnit, password, enhanced, timeoutSeconds);
}

AtaAnswer SecurityDisablePassword(win::Platform& p, win::Handle h, const AtaPassword& password) {
  return SendBlock(p, h, atacmd::kSecurityDisablePassword, password, false, kSecurityTimeoutSeconds);
}

bool ReadIdentifyPassThrough(win::Platform& p, win::Handle h, AtaBlock& block) {
  AtaTaskFile command;
  command.count = 1;
  command.command = atacmd::kIdentifyDevice;
  AtaBlock read{};
  bool moved = false;
  AtaDataIn(p, h, command, read, moved);
  if (!moved || !ChecksumHolds(read)) return false;
  block = read;
  return true;
}

std::optional<std::uint32_t> SecurityEraseTimeout(const EraseTime& estimate, std::int64_t diskBytes) {
  constexpr std::uint64_t kLongest = atacmd::kLongestTimeoutSeconds;
  std::uint64_t seconds = 0;
  if (estimate.reported) {
    const std::uint64_t own = std::uint64_t{estimate.minutes} * 60;
    if (own > kLongest) return std::nullopt;  // cannot be waited for
    seconds = 2 * own + 3600;
  }
  // One second for every 30 MiB, and half an hour more.
  const std::uint64_t bytes = diskBytes > 0 ? static_cast<std::uint64_t>(diskBytes) : 0;
  seconds = std::max<std::uint64_t>(seconds, bytes / (30ull * 1024 * 1024) + 1800);
  return static_cast<std::uint32_t>(std::min<std::uint64_t>(seconds, kLongest));
}

} // namespace trv::device
