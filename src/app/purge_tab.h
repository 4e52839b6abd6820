// The format tab's firmware purge: what the purge box says beside it, the
// confirmation's text, and the lines shown while and after a purge runs.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "format/ata_password_undo.h"
#include "format/disk_identity.h"
#include "format/purge_plan.h"
#include "format/purge_result.h"
#include "platform/platform.h"

namespace trv::app {

// Beside the purge box: the method that would run here, or why none can (a
// frozen drive's reason says what helps).
std::u16string PurgeChoiceText(const format::PurgePlan& plan);
// The confirmation's main instruction and content: the disk, the method, its
// scope, that it cannot be undone or stopped, and the drive's estimate; for a
// security erase the temporary password and `passwordFile`, where it is kept
// (or the saved password an unfinished erase is finished with).
inline constexpr char16_t kPurgeConfirmInstruction[] = u"All data on the selected device will be purged by its firmware";
std::u16string PurgeConfirmationText(const format::DiskIdentity& disk, const format::PurgePlan& plan,
                                     const std::u16string& passwordFile = {});

// Where the window's erases keep their records, and a security erase its
// password: the default records folder, absolute (empty: the system names none).
std::u16string PasswordFolder(win::Platform& platform);

// The question after the scan about a disk an erase of this program left with
// a password (format::FindStrandedDisk): Yes finishes the erase, No takes the
// password away, Cancel leaves it.
inline constexpr char16_t kStrandedCaption[] = u"Disk left with a password";
inline constexpr char16_t kStrandedInstruction[] = u"An erase of this program left a disk with a password";
std::u16string StrandedDiskText(const std::u16string& diskTitle, const format::StrandedDisk& disk);
// The current sector's row while a purge runs: "Elapsed 0:01:05, est. 0:02:00".
std::u16string PurgeElapsedText(std::int64_t elapsedSeconds, const std::optional<std::uint32_t>& estimateSeconds);
// The speed line after it: "Purge: purged", "Purge: purge unverified", "Purge: failed".
std::u16string PurgeOutcomeLine(format::PurgeOutcome outcome);

// Beside the purge box while a purge runs, in place of the method.
inline constexpr char16_t kStopDisabledText[] = u"Stop is disabled: a purge cannot be stopped.";
// Why logging off or shutting down is refused while a purge runs.
inline constexpr char16_t kPurgeRunningReason[] =
    u"A disk is being purged by its firmware. A purge cannot be stopped: wait until it ends, and do not power off.";
// Why the window does not close while a purge runs.
inline constexpr char16_t kPurgeCloseCaption[] = u"Purge in progress";
inline constexpr char16_t kPurgeCloseText[] =
    u"The disk's firmware is purging it, and a purge cannot be stopped. Wait until it ends: the window can be closed "
    u"then. Do not power off the computer meanwhile.";

} // namespace trv::app
