// The ATA reads the reports make, with the bridge fallback: a disk on the USB bus
// (7) whose ordinary ATA paths fail gets one try through the SCSI/ATA
// Translation. Every other bus reads exactly as device::ReadIdentify and
// device::ReadSmartData do.
#pragma once
#include <cstdint>

#include "device/ata.h"

namespace trv::device {

inline constexpr std::int64_t kUsbBus = 7;

bool ReadIdentifyAnyPath(win::Platform& platform, win::Handle handle, std::uint8_t drive, std::int64_t busType,
                         AtaBlock& block);
bool ReadSmartDataAnyPath(win::Platform& platform, win::Handle handle, std::uint8_t drive, std::int64_t busType,
                          AtaBlock& block);
// SMART READ THRESHOLDS, with the same bridge fallback.
bool ReadSmartThresholdsAnyPath(win::Platform& platform, win::Handle handle, std::uint8_t drive, std::int64_t busType,
                                AtaBlock& block);
// SMART RETURN STATUS; over a bridge, with CK_COND so that the bridge returns the
// registers the verdict is in.
SmartStatus ReadSmartStatusAnyPath(win::Platform& platform, win::Handle handle, std::uint8_t drive,
                                   std::int64_t busType);
// The same, saying whether an answer came back short.
SmartRead ReadSmartDataAnyPathChecked(win::Platform& platform, win::Handle handle, std::uint8_t drive,
                                      std::int64_t busType, AtaBlock& block);

} // namespace trv::device
