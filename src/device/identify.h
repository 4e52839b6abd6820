// Identification of an open disk through the storage stack's own queries:
// geometry, media length, adapter and device descriptors. No ATA command is sent.
#pragma once
#include <array>
#include <cstdint>
#include <string_view>

#include "device/device_env.h"
#include "device/device_records.h"
#include "device/storage_records.h"

namespace trv::device {

// STORAGE_BUS_TYPE values the purge tells apart (NVMe: nvme.h's kNvmeBus).
inline constexpr std::int64_t kAtaBus = 3, kRaidBus = 8, kSataBus = 11, kUsbBus = 7;

// Fills `data` and returns 0 when the disk was identified; -1 leaves `data` as it
// was. Traces every step in the debug log. A failed device-descriptor query
// ends the program through `env.errorAndExit`.
std::int64_t IdentifyDevice(DeviceEnv& env, win::Handle handle, std::u16string_view devicePath, TIdentifyDeviceData& data);

// The first bytes of the storage adapter descriptor, asked as the scan asks
// them; false, with `adapter` the scan's default (bus 201 "FLASH", 64 KiB
// transfers), when the adapter does not answer.
bool ReadAdapterDescriptor(win::Platform& platform, win::Handle handle,
                           std::array<std::uint8_t, storage::kAdapterDescriptorSize>& adapter);
// The disk's storage bus type as the scan reads it (17 NVMe, 7 USB, 11 SATA, ...).
std::int64_t StorageBusType(win::Platform& platform, win::Handle handle);

// 1 when the disk sits in the slave position of its ATA channel, else 0.
std::uint8_t DetectIDESlave(win::Platform& platform, win::Handle handle);

} // namespace trv::device
