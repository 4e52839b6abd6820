// Taking the disk's volumes away from the file systems before it is written:
// every drive letter whose volume sits on the disk is opened, locked, dismounted
// and allowed I/O past its end; the handles stay open until UnlockVolumes.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "format/erase_observer.h"

namespace trv::format {

inline constexpr std::uint32_t IOCTL_STORAGE_GET_DEVICE_NUMBER = 0x002D1080;
inline constexpr std::uint32_t FSCTL_LOCK_VOLUME = 0x00090018;
inline constexpr std::uint32_t FSCTL_DISMOUNT_VOLUME = 0x00090020;
inline constexpr std::uint32_t FSCTL_ALLOW_EXTENDED_DASD_IO = 0x00090083;

using TLogicalDriveList = std::array<std::u16string, 128>;

struct TVolumeDeviceNumber {
  bool Valid = false;
  std::uint32_t DeviceType = 0;
  std::uint32_t DeviceNumber = 0;
  std::uint32_t PartitionNumber = 0;
};

// Drive roots without their trailing backslash ("C:"), in the system's order.
void GetLogicalDriveList(win::Platform& platform, TLogicalDriveList& list);
void GetVolumeDeviceNumber(win::Platform& platform, const std::u16string& name, TVolumeDeviceNumber& info);
// True when every volume on physical disk `deviceNumber` is locked and dismounted
// (also when there is none). Handles locked before a failure stay in
// ctx.volumeHandles for UnlockVolumes.
bool LockVolumes(FormatContext& ctx, std::int64_t deviceNumber);
// Closes every locked volume handle; closing ends the lock.
void UnlockVolumes(win::Platform& platform, std::vector<win::Handle>& volumeHandles);

} // namespace trv::format
