// Who a disk is, as the scan identified it: what the user chose and confirmed,
// what an erase checks again before its first write, and what its record names.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "device/drive_identity.h"

namespace trv::format {

struct DiskIdentity {
  std::uint32_t number = 0;     // N of \\.\PhysicalDriveN
  std::int64_t busType = 0;     // STORAGE_BUS_TYPE
  std::u16string bus;           // its display name
  // As Windows names it (the storage descriptor): behind a USB bridge, the bridge's serial.
  std::u16string model;
  std::u16string firmware;
  std::u16string serial;
  std::int64_t sectorSize = 0;
  std::int64_t sectors = 0;
  // What the drive itself says (IDENTIFY, through SAT, or NVMe Identify Controller); none: not asked, or no answer.
  std::optional<device::DriveOwnIdentity> drive;
  device::MediaType media = device::MediaType::Unknown;
  std::int64_t Capacity() const { return sectors * sectorSize; }
};

// The texts a record and the console name the disk by: the drive's own where
// it told them, else Windows'; trimmed of blanks and control characters.
std::u16string ShownModel(const DiskIdentity& disk);
std::u16string ShownFirmware(const DiskIdentity& disk);
std::u16string ShownSerial(const DiskIdentity& disk);

} // namespace trv::format
