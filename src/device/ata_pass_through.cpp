#include "device/ata_pass_through.h"

#include <algorithm>
#include <vector>

#include "device/ata_commands.h"
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

// The TimeOutValue a request may carry: 1 to 108,000 seconds.
std::uint32_t ClampTimeout(std::uint32_t seconds) {
  return std::clamp<std::uint32_t>(seconds, 1, atacmd::kLongestTimeoutSeconds);
}

// What goes into one request besides the command.
struct Request {
  std::uint16_t flags = apt::ATA_FLAGS_DRDY_REQUIRED;
  std::uint32_t dataBytes = 0;
  std::uint32_t timeoutSeconds = apt::kTimeoutSeconds;
  const AtaHighTaskFile* high = nullptr;  // a 48-bit command's previous task file
  const AtaBlock* dataOut = nullptr;      // the block a data-out command carries
};

// Sends the record (and room for `dataBytes` after it) and reads the task files
// back. Each layer is checked: the request's result, the size the driver says it
// returned, and whether the status register it handed back is a real one.
AtaAnswer Send(win::Platform& p, win::Handle handle, const AtaTaskFile& command, const Request& request,
               std::vector<std::uint8_t>& buffer, std::uint32_t& returned) {
  buffer.assign(apt::kApt.size + request.dataBytes, 0);
  rec::Put16(buffer, apt::kLength, static_cast<std::uint16_t>(apt::kApt.size));
  rec::Put16(buffer, apt::kAtaFlags, request.flags);
  rec::Put32(buffer, apt::kDataTransferLength, request.dataBytes);
  rec::Put32(buffer, apt::kTimeOutValue, ClampTimeout(request.timeoutSeconds));
  const std::uint64_t dataOffset = request.dataBytes ? apt::kApt.size : 0;
  rec::PutLE(buffer, apt::kApt.dataBufferOffset, apt::kApt.dataBufferOffsetSize, dataOffset);
  if (request.high) PutTaskFile(buffer, apt::kApt.previousTaskFile, *request.high);
  PutTaskFile(buffer, apt::kApt.currentTaskFile, command);
  if (request.dataOut)
    std::copy(request.dataOut->begin(), request.dataOut->end(),
              buffer.begin() + static_cast<std::ptrdiff_t>(apt::kApt.size));
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
  return AtaNonData(platform, handle, command, ext, AtaHighTaskFile{}, apt::kTimeoutSeconds);
}

AtaAnswer AtaNonData(win::Platform& platform, win::Handle handle, const AtaTaskFile& command, bool ext,
                     const AtaHighTaskFile& high, std::uint32_t timeoutSeconds) {
  std::vector<std::uint8_t> buffer;
  std::uint32_t returned = 0;
  Request request;
  request.flags = static_cast<std::uint16_t>(apt::ATA_FLAGS_DRDY_REQUIRED | (ext ? apt::ATA_FLAGS_48BIT_COMMAND : 0));
  request.timeoutSeconds = timeoutSeconds;
  if (ext) request.high = &high;
  return Send(platform, handle, command, request, buffer, returned);
}

AtaAnswer AtaDataOut(win::Platform& platform, win::Handle handle, const AtaTaskFile& command, const AtaBlock& block,
                     std::uint32_t timeoutSeconds) {
  std::vector<std::uint8_t> buffer;
  std::uint32_t returned = 0;
  Request request;
  request.flags = static_cast<std::uint16_t>(apt::ATA_FLAGS_DRDY_REQUIRED | apt::ATA_FLAGS_DATA_OUT);
  request.dataBytes = 512;
  request.timeoutSeconds = timeoutSeconds;
  request.dataOut = &block;
  return Send(platform, handle, command, request, buffer, returned);
}

AtaAnswer AtaDataIn(win::Platform& platform, win::Handle handle, const AtaTaskFile& command, AtaBlock& block,
                    bool& moved) {
  std::vector<std::uint8_t> buffer;
  std::uint32_t returned = 0;
  Request request;
  request.flags = static_cast<std::uint16_t>(apt::ATA_FLAGS_DRDY_REQUIRED | apt::ATA_FLAGS_DATA_IN);
  request.dataBytes = 512;
  const AtaAnswer answer = Send(platform, handle, command, request, buffer, returned);
  // The port says in DataTransferLength how much it moved; anything short is no block.
  moved = answer.outcome != AtaAnswer::Outcome::Failed && !answer.Aborted() &&
          rec::U32(buffer, apt::kDataTransferLength) == 512 && returned == buffer.size();
  if (moved) std::copy_n(buffer.begin() + static_cast<std::ptrdiff_t>(apt::kApt.size), 512, block.begin());
  return answer;
}

} // namespace trv::device
