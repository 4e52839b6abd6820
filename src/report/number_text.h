// Number and capacity texts shared by the reports, the selection list and the
// format engine.
#pragma once
#include <cstdint>
#include <string>

#include "device/device_records.h"
#include "platform/sinks.h"

namespace trv::report {

// Decimal text with a comma between groups of three digits from the fifth digit on.
std::u16string FormatThousands(std::int64_t value);
// Bytes, KB, MB or GB in powers of 1000, cut (not rounded) to two decimals.
std::u16string CapacityToStr(std::int64_t bytes, char16_t decimalSeparator = u'.');
// "[N]  model    firmware    [capacity]" for entry `index` (1..16) of the table.
std::u16string GetDeviceDescription(const device::DeviceState& devices, std::int64_t index,
                                    char16_t decimalSeparator = u'.');
// Bytes of a disk: sectors times sector size, saturating instead of overflowing.
std::int64_t CapacityBytes(std::int64_t sectors, std::int64_t sectorSize);

// Report appenders: the line as it is, no time stamp, never clearing what came before.
inline void AddToDetails(LineSink& logDetails, std::u16string line) { logDetails.AddLine(std::move(line)); }
inline void AddToSmartLog(LineSink& logSmart, std::u16string line) { logSmart.AddLine(std::move(line)); }

} // namespace trv::report
