#include "report/offered_erase.h"

#include "device/drive_identity.h"
#include "device/nvme.h"

namespace trv::report {

std::optional<device::EraseFeatures> OfferedEraseFeatures(win::Platform& platform, win::Handle handle,
                                                          const device::TIdentifyDeviceData& id) {
  if (id.BusType == device::kNvmeBus) {
    device::NvmeIdentifyBlock controller{};
    if (!device::ReadNvmeIdentifyController(platform, handle, controller)) return std::nullopt;
    return device::NvmeEraseFeatures(controller);
  }
  device::AtaBlock block{};
  if (!device::ReadAtaIdentifyBlock(platform, handle, id, block)) return std::nullopt;
  return device::AtaEraseFeatures(block);
}

} // namespace trv::report
