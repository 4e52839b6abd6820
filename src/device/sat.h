// ATA commands for disks behind USB bridges: the SCSI/ATA Translation's ATA
// PASS-THROUGH (16) sent through IOCTL_SCSI_PASS_THROUGH with a short timeout.
// Only the two read-only commands exist here; nothing that writes can be sent.
#pragma once
#include "device/ata.h"

namespace trv::device::sat {

// As device::ReadIdentify and device::ReadSmartData: true and the 512 bytes the
// drive sent, or false and `block` untouched when the bridge refuses (sense
// data), times out, answers short or moves no data.
bool ReadIdentify(win::Platform& platform, win::Handle handle, std::uint8_t drive, AtaBlock& block);
bool ReadSmartData(win::Platform& platform, win::Handle handle, std::uint8_t drive, AtaBlock& block);

} // namespace trv::device::sat
