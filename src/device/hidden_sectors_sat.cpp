#include "device/hidden_sectors_sat.h"

#include "device/sat.h"
#include "device/sat_records.h"
#include "device/sat_registers.h"
#include "device/sat_request.h"
#include "platform/records.h"

namespace trv::device {

namespace {

constexpr std::uint8_t kSenseAbortedCommand = 0x0B;
constexpr std::uint8_t kStatusAborted = 0x51, kErrorAbort = 0x04;

} // namespace

AtaAnswer SatNonData(win::Platform& platform, win::Handle handle, const AtaTaskFile& c, bool ext) {
  sat::AtaCommand command;
  command.command = c.command;
  command.features = c.features;
  command.count = c.count;
  command.lba = std::uint64_t{c.lbaLow} | std::uint64_t{c.lbaMid} << 8 | std::uint64_t{c.lbaHigh} << 16;
  command.device = c.device;
  command.extended = ext;
  sat::AtaRegisters r;
  AtaAnswer a;
  switch (sat::SendNonData(platform, handle, command, r)) {
    case sat::RegisterAnswer::Registers:
      a.outcome = AtaAnswer::Outcome::Registers;
      a.current = {r.error, r.count, r.lbaLow, r.lbaMid, r.lbaHigh, r.device, r.status};
      a.previous = {0, r.countExt, r.lbaLowExt, r.lbaMidExt, r.lbaHighExt, 0, 0};
      break;
    case sat::RegisterAnswer::NoRegisters: a.outcome = AtaAnswer::Outcome::NoRegisters; break;
    case sat::RegisterAnswer::Failed: a.outcome = AtaAnswer::Outcome::Failed; break;
  }
  return a;
}

AtaAnswer SatDataIn(win::Platform& platform, win::Handle handle, const AtaTaskFile& c, AtaBlock& block, bool& moved) {
  std::array<std::uint8_t, sat::kBufferSize> buffer{};
  sat::PutRecord(buffer,
                 {sat::kAtaPassThrough16, sat::kProtocolPioDataIn, sat::kTransferFromDeviceInBlocks, 0, c.features, 0,
                  1, 0, c.lbaLow, 0, c.lbaMid, 0, c.lbaHigh, c.device, c.command, 0},
                 sat::SCSI_IOCTL_DATA_IN, 512);
  std::uint32_t returned = 0;
  AtaAnswer a;
  moved = false;
  if (!platform.DeviceIoControl(handle, sat::IOCTL_SCSI_PASS_THROUGH, buffer.data(), sat::kSptSize, buffer.data(),
                                sat::kBufferSize, &returned)) {
    a.error = platform.GetLastError();
    return a;
  }
  moved = sat::TakeBlock(buffer, returned, block);
  // The bridge reports a command the drive aborted as ABORTED COMMAND.
  const std::span<const std::uint8_t> answer(buffer);
  if (!moved && rec::U8(answer, sat::kSptScsiStatus) == sat::kStatusCheckCondition &&
      sat::SenseKey(answer.subspan(sat::kSenseOffset, sat::kSenseLength), sat::SenseLength(answer)) ==
          kSenseAbortedCommand) {
    a.outcome = AtaAnswer::Outcome::Registers;
    a.current.features = kErrorAbort;
    a.current.command = kStatusAborted;
    return a;
  }
  // The block came, but a data-in command through a bridge hands back no registers.
  a.outcome = moved ? AtaAnswer::Outcome::NoRegisters : AtaAnswer::Outcome::Failed;
  return a;
}

} // namespace trv::device
