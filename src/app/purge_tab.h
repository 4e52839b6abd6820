// The format tab's firmware purge: what the purge box says beside it, the
// confirmation's text, and the lines shown while and after a purge runs.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "format/disk_identity.h"
#include "format/purge_plan.h"
#include "format/purge_result.h"

namespace trv::app {

// Beside the purge box: the method that would run here, or why none can.
std::u16string PurgeChoiceText(const format::PurgePlan& plan);
// The confirmation's main instruction and content: the disk, the method, its
// scope, that it cannot be undone or stopped, and the drive's estimate.
inline constexpr char16_t kPurgeConfirmInstruction[] = u"All data on the selected device will be purged by its firmware";
std::u16string PurgeConfirmationText(const format::DiskIdentity& disk, const format::PurgePlan& plan);
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
