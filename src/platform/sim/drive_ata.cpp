// The ATA side of a simulated drive: SMART_RCV_DRIVE_DATA and
// SMART_SEND_DRIVE_COMMAND through the class driver, and IDENTIFY DEVICE through
// the SCSI miniport pass-through. Each reads the records it is sent the way a
// driver does and refuses a malformed one with ERROR_INVALID_PARAMETER.
#include <algorithm>
#include <cstring>

#include "platform/records.h"
#include "platform/sim/drive_ioctl.h"
#include "platform/win_types.h"

namespace trv::sim::ioctl {

namespace {

constexpr std::uint32_t kSmartSend = 0x0007C084;
constexpr std::uint32_t kSmartReceive = 0x0007C088;
constexpr std::uint32_t kScsiMiniport = 0x0004D008;
constexpr std::uint32_t kMiniportIdentify = 0x001B0501;

constexpr std::uint8_t kIdentifyCommand = 0xEC;
constexpr std::uint8_t kSmartCommand = 0xB0;
constexpr std::uint8_t kReadData = 0xD0, kReadThresholds = 0xD1, kEnable = 0xD8, kDisable = 0xD9;

constexpr std::size_t kCommandInSize = 32;    // SENDCMDINPARAMS without its one-byte bBuffer
constexpr std::size_t kCommandOutHeader = 16; // SENDCMDOUTPARAMS up to bBuffer
constexpr std::size_t kDataAnswer = kCommandOutHeader + 512;
constexpr std::size_t kSrbHeader = 28;        // SRB_IO_CONTROL

// SENDCMDINPARAMS: cBufferSize, IDEREGS (features, count, number, cylinder low
// and high, drive/head, command, reserved), bDriveNumber.
struct Command {
  std::uint32_t bufferSize;
  std::uint8_t features, cylLow, cylHigh, driveHead, command, driveNumber;
};

Command ReadCommand(const std::vector<std::uint8_t>& in, std::size_t at) {
  return {rec::U32(in, at),          rec::U8(in, at + 4), rec::U8(in, at + 7),  rec::U8(in, at + 8),
          rec::U8(in, at + 9),       rec::U8(in, at + 10), rec::U8(in, at + 12)};
}

// Drive/head: bits 7 and 5 set, bit 4 the device on the channel.
bool SelectsThisDrive(const SimDrive& d, const Command& c) {
  return (c.driveHead & 0xA0) == 0xA0 && ((c.driveHead >> 4) & 1) == (d.slave ? 1 : 0);
}

bool IsSmart(const Command& c) { return c.command == kSmartCommand && c.cylLow == 0x4F && c.cylHigh == 0xC2; }

// The 512 bytes a data command returns, or the failure of a command the drive aborts.
std::optional<std::uint32_t> ReadBlock(const SimDrive& d, const Command& c, Block512& block) {
  const SimAta& ata = *d.ata;
  const std::optional<Block512>* source = nullptr;
  if (c.command == kIdentifyCommand) {
    if (++d.runtime.identifyCommands <= ata.identifyFailures) return win::ERROR_IO_DEVICE;
    source = &ata.identify;
  } else if (c.features == kReadData) {
    source = &ata.smartData;
  } else {
    source = &ata.thresholds;
  }
  if (!*source) return win::ERROR_IO_DEVICE;
  block = **source;
  return std::nullopt;
}

// SENDCMDOUTPARAMS carrying 512 bytes of data.
std::vector<std::uint8_t> DataAnswer(const Block512& block) {
  std::vector<std::uint8_t> a(kDataAnswer, 0);
  rec::Put32(a, 0, 512);
  std::copy(block.begin(), block.end(), a.begin() + kCommandOutHeader);
  return a;
}

// Common checks of SMART_RCV_DRIVE_DATA and SMART_SEND_DRIVE_COMMAND.
std::optional<std::uint32_t> CheckClassRecord(const SimDrive& d, const Request& r, DriveRequest which,
                                              std::size_t minimumOut) {
  if (const auto& failure = ScenarioFailure(d, which)) return *failure;
  if (!d.ata) return win::ERROR_INVALID_FUNCTION;
  if (r.in.size() < kCommandInSize) return win::ERROR_INVALID_PARAMETER;
  if (r.out.size() < minimumOut) return win::ERROR_INSUFFICIENT_BUFFER;
  const Command c = ReadCommand(r.in, 0);
  if (c.driveNumber > 1 || !SelectsThisDrive(d, c)) return win::ERROR_INVALID_PARAMETER;
  return std::nullopt;
}

IoctlResult Receive(const SimDrive& d, const Request& r) {
  if (auto refused = CheckClassRecord(d, r, DriveRequest::SmartReceive, kDataAnswer)) return Failed(*refused);
  const Command c = ReadCommand(r.in, 0);
  const bool known = c.command == kIdentifyCommand ||
                     (IsSmart(c) && (c.features == kReadData || c.features == kReadThresholds));
  if (!known || c.bufferSize != 512) return Failed(win::ERROR_INVALID_PARAMETER);
  Block512 block{};
  if (auto aborted = ReadBlock(d, c, block)) return Failed(*aborted);
  return Deliver(r, DataAnswer(block), d.ata->receiveAnswerBytes);
}

IoctlResult Send(const SimDrive& d, const Request& r) {
  if (auto refused = CheckClassRecord(d, r, DriveRequest::SmartSend, kCommandOutHeader)) return Failed(*refused);
  const Command c = ReadCommand(r.in, 0);
  if (!IsSmart(c)) return Failed(win::ERROR_INVALID_PARAMETER);
  const SimAta& ata = *d.ata;
  if (c.features == kEnable || c.features == kDisable) {
    if (c.bufferSize != 0) return Failed(win::ERROR_INVALID_PARAMETER);
    if (!(c.features == kEnable ? ata.smartEnableWorks : ata.smartDisableWorks)) return Failed(win::ERROR_IO_DEVICE);
    return Deliver(r, std::vector<std::uint8_t>(kCommandOutHeader, 0));
  }
  if ((c.features == kReadData || c.features == kReadThresholds) && ata.sendCarriesReads) {
    if (c.bufferSize != 512) return Failed(win::ERROR_INVALID_PARAMETER);
    if (r.out.size() < kDataAnswer) return Failed(win::ERROR_INSUFFICIENT_BUFFER);
    Block512 block{};
    if (auto aborted = ReadBlock(d, c, block)) return Failed(*aborted);
    return Deliver(r, DataAnswer(block), ata.sendAnswerBytes);
  }
  return Failed(win::ERROR_INVALID_PARAMETER);
}

// SRB_IO_CONTROL (HeaderLength, Signature, Timeout, ControlCode, ReturnCode,
// Length), then the SENDCMDINPARAMS of an IDENTIFY; the answer comes back in
// the same layout with a SENDCMDOUTPARAMS after the header.
IoctlResult Miniport(const SimDrive& d, const Request& r) {
  if (const auto& failure = ScenarioFailure(d, DriveRequest::Miniport)) return Failed(*failure);
  if (!d.ata) return Failed(win::ERROR_INVALID_FUNCTION);
  if (r.in.size() < kSrbHeader || rec::U32(r.in, 0) != kSrbHeader || std::memcmp(r.in.data() + 4, "SCSIDISK", 8) != 0 ||
      rec::U32(r.in, 16) != kMiniportIdentify)
    return Failed(win::ERROR_INVALID_PARAMETER);
  const std::uint64_t total = kSrbHeader + std::uint64_t{rec::U32(r.in, 24)};
  if (total > r.in.size() || total > r.out.size() || total < kSrbHeader + kDataAnswer)
    return Failed(win::ERROR_INVALID_PARAMETER);
  const Command c = ReadCommand(r.in, kSrbHeader);
  if (c.command != kIdentifyCommand || c.bufferSize != 512 || c.driveNumber != (d.slave ? 1 : 0) ||
      !SelectsThisDrive(d, c))
    return Failed(win::ERROR_INVALID_PARAMETER);
  Block512 block{};
  if (auto aborted = ReadBlock(d, c, block)) return Failed(*aborted);
  std::vector<std::uint8_t> answer(static_cast<std::size_t>(total), 0);
  std::copy_n(r.in.begin(), kSrbHeader, answer.begin());
  rec::Put32(answer, 20, 0);  // ReturnCode
  const std::vector<std::uint8_t> data = DataAnswer(block);
  std::copy(data.begin(), data.end(), answer.begin() + kSrbHeader);
  return Deliver(r, answer, d.ata->miniportAnswerBytes);
}

} // namespace

std::optional<IoctlResult> AtaIoctl(const SimDrive& d, const Request& r) {
  switch (r.code) {
    case kSmartReceive: return Receive(d, r);
    case kSmartSend: return Send(d, r);
    case kScsiMiniport: return Miniport(d, r);
    default: return std::nullopt;
  }
}

} // namespace trv::sim::ioctl
