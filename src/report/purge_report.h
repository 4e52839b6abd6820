// The details report's firmware purge lines: the method that would run on
// this disk here (the best the disk and Windows allow) with its scope and the
// drive's estimate, or why none would; and the Sanitize Status log's state
// where a sanitize is in progress or failed. Nothing is sent that changes the disk.
#pragma once
#include <optional>
#include <string>
#include <vector>

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

} // namespace trv::report
