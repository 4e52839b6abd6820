// The ATA side of a simulated drive: SMART_RCV_DRIVE_DATA and
// SMART_SEND_DRIVE_COMMAND through the class driver, and IDENTIFY DEVICE through
// the SCSI miniport pass-through. Each reads the records it is sent the way a
// driver does and refuses a malformed one with ERROR_INVALID_PARAMETER.
#include <algorithm>
#include <cstdio>
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
constexpr std::uint8_t kReturnStatus = 0xDA;
constexpr std::size_t kIdeRegs = 8;  // IDEREGS, handed back in bBuffer by SMART RETURN STATUS

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

Command ReadCommand(std::span<const std::uint8_t> in, std::size_t at) {
  return {rec::U32(in, at),          rec::U8(in, at + 4), rec::U8(in, at + 7),  rec::U8(in, at + 8),
          rec::U8(in, at + 9),       rec::U8(in, at + 10), rec::U8(in, at + 12)};
}

// Drive/head: bits 7 and 5 set, bit 4 the device on the channel.
bool SelectsThisDrive(const SimDrive& d, const Command& c) {
  return (c.driveHead & 0xA0) == 0xA0 && ((c.driveHead >> 4) & 1) == (d.slave ? 1 : 0);
}

bool IsSmart(const Command& c) { return c.command == kSmartCommand && c.cylLow == 0x4F && c.cylHigh == 0xC2; }

constexpr std::size_t kSmartEnabledByte = 2 * 85;  // IDENTIFY word 85 bit 0, in its low byte

// Whether the drive's S.M.A.R.T. feature set is on: as last switched, else as
// its IDENTIFY data says; a drive without IDENTIFY data has it on.
bool SmartOn(const SimDrive& d) {
  if (d.runtime.smartEnabled) return *d.runtime.smartEnabled;
  return !d.ata->identify || ((*d.ata->identify)[kSmartEnabledByte] & 1) != 0;
}

// IDENTIFY data as the drive sends it now: word 85 bit 0 follows the switch,
// and the integrity word (signature 0xA5, then the byte that makes the block
// sum to zero) is kept right, as a drive keeps it.
Block512 CurrentIdentify(const SimDrive& d, Block512 id) {
  const bool modelled = d.ata->security || d.ata->sanitize;
  if (!d.runtime.smartEnabled && !modelled) return id;
  if (d.runtime.smartEnabled)
    id[kSmartEnabledByte] = static_cast<std::uint8_t>((id[kSmartEnabledByte] & ~1u) | (*d.runtime.smartEnabled ? 1u : 0u));
  if (modelled) PutLiveWords(AtaStateOf(d), d.ata->security, d.ata->sanitize, id);
  KeepIdentifyIntegrity(id);
  return id;
}

// The 512 bytes a data command returns, or the failure of a command the drive
// aborts. With S.M.A.R.T. off a drive aborts the S.M.A.R.T. reads.
std::optional<std::uint32_t> ReadBlock(const SimDrive& d, const Command& c, Block512& block) {
  const SimAta& ata = *d.ata;
  if (d.runtime.ata && d.runtime.ata->security) d.runtime.ata->security->prepared = false;  // a command between
  if (c.command == kIdentifyCommand) {
    if (++d.runtime.identifyCommands <= ata.identifyFailures || !ata.identify) return win::ERROR_IO_DEVICE;
    block = CurrentIdentify(d, *ata.identify);
    return std::nullopt;
  }
  const std::optional<Block512>& source = c.features == kReadData ? ata.smartData : ata.thresholds;
  if (!source || !SmartOn(d)) return win::ERROR_IO_DEVICE;
  block = *source;
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

// SMART RETURN STATUS: no data, the task file back as an IDEREGS after the
// 16-byte header. A drive with S.M.A.R.T. off aborts it.
IoctlResult ReturnStatus(const SimDrive& d, const Request& r, const Command& c) {
  if (c.bufferSize != 0 && c.bufferSize != kIdeRegs) return Failed(win::ERROR_INVALID_PARAMETER);
  if (r.out.size() < kCommandOutHeader + kIdeRegs) return Failed(win::ERROR_INSUFFICIENT_BUFFER);
  if (!SmartOn(d)) return Failed(win::ERROR_IO_DEVICE);
  std::vector<std::uint8_t> a(kCommandOutHeader + kIdeRegs, 0);
  rec::Put32(a, 0, kIdeRegs);
  std::uint8_t* regs = a.data() + kCommandOutHeader;
  switch (d.ata->status) {
    case SimAta::Status::Good: regs[3] = 0x4F, regs[4] = 0xC2; break;
    case SimAta::Status::Failing: regs[3] = 0xF4, regs[4] = 0x2C; break;
    case SimAta::Status::Silent: return Deliver(r, a);
  }
  regs[0] = kReturnStatus;
  regs[1] = regs[2] = 1;
  regs[5] = c.driveHead;
  regs[6] = 0x50;  // status: drive ready, seek complete
  return Deliver(r, a);
}

IoctlResult Send(const SimDrive& d, const Request& r) {
  if (auto refused = CheckClassRecord(d, r, DriveRequest::SmartSend, kCommandOutHeader)) return Failed(*refused);
  const Command c = ReadCommand(r.in, 0);
  if (!IsSmart(c)) return Failed(win::ERROR_INVALID_PARAMETER);
  const SimAta& ata = *d.ata;
  if (c.features == kEnable || c.features == kDisable) {
    if (c.bufferSize != 0) return Failed(win::ERROR_INVALID_PARAMETER);
    if (!(c.features == kEnable ? ata.smartEnableWorks : ata.smartDisableWorks)) return Failed(win::ERROR_IO_DEVICE);
    d.runtime.smartEnabled = c.features == kEnable;
    return Deliver(r, std::vector<std::uint8_t>(kCommandOutHeader, 0));
  }
  if (c.features == kReturnStatus) return ReturnStatus(d, r, c);
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

const char* SmartFeatureName(std::uint8_t feature) {
  switch (feature) {
    case kReadData: return "SMART READ DATA";
    case kReadThresholds: return "SMART READ THRESHOLDS";
    case kEnable: return "SMART ENABLE OPERATIONS";
    case kDisable: return "SMART DISABLE OPERATIONS";
    case kReturnStatus: return "SMART RETURN STATUS";
    default: return "SMART (other feature)";
  }
}

} // namespace

Block512 LiveIdentify(const SimDrive& d) { return CurrentIdentify(d, *d.ata->identify); }

std::optional<IoctlResult> AtaIoctl(const SimDrive& d, const Request& r) {
  switch (r.code) {
    case kSmartReceive: return Receive(d, r);
    case kSmartSend: return Send(d, r);
    case kScsiMiniport: return Miniport(d, r);
    default: return std::nullopt;
  }
}

} // namespace trv::sim::ioctl

namespace trv::sim {

std::string AtaCommandText(std::uint32_t code, const std::uint8_t* in, std::uint32_t inSize) {
  std::size_t at = 0;
  if (code == ioctl::kScsiMiniport) at = ioctl::kSrbHeader;
  else if (code != ioctl::kSmartSend && code != ioctl::kSmartReceive) return AtaPassThroughText(code, in, inSize);
  if (!in || inSize < at + ioctl::kCommandInSize) return {};
  const ioctl::Command c = ioctl::ReadCommand(std::span<const std::uint8_t>(in, inSize), at);
  char registers[40];
  std::snprintf(registers, sizeof registers, "command=0x%02X feature=0x%02X ", c.command, c.features);
  const char* name = c.command == ioctl::kIdentifyCommand ? "IDENTIFY DEVICE"
                     : c.command == ioctl::kSmartCommand    ? ioctl::SmartFeatureName(c.features)
                                                            : "(other command)";
  return registers + std::string(name);
}

AtaDriveState& AtaStateOf(const SimDrive& d) {
  if (!d.runtime.ata) {
    static const SimAta kNone;
    const SimAta& ata = d.ata ? *d.ata : kNone;
    d.runtime.ata = PowerOnState(ata.security, ata.sanitize, nullptr);
  }
  return *d.runtime.ata;
}

void KeepIdentifyIntegrity(Block512& id) {
  if (id[510] != 0xA5) return;
  std::uint8_t sum = 0;
  for (std::size_t i = 0; i < 511; ++i) sum = static_cast<std::uint8_t>(sum + id[i]);
  id[511] = static_cast<std::uint8_t>(-sum);
}

} // namespace trv::sim
