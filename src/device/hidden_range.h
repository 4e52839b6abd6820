// A range of sectors past the drive's stated maximum that it keeps out of reach.
#pragma once
#include <cstdint>

namespace trv::device {

// Either, when the native maximum could not be read but the overlay's could:
// then what lies between the stated and the overlay's maximum may be either.
enum class HiddenBy { HostProtectedArea, ConfigurationOverlay, EitherOfThem };

// Sectors [firstSector, endSector) that the drive keeps out of reach.
struct HiddenRange {
  HiddenBy by = HiddenBy::HostProtectedArea;
  std::int64_t firstSector = 0, endSector = 0, sectorSize = 512;
  std::int64_t Sectors() const { return endSector - firstSector; }
  std::int64_t FirstByte() const { return firstSector * sectorSize; }
  std::int64_t EndByte() const { return endSector * sectorSize; }
  bool operator==(const HiddenRange&) const = default;
};

} // namespace trv::device
