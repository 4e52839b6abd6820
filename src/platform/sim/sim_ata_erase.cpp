#include "platform/sim/sim_ata_erase.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "device/ata_commands.h"
#include "platform/sim/json_fields.h"

namespace trv::sim {

using jf::json;
namespace atacmd = device::atacmd;

namespace {

constexpr std::int64_t kUsPerSecond = 1'000'000;

// One of the words of `names`, as its index.
template <std::size_t N>
std::size_t OneOf(const json& j, const char* key, const std::string& where, const char* const (&names)[N],
                  std::size_t fallback) {
  if (!jf::Has(j, key)) return fallback;
  std::string expected;
  for (std::size_t i = 0; i < N; ++i) {
    if (j[key].is_string() && j[key].get<std::string>() == names[i]) return i;
    expected += (i ? i + 1 == N ? " or " : ", " : "") + std::string("\"") + names[i] + "\"";
  }
  jf::Fail(where, key, "expected " + expected);
}

AtaPasswordBytes Password(const json& j, const char* key, const std::string& where) {
  const std::string text = jf::Str(j, key, where, {});
  if (text.size() > 32) jf::Fail(where, key, "at most 32 bytes");
  AtaPasswordBytes p{};
  std::memcpy(p.data(), text.data(), text.size());
  return p;
}

std::uint16_t Word(const std::uint8_t* b, std::size_t n) {
  return static_cast<std::uint16_t>(b[2 * n] | (b[2 * n + 1] << 8));
}

// Words 89 and 90: units of 2 minutes in bits 7:0, or bits 14:0 with bit 15 set.
std::uint16_t EraseTimeWord(std::uint32_t minutes) {
  const std::uint32_t units = (minutes + 1) / 2;
  if (units <= 254) return static_cast<std::uint16_t>(units);
  return static_cast<std::uint16_t>(0x8000u | std::min<std::uint32_t>(units, 0x7FFF));
}

bool IsPassword(const AtaPasswordBytes& p, const std::uint8_t* block) {
  return std::memcmp(p.data(), block + atacmd::kPasswordAt, atacmd::kPasswordBytes) == 0;
}

// Compares the block's password with the one its identifier names. A miss
// counts against the attempts; `masterLimited`: the master password may not
// do this at security level maximum (UNLOCK, DISABLE PASSWORD).
bool PasswordAccepted(AtaDriveState::Security& s, const std::uint8_t* block, bool masterLimited) {
  const bool master = (Word(block, 0) & atacmd::kPasswordMaster) != 0;
  if (master && masterLimited && s.levelMaximum) return false;
  if (IsPassword(master ? s.master : s.user, block)) return true;
  if (--s.attemptsLeft <= 0) {
    s.attemptsLeft = 0;
    s.countExpired = true;
  }
  return false;
}

std::int64_t DurationUs(const AtaSanitizeSetup& setup) { return setup.durationSeconds * kUsPerSecond; }

} // namespace

AtaSecuritySetup ParseAtaSecurity(const json& j, const std::string& where) {
  jf::RequireObject(j, where);
  jf::CheckKeys(j, where, {"state", "userPassword", "masterPassword", "enhanced", "normalEraseMinutes",
                           "enhancedEraseMinutes", "eraseSeconds", "frozenByBios", "attemptsLeft", "fault", "cutAt",
                           "enhancedPattern", "comment"});
  AtaSecuritySetup s;
  static const char* const kStates[] = {"disabled", "locked", "unlocked"};
  s.state = static_cast<AtaSecuritySetup::State>(OneOf(j, "state", where, kStates, 0));
  s.user = Password(j, "userPassword", where);
  s.master = Password(j, "masterPassword", where);
  const bool hasUser = s.user != AtaPasswordBytes{};
  if (s.state != AtaSecuritySetup::State::Disabled && !hasUser)
    jf::Fail(where, "userPassword", "state \"locked\" or \"unlocked\" needs the user password");
  if (s.state == AtaSecuritySetup::State::Disabled && hasUser)
    jf::Fail(where, "userPassword", "a drive in state \"disabled\" has no user password");
  s.enhanced = jf::Bool(j, "enhanced", where, true);
  s.normalEraseMinutes = static_cast<std::uint32_t>(jf::Int(j, "normalEraseMinutes", where, 2, 0, 65534));
  s.enhancedEraseMinutes = static_cast<std::uint32_t>(jf::Int(j, "enhancedEraseMinutes", where, 2, 0, 65534));
  s.eraseSeconds = jf::Int(j, "eraseSeconds", where, 60, 0, 30 * 86'400);
  s.frozenByBios = jf::Bool(j, "frozenByBios", where, false);
  s.attemptsLeft = static_cast<int>(jf::Int(j, "attemptsLeft", where, 5, 0, 5));
  static const char* const kFaults[] = {"none", "lies", "power-loss"};
  s.fault = static_cast<AtaSecuritySetup::Fault>(OneOf(j, "fault", where, kFaults, 0));
  s.cutAt = jf::Fraction(j, "cutAt", where, 0.5);
  static const char* const kPatterns[] = {"zeros", "random"};
  s.enhancedRandom = OneOf(j, "enhancedPattern", where, kPatterns, 0) == 1;
  return s;
}

AtaSanitizeSetup ParseAtaSanitize(const json& j, const std::string& where) {
  jf::RequireObject(j, where);
  jf::CheckKeys(j, where, {"crypto", "block", "overwrite", "state", "progress", "action", "failureMode",
                           "durationSeconds", "fault", "stuckAt", "comment"});
  AtaSanitizeSetup s;
  s.crypto = jf::Bool(j, "crypto", where, true);
  s.block = jf::Bool(j, "block", where, true);
  s.overwrite = jf::Bool(j, "overwrite", where, true);
  static const char* const kStates[] = {"idle", "frozen", "in-progress", "succeeded", "failed"};
  s.state = static_cast<AtaSanitizeSetup::State>(OneOf(j, "state", where, kStates, 0));
  const bool inProgress = s.state == AtaSanitizeSetup::State::InProgress;
  s.progress = jf::Fraction(j, "progress", where, 0);
  if (jf::Has(j, "progress") && !inProgress) jf::Fail(where, "progress", "only with state \"in-progress\"");
  static const char* const kActions[] = {"crypto", "block", "overwrite"};
  s.action = static_cast<AtaSanitizeOp>(OneOf(j, "action", where, kActions, 1));
  if (jf::Has(j, "action") && !inProgress) jf::Fail(where, "action", "only with state \"in-progress\"");
  s.failureMode = jf::Bool(j, "failureMode", where, true);
  s.durationSeconds = jf::Int(j, "durationSeconds", where, 60, 0, 30 * 86'400);
  static const char* const kFaults[] = {"none", "fails", "lies", "stuck"};
  s.fault = static_cast<AtaSanitizeSetup::Fault>(OneOf(j, "fault", where, kFaults, 0));
  s.stuckAt = jf::Fraction(j, "stuckAt", where, 0.5);
  if (!s.crypto && !s.block && !s.overwrite)
    jf::Fail(where, "crypto", "a drive with the Sanitize feature set offers at least one of crypto, block, overwrite");
  return s;
}

AtaDriveState PowerOnState(const std::optional<AtaSecuritySetup>& security,
                           const std::optional<AtaSanitizeSetup>& sanitize, const AtaDriveState* before) {
  AtaDriveState st;
  if (security) {
    AtaDriveState::Security s;
    if (before && before->security) {
      const AtaDriveState::Security& b = *before->security;
      s.passwordSet = b.passwordSet;
      s.user = b.user;
      s.master = b.master;
      s.masterIdentifier = b.masterIdentifier;
      s.levelMaximum = b.levelMaximum;
      s.locked = s.passwordSet;  // a password set locks the drive at power-on
    } else {
      s.user = security->user;
      s.master = security->master;
      s.passwordSet = security->state != AtaSecuritySetup::State::Disabled;
      s.locked = security->state == AtaSecuritySetup::State::Locked;
    }
    s.attemptsLeft = security->attemptsLeft;
    s.countExpired = s.attemptsLeft == 0;
    s.frozen = security->frozenByBios && !s.locked;  // a locked drive takes no FREEZE LOCK
    st.security = s;
  }
  if (sanitize) {
    AtaDriveState::Sanitize s;
    if (before && before->sanitize) {
      s = *before->sanitize;  // SD2 goes on, SD3 and SD4 stay
      if (s.state == SanitizeState::Frozen) s.state = SanitizeState::Idle;
      s.antifreeze = false;
    } else {
      using State = AtaSanitizeSetup::State;
      static constexpr SanitizeState kStates[] = {SanitizeState::Idle, SanitizeState::Frozen, SanitizeState::InProgress,
                                                  SanitizeState::Succeeded, SanitizeState::Failed};
      s.state = kStates[static_cast<std::size_t>(sanitize->state)];
      s.op = sanitize->action;
      s.startProgress = s.progress = sanitize->progress;
      s.failureMode = sanitize->failureMode;
      if (sanitize->state == State::Failed) s.reason = atacmd::kReasonUnsuccessful;
    }
    // A firmware that freezes the feature set at every power-on.
    const bool ended = s.state == SanitizeState::Idle || s.state == SanitizeState::Succeeded;
    if (sanitize->state == AtaSanitizeSetup::State::Frozen && ended) s.state = SanitizeState::Frozen;
    st.sanitize = s;
  }
  return st;
}

std::string SecurityCode(const AtaDriveState::Security& s) {
  if (!s.passwordSet) return s.frozen ? "SEC2" : "SEC1";
  if (s.locked) return "SEC4";
  return s.frozen ? "SEC6" : "SEC5";
}

std::string SanitizeCode(SanitizeState s) { return "SD" + std::to_string(static_cast<int>(s)); }

bool SecurityCommand(AtaDriveState::Security& s, const AtaSecuritySetup& setup, std::uint8_t command,
                     const std::uint8_t* block) {
  const bool prepared = s.prepared;
  s.prepared = false;  // ERASE UNIT counts only directly after PREPARE
  const bool takesBlock = command == atacmd::kSecuritySetPassword || command == atacmd::kSecurityUnlock ||
                          command == atacmd::kSecurityEraseUnit || command == atacmd::kSecurityDisablePassword;
  if (takesBlock && !block) return false;
  const std::uint16_t control = takesBlock ? Word(block, 0) : 0;
  switch (command) {
    case atacmd::kSecuritySetPassword: {
      if (s.frozen || s.locked) return false;
      AtaPasswordBytes password{};
      std::memcpy(password.data(), block + atacmd::kPasswordAt, atacmd::kPasswordBytes);
      if (control & atacmd::kPasswordMaster) {
        s.master = password;
        const std::uint16_t identifier = Word(block, 17);
        if (identifier != 0 && identifier != 0xFFFF) s.masterIdentifier = identifier;
        return true;
      }
      s.user = password;
      s.passwordSet = true;
      s.levelMaximum = (control & atacmd::kPasswordMasterMaximum) != 0;
      return true;
    }
    case atacmd::kSecurityUnlock:
      if (s.frozen || s.countExpired || !s.passwordSet) return false;
      if (!PasswordAccepted(s, block, true)) return false;
      s.locked = false;
      return true;
    case atacmd::kSecurityErasePrepare:
      if (s.frozen) return false;
      s.prepared = true;
      return true;
    case atacmd::kSecurityEraseUnit:
      // Without a password set there is nothing to compare: this drive aborts it.
      if (!prepared || s.frozen || s.countExpired || !s.passwordSet) return false;
      if ((control & atacmd::kPasswordEnhanced) && !setup.enhanced) return false;
      return PasswordAccepted(s, block, false);
    case atacmd::kSecurityFreezeLock:
      if (s.locked) return false;
      s.frozen = true;
      return true;
    case atacmd::kSecurityDisablePassword:
      if (s.frozen || s.locked || s.countExpired || !s.passwordSet) return false;
      if (!PasswordAccepted(s, block, true)) return false;
      s.passwordSet = false;
      s.user = {};
      s.levelMaximum = false;
      return true;
    default:
      return false;
  }
}

std::optional<std::uint8_t> SanitizeCommand(AtaDriveState::Sanitize& s, const AtaSanitizeSetup& setup,
                                            std::uint16_t feature, std::uint64_t lba, std::uint16_t count,
                                            std::int64_t nowUs) {
  switch (feature) {
    case atacmd::kCryptoScrambleExt:
    case atacmd::kBlockEraseExt:
    case atacmd::kOverwriteExt: {
      const bool crypto = feature == atacmd::kCryptoScrambleExt, block = feature == atacmd::kBlockEraseExt;
      const bool offered = crypto ? setup.crypto : block ? setup.block : setup.overwrite;
      const bool signed_ = crypto  ? lba == atacmd::kCryptoScrambleSignature
                           : block ? lba == atacmd::kBlockEraseSignature
                                   : (lba >> 32) == atacmd::kOverwriteSignature;
      if (!offered || !signed_) return atacmd::kReasonUnsupported;
      if (s.state == SanitizeState::Frozen) return atacmd::kReasonFrozen;
      if (s.state == SanitizeState::InProgress) return atacmd::kReasonUnknown;
      s.state = SanitizeState::InProgress;
      s.op = crypto ? AtaSanitizeOp::Crypto : block ? AtaSanitizeOp::Block : AtaSanitizeOp::Overwrite;
      s.pattern = static_cast<std::uint32_t>(lba);
      s.failureMode = (count & atacmd::kSanitizeFailureMode) != 0;
      s.startProgress = s.progress = 0;
      s.startUs = nowUs;
      s.reason = 0;
      ++s.erasures;
      return std::nullopt;
    }
    case atacmd::kSanitizeFreezeLockExt:
      if (lba != atacmd::kFreezeLockSignature) return atacmd::kReasonUnsupported;
      if (s.antifreeze) return atacmd::kReasonAntifreeze;
      if (s.state == SanitizeState::InProgress) return atacmd::kReasonUnknown;
      if (s.state == SanitizeState::Failed) return atacmd::kReasonUnsuccessful;
      s.state = SanitizeState::Frozen;
      return std::nullopt;
    case atacmd::kSanitizeAntifreezeLockExt:
      if (lba != atacmd::kAntifreezeSignature) return atacmd::kReasonUnsupported;
      if (s.state == SanitizeState::Frozen) return atacmd::kReasonFrozen;
      s.antifreeze = true;
      return std::nullopt;
    default:
      return atacmd::kReasonUnsupported;
  }
}

SanitizeEnd AdvanceAtaSanitize(AtaDriveState::Sanitize& s, const AtaSanitizeSetup& setup, std::int64_t nowUs) {
  if (s.state != SanitizeState::InProgress) return SanitizeEnd::None;
  const std::int64_t total = DurationUs(setup);
  const double stop = setup.fault == AtaSanitizeSetup::Fault::Stuck ? std::max(setup.stuckAt, s.startProgress) : 1.0;
  // Decided in whole microseconds, so that a poll at the end finds it there.
  const std::int64_t endUs =
      s.startUs + static_cast<std::int64_t>(std::ceil((stop - s.startProgress) * static_cast<double>(total)));
  if (nowUs < endUs) {
    s.progress = total ? s.startProgress + static_cast<double>(nowUs - s.startUs) / static_cast<double>(total) : 1.0;
    s.progress = std::min(s.progress, stop);
    return SanitizeEnd::None;
  }
  s.progress = stop;
  if (setup.fault == AtaSanitizeSetup::Fault::Stuck) return SanitizeEnd::None;
  if (setup.fault == AtaSanitizeSetup::Fault::Fails) {
    s.state = SanitizeState::Failed;
    s.reason = atacmd::kReasonUnsuccessful;
    return SanitizeEnd::Failed;
  }
  s.state = SanitizeState::Succeeded;
  return setup.fault == AtaSanitizeSetup::Fault::Lies ? SanitizeEnd::NothingErased : SanitizeEnd::Erased;
}

void PutLiveWords(const AtaDriveState& st, const std::optional<AtaSecuritySetup>& security,
                  const std::optional<AtaSanitizeSetup>& sanitize, std::array<std::uint8_t, 512>& id) {
  const auto put = [&](std::size_t n, std::uint16_t v) {
    id[2 * n] = static_cast<std::uint8_t>(v);
    id[2 * n + 1] = static_cast<std::uint8_t>(v >> 8);
  };
  const auto set = [&](std::size_t n, int bit, bool on) {
    const auto mask = static_cast<std::uint16_t>(1u << bit);
    put(n, static_cast<std::uint16_t>(on ? Word(id.data(), n) | mask : Word(id.data(), n) & ~mask));
  };
  if (security && st.security) {
    const AtaDriveState::Security& s = *st.security;
    set(82, 1, true);
    put(83, static_cast<std::uint16_t>((Word(id.data(), 83) & 0x3FFF) | 0x4000));  // words 82-84 valid
    set(85, 1, s.passwordSet);
    put(89, EraseTimeWord(security->normalEraseMinutes));
    put(90, security->enhanced ? EraseTimeWord(security->enhancedEraseMinutes) : 0);
    if (s.masterIdentifier) put(92, *s.masterIdentifier);
    put(128, static_cast<std::uint16_t>(1u | (s.passwordSet ? 1u << 1 : 0) | (s.locked ? 1u << 2 : 0) |
                                        (s.frozen ? 1u << 3 : 0) | (s.countExpired ? 1u << 4 : 0) |
                                        (security->enhanced ? 1u << 5 : 0) | (s.levelMaximum ? 1u << 8 : 0)));
  }
  if (sanitize && st.sanitize) {
    put(59, static_cast<std::uint16_t>((Word(id.data(), 59) & 0x0FFF) | 1u << 12 | (sanitize->crypto ? 1u << 13 : 0) |
                                       (sanitize->overwrite ? 1u << 14 : 0) | (sanitize->block ? 1u << 15 : 0)));
  }
}

std::string PasswordText(const std::uint8_t* password) {
  std::size_t end = atacmd::kPasswordBytes;
  while (end > 0 && password[end - 1] == 0) --end;
  const bool printable = std::all_of(password, password + end, [](std::uint8_t c) { return c >= 0x20 && c < 0x7F; });
  if (printable) return std::string(reinterpret_cast<const char*>(password), end);
  static const char digits[] = "0123456789ABCDEF";
  std::string hex = "hex:";
  for (std::size_t i = 0; i < atacmd::kPasswordBytes; ++i) {
    hex.push_back(digits[password[i] >> 4]);
    hex.push_back(digits[password[i] & 15]);
  }
  return hex;
}

} // namespace trv::sim
