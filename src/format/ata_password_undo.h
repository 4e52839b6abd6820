// A disk this program's security erase left with a password (the run was cut
// off, the erase failed, the driver refused it): found by its serial's saved
// password file, and its password taken away again with UNLOCK then DISABLE
// PASSWORD. One try per power cycle and never with a password the drive has
// refused: five wrong tries lock a drive out until it is powered off.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "device/ata_security.h"
#include "format/ata_password_file.h"
#include "platform/platform.h"

namespace trv::format {

struct StrandedDisk {
  std::uint32_t deviceNumber = 0;
  device::SecurityState state = device::SecurityState::NotSupported;  // Locked or Unlocked (a password set)
  bool countExpired = false;
  bool frozen = false;
  SavedPassword saved;
};

// Reads IDENTIFY DEVICE through `handle` (opened for reading and writing, as
// IOCTL_ATA_PASS_THROUGH asks) and looks
// for the serial's password file in `recordsFolder`; none when the disk has
// no password set, or no file of ours matches it.
std::optional<StrandedDisk> FindStrandedDisk(win::Platform& platform, win::Handle handle, std::uint32_t deviceNumber,
                                             const std::u16string& recordsFolder);

struct PasswordUndo {
  enum class Outcome {
    Removed,       // IDENTIFY shows no password: the file is deleted
    NotTried,      // not sent: `code` says why (tried this power cycle, refused before, count expired, frozen)
    Refused,       // the drive refused the password: marked, never sent again
    Failed,        // sent, and the drive still has its password (or the driver refused the request)
  };
  Outcome outcome = Outcome::NotTried;
  std::string code;   // "password-removed", "undo-tried-this-power-cycle", "password-refused-before",
                      // "count-expired", "frozen", "password-refused", "undo-failed", "driver-refused"
  std::u16string text;  // one sentence saying what was done
};

// UNLOCK, then DISABLE PASSWORD, with the saved password, once; the file
// remembers the try (and a refusal) before the answer is looked at.
PasswordUndo UndoSavedPassword(win::Platform& platform, win::Handle handle, SavedPassword& saved);

} // namespace trv::format
