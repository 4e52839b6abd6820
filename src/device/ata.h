// ATA commands carried to the disk through the S.M.A.R.T. and SCSI miniport
// control requests. Each returns only whether it worked.
#pragma once
#include <array>
#include <cstdint>
#include <span>

#include "platform/platform.h"

namespace trv::device {

using AtaBlock = std::array<std::uint8_t, 512>;

// The 512-byte IDENTIFY DEVICE block as the device sent it; `block` untouched on failure.
bool ReadIdentify(win::Platform& platform, win::Handle handle, std::uint8_t drive, AtaBlock& block);
// The 512-byte SMART READ DATA block; `block` untouched on failure.
bool ReadSmartData(win::Platform& platform, win::Handle handle, std::uint8_t drive, AtaBlock& block);
bool SmartEnable(win::Platform& platform, win::Handle handle, std::uint8_t drive);
bool SmartDisable(win::Platform& platform, win::Handle handle, std::uint8_t drive);

} // namespace trv::device
