// The scan of \\.\PhysicalDrive0..255 that fills the device table.
#pragma once
#include "device/device_env.h"
#include "device/device_records.h"
#include "platform/sinks.h"

namespace trv::device {

// Fills `state.Devices` and `state.DeviceCount` and sets `status` to "Disks found: N".
void EnumerateDevices(DeviceEnv& env, DeviceState& state, StatusSink& status);

// One number of the scan: \\.\PhysicalDriveN opened shared for reading,
// identified into `data` and closed again (also when identification throws),
// traced in the debug log as the scan traces it.
struct DeviceProbe {
  bool opened = false;
  std::uint32_t openError = 0;  // the open's last error when it failed
  bool identified = false;
};
DeviceProbe ProbeDevice(DeviceEnv& env, std::uint32_t number, TIdentifyDeviceData& data);

// \\.\PhysicalDriveN
std::u16string DevicePath(std::uint32_t number);

} // namespace trv::device
