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
// SMART READ THRESHOLDS (D1h), the same way.
bool ReadSmartThresholds(win::Platform& platform, win::Handle handle, std::uint8_t drive, AtaBlock& block);

// The block of one answer in the program's 592-byte buffer layout (the record,
// sense data at 48, data at 80), `returned` the count the driver reported:
// false, `block` untouched, for CHECK CONDITION or an error sense key, a short
// or lying count, or a block of zeros.
bool TakeBlock(std::span<const std::uint8_t> answer, std::uint32_t returned, AtaBlock& block);

} // namespace trv::device::sat
