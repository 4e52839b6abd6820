// The device details report: what the chosen disk says about itself in its ATA
// IDENTIFY DEVICE data, appended to the details tab's memo (or the console's report).
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "device/device_records.h"
#include "device/erase_features.h"
#include "device/hidden_sectors.h"
#include "platform/platform.h"
#include "platform/sinks.h"

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
  // When given, receives what firmware erase the disk offers, as the report shows it.
  std::optional<device::EraseFeatures>* eraseFeatures = nullptr;
  // When given, receives the sectors an HPA or a DCO keeps out of reach.
  std::vector<device::HiddenRange>* hiddenRanges = nullptr;
};

// Appends the whole report: the header, then the decoded IDENTIFY data or the
// reason there is none. Reads IDENTIFY once, twice on the ATA bus (type 3); a
// USB disk gets one more try through its bridge, an NVMe disk (17) shows its
// NVMe identify data instead where the system can read it. Both end with what
// firmware erase the disk offers (read from the identify data; nothing is sent).
// Returns the disk's size as the drive states it, in bytes (0: unknown); when
// that exceeds what Windows shows, the report says so, and it names the sectors
// a host protected area or a device configuration overlay hides past it.
std::int64_t ShowDeviceDetails(DetailsContext& ctx);

// IDENTIFY through whichever path the bus allows; on the ATA bus (type 3) a
// second try through the SMART interface. `block` is zero-filled before the
// first attempt only.
bool ReadAtaIdentify(win::Platform& platform, win::Handle handle, const device::TIdentifyDeviceData& id,
                     device::AtaBlock& block);

// The bytes the drive states it holds, asked through the open handle: an ATA
// drive's IDENTIFY words 100-103 (or 60-61) times its logical sector size, an
// NVMe namespace's size times its block size; 0 when the drive does not tell.
// `hidden`, when given, receives the sectors an HPA or a DCO hides past it.
std::int64_t StatedBytes(win::Platform& platform, win::Handle handle, const device::TIdentifyDeviceData& id,
                         std::vector<device::HiddenRange>* hidden = nullptr);

// The report's lines on the sectors past the stated size: the hidden ranges, or
// why they could not be checked; none when nothing is hidden.
std::vector<std::u16string> HiddenSectorLines(const device::HiddenSectors& hidden);

} // namespace trv::report
