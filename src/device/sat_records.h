// Control code and record layout of the SCSI pass-through request that carries
// ATA PASS-THROUGH (16) commands to USB bridges speaking the SCSI/ATA
// Translation. The program is a 32-bit process, so SCSI_PASS_THROUGH has its
// 32-bit layout (Windows converts it for 64-bit drivers); the win32 backend
// checks the offsets against the SDK's header.
#pragma once
#include <cstddef>
#include <cstdint>

namespace trv::device::sat {

inline constexpr std::uint32_t IOCTL_SCSI_PASS_THROUGH = 0x0004D004;

// SCSI_PASS_THROUGH, 44 bytes.
inline constexpr std::size_t kSptLength = 0;  // USHORT, the record's own size
inline constexpr std::size_t kSptScsiStatus = 2;
inline constexpr std::size_t kSptCdbLength = 6;
inline constexpr std::size_t kSptSenseInfoLength = 7;
inline constexpr std::size_t kSptDataIn = 8;
inline constexpr std::size_t kSptDataTransferLength = 12;
inline constexpr std::size_t kSptTimeOutValue = 16;  // seconds
inline constexpr std::size_t kSptDataBufferOffset = 20;
inline constexpr std::size_t kSptSenseInfoOffset = 24;
inline constexpr std::size_t kSptCdb = 28;
inline constexpr std::size_t kSptSize = 44;
inline constexpr std::uint8_t SCSI_IOCTL_DATA_IN = 1;

// The program's buffer: the record, four filler bytes, 32 bytes of sense data,
// then the 512 bytes of data.
inline constexpr std::size_t kSenseOffset = 48;
inline constexpr std::uint8_t kSenseLength = 32;
inline constexpr std::size_t kDataOffset = kSenseOffset + kSenseLength;  // 80
inline constexpr std::size_t kBufferSize = kDataOffset + 512;           // 592

// ATA PASS-THROUGH (16).
inline constexpr std::uint8_t kAtaPassThrough16 = 0x85;
inline constexpr std::size_t kCdbLength = 16;
inline constexpr std::uint8_t kProtocolPioDataIn = 4 << 1;  // byte 1: PROTOCOL in bits 4..1
// Byte 2: T_DIR (from the device), BYT_BLOK (count in blocks), T_LENGTH 2 (the
// transfer length is in the sector count field).
inline constexpr std::uint8_t kTransferFromDeviceInBlocks = 0x0E;

// The short time a bridge gets to answer: a bridge that has not answered by
// then does not know the command, and the user is waiting.
inline constexpr std::uint32_t kTimeoutSeconds = 5;

// SCSI status and sense keys the answer is judged by.
inline constexpr std::uint8_t kStatusGood = 0x00;
inline constexpr std::uint8_t kSenseNoSense = 0x0, kSenseRecoveredError = 0x1;

} // namespace trv::device::sat
