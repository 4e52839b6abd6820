// The details report's firmware purge lines: the method that would run on
// this disk here (the best the disk and Windows allow) with its scope and the
// drive's estimate, or why none would; and the Sanitize Status log's state
// where a sanitize is in progress or failed; on an ATA disk SANITIZE STATUS EXT's
// state and the Security state of word 128. Nothing is sent that changes the disk.
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "device/ata_sanitize.h"
#include "device/erase_features.h"
#include "device/nvme_sanitize.h"
#include "format/purge_plan.h"
#include "report/language.h"

namespace trv::report {

// "Firmware purge: Sanitize, crypto erase; every namespace of the controller
// (1 namespace); about 2 minutes (the drive's estimate)", or
// "Firmware purge: none here: connected through USB"; then the state line.
std::vector<std::u16string> PurgeLines(const format::PurgeFacts& facts, const format::PurgePlan& plan,
                                       Language language = Language::Chinese);

// "Sanitize status (log 81h): in progress, 42% done" or "... the last
// sanitize failed"; none for the states that need no word.
std::optional<std::u16string> SanitizeStateLine(const device::SanitizeStatus& status,
                                                Language language = Language::Chinese);
// An ATA disk's SANITIZE STATUS EXT: "Sanitize status (SANITIZE STATUS EXT): in
// progress, 42% done", "... the last sanitize failed: <reason>", "... frozen ...";
// none when idle or succeeded.
std::optional<std::u16string> SanitizeStateLine(const device::AtaSanitizeStatus& status,
                                                Language language = Language::Chinese);
// An ATA disk's Security state from word 128 where it is worth a word: frozen,
// a password set (locked or not), too many wrong passwords; none otherwise.
std::optional<std::u16string> SecurityStateLine(const device::EraseFeatures& features,
                                                Language language = Language::Chinese);

} // namespace trv::report
