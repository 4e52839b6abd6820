// Volume requests and records the program and the simulated PC share: control
// codes, VOLUME_DISK_EXTENTS as byte offsets, and the error codes of the volume
// search. The win32 backend checks them against the SDK's headers.
#pragma once
#include <cstddef>
#include <cstdint>

namespace trv::vol {

inline constexpr std::uint32_t IOCTL_STORAGE_GET_DEVICE_NUMBER = 0x002D1080;
inline constexpr std::uint32_t IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS = 0x00560000;
inline constexpr std::uint32_t FSCTL_LOCK_VOLUME = 0x00090018;
inline constexpr std::uint32_t FSCTL_DISMOUNT_VOLUME = 0x00090020;
inline constexpr std::uint32_t FSCTL_ALLOW_EXTENDED_DASD_IO = 0x00090083;

// STORAGE_DEVICE_NUMBER: DeviceType, DeviceNumber, PartitionNumber.
inline constexpr std::size_t kDeviceNumberSize = 12;
inline constexpr std::uint32_t FILE_DEVICE_CD_ROM = 2;
inline constexpr std::uint32_t FILE_DEVICE_DISK = 7;

// VOLUME_DISK_EXTENTS: NumberOfDiskExtents, then the DISK_EXTENTs from offset 8
// (each holds LARGE_INTEGERs, so the array is 8-byte aligned on 32- and 64-bit
// Windows alike). DISK_EXTENT: DiskNumber, StartingOffset, ExtentLength.
inline constexpr std::size_t kExtentsCount = 0;
inline constexpr std::size_t kExtentsFirst = 8;
inline constexpr std::size_t kExtentsRecordSize = 32;  // the record with one extent
inline constexpr std::size_t kDiskExtentSize = 24;
inline constexpr std::size_t kExtentDiskNumber = 0;
inline constexpr std::size_t kExtentStartingOffset = 8;
inline constexpr std::size_t kExtentLength = 16;

// Errors of the volume search and of the answers that do not fit.
inline constexpr std::uint32_t ERROR_NO_MORE_FILES = 18;
inline constexpr std::uint32_t ERROR_FILENAME_EXCED_RANGE = 206;
inline constexpr std::uint32_t ERROR_MORE_DATA = 234;

// REG_MULTI_SZ, the type of the page-file values (REG_SZ where one text is kept).
inline constexpr std::uint32_t REG_SZ = 1;
inline constexpr std::uint32_t REG_MULTI_SZ = 7;
inline constexpr char16_t kMemoryManagementKey[] =
    u"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Memory Management";

} // namespace trv::vol
