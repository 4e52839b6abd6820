// ATA commands through IOCTL_ATA_PASS_THROUGH (Windows XP SP2 and later, on the
// ATA and SATA port drivers): commands without data, PIO data-in of one block,
// and PIO data-out of one block (the Security commands' password block). Only
// what the callers pass is sent.
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

// A 48-bit command's high-order registers (FEATURE 15:8, COUNT 15:8, LBA 47:24),
// sent as the previous task file.
using AtaHighTaskFile = AtaTaskFile;

// A command without data; `ext` sends it as a 48-bit command with `high` as its
// previous task file. `timeoutSeconds`: TimeOutValue (1 to 108,000).
AtaAnswer AtaNonData(win::Platform& platform, win::Handle handle, const AtaTaskFile& command, bool ext);
AtaAnswer AtaNonData(win::Platform& platform, win::Handle handle, const AtaTaskFile& command, bool ext,
                     const AtaHighTaskFile& high, std::uint32_t timeoutSeconds);
// A PIO data-out command of one 512-byte block (ATA_FLAGS_DATA_OUT).
AtaAnswer AtaDataOut(win::Platform& platform, win::Handle handle, const AtaTaskFile& command, const AtaBlock& block,
                     std::uint32_t timeoutSeconds);
// A PIO data-in command of one 512-byte block. `block` is written only when the
// port moved all 512 bytes; the answer's registers say how the drive ended it.
AtaAnswer AtaDataIn(win::Platform& platform, win::Handle handle, const AtaTaskFile& command, AtaBlock& block,
                    bool& moved);

} // namespace trv::device
