// What the console says of firmware purges: which method would run on a disk
// here and why none would (details, and the erase's own check before anything
// is sent), a sanitize the drive's log says is running or failed (list), and
// how a purge ended (erase's summary and exit code).
#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "device/device_records.h"
#include "device/nvme_sanitize.h"
#include "format/erase_record.h"
#include "format/purge_plan.h"
#include "format/purge_result.h"
#include "platform/platform.h"

namespace trv::cli {

// The plan for a disk on this Windows, with the facts it rests on.
struct PurgeOutlook {
  format::PurgeFacts facts;
  format::PurgePlan plan;
};
// Read through `handle` (a shared open of \\.\PhysicalDriveN for reading and
// writing, as ATA pass-through needs); nothing that changes the disk is sent.
// `passwordFolder`: where this program's saved passwords are looked for (the
// records folder); a locked ATA disk whose serial has one there gets the plan
// that finishes its erase.
PurgeOutlook PurgeOutlookOf(win::Platform& platform, win::Handle handle, const device::TDeviceTable& entry,
                            format::PurgeChoice choice, const std::u16string& passwordFolder);
// The same from facts already read (the details report's): the saved password
// looked up, the plan made for `choice`.
PurgeOutlook PurgeOutlookFrom(win::Platform& platform, format::PurgeFacts facts, format::PurgeChoice choice,
                              const std::u16string& passwordFolder);

// IDENTIFY DEVICE says a user password is set (locked, or unlocked with it).
bool HasPassword(const device::AtaBlock& identify);

// The records folder as the erase takes it (--records, else the default),
// made absolute as the erase makes it: where the erase keeps a security
// erase's password, and where list, details and unlock look for it. Empty when
// the system names none. Nothing is created.
std::u16string PasswordFolder(win::Platform& platform, const std::u16string& given);
// The file a security erase keeps its password in, for this disk; empty when
// the disk's IDENTIFY DEVICE was not read.
std::u16string PasswordFilePath(const format::PurgeFacts& facts, const std::u16string& passwordFolder);

// Before a security erase, on standard error: the temporary password set and
// the file it is kept in, or the saved password an unfinished erase is
// finished with; empty for another method.
std::u16string SecurityEraseNote(const PurgeOutlook& outlook, const std::u16string& passwordFolder,
                                 std::uint32_t number);

// The Sanitize Status log of an NVMe disk, asked through a shared open of its
// own; none when the disk is not on the NVMe bus or its log cannot be read.
std::optional<device::SanitizeStatus> SanitizeStatusOf(win::Platform& platform, std::uint32_t number,
                                                       std::int64_t busType);


// `details --json`'s and `list --json`'s "purge" object.
nlohmann::ordered_json PurgeJson(const PurgeOutlook& outlook);
// An ATA disk's security state (word 128) and whether a saved password of
// ours matches it; null for another disk or when IDENTIFY was not read.
nlohmann::ordered_json AtaSecurityJson(const format::PurgeFacts& facts);
// SANITIZE STATUS EXT's answer; null when not read (or not an ATA disk).
nlohmann::ordered_json AtaSanitizeJson(const std::optional<device::AtaSanitizeStatus>& status);
// The log's state as JSON: state, progress (in progress), Global Data Erased, the action last run; null when unread.
nlohmann::ordered_json SanitizeStatusJson(const std::optional<device::SanitizeStatus>& status);

// The lines that say how a purge ended: the outcome ("purged", "purge
// unverified", "failed") with the reason, and the method that ran.
std::u16string PurgeSummary(const format::PurgeResult& purge);
// The NIST SP 800-88 category the record earns: "category: Clear", "category: Purge" or "category: none".
std::u16string CategoryLine(const format::EraseRecord& record);

} // namespace trv::cli
