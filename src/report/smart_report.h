// The S.M.A.R.T. report: the drive's attribute table, read anew on each request
// and appended to the S.M.A.R.T. tab's memo below earlier reports (or to the
// console's report).
#pragma once
#include <string_view>

#include "device/device_records.h"
#include "platform/platform.h"
#include "platform/sinks.h"
#include "report/ata_health.h"
#include "report/language.h"

namespace trv::report {

// What the report needs from the run. `dev.SelectedDevice` names a filled entry
// and `dev.DeviceHandle` is open on it for reading and writing.
struct SmartContext {
  win::Platform& platform;  // device requests and the date-time text
  const device::DeviceState& dev;
  LineSink& Log_Smart;               // the S.M.A.R.T. tab's memo, or lines to print
  std::u16string_view productTitle;  // "Trevasso 4.12"
  std::u16string_view productWebAddress;
  char16_t decimalSeparator = u'.';
  Language language = Language::Chinese;
  std::optional<SmartHealth>* health = nullptr;  // when given, receives the verdict the report shows
};

// Appends one whole report: the header, then the attribute table and the
// health section (verdict and reasons), or the line saying the device gives none. On the ATA bus (type 3) S.M.A.R.T. is switched
// on for the read and switched off again only if it was off before.
void ShowSmartData(SmartContext& ctx);

} // namespace trv::report
