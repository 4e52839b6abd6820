// Control code and record layout of the SCSI pass-through request that carries
// ATA PASS-THROUGH (16) commands to USB bridges speaking the SCSI/ATA
// Translation. SCSI_PASS_THROUGH holds a ULONG_PTR (DataBufferOffset), so its
// layout follows the program's bitness: 44 bytes in a 32-bit program (Windows
// converts it for 64-bit drivers under WOW64), 56 in a 64-bit one. The program
// builds the record of its own bitness; the win32 backend checks both layouts
// against the SDK's header in the build of each bitness.
#pragma once
#include <cstddef>
#include <cstdint>

namespace trv::device::sat {

inline constexpr std::uint32_t IOCTL_SCSI_PASS_THROUGH = 0x0004D004;

// The fields before DataBufferOffset lie alike in both layouts.
inline constexpr std::size_t kSptLength = 0;  // USHORT, the record's own size
inline constexpr std::size_t kSptScsiStatus = 2;
inline constexpr std::size_t kSptCdbLength = 6;
inline constexpr std::size_t kSptSenseInfoLength = 7;
inline constexpr std::size_t kSptDataIn = 8;
inline constexpr std::size_t kSptDataTransferLength = 12;
inline constexpr std::size_t kSptTimeOutValue = 16;  // seconds

// Where the fields from DataBufferOffset on lie, for one bitness.
struct SptLayout {
  std::size_t dataBufferOffset;      // ULONG_PTR
  std::size_t dataBufferOffsetSize;  // 4 or 8 bytes
  std::size_t senseInfoOffset;       // ULONG
  std::size_t cdb;                   // UCHAR[16]
  std::size_t size;                  // sizeof(SCSI_PASS_THROUGH), its alignment padding included
};
inline constexpr SptLayout kSpt32{20, 4, 24, 28, 44};
inline constexpr SptLayout kSpt64{24, 8, 32, 36, 56};
inline constexpr SptLayout kSpt = sizeof(void*) == 8 ? kSpt64 : kSpt32;  // this program's

inline constexpr std::size_t kSptDataBufferOffset = kSpt.dataBufferOffset;
inline constexpr std::size_t kSptSenseInfoOffset = kSpt.senseInfoOffset;
inline constexpr std::size_t kSptCdb = kSpt.cdb;
inline constexpr std::size_t kSptSize = kSpt.size;
inline constexpr std::uint8_t SCSI_IOCTL_DATA_IN = 1;
inline constexpr std::uint8_t SCSI_IOCTL_DATA_UNSPECIFIED = 2;

// The program's buffer: the record, filler to the next 8 bytes, 32 bytes of
// sense data, then the 512 bytes of data (sense at 48 and data at 80 in a
// 32-bit program; 56 and 88 in a 64-bit one).
inline constexpr std::uint8_t kSenseLength = 32;
inline constexpr std::size_t kSenseOffset = (kSptSize + 7) / 8 * 8;
inline constexpr std::size_t kDataOffset = kSenseOffset + kSenseLength;
inline constexpr std::size_t kBufferSize = kDataOffset + 512;

// ATA PASS-THROUGH (16).
inline constexpr std::uint8_t kAtaPassThrough16 = 0x85;
inline constexpr std::size_t kCdbLength = 16;
inline constexpr std::uint8_t kProtocolPioDataIn = 4 << 1;  // byte 1: PROTOCOL in bits 4..1
// Byte 2: T_DIR (from the device), BYT_BLOK (count in blocks), T_LENGTH 2 (the
// transfer length is in the sector count field).
inline constexpr std::uint8_t kTransferFromDeviceInBlocks = 0x0E;

// Byte 1: PROTOCOL 3 (non-data), EXTEND in bit 0. Byte 2: CK_COND, so that the
// bridge returns the drive's registers in the sense data; no transfer.
inline constexpr std::uint8_t kProtocolNonData = 3 << 1;
inline constexpr std::uint8_t kCheckConditionWanted = 0x20;
// The sense descriptor that carries them: ATA Return, 14 bytes.
inline constexpr std::uint8_t kAtaReturnDescriptor = 0x09;
inline constexpr std::uint8_t kAtaReturnLength = 14;

// The short time a bridge gets to answer: a bridge that has not answered by
// then does not know the command, and the user is waiting.
inline constexpr std::uint32_t kTimeoutSeconds = 5;

// SCSI status and sense keys the answer is judged by.
inline constexpr std::uint8_t kStatusGood = 0x00, kStatusCheckCondition = 0x02;
inline constexpr std::uint8_t kSenseNoSense = 0x0, kSenseRecoveredError = 0x1, kSenseIllegalRequest = 0x5;

} // namespace trv::device::sat
