// A volume of the simulated PC: its GUID path, drive letter and mount folders,
// the physical device number it reports, the disk extents it lies on, and how
// its open, query, lock, dismount and extended-I/O requests come out.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json_fwd.hpp>

namespace trv::sim {

// The volume requests a scenario can make fail.
enum class VolumeRequest { Open, Query, Lock, Dismount, ExtendedIo, Extents, PathNames };
inline constexpr std::size_t kVolumeRequestCount = 7;

struct SimExtent {
  std::uint32_t disk = 0;
  std::int64_t offset = 0;
  std::int64_t length = 0;
};

struct SimVolume {
  std::u16string root;              // as GetLogicalDriveStringsW lists it, e.g. "C:\"; empty: no drive letter
  std::u16string guid;              // "{...}" of its GUID path
  std::vector<std::u16string> mountFolders;  // "C:\Mount\Data\"
  std::uint32_t deviceType = 7;     // FILE_DEVICE_DISK; 2 is FILE_DEVICE_CD_ROM
  std::optional<std::uint32_t> deviceNumber;  // N of \\.\PhysicalDriveN; none: the query fails, as on a dynamic volume
  std::uint32_t partition = 1;
  std::vector<SimExtent> extents;
  std::string label;
  std::optional<std::uint32_t> failWith[kVolumeRequestCount];

  const std::optional<std::uint32_t>& Failure(VolumeRequest r) const { return failWith[static_cast<std::size_t>(r)]; }
  // "\\?\Volume{...}\", as the volume search lists it.
  std::u16string GuidPath() const;
  // Whether a program opening `path` opens this volume: "\\.\C:" for its letter,
  // or its GUID path without the final backslash.
  bool OpenedBy(std::u16string_view path) const;
  // Its drive root (when it is one) and mount folders, as GetVolumePathNamesForVolumeNameW lists them.
  std::vector<std::u16string> PathNames() const;
  // How the journal names it: its root, else its GUID path.
  std::u16string JournalName() const;
};

// `index`: the volume's place in the list, which gives it a GUID unless one is given.
SimVolume ParseVolume(const nlohmann::json& j, const std::string& where, std::size_t index);

} // namespace trv::sim
