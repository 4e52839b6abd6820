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
// The NVMe protocol-specific property queries, where the drive and the system know them.
std::optional<IoctlResult> ProtocolQuery(const SimDrive& drive, const Request& r);

} // namespace trv::sim::ioctl
