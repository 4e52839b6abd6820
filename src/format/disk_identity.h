// Who a disk is, as the scan identified it: what the user chose and confirmed,
// what an erase checks again before its first write, and what its record names.
#pragma once
#include <cstdint>
#include <string>

namespace trv::format {

struct DiskIdentity {
  std::uint32_t number = 0;     // N of \\.\PhysicalDriveN
  std::int64_t busType = 0;     // STORAGE_BUS_TYPE
  std::u16string bus;           // its display name
  std::u16string model;
  std::u16string firmware;
  std::u16string serial;
  std::int64_t sectorSize = 0;
  std::int64_t sectors = 0;
  std::int64_t Capacity() const { return sectors * sectorSize; }
};

} // namespace trv::format
