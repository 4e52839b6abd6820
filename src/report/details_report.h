// The device details report: what the chosen disk says about itself in its ATA
// IDENTIFY DEVICE data, appended to the details tab's memo (or the console's report).
#pragma once
#include <string>
#include <string_view>

#include "device/device_records.h"
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
};

// Appends the whole report: the header, then the decoded IDENTIFY data or the
// reason there is none. Reads IDENTIFY once, twice on the ATA bus (type 3); a
// USB disk gets one more try through its bridge, an NVMe disk (17) shows its
// NVMe identify data instead where the system can read it.
void ShowDeviceDetails(DetailsContext& ctx);

} // namespace trv::report
