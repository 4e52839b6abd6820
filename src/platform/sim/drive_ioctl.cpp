// A control request to a simulated drive: the I/O manager's access check, then
// the driver that owns the code.
#include "platform/sim/drive_ioctl.h"

#include <algorithm>

#include "platform/win_types.h"

namespace trv::sim {

namespace ioctl {

IoctlResult Deliver(const Request& r, const std::vector<std::uint8_t>& answer, std::uint32_t reported) {
  const std::size_t wanted = reported ? reported : answer.size();
  const std::size_t n = std::min(wanted, r.out.size());
  std::fill(r.out.begin(), r.out.begin() + static_cast<std::ptrdiff_t>(n), std::uint8_t{0});
  std::copy_n(answer.begin(), std::min(n, answer.size()), r.out.begin());
  return {true, 0, static_cast<std::uint32_t>(n)};
}

const std::optional<std::uint32_t>& ScenarioFailure(const SimDrive& drive, DriveRequest request) {
  return drive.failWith[static_cast<std::size_t>(request)];
}

} // namespace ioctl

IoctlResult DriveIoctl(const SimDrive& drive, std::uint32_t grantedAccess, std::uint32_t code, const std::uint8_t* in,
                       std::uint32_t inSize, std::uint8_t* out, std::uint32_t outSize) {
  // The access bits of a control code (bits 14 and 15) name what the handle must allow.
  const std::uint32_t required = (code >> 14) & 3;
  if (((required & 1) && !(grantedAccess & win::GENERIC_READ)) || ((required & 2) && !(grantedAccess & win::GENERIC_WRITE)))
    return ioctl::Failed(win::ERROR_ACCESS_DENIED);
  ioctl::Request r{code, in ? std::vector<std::uint8_t>(in, in + inSize) : std::vector<std::uint8_t>{},
                   std::span<std::uint8_t>(out, out ? outSize : 0)};
  if (auto result = ioctl::StorageIoctl(drive, r)) return *result;
  if (auto result = ioctl::AtaIoctl(drive, r)) return *result;
  if (auto result = ioctl::ScsiIoctl(drive, r)) return *result;
  if (auto result = ioctl::AtaPassThroughIoctl(drive, r)) return *result;
  return ioctl::Failed(win::ERROR_INVALID_FUNCTION);
}

} // namespace trv::sim
