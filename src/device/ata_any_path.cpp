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
  return ReadSmartDataAnyPathChecked(platform, handle, drive, busType, block).ok();
}

bool ReadSmartThresholdsAnyPath(win::Platform& platform, win::Handle handle, std::uint8_t drive, std::int64_t busType,
                                AtaBlock& block) {
  if (ReadSmartThresholds(platform, handle, drive, block).ok()) return true;
  return busType == kUsbBus && sat::ReadSmartThresholds(platform, handle, drive, block);
}

SmartRead ReadSmartDataAnyPathChecked(win::Platform& platform, win::Handle handle, std::uint8_t drive,
                                      std::int64_t busType, AtaBlock& block) {
  const SmartRead read = ReadSmartDataChecked(platform, handle, drive, block);
  if (read.ok() || busType != kUsbBus) return read;
  if (sat::ReadSmartData(platform, handle, drive, block)) return {SmartRead::Outcome::Ok, 512};
  return read;
}

} // namespace trv::device
