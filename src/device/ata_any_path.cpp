#include "device/ata_any_path.h"

#include "device/sat.h"
#include "device/sat_registers.h"

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

SmartStatus ReadSmartStatusAnyPath(win::Platform& platform, win::Handle handle, std::uint8_t drive,
                                   std::int64_t busType) {
  const SmartStatus direct = ReadSmartStatus(platform, handle, drive);
  if (busType != kUsbBus || direct == SmartStatus::Good || direct == SmartStatus::Failing) return direct;
  sat::AtaCommand c;
  c.command = 0xB0, c.features = 0xDA, c.lba = 0xC24F00, c.device = static_cast<std::uint8_t>(0xA0 | ((drive & 1) << 4));
  sat::AtaRegisters r;
  switch (sat::SendNonData(platform, handle, c, r)) {
    case sat::RegisterAnswer::Failed: return direct;
    case sat::RegisterAnswer::NoRegisters: return SmartStatus::NotPassed;
    case sat::RegisterAnswer::Registers: break;
  }
  if ((r.status & 0x01) != 0) return SmartStatus::NotRead;  // the drive aborted it: S.M.A.R.T. off
  if (r.lbaMid == 0x4F && r.lbaHigh == 0xC2) return SmartStatus::Good;
  if (r.lbaMid == 0xF4 && r.lbaHigh == 0x2C) return SmartStatus::Failing;
  return SmartStatus::Unknown;
}

SmartRead ReadSmartDataAnyPathChecked(win::Platform& platform, win::Handle handle, std::uint8_t drive,
                                      std::int64_t busType, AtaBlock& block) {
  const SmartRead read = ReadSmartDataChecked(platform, handle, drive, block);
  if (read.ok() || busType != kUsbBus) return read;
  if (sat::ReadSmartData(platform, handle, drive, block)) return {SmartRead::Outcome::Ok, 512};
  return read;
}

} // namespace trv::device
