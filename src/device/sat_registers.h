// Non-data ATA commands for disks behind USB bridges, with the drive's registers
// returned: ATA PASS-THROUGH (16) with CK_COND set asks the bridge to end the
// command with CHECK CONDITION and the task file in the sense data (the ATA
// Return descriptor, 09h, of descriptor-format sense; or the registers the
// fixed format carries). A bridge that ignores CK_COND runs the command and
// hands back nothing: that is not a failure of the drive or of the request.
#pragma once
#include <cstdint>
#include <span>

#include "platform/platform.h"

namespace trv::device::sat {

// One non-data command. `lba` holds up to 48 bits; without `extended` only its
// low 28 are sent, bits 27..24 in the device register as ATA places them.
struct AtaCommand {
  std::uint8_t command = 0;
  std::uint16_t features = 0;
  std::uint16_t count = 0;
  std::uint64_t lba = 0;
  std::uint8_t device = 0xA0;
  bool extended = false;
};

// The task file as the drive left it. The *Ext bytes (the upper halves of a
// 48-bit command's registers) hold only when `extended`.
struct AtaRegisters {
  std::uint8_t error = 0, count = 0, lbaLow = 0, lbaMid = 0, lbaHigh = 0, device = 0, status = 0;
  std::uint8_t countExt = 0, lbaLowExt = 0, lbaMidExt = 0, lbaHighExt = 0;
  bool extended = false;
};

enum class RegisterAnswer {
  Registers,    // `out` holds the drive's registers (its status may carry ERR)
  NoRegisters,  // the bridge ran the request but passes no registers back
  Failed,       // refused, timed out, or an answer that cannot be read
};

RegisterAnswer SendNonData(win::Platform& platform, win::Handle handle, const AtaCommand& command, AtaRegisters& out);

// The registers of one answer in the program's buffer layout (the record, then
// the sense area; see sat_records.h), `returned` the count the driver reported.
// `out` is untouched unless the result is Registers.
RegisterAnswer TakeRegisters(std::span<const std::uint8_t> answer, std::uint32_t returned, AtaRegisters& out);

} // namespace trv::device::sat
