#include "device/sat.h"

#include <algorithm>

#include "device/sat_records.h"
#include "device/sat_request.h"
#include "platform/records.h"

namespace trv::device::sat {

namespace {

// The ATA registers of a command with 28-bit addressing.
struct Registers {
  std::uint8_t features, count, lbaLow, lbaMid, lbaHigh, device, command;
};

std::uint8_t Device(std::uint8_t drive) { return static_cast<std::uint8_t>(0xA0 | ((drive & 1) << 4)); }

bool PassThrough(win::Platform& p, win::Handle handle, const Registers& r, AtaBlock& block) {
  std::array<std::uint8_t, kBufferSize> buffer{};
  PutRecord(buffer,
            {kAtaPassThrough16, kProtocolPioDataIn, kTransferFromDeviceInBlocks, 0, r.features, 0, r.count, 0, r.lbaLow,
             0, r.lbaMid, 0, r.lbaHigh, r.device, r.command, 0},
            SCSI_IOCTL_DATA_IN, 512);
  std::uint32_t returned = 0;
  if (!p.DeviceIoControl(handle, IOCTL_SCSI_PASS_THROUGH, buffer.data(), kSptSize, buffer.data(), kBufferSize,
                         &returned))
    return false;  // refused by the port, or no answer within the timeout
  return TakeBlock(buffer, returned, block);
}

} // namespace

bool TakeBlock(std::span<const std::uint8_t> answer, std::uint32_t returned, AtaBlock& block) {
  if (answer.size() < kBufferSize || returned < kSptSize || returned > answer.size()) return false;
  if (rec::U8(answer, kSptScsiStatus) != kStatusGood) return false;  // CHECK CONDITION: ILLEGAL REQUEST and the like
  if (const std::uint8_t key = SenseKey(answer.subspan(kSenseOffset, kSenseLength), SenseLength(answer));
      key != kSenseNoSense && key != kSenseRecoveredError)
    return false;
  // The bridge says how much it moved; a short transfer is a refusal, not a block.
  if (rec::U32(answer, kSptDataTransferLength) != 512 || returned < kDataOffset + 512) return false;
  const auto data = answer.subspan(kDataOffset, 512);
  // Some bridges acknowledge a command they ignored and move nothing.
  if (std::all_of(data.begin(), data.end(), [](std::uint8_t b) { return b == 0; })) return false;
  std::copy(data.begin(), data.end(), block.begin());
  return true;
}

bool ReadIdentify(win::Platform& platform, win::Handle handle, std::uint8_t drive, AtaBlock& block) {
  return PassThrough(platform, handle, {0x00, 0x01, 0x01, 0x00, 0x00, Device(drive), 0xEC}, block);
}

bool ReadSmartData(win::Platform& platform, win::Handle handle, std::uint8_t drive, AtaBlock& block) {
  return PassThrough(platform, handle, {0xD0, 0x01, 0x01, 0x4F, 0xC2, Device(drive), 0xB0}, block);
}

bool ReadSmartThresholds(win::Platform& platform, win::Handle handle, std::uint8_t drive, AtaBlock& block) {
  return PassThrough(platform, handle, {0xD1, 0x01, 0x01, 0x4F, 0xC2, Device(drive), 0xB0}, block);
}

} // namespace trv::device::sat
