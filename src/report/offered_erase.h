// The firmware erases a disk offers, read again through the handle an erase
// opened, so that its record can say why none was used.
#pragma once
#include <optional>

#include "device/device_records.h"
#include "device/erase_features.h"
#include "platform/platform.h"

namespace trv::report {

// From IDENTIFY DEVICE (an ATA disk, also through a bridge) or NVMe Identify
// Controller; none when the disk does not answer either. Sends nothing that
// changes the disk.
std::optional<device::EraseFeatures> OfferedEraseFeatures(win::Platform& platform, win::Handle handle,
                                                          const device::TIdentifyDeviceData& id);

} // namespace trv::report
