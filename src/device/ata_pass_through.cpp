#include "device/ata_pass_through.h"

#include <algorithm>
#include <vector>

#include "device/ata_pass_through_records.h"
#include "platform/records.h"

namespace trv::device {

namespace {

void PutTaskFile(std::span<std::uint8_t> b, std::size_t at, const AtaTaskFile& t) {
  const std::uint8_t regs[] = {t.features, t.count, t.lbaLow, t.lbaMid, t.lbaHigh, t.device, t.command};
  for (std::size_t i = 0; i < sizeof regs; ++i) rec::Put8(b, at + i, regs[i]);
}

AtaTaskFile TaskFileAt(std::span<const std::uint8_t> b, std::size_t at) {
  return {rec::U8(b, at), rec::U8(b, at + 1), rec::U8(b, at + 2), rec::U8(b, at + 3),
          rec::U8(b, at + 4), rec::U8(b, at + 5), rec::U8(b, at + 6)};
}

// A status register a drive can end a command with: ready (DRDY) and not busy.
// A driver that does not hand the registers back leaves the command byte
// there, or zeros, and neither passes.
bool StatusIsReal(std::uint8_t status) { return (status & 0xC0) == 0x40; }

// Sends the record (and room for `dataBytes` after it) and reads the task files back.
AtaAnswer Send(win::Platform& p, win::Handle handle, const AtaTaskFile& command, std::uint16_t flags,
               std::uint32_t dataBytes, std::vector<std::uint8_t>& buffer, std::uint32_t& returned) {
  buffer.assign(apt::kApt.size + dataBytes, 0);
  rec::Put16(buffer, apt::kLength, static_cast<std::uint16_t>(apt::kApt.size));
  rec::Put16(buffer, apt::kAtaFlags, flags);
  rec::Put32(buffer, apt::kDataTransferLength, dataBytes);
  rec::Put32(buffer, apt::kTimeOutValue, apt::kTimeoutSeconds);
  const std::uint64_t dataOffset = dataBytes ? apt::kApt.size : 0;
  rec::PutLE(buffer, apt::kApt.dataBufferOffset, apt::kApt.dataBufferOffsetSize, dataOffset);
  PutTaskFile(buffer, apt::kApt.currentTaskFile, command);
  const auto size = static_cast<std::uint32_t>(buffer.size());
  returned = 0;
  AtaAnswer answer;
  if (!p.DeviceIoControl(handle, apt::IOCTL_ATA_PASS_THROUGH, buffer.data(), size, buffer.data(), size, &returned)) {
    answer.error = p.GetLastError();
    return answer;
  }
  answer.outcome = AtaAnswer::Outcome::NoRegisters;
  if (returned < apt::kApt.size || returned > size) return answer;
  answer.current = TaskFileAt(buffer, apt::kApt.currentTaskFile);
  answer.previous = TaskFileAt(buffer, apt::kApt.previousTaskFile);
  if (StatusIsReal(answer.current.command)) answer.outcome = AtaAnswer::Outcome::Registers;
  return answer;
}

} // namespace

AtaAnswer AtaNonData(win::Platform& platform, win::Handle handle, const AtaTaskFile& command, bool ext) {
  std::vector<std::uint8_t> buffer;
  std::uint32_t returned = 0;
  const auto flags = static_cast<std::uint16_t>(apt::ATA_FLAGS_DRDY_REQUIRED | (ext ? apt::ATA_FLAGS_48BIT_COMMAND : 0));
  return Send(platform, handle, command, flags, 0, buffer, returned);
}

AtaAnswer AtaDataIn(win::Platform& platform, win::Handle handle, const AtaTaskFile& command, AtaBlock& block,
                    bool& moved) {
  std::vector<std::uint8_t> buffer;
  std::uint32_t returned = 0;
  const auto flags = static_cast<std::uint16_t>(apt::ATA_FLAGS_DRDY_REQUIRED | apt::ATA_FLAGS_DATA_IN);
  const AtaAnswer answer = Send(platform, handle, command, flags, 512, buffer, returned);
  // The port says in DataTransferLength how much it moved; anything short is no block.
  moved = answer.outcome != AtaAnswer::Outcome::Failed && !answer.Aborted() &&
          rec::U32(buffer, apt::kDataTransferLength) == 512 && returned == buffer.size();
  if (moved) std::copy_n(buffer.begin() + static_cast<std::ptrdiff_t>(apt::kApt.size), 512, block.begin());
  return answer;
}

} // namespace trv::device
