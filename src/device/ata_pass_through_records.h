// Control code and record layout of IOCTL_ATA_PASS_THROUGH, which carries one
// ATA command with its whole task file through the port driver and hands the
// task file back (the previous one too, for a 48-bit command). ATA_PASS_THROUGH_EX
// holds a ULONG_PTR (DataBufferOffset), so its layout follows the program's
// bitness, as SCSI_PASS_THROUGH's does: 40 bytes in a 32-bit program, 48 in a
// 64-bit one. The win32 backend checks both against the SDK's header.
#pragma once
#include <cstddef>
#include <cstdint>

namespace trv::device::apt {

inline constexpr std::uint32_t IOCTL_ATA_PASS_THROUGH = 0x0004D02C;

inline constexpr std::uint16_t ATA_FLAGS_DRDY_REQUIRED = 1 << 0;
inline constexpr std::uint16_t ATA_FLAGS_DATA_IN = 1 << 1;
inline constexpr std::uint16_t ATA_FLAGS_DATA_OUT = 1 << 2;
inline constexpr std::uint16_t ATA_FLAGS_48BIT_COMMAND = 1 << 3;

// The fields before DataBufferOffset lie alike in both layouts.
inline constexpr std::size_t kLength = 0;  // USHORT, the record's own size
inline constexpr std::size_t kAtaFlags = 2;
inline constexpr std::size_t kDataTransferLength = 8;
inline constexpr std::size_t kTimeOutValue = 12;  // seconds

struct AptLayout {
  std::size_t dataBufferOffset;      // ULONG_PTR
  std::size_t dataBufferOffsetSize;  // 4 or 8 bytes
  std::size_t previousTaskFile;      // UCHAR[8]
  std::size_t currentTaskFile;       // UCHAR[8]
  std::size_t size;                  // sizeof(ATA_PASS_THROUGH_EX)
};
inline constexpr AptLayout kApt32{20, 4, 24, 32, 40};
inline constexpr AptLayout kApt64{24, 8, 32, 40, 48};
inline constexpr AptLayout kApt = sizeof(void*) == 8 ? kApt64 : kApt32;  // this program's

// A task file, eight bytes in IDEREGS order: features (error on return), sector
// count, LBA low, LBA mid, LBA high, device, command (status on return), reserved.
inline constexpr std::size_t kTaskFileSize = 8;

// A drive that has not answered within this time does not know the command.
inline constexpr std::uint32_t kTimeoutSeconds = 10;

} // namespace trv::device::apt
