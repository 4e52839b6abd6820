#include "platform/sim/sim_drive.h"

#include "platform/win_types.h"

namespace trv::sim {

IoctlResult DriveIoctl(const SimDrive& drive, std::uint32_t code, const std::uint8_t* in, std::uint32_t inSize,
                       std::uint8_t* out, std::uint32_t outSize) {
  (void)drive, (void)code, (void)in, (void)inSize, (void)out, (void)outSize;
  return {false, win::ERROR_INVALID_FUNCTION, 0};
}

} // namespace trv::sim
