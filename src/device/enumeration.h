// The scan of \\.\PhysicalDrive0..255 that fills the device table.
#pragma once
#include "device/device_env.h"
#include "device/device_records.h"
#include "platform/sinks.h"

namespace trv::device {

// Fills `state.Devices` and `state.DeviceCount` and sets `status` to "Disks found: N".
void EnumerateDevices(DeviceEnv& env, DeviceState& state, StatusSink& status);

} // namespace trv::device
