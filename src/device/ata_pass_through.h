// ATA commands through IOCTL_ATA_PASS_THROUGH (Windows XP SP2 and later, on the
// ATA and SATA port drivers), for the read-only commands whose answer is in the
// registers. Only what the callers below pass is sent; nothing here writes.
#pragma once
#include <cstdint>

#include "device/ata.h"

namespace trv::device {

// The seven ATA registers of a command in IDEREGS order. On return `features`
// holds the error register and `command` the status register.
struct AtaTaskFile {
  std::uint8_t features = 0, count = 0, lbaLow = 0, lbaMid = 0, lbaHigh = 0, device = 0, command = 0;
};

inline constexpr std::uint8_t kAtaStatusError = 0x01;

// What came back from a command: its registers (the previous ones too for a
// 48-bit command), a request that worked but handed no registers back, or a
// request the system refused (`error` its last error).
struct AtaAnswer {
  enum class Outcome { Registers, NoRegisters, Failed };
  Outcome outcome = Outcome::Failed;
  AtaTaskFile current, previous;
  std::uint32_t error = 0;
  bool Aborted() const { return outcome == Outcome::Registers && (current.command & kAtaStatusError) != 0; }
};

// A command without data; `ext` sends it as a 48-bit command.
AtaAnswer AtaNonData(win::Platform& platform, win::Handle handle, const AtaTaskFile& command, bool ext);
// A PIO data-in command of one 512-byte block. `block` is written only when the
// port moved all 512 bytes; the answer's registers say how the drive ended it.
AtaAnswer AtaDataIn(win::Platform& platform, win::Handle handle, const AtaTaskFile& command, AtaBlock& block,
                    bool& moved);

} // namespace trv::device
