// The temporary password of an ATA security erase, kept in a file in the
// records folder from before SECURITY SET PASSWORD until the drive shows the
// password gone: if the erase is cut off, the file is how the drive is
// unlocked again. One file per drive serial; written and flushed before the
// password is set (no file, no erase). The file also remembers that the drive
// refused the password, and when an undo was tried, so that no wrong password
// is sent twice and no undo is tried twice in one power cycle.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "device/ata.h"
#include "platform/platform.h"

namespace trv::format {

struct SavedPassword {
  std::u16string path;          // the file (set when read or written)
  std::string serial, model;    // of the drive, as IDENTIFY words 10-19 and 27-46 give them
  std::string password;         // the text; its bytes go in the password block as they are
  bool pePassword = false;      // Windows PE's fixed password
  std::string setAt;            // when it was set, ISO 8601 UTC
  bool refused = false;         // the drive refused it once: it is never sent again
  // The undo tried in the power cycle (boot) this names: the system's boot time,
  // in wall-clock milliseconds rounded to the minute; 0: never tried.
  std::int64_t undoTriedBoot = 0;
};

// "ata-password-<serial>.json", the serial's characters other than letters,
// digits, '-', '_' and '.' written as '_'.
std::u16string PasswordFileName(const std::string& serial);

// Writes the file in `folder` (made if missing) and flushes it; false, with
// the last error in `error`, when it could not be written whole.
bool SavePasswordFile(win::Platform& platform, const std::u16string& folder, SavedPassword& saved,
                      std::uint32_t& error);
// The file for this serial in `folder`; none when there is none, or it cannot
// be read or parsed (a broken file is never guessed at).
std::optional<SavedPassword> ReadPasswordFile(win::Platform& platform, const std::u16string& folder,
                                              const std::string& serial);
// Rewrites it (refused, undoTriedBoot changed) and flushes it.
bool UpdatePasswordFile(win::Platform& platform, const SavedPassword& saved);
// Deletes it, once the drive shows no password.
bool RemovePasswordFile(win::Platform& platform, const SavedPassword& saved);

// This boot, as undoTriedBoot names it: now minus the time since the system started.
std::int64_t CurrentBoot(win::Platform& platform);

// IDENTIFY DEVICE's serial (words 10-19) and model (27-46), trimmed.
std::string AtaSerial(const device::AtaBlock& identify);
std::string AtaModel(const device::AtaBlock& identify);

} // namespace trv::format
