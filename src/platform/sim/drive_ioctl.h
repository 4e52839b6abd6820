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
// IOCTL_ATA_PASS_THROUGH: the commands that read what lies past the drive's maximum.
std::optional<IoctlResult> AtaPassThroughIoctl(const SimDrive& drive, const Request& r);
// The NVMe protocol-specific property queries, where the drive and the system know them.
std::optional<IoctlResult> ProtocolQuery(const SimDrive& drive, const Request& r);

} // namespace trv::sim::ioctl
