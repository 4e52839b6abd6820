// The erase of one disk as a command: the banner, the volume lock, the zero-fill
// loop, the refresh of the system's view of the disk, the release of the volumes
// and the reminder. The confirmation and the controls belong to the front end.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "format/zero_fill.h"

namespace trv::format {

inline constexpr std::uint32_t IOCTL_DISK_UPDATE_PROPERTIES = 0x00070140;

struct EraseRequest {
  EraseTarget target;
  std::uint32_t deviceNumber = 0;  // N of \\.\PhysicalDriveN, for the volume search
  std::u16string deviceTitle;      // the disk's one-line title
  std::u16string productLine;      // product name and web address for the banner
  bool quickWipe = false;
};

struct EraseCommandResult {
  bool volumesLocked = false;
  std::optional<EraseResult> run;  // none: the loop did not run
};

EraseCommandResult EraseDevice(FormatContext& ctx, const EraseRequest& request);

} // namespace trv::format
