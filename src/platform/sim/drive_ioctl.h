// The pieces of a simulated drive's answers to control requests: the storage
// class stack (geometry, length, property queries, inquiry data) and the ATA
// drivers (S.M.A.R.T. requests and the SCSI miniport pass-through).
#pragma once
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "platform/sim/sim_drive.h"

namespace trv::sim::ioctl {

// One request as the driver sees it. `in` is a copy, so the driver may write
// `out` even when the caller passed the same buffer for both.
struct Request {
  std::uint32_t code = 0;
  std::vector<std::uint8_t> in;
  std::span<std::uint8_t> out;
};

inline IoctlResult Failed(std::uint32_t error) { return {false, error, 0}; }
// Writes `answer` to the output and reports `reported` bytes (0: the answer's
// size), never more than the output holds; bytes past the answer are zero.
IoctlResult Deliver(const Request& r, const std::vector<std::uint8_t>& answer, std::uint32_t reported = 0);
// The failure the scenario asks for on this request, if any.
const std::optional<std::uint32_t>& ScenarioFailure(const SimDrive& drive, DriveRequest request);

// Each returns nothing when the code is not one of its own.
std::optional<IoctlResult> StorageIoctl(const SimDrive& drive, const Request& r);
std::optional<IoctlResult> AtaIoctl(const SimDrive& drive, const Request& r);
std::optional<IoctlResult> ScsiIoctl(const SimDrive& drive, const Request& r);
// What a drive with this IDENTIFY block (none: `mediumSectors` is its maximum)
// answers to the commands that read what lies past its maximum, on any path.
struct HiddenDrive {
  const std::optional<Block512>& identify;
  const SimHidden& hidden;
  std::int64_t mediumSectors;
};
// The last address READ NATIVE MAX ADDRESS (EXT) answers; none: aborted.
std::optional<std::uint64_t> NativeMaxAddress(const HiddenDrive& drive, bool ext);
// The DEVICE CONFIGURATION IDENTIFY block; none: aborted.
std::optional<Block512> DcoIdentifyBlock(const HiddenDrive& drive);
// The same drive behind its USB bridge.
HiddenDrive BridgedDrive(const SimDrive& drive);
// READ NATIVE MAX ADDRESS (EXT) through a bridge: the address in the ATA Return
// descriptor `reg` (14 bytes: EXTEND, error, count, LBA in high/low pairs,
// device, status); false when the drive aborts it.
bool NativeMaxReturn(const HiddenDrive& drive, bool ext, std::uint8_t* reg);
// An ATA_PASS_THROUGH_EX record of the program's bitness, as the port driver reads it.
struct AptRecord {
  std::uint16_t flags = 0;
  std::uint32_t transfer = 0, timeoutSeconds = 0;
  std::uint64_t dataOffset = 0;
  std::size_t previous = 0, current = 0;  // where the task files lie
};
// The request's failure (the scenario's, no ATA drive, a malformed record), or none.
std::optional<std::uint32_t> CheckAptRecord(const SimDrive& drive, const Request& r, AptRecord& record);
// "CRYPTO SCRAMBLE EXT", ...: SANITIZE DEVICE's function of this FEATURE.
const char* SanitizeName(std::uint16_t feature);
// The status a drive ends a command with, in a task file's error and status
// registers: aborted (ABRT, ERR), or done (ready).
void Abort(std::uint8_t* current);
void Ready(std::uint8_t* current);
// The 512-byte block a data-out command carries; nullptr when it carries none.
const std::uint8_t* AptDataOut(const Request& r, const AptRecord& record);
// The record `a` (with the registers the drive left) handed back; `moved`: the
// bytes the data phase moved, returned after the record for a data-in command.
IoctlResult AptAnswer(const Request& r, const AptRecord& record, std::vector<std::uint8_t> a, std::uint32_t moved,
                      bool dataIn);
// IOCTL_ATA_PASS_THROUGH: the commands that read what lies past the drive's maximum.
std::optional<IoctlResult> AtaPassThroughIoctl(const SimDrive& drive, const Request& r);
// IDENTIFY DEVICE as the drive answers it now (the drive has an IDENTIFY block).
Block512 LiveIdentify(const SimDrive& drive);
// The NVMe protocol-specific property queries, where the drive and the system know them.
std::optional<IoctlResult> ProtocolQuery(const SimDrive& drive, const Request& r);

} // namespace trv::sim::ioctl
