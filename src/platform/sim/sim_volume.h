// A volume (drive letter) of the simulated PC: the physical device number it
// reports, and how its open, query, lock, dismount and extended-I/O requests
// come out.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include <nlohmann/json_fwd.hpp>

namespace trv::sim {

// The volume requests a scenario can make fail.
enum class VolumeRequest { Open, Query, Lock, Dismount, ExtendedIo };
inline constexpr std::size_t kVolumeRequestCount = 5;

struct SimVolume {
  std::u16string root;              // as GetLogicalDriveStringsW lists it, e.g. "C:\"
  std::uint32_t deviceType = 7;     // FILE_DEVICE_DISK; 2 is FILE_DEVICE_CD_ROM
  std::uint32_t deviceNumber = 0;   // N of \\.\PhysicalDriveN
  std::uint32_t partition = 1;
  std::string label;
  std::optional<std::uint32_t> failWith[kVolumeRequestCount];

  const std::optional<std::uint32_t>& Failure(VolumeRequest r) const { return failWith[static_cast<std::size_t>(r)]; }
  // The device name a program opens: "\\.\" and the root without its backslash.
  std::u16string DeviceName() const;
};

SimVolume ParseVolume(const nlohmann::json& j, const std::string& where);

} // namespace trv::sim
