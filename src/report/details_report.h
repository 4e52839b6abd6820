// The device details report: what the chosen disk says about itself in its ATA
// IDENTIFY DEVICE data, appended to the details tab's memo (or the console's report).
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "device/device_records.h"
#include "device/drive_identity.h"
#include "device/erase_features.h"
#include "device/hidden_sectors.h"
#include "format/purge_plan.h"
#include "platform/platform.h"
#include "platform/sinks.h"
#include "report/language.h"
#include "report/drive_facts.h"

namespace trv::report {

// What the report needs from the run. `dev.SelectedDevice` names a filled entry
// and `dev.DeviceHandle` is open on it.
struct DetailsContext {
  win::Platform& platform;            // device requests and the date-time text
  const device::DeviceState& dev;
  LineSink& Log_Details;              // the details tab's memo, or lines to print
  std::u16string_view productTitle;   // "Trevasso 4.12"
  std::u16string_view productWebAddress;
  std::u16string_view supportForumAddress;
  char16_t decimalSeparator = u'.';
  Language language = Language::Chinese;
  // When given, receives what firmware erase the disk offers, as the report shows it.
  std::optional<device::EraseFeatures>* eraseFeatures = nullptr;
  // When given, receives the sectors an HPA or a DCO keeps out of reach.
  std::vector<device::HiddenRange>* hiddenRanges = nullptr;
  // When given, receives the drive's own identity and size, as the report shows them.
  std::optional<DriveFacts>* facts = nullptr;
  // When given, receives what the drive says of itself in the identify data the report reads.
  device::DriveFacts* drive = nullptr;
  // When given, receive what the firmware purge lines rest on: the facts read
  // from the disk and the system, and the plan for the best method.
  format::PurgeFacts* purgeFacts = nullptr;
  format::PurgePlan* purgePlan = nullptr;
};

// Appends the whole report: the header, then the decoded IDENTIFY data or the
// reason there is none. Reads IDENTIFY once, twice on the ATA bus (type 3); a
// USB disk gets one more try through its bridge, an NVMe disk (17) shows its
// NVMe identify data instead where the system can read it. Both end with what
// firmware erase the disk offers (read from the identify data; nothing is sent).
// Every report then ends with the firmware purge that would run here, or why none
// would, and a sanitize in progress or failed (PurgeLines).
// Returns the disk's size as the drive states it, in bytes (0: unknown); when
// that exceeds what Windows shows, the report says so, and it names the sectors
// a host protected area or a device configuration overlay hides past it.
std::int64_t ShowDeviceDetails(DetailsContext& ctx);

// The bytes the drive states it holds, asked through the open handle: an ATA
// drive's IDENTIFY words 100-103 (or 60-61) times its logical sector size, an
// NVMe namespace's size times its block size; 0 when the drive does not tell.
// `hidden`, when given, receives the sectors an HPA or a DCO hides past it.
std::int64_t StatedBytes(win::Platform& platform, win::Handle handle, const device::TIdentifyDeviceData& id,
                         std::vector<device::HiddenRange>* hidden = nullptr);

// The report's lines on the sectors past the stated size: the hidden ranges, or
// why they could not be checked; none when nothing is hidden.
std::vector<std::u16string> HiddenSectorLines(const device::HiddenSectors& hidden, Language language = Language::Chinese);

} // namespace trv::report
