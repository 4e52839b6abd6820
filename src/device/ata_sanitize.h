// ATA SANITIZE DEVICE (B4h) through IOCTL_ATA_PASS_THROUGH: the three erase
// functions, always with FAILURE MODE set so that a failed sanitize can be
// cleared, and SANITIZE STATUS EXT with its progress and error reason.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "device/ata_pass_through.h"

namespace trv::device {

enum class AtaSanitizeAction { CryptoScramble, BlockErase, Overwrite };

// SANITIZE STATUS EXT's answer.
struct AtaSanitizeStatus {
  enum class State { Idle, InProgress, Succeeded, Failed, Frozen };
  State state = State::Idle;
  std::uint16_t progress = 0;  // LBA 15:0, of 65,536 (in progress)
  std::uint8_t reason = 0;     // the error output's LBA 7:0 (failed, or the command aborted)
  bool antifreeze = false;
  AtaAnswer raw;               // the registers as they came back, for the record
};
std::string AtaSanitizeStateWord(AtaSanitizeStatus::State state);  // "idle", "in-progress", "succeeded", "failed", "frozen"
// "the sanitize was unsuccessful", "unsupported", "frozen", "antifreeze lock", "no reason given".
std::u16string AtaSanitizeReasonText(std::uint8_t reason);

// SANITIZE STATUS EXT; `clearFailure` sets CLEAR SANITIZE OPERATION FAILED.
// None when the driver refused it or handed no registers back (`answer` says which).
std::optional<AtaSanitizeStatus> ReadAtaSanitizeStatus(win::Platform& p, win::Handle h, bool clearFailure,
                                                       AtaAnswer* answer = nullptr);

// One of the erase functions with FAILURE MODE = 1 (OVERWRITE: one pass of
// zeros, no inversion). The drive runs it in the background: the answer only
// says whether it began.
AtaAnswer StartAtaSanitize(win::Platform& p, win::Handle h, AtaSanitizeAction action);

} // namespace trv::device
