// Shared device records: what the storage stack says a disk is, the device
// table, and the decoded ATA IDENTIFY DEVICE block.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "device/hidden_range.h"
#include "platform/win_types.h"

namespace trv::device {

struct TIdentifyDeviceData {
  std::u16string Model;
  std::u16string FW;
  std::u16string SN;
  std::int64_t LBA = 0;
  std::int64_t SectorSize = 0;
  std::int64_t BusType = 0;
  std::int64_t MaximumSectorsTransfer = 0;
  bool RemovableMedia = false;
  std::uint8_t IsIDESlave = 0;
};

struct TDeviceTable {
  std::u16string DevicePath;
  std::uint32_t DeviceNumber = 0;
  TIdentifyDeviceData IdentifyData;
  // Image-file fields: kept for the record layout, never used.
  bool IsFile = false;
  std::u16string FilePath;
  std::int64_t FileSize = 0;
  bool IsCompressed = false;
  std::u16string FileVersion;
};

struct T_IDE_PASSPORT {
  std::u16string name;
  std::u16string fw;
  std::u16string sn;
  bool lba28support = false;
  bool lba48support = false;
  std::int64_t lba28sectors = 0;
  std::int64_t lba48sectors = 0;
  std::int64_t lbasectors = 0;
  std::uint8_t readmultiplesectors = 0;
  bool securitysupport = false;
  bool locked = false;
  bool lockedmax = false;
  bool hpasupport = false;
  bool smartsupport = false;
  bool smartenabled = false;
  bool aamsupport = false;
  bool dmasupport = false;
  std::uint8_t dmamodesupport = 0;
  std::uint8_t dmamodeselected = 0;
  bool isremovable = false;
  bool ispacket = false;
  std::uint32_t buffersize = 0;
  std::int64_t sectorsize = 0;
  bool QueueSupported = false;
  std::int64_t QueueDepth = 0;
  bool StreamingSupported = false;
};

inline constexpr int kDeviceTableSlots = 16;   // indexed 1..16
inline constexpr int kMaxDevices = 15;         // the scan stops after 15
inline constexpr std::uint32_t kHighestDeviceNumber = 255;  // \\.\PhysicalDrive0 to 255 are tried

// The process-wide device state of one run.
struct DeviceState {
  std::array<TDeviceTable, kDeviceTableSlots + 1> Devices{};  // [0] unused: 1-based
  std::int64_t DeviceCount = 0;
  std::int64_t SelectedDevice = -1;
  win::Handle DeviceHandle = win::kInvalidHandle;
  std::u16string DeviceTitle;
  // The chosen disk's size as the drive states it in its IDENTIFY data (bytes;
  // 0: unknown). Windows may show less: XP, or a bridge limited to 32-bit addresses.
  std::int64_t StatedBytes = 0;
  // The sectors past the stated size that a host protected area or a device
  // configuration overlay hides: the erase cannot reach them either.
  std::vector<HiddenRange> Hidden;
};

// Display text of a storage bus type number.
std::u16string GetBusTypeName(std::int64_t busType);

} // namespace trv::device
