#include "device/ata_any_path.h"

#include "device/sat.h"

namespace trv::device {

bool ReadIdentifyAnyPath(win::Platform& platform, win::Handle handle, std::uint8_t drive, std::int64_t busType,
                         AtaBlock& block) {
  if (ReadIdentify(platform, handle, drive, block)) return true;
  return busType == kUsbBus && sat::ReadIdentify(platform, handle, drive, block);
}

bool ReadSmartDataAnyPath(win::Platform& platform, win::Handle handle, std::uint8_t drive, std::int64_t busType,
                          AtaBlock& block) {
  if (ReadSmartData(platform, handle, drive, block)) return true;
  return busType == kUsbBus && sat::ReadSmartData(platform, handle, drive, block);
}

} // namespace trv::device
