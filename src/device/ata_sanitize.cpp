#include "device/ata_sanitize.h"

#include "device/ata_commands.h"

namespace trv::device {

namespace {

// SANITIZE DEVICE's functions begin at once and run in the background: the
// command itself ends quickly, but a slow drive is given room.
constexpr std::uint32_t kSanitizeCommandSeconds = 60;

// A 48-bit SANITIZE DEVICE: FEATURE, COUNT (16 bits) and LBA (48 bits) split
// between the current task file (low halves) and the previous one (high halves).
struct Sanitize48 {
  AtaTaskFile low;
  AtaHighTaskFile high;
};

Sanitize48 SanitizeCommand(std::uint16_t function, std::uint16_t count, std::uint64_t lba) {
  Sanitize48 c;
  c.low.features = static_cast<std::uint8_t>(function);
  c.high.features = static_cast<std::uint8_t>(function >> 8);
  c.low.count = static_cast<std::uint8_t>(count);
  c.high.count = static_cast<std::uint8_t>(count >> 8);
  c.low.lbaLow = static_cast<std::uint8_t>(lba);
  c.low.lbaMid = static_cast<std::uint8_t>(lba >> 8);
  c.low.lbaHigh = static_cast<std::uint8_t>(lba >> 16);
  c.high.lbaLow = static_cast<std::uint8_t>(lba >> 24);
  c.high.lbaMid = static_cast<std::uint8_t>(lba >> 32);
  c.high.lbaHigh = static_cast<std::uint8_t>(lba >> 40);
  c.low.device = 0x40;  // LBA
  c.low.command = atacmd::kSanitizeDevice;
  return c;
}

AtaAnswer Send(win::Platform& p, win::Handle h, const Sanitize48& c) {
  return AtaNonData(p, h, c.low, true, c.high, kSanitizeCommandSeconds);
}

} // namespace

std::string AtaSanitizeStateWord(AtaSanitizeStatus::State state) {
  switch (state) {
    case AtaSanitizeStatus::State::Idle: return "idle";
    case AtaSanitizeStatus::State::InProgress: return "in-progress";
    case AtaSanitizeStatus::State::Succeeded: return "succeeded";
    case AtaSanitizeStatus::State::Failed: return "failed";
    case AtaSanitizeStatus::State::Frozen: return "frozen";
  }
  return "idle";
}

std::u16string AtaSanitizeReasonText(std::uint8_t reason) {
  switch (reason) {
    case atacmd::kReasonUnsuccessful: return u"the sanitize was unsuccessful";
    case atacmd::kReasonUnsupported: return u"unsupported";
    case atacmd::kReasonFrozen: return u"frozen";
    case atacmd::kReasonAntifreeze: return u"antifreeze lock";
    default: return u"no reason given";
  }
}

std::optional<AtaSanitizeStatus> ReadAtaSanitizeStatus(win::Platform& p, win::Handle h, bool clearFailure,
                                                       AtaAnswer* answer) {
  const AtaAnswer a =
      Send(p, h, SanitizeCommand(atacmd::kSanitizeStatusExt, clearFailure ? atacmd::kSanitizeClearFailure : 0, 0));
  if (answer) *answer = a;
  if (a.outcome != AtaAnswer::Outcome::Registers) return std::nullopt;
  AtaSanitizeStatus status;
  status.raw = a;
  if (a.Aborted()) {
    // The error output: LBA 7:0 says why. A drive whose last sanitize failed
    // answers so until the failure is cleared or another sanitize succeeds.
    status.reason = a.current.lbaLow;
    if (status.reason == atacmd::kReasonUnsuccessful) status.state = AtaSanitizeStatus::State::Failed;
    else if (status.reason == atacmd::kReasonFrozen) status.state = AtaSanitizeStatus::State::Frozen;
    return status;
  }
  // The normal output: the flags are COUNT 15:8, handed back in the previous
  // task file; the progress is LBA 15:0, in the current one.
  const auto count = static_cast<std::uint16_t>(a.previous.count << 8 | a.current.count);
  status.antifreeze = (count & atacmd::kSanitizeAntifreeze) != 0;
  if (count & atacmd::kSanitizeFrozen) {
    status.state = AtaSanitizeStatus::State::Frozen;
  } else if (count & atacmd::kSanitizeInProgress) {
    status.state = AtaSanitizeStatus::State::InProgress;
    status.progress = static_cast<std::uint16_t>(a.current.lbaMid << 8 | a.current.lbaLow);
  } else if (count & atacmd::kSanitizeCompletedWithoutError) {
    status.state = AtaSanitizeStatus::State::Succeeded;
  }
  return status;
}

AtaAnswer StartAtaSanitize(win::Platform& p, win::Handle h, AtaSanitizeAction action) {
  std::uint16_t count = atacmd::kSanitizeFailureMode;
  switch (action) {
    case AtaSanitizeAction::CryptoScramble:
      return Send(p, h, SanitizeCommand(atacmd::kCryptoScrambleExt, count, atacmd::kCryptoScrambleSignature));
    case AtaSanitizeAction::BlockErase:
      return Send(p, h, SanitizeCommand(atacmd::kBlockEraseExt, count, atacmd::kBlockEraseSignature));
    case AtaSanitizeAction::Overwrite:
      // One pass (no inversion) of the pattern in LBA 31:0, zero; the signature in LBA 47:32.
      count = static_cast<std::uint16_t>(count | 1);
      return Send(p, h, SanitizeCommand(atacmd::kOverwriteExt, count, atacmd::kOverwriteSignature << 32));
  }
  return {};
}

} // namespace trv::device
