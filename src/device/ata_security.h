// The ATA Security feature set's commands through IOCTL_ATA_PASS_THROUGH, and
// the state IDENTIFY DEVICE word 128 gives. These change the disk: the caller
// (the purge) decides when each is sent, and sends a password the drive refused
// never again.
#pragma once
#include <array>
#include <optional>
#include <cstdint>
#include <string>
#include <string_view>

#include "device/ata.h"
#include "device/ata_pass_through.h"
#include "device/erase_features.h"

namespace trv::device {

// 32 bytes, as the password block carries them.
using AtaPassword = std::array<std::uint8_t, 32>;

// The bytes of a text password: its characters in order, padded with zeros
// (the form Windows PE's password takes). Longer than 32 bytes: cut.
AtaPassword PasswordFromText(std::string_view text);
// Windows PE's fixed user password.
AtaPassword WindowsPePassword();
// 32 printable characters (hex digits of 16 random bytes); empty when the
// system's random source fails.
std::string RandomPasswordText(win::Platform& platform);

// The 512-byte block of SET PASSWORD, UNLOCK, ERASE UNIT and DISABLE PASSWORD:
// the user password (identifier 0), `enhanced` for ERASE UNIT's enhanced mode;
// SET PASSWORD with security level high.
AtaBlock PasswordBlock(const AtaPassword& password, bool enhanced = false);

// Where a drive's Security state stands, from word 128 (ACS SEC1-SEC6).
enum class SecurityState {
  NotSupported,
  Disabled,        // SEC1: no user password
  DisabledFrozen,  // SEC2
  Locked,          // SEC4: a password is set and the drive was powered on since
  Unlocked,        // SEC5: a password is set, unlocked
  UnlockedFrozen,  // SEC6
};
SecurityState SecurityStateOf(const EraseFeatures& features);
std::string SecurityStateWord(SecurityState state);  // "disabled", "frozen", "locked", "unlocked", ...

// Each command as sent, with the drive's answer (AtaAnswer::Aborted: the drive
// refused it; Outcome::Failed: the driver refused the request, `error` why).
AtaAnswer SecuritySetPassword(win::Platform& p, win::Handle h, const AtaPassword& password);
AtaAnswer SecurityUnlock(win::Platform& p, win::Handle h, const AtaPassword& password);
AtaAnswer SecurityErasePrepare(win::Platform& p, win::Handle h);
// `timeoutSeconds`: the request's TimeOutValue, from SecurityEraseTimeout.
AtaAnswer SecurityEraseUnit(win::Platform& p, win::Handle h, const AtaPassword& password, bool enhanced,
                            std::uint32_t timeoutSeconds);
AtaAnswer SecurityDisablePassword(win::Platform& p, win::Handle h, const AtaPassword& password);

// IDENTIFY DEVICE (ECh) through the pass-through: the drive's state as it is
// now (word 128 after a security command). False when no block came back.
bool ReadIdentifyPassThrough(win::Platform& p, win::Handle h, AtaBlock& block);

// ERASE UNIT's timeout: max(2 x estimate + 60 min, size / 30 MB/s + 30 min),
// at most the 108,000 s a request can wait. None when the drive's own estimate
// (word 89, or 90 for enhanced) is longer than that: it cannot be waited for.
std::optional<std::uint32_t> SecurityEraseTimeout(const EraseTime& estimate, std::int64_t diskBytes);

} // namespace trv::device
