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
// Read through `handle` (a shared open of \\.\PhysicalDriveN is enough); nothing is sent.
PurgeOutlook PurgeOutlookOf(win::Platform& platform, win::Handle handle, const device::TDeviceTable& entry,
                            format::PurgeChoice choice);

// The Sanitize Status log of an NVMe disk, asked through a shared open of its
// own; none when the disk is not on the NVMe bus or its log cannot be read.
std::optional<device::SanitizeStatus> SanitizeStatusOf(win::Platform& platform, std::uint32_t number,
                                                       std::int64_t busType);


// `details --json`'s "purge" object.
nlohmann::ordered_json PurgeJson(const PurgeOutlook& outlook);
// The log's state as JSON: state, progress (in progress), Global Data Erased, the action last run; null when unread.
nlohmann::ordered_json SanitizeStatusJson(const std::optional<device::SanitizeStatus>& status);

// The lines that say how a purge ended: the outcome ("purged", "purge
// unverified", "failed") with the reason, and the method that ran.
std::u16string PurgeSummary(const format::PurgeResult& purge);
// The NIST SP 800-88 category the record earns: "category: Clear", "category: Purge" or "category: none".
std::u16string CategoryLine(const format::EraseRecord& record);

} // namespace trv::cli
