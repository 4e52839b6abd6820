// Control codes and record layouts of the ATA pass-through requests: byte
// offsets into the Windows structures, which the platform declares packed.
#pragma once
#include <cstddef>
#include <cstdint>

namespace trv::device::ata {

inline constexpr std::uint32_t SMART_GET_VERSION = 0x00074080;
inline constexpr std::uint32_t SMART_SEND_DRIVE_COMMAND = 0x0007C084;
inline constexpr std::uint32_t SMART_RCV_DRIVE_DATA = 0x0007C088;
inline constexpr std::uint32_t IOCTL_SCSI_MINIPORT = 0x0004D008;
inline constexpr std::uint32_t IOCTL_SCSI_MINIPORT_IDENTIFY = 0x001B0501;

inline constexpr std::size_t kVersionAnswerSize = 28;  // offered for GETVERSIONINPARAMS

// SENDCMDINPARAMS, 33 bytes: cBufferSize, IDEREGS (8 bytes), bDriveNumber, three
// reserved bytes, four reserved DWORDs, bBuffer[1].
inline constexpr std::size_t kCommandInSize = 33;
inline constexpr std::size_t kCommandInWithoutBuffer = 32;
inline constexpr std::size_t kInBufferSize = 0;
inline constexpr std::size_t kInRegisters = 4;  // features, count, number, cyl low, cyl high, drive/head, command
inline constexpr std::size_t kInDriveNumber = 12;

// SENDCMDOUTPARAMS: cBufferSize, DRIVERSTATUS (12 bytes), then bBuffer.
inline constexpr std::size_t kOutBuffer = 16;
inline constexpr std::size_t kDataAnswerSize = kOutBuffer + 512;  // 528

// IDEREGS, 8 bytes, as SMART RETURN STATUS hands the task file back in bBuffer.
inline constexpr std::uint32_t kIdeRegsSize = 8;
inline constexpr std::size_t kRegsCylLow = 3;
inline constexpr std::size_t kRegsCylHigh = 4;

// SRB_IO_CONTROL, 28 bytes: HeaderLength, Signature[8], Timeout, ControlCode, ReturnCode, Length.
inline constexpr std::size_t kSrbSize = 28;
inline constexpr std::size_t kSrbHeaderLength = 0;
inline constexpr std::size_t kSrbSignature = 4;
inline constexpr std::size_t kSrbTimeout = 12;
inline constexpr std::size_t kSrbControlCode = 16;
inline constexpr std::size_t kSrbLength = 24;

// Buffer sizes the transport uses.
inline constexpr std::uint32_t kSendCommandOutSize = 527;
inline constexpr std::uint32_t kDataRequestOutSize = 1039;
inline constexpr std::size_t kMiniportBufferSize = 572;  // header, SENDCMDINPARAMS and room for the answer
inline constexpr std::uint32_t kMiniportLength = 544;     // bytes after the header
inline constexpr std::uint32_t kMiniportTimeoutSeconds = 120;
inline constexpr std::uint32_t kMiniportMinimumAnswer = kSrbSize + kDataAnswerSize;  // 556
inline constexpr std::size_t kMiniportBlock = kSrbSize + kOutBuffer;                 // 44

} // namespace trv::device::ata
