#include "device/sat_registers.h"

#include <algorithm>

#include "device/sat_records.h"
#include "device/sat_request.h"
#include "platform/records.h"

namespace trv::device::sat {

namespace {

std::uint8_t Byte(std::uint64_t v, int shift) { return static_cast<std::uint8_t>(v >> shift); }

Cdb NonDataCdb(const AtaCommand& c) {
  // A 28-bit command carries LBA bits 27..24 in the device register.
  const std::uint8_t device = c.extended ? c.device : static_cast<std::uint8_t>((c.device & 0xF0) | (Byte(c.lba, 24) & 0x0F));
  return {kAtaPassThrough16,
          static_cast<std::uint8_t>(kProtocolNonData | (c.extended ? 1 : 0)),
          kCheckConditionWanted,
          c.extended ? Byte(c.features, 8) : std::uint8_t{0},
          Byte(c.features, 0),
          c.extended ? Byte(c.count, 8) : std::uint8_t{0},
          Byte(c.count, 0),
          c.extended ? Byte(c.lba, 24) : std::uint8_t{0},
          Byte(c.lba, 0),
          c.extended ? Byte(c.lba, 32) : std::uint8_t{0},
          Byte(c.lba, 8),
          c.extended ? Byte(c.lba, 40) : std::uint8_t{0},
          Byte(c.lba, 16),
          device,
          c.command,
          0};
}

// Descriptor-format sense: the ATA Return descriptor among the descriptors
// that lie within both the additional sense length and the bytes returned.
bool FromDescriptors(std::span<const std::uint8_t> sense, AtaRegisters& out) {
  const std::size_t end = std::min<std::size_t>(sense.size(), 8u + rec::U8(sense, 7));
  for (std::size_t at = 8; at + 2 <= end;) {
    const std::size_t length = 2u + rec::U8(sense, at + 1);
    if (at + length > end) return false;
    if (rec::U8(sense, at) == kAtaReturnDescriptor) {
      if (length != kAtaReturnLength) return false;  // not the descriptor ATA defines: nothing is trusted
      const auto d = sense.subspan(at, length);
      out.extended = (d[2] & 1) != 0;
      out.error = d[3];
      out.countExt = d[4], out.count = d[5];
      out.lbaLowExt = d[6], out.lbaLow = d[7];
      out.lbaMidExt = d[8], out.lbaMid = d[9];
      out.lbaHighExt = d[10], out.lbaHigh = d[11];
      out.device = d[12], out.status = d[13];
      if (!out.extended) out.countExt = out.lbaLowExt = out.lbaMidExt = out.lbaHighExt = 0;
      return true;
    }
    at += length;
  }
  return false;
}

// Fixed-format sense with ATA PASS-THROUGH INFORMATION AVAILABLE (00h/1Dh):
// error, status, device and count in the information bytes, the low 24 LBA
// bits in the command-specific ones. The upper halves of a 48-bit command's
// registers are not there, only whether they are zero: when they are not,
// the registers are incomplete and not given.
bool FromFixed(std::span<const std::uint8_t> sense, AtaRegisters& out) {
  if (sense.size() < 14 || sense[12] != 0x00 || sense[13] != 0x1D) return false;
  const std::uint8_t flags = sense[8];
  const bool extended = (flags & 0x80) != 0, upperNonZero = (flags & 0x60) != 0;
  if (extended && upperNonZero) return false;
  out = AtaRegisters{};
  out.error = sense[3], out.status = sense[4], out.device = sense[5], out.count = sense[6];
  out.lbaLow = sense[9], out.lbaMid = sense[10], out.lbaHigh = sense[11];
  out.extended = extended;
  return true;
}

} // namespace

RegisterAnswer TakeRegisters(std::span<const std::uint8_t> answer, std::uint32_t returned, AtaRegisters& out) {
  if (answer.size() < kSenseOffset + kSenseLength || returned < kSptSize || returned > answer.size())
    return RegisterAnswer::Failed;
  const std::uint8_t status = rec::U8(answer, kSptScsiStatus);
  // GOOD: the command ran and the bridge ignored CK_COND.
  if (status == kStatusGood) return RegisterAnswer::NoRegisters;
  if (status != kStatusCheckCondition) return RegisterAnswer::Failed;  // BUSY, RESERVATION CONFLICT and the like
  const std::size_t senseLength = SenseLength(answer);
  if (returned < kSenseOffset + senseLength) return RegisterAnswer::Failed;  // sense the driver did not hand back
  const auto sense = answer.subspan(kSenseOffset, senseLength);
  const std::uint8_t key = SenseKey(sense, senseLength);
  if (senseLength == 0 || key == kSenseIllegalRequest) return RegisterAnswer::Failed;  // the bridge refused the CDB
  const std::uint8_t response = rec::U8(sense, 0) & 0x7F;
  AtaRegisters found;
  const bool taken = (response == 0x72 || response == 0x73) ? FromDescriptors(sense, found)
                     : (response == 0x70 || response == 0x71) ? FromFixed(sense, found)
                                                                : false;
  if (taken) {
    out = found;
    return RegisterAnswer::Registers;
  }
  // Without registers, only a sense that says the command went well is an
  // answer; any other key is the request's failure.
  return (key == kSenseNoSense || key == kSenseRecoveredError) ? RegisterAnswer::NoRegisters : RegisterAnswer::Failed;
}

RegisterAnswer SendNonData(win::Platform& platform, win::Handle handle, const AtaCommand& command, AtaRegisters& out) {
  std::array<std::uint8_t, kSenseOffset + kSenseLength> buffer{};
  PutRecord(buffer, NonDataCdb(command), SCSI_IOCTL_DATA_UNSPECIFIED, 0);
  std::uint32_t returned = 0;
  if (!platform.DeviceIoControl(handle, IOCTL_SCSI_PASS_THROUGH, buffer.data(), kSptSize, buffer.data(),
                                static_cast<std::uint32_t>(buffer.size()), &returned))
    return RegisterAnswer::Failed;
  return TakeRegisters(buffer, returned, out);
}

} // namespace trv::device::sat
