#include "device/ata.h"

#include <algorithm>
#include <cstring>

#include "device/ata_records.h"
#include "platform/records.h"

namespace trv::device {

namespace {

// The seven command registers in IDEREGS order; the eighth byte stays 0.
struct AtaCommandRegs {
  std::uint8_t features, sectorCount, sectorNumber, cylLow, cylHigh, driveHead, command;
};

std::uint8_t DriveHead(std::uint8_t drive) { return static_cast<std::uint8_t>(0xA0 | (drive << 4)); }

AtaCommandRegs IdentifyRegs(std::uint8_t drive) { return {0x00, 0x01, 0x01, 0x00, 0x00, DriveHead(drive), 0xEC}; }
AtaCommandRegs SmartRegs(std::uint8_t feature, std::uint8_t drive) {
  return {feature, 0x01, 0x01, 0x4F, 0xC2, DriveHead(drive), 0xB0};
}
constexpr std::uint8_t kSmartReadData = 0xD0, kSmartReadThresholds = 0xD1, kSmartEnable = 0xD8, kSmartDisable = 0xD9;
constexpr std::uint8_t kSmartReturnStatus = 0xDA;

// Writes a SENDCMDINPARAMS at `at`; the bytes around it must already be zero.
void PutCommand(std::span<std::uint8_t> record, std::size_t at, std::uint32_t bufferSize, const AtaCommandRegs& r,
                std::uint8_t driveNumber) {
  rec::Put32(record, at + ata::kInBufferSize, bufferSize);
  const std::uint8_t regs[] = {r.features, r.sectorCount, r.sectorNumber, r.cylLow, r.cylHigh, r.driveHead, r.command};
  for (std::size_t i = 0; i < sizeof regs; ++i) rec::Put8(record, at + ata::kInRegisters + i, regs[i]);
  rec::Put8(record, at + ata::kInDriveNumber, driveNumber);
}

bool SendSmartCommand(win::Platform& p, win::Handle handle, std::uint8_t drive, const AtaCommandRegs& regs) {
  std::array<std::uint8_t, ata::kCommandInSize> in{};
  std::array<std::uint8_t, ata::kDataAnswerSize> out{};
  PutCommand(in, 0, 0, regs, drive);
  std::uint32_t returned = 0;
  return p.DeviceIoControl(handle, ata::SMART_SEND_DRIVE_COMMAND, in.data(), ata::kCommandInWithoutBuffer, out.data(),
                           ata::kSendCommandOutSize, &returned);
}

// One command that returns 512 bytes: the last 512 of the bytes returned, once
// the whole SENDCMDOUTPARAMS record (528 bytes) has come back.
SmartRead SmartDataRequest(win::Platform& p, win::Handle handle, std::uint8_t drive, const AtaCommandRegs& regs,
                           std::uint32_t controlCode, AtaBlock& block) {
  std::array<std::uint8_t, ata::kCommandInSize> in{};
  std::array<std::uint8_t, ata::kDataRequestOutSize> out{};
  PutCommand(in, 0, 512, regs, drive);
  std::uint32_t returned = 0;
  if (!p.DeviceIoControl(handle, controlCode, in.data(), ata::kCommandInWithoutBuffer, out.data(),
                         ata::kDataRequestOutSize, &returned))
    return {};
  // A count past the output area cannot be real; it is refused rather than read.
  if (returned < 512 || returned > out.size()) return {};
  if (returned < ata::kDataAnswerSize) return {SmartRead::Outcome::Short, returned};
  std::copy_n(out.begin() + (returned - 512), 512, block.begin());
  return {SmartRead::Outcome::Ok, returned};
}

// The receive path, then the send path that some vendor drivers also carry
// reads on. A short answer on either path is remembered when neither works.
SmartRead SmartRead512(win::Platform& p, win::Handle handle, std::uint8_t drive, std::uint8_t feature,
                       AtaBlock& block) {
  const SmartRead first = SmartDataRequest(p, handle, drive, SmartRegs(feature, drive), ata::SMART_RCV_DRIVE_DATA, block);
  if (first.ok()) return first;
  const SmartRead second = SmartDataRequest(p, handle, drive, SmartRegs(feature, drive), ata::SMART_SEND_DRIVE_COMMAND, block);
  if (second.ok() || second.outcome == SmartRead::Outcome::Short) return second;
  return first;
}

bool IdentifyThroughSmart(win::Platform& p, win::Handle handle, std::uint8_t drive, AtaBlock& block) {
  std::uint32_t returned = 0;
  std::array<std::uint8_t, ata::kVersionAnswerSize> version{};
  if (!p.DeviceIoControl(handle, ata::SMART_GET_VERSION, nullptr, 0, version.data(), ata::kVersionAnswerSize, &returned))
    return false;
  std::array<std::uint8_t, ata::kCommandInSize> in{};
  std::array<std::uint8_t, ata::kDataAnswerSize> out{};
  PutCommand(in, 0, 512, IdentifyRegs(drive), 0);  // this path always names drive number 0
  if (!p.DeviceIoControl(handle, ata::SMART_RCV_DRIVE_DATA, in.data(), ata::kCommandInSize, out.data(),
                         ata::kDataAnswerSize, &returned))
    return false;
  // A driver that reports less than the record with its 512 bytes has not read
  // the block: what is there is the zeroed buffer, not data. The miniport path
  // gets its chance instead.
  if (returned < ata::kDataAnswerSize) return false;
  std::copy_n(out.begin() + ata::kOutBuffer, 512, block.begin());
  return true;
}

bool IdentifyThroughMiniport(win::Platform& p, win::Handle handle, std::uint8_t drive, AtaBlock& block) {
  std::array<std::uint8_t, ata::kMiniportBufferSize> buffer{};
  rec::Put32(buffer, ata::kSrbHeaderLength, ata::kSrbSize);
  std::memcpy(buffer.data() + ata::kSrbSignature, "SCSIDISK", 8);
  rec::Put32(buffer, ata::kSrbTimeout, ata::kMiniportTimeoutSeconds);
  rec::Put32(buffer, ata::kSrbControlCode, ata::IOCTL_SCSI_MINIPORT_IDENTIFY);
  rec::Put32(buffer, ata::kSrbLength, ata::kMiniportLength);
  PutCommand(buffer, ata::kSrbSize, 512, IdentifyRegs(drive), drive);
  std::uint32_t returned = 0;
  if (!p.DeviceIoControl(handle, ata::IOCTL_SCSI_MINIPORT, buffer.data(), ata::kMiniportBufferSize, buffer.data(),
                         ata::kMiniportBufferSize, &returned))
    return false;
  if (returned < ata::kMiniportMinimumAnswer) return false;
  std::copy_n(buffer.begin() + ata::kMiniportBlock, 512, block.begin());
  return true;
}

} // namespace

bool ReadIdentify(win::Platform& platform, win::Handle handle, std::uint8_t drive, AtaBlock& block) {
  return IdentifyThroughSmart(platform, handle, drive, block) || IdentifyThroughMiniport(platform, handle, drive, block);
}

bool ReadSmartData(win::Platform& platform, win::Handle handle, std::uint8_t drive, AtaBlock& block) {
  return ReadSmartDataChecked(platform, handle, drive, block).ok();
}

SmartRead ReadSmartDataChecked(win::Platform& platform, win::Handle handle, std::uint8_t drive, AtaBlock& block) {
  return SmartRead512(platform, handle, drive, kSmartReadData, block);
}

SmartRead ReadSmartThresholds(win::Platform& platform, win::Handle handle, std::uint8_t drive, AtaBlock& block) {
  return SmartRead512(platform, handle, drive, kSmartReadThresholds, block);
}

SmartStatus ReadSmartStatus(win::Platform& platform, win::Handle handle, std::uint8_t drive) {
  std::array<std::uint8_t, ata::kCommandInSize> in{};
  std::array<std::uint8_t, ata::kDataAnswerSize> out{};
  PutCommand(in, 0, ata::kIdeRegsSize, SmartRegs(kSmartReturnStatus, drive), drive);
  std::uint32_t returned = 0;
  if (!platform.DeviceIoControl(handle, ata::SMART_SEND_DRIVE_COMMAND, in.data(), ata::kCommandInWithoutBuffer,
                                out.data(), ata::kSendCommandOutSize, &returned))
    return SmartStatus::NotRead;
  // The driver hands the task file back as an IDEREGS in bBuffer.
  if (returned < ata::kOutBuffer + ata::kIdeRegsSize || returned > ata::kSendCommandOutSize) return SmartStatus::Unknown;
  const std::uint8_t low = out[ata::kOutBuffer + ata::kRegsCylLow], high = out[ata::kOutBuffer + ata::kRegsCylHigh];
  if (low == 0x4F && high == 0xC2) return SmartStatus::Good;
  if (low == 0xF4 && high == 0x2C) return SmartStatus::Failing;
  return SmartStatus::Unknown;
}

bool SmartEnable(win::Platform& platform, win::Handle handle, std::uint8_t drive) {
  return SendSmartCommand(platform, handle, drive, SmartRegs(kSmartEnable, drive));
}

bool SmartDisable(win::Platform& platform, win::Handle handle, std::uint8_t drive) {
  return SendSmartCommand(platform, handle, drive, SmartRegs(kSmartDisable, drive));
}

} // namespace trv::device
