// Taking this program's password off a drive again: every guard first (a
// refused password, a try in this power cycle, count expired, frozen), the try
// written to the password file before anything is sent, then UNLOCK (a locked
// drive) and DISABLE PASSWORD, and IDENTIFY as the only judge of the result.
#include "format/ata_password_undo.h"

#include <optional>

#include "format/purge_plan.h"
#include "platform/text.h"

namespace trv::format {

namespace {

PasswordUndo Undo(PasswordUndo::Outcome outcome, const char* code, std::u16string text) {
  PasswordUndo out;
  out.outcome = outcome;
  out.code = code;
  out.text = std::move(text);
  return out;
}

std::u16string Error(std::uint32_t code) { return u"error " + DecimalText(code); }

// The drive's Security state as IDENTIFY shows it now; none when it cannot be read.
std::optional<device::EraseFeatures> SecurityNow(win::Platform& p, win::Handle h) {
  device::AtaBlock identify{};
  if (!device::ReadIdentifyPassThrough(p, h, identify)) return std::nullopt;
  return device::AtaEraseFeatures(identify);
}

} // namespace

std::optional<StrandedDisk> FindStrandedDisk(win::Platform& platform, win::Handle handle, std::uint32_t deviceNumber,
                                             const std::u16string& recordsFolder) {
  device::AtaBlock identify{};
  if (!device::ReadIdentifyPassThrough(platform, handle, identify)) return std::nullopt;
  const device::EraseFeatures f = device::AtaEraseFeatures(identify);
  if (!f.securitySupported || !f.securityEnabled) return std::nullopt;
  std::optional<SavedPassword> saved = ReadPasswordFile(platform, recordsFolder, AtaSerial(identify));
  if (!saved) return std::nullopt;
  StrandedDisk disk;
  disk.deviceNumber = deviceNumber;
  disk.state = device::SecurityStateOf(f);
  disk.countExpired = f.countExpired;
  disk.frozen = f.frozen;
  disk.saved = std::move(*saved);
  return disk;
}

PasswordUndo UndoSavedPassword(win::Platform& platform, win::Handle handle, SavedPassword& saved) {
  using O = PasswordUndo::Outcome;
  const std::u16string file = u" The password file is kept: " + saved.path + u".";
  if (saved.refused)
    return Undo(O::NotTried, "password-refused-before",
                u"Nothing was sent: the drive refused this password before, and a wrong password is never sent "
                u"twice." + file);
  const std::int64_t boot = CurrentBoot(platform);
  if (saved.undoTriedBoot != 0 && saved.undoTriedBoot == boot)
    return Undo(O::NotTried, "undo-tried-this-power-cycle",
                u"Nothing was sent: the password was already tried once since the drive was last powered on; "
                u"power the computer off and on before the next try." + file);
  const std::optional<device::EraseFeatures> before = SecurityNow(platform, handle);
  if (!before)
    return Undo(O::Failed, "drive-unreachable",
                u"Nothing was sent: the drive does not answer IDENTIFY DEVICE." + file);
  if (!before->securityEnabled) {
    const bool removed = RemovePasswordFile(platform, saved);
    return Undo(O::Removed, "password-removed",
                removed ? u"The drive has no password: nothing was sent, and the password file " + saved.path +
                              u" was deleted."
                        : u"The drive has no password: nothing was sent; the password file " + saved.path +
                              u" could not be deleted.");
  }
  if (before->countExpired)
    return Undo(O::NotTried, "count-expired",
                u"Nothing was sent: the drive has counted too many wrong passwords and takes none until it is "
                u"powered off and on." + file);
  if (before->frozen)
    return Undo(O::NotTried, "frozen",
                u"Nothing was sent: the drive's security is frozen; " + std::u16string(kFrozenHelp) + u"." + file);
  // The try is written down before it is made: cut off now, it still counts.
  saved.undoTriedBoot = boot;
  if (!UpdatePasswordFile(platform, saved))
    return Undo(O::NotTried, "password-file-failed",
                u"Nothing was sent: the try could not be written to the password file " + saved.path +
                    u" (error " + DecimalText(platform.GetLastError()) + u").");
  const device::AtaPassword password = device::PasswordFromText(saved.password);
  const bool locked = before->locked;
  if (locked) {
    const device::AtaAnswer unlock = device::SecurityUnlock(platform, handle, password);
    if (unlock.outcome == device::AtaAnswer::Outcome::Failed)
      return Undo(O::Failed, "driver-refused",
                  u"SECURITY UNLOCK was refused by the driver (" + Error(unlock.error) + u"); the drive keeps its "
                  u"password." + file);
    if (unlock.Aborted()) {
      saved.refused = true;
      const bool marked = UpdatePasswordFile(platform, saved);
      return Undo(O::Refused, "password-refused",
                  u"The drive refused the saved password (SECURITY UNLOCK aborted): it is never sent again." +
                      (marked ? file : u" The refusal could not be written to the password file " + saved.path + u"."));
    }
  }
  const device::AtaAnswer disable = device::SecurityDisablePassword(platform, handle, password);
  if (disable.outcome == device::AtaAnswer::Outcome::Failed)
    return Undo(O::Failed, "driver-refused",
                u"SECURITY DISABLE PASSWORD was refused by the driver (" + Error(disable.error) + u"); the drive keeps "
                u"its password" + (locked ? u", unlocked until it is powered off." : u".") + file);
  // A drive that was unlocked already judged the password with DISABLE itself.
  if (disable.Aborted() && !locked) {
    saved.refused = true;
    UpdatePasswordFile(platform, saved);
    return Undo(O::Refused, "password-refused",
                u"The drive refused the saved password (SECURITY DISABLE PASSWORD aborted): it is never sent "
                u"again." + file);
  }
  const std::optional<device::EraseFeatures> after = SecurityNow(platform, handle);
  if (after && !after->securityEnabled) {
    const bool removed = RemovePasswordFile(platform, saved);
    return Undo(O::Removed, "password-removed",
                std::u16string(locked ? u"SECURITY UNLOCK and SECURITY DISABLE PASSWORD" : u"SECURITY DISABLE PASSWORD") +
                    u" took the password off: the drive shows none now" +
                    (removed ? u", and the password file " + saved.path + u" was deleted."
                             : u"; the password file " + saved.path + u" could not be deleted."));
  }
  return Undo(O::Failed, "undo-failed",
              std::u16string(after ? u"The drive still shows a password" : u"IDENTIFY DEVICE could not be read") +
                  u" after SECURITY DISABLE PASSWORD." + file);
}

} // namespace trv::format
