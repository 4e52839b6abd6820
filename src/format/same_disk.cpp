#include "format/same_disk.h"

#include "device/device_env.h"
#include "device/identify.h"
#include "report/number_text.h"

namespace trv::format {

DiskIdentity IdentityOf(const device::TDeviceTable& entry) {
  const device::TIdentifyDeviceData& id = entry.IdentifyData;
  DiskIdentity disk;
  disk.number = entry.DeviceNumber;
  disk.busType = id.BusType;
  disk.bus = device::GetBusTypeName(id.BusType);
  disk.model = id.Model;
  disk.firmware = id.FW;
  disk.serial = id.SN;
  disk.sectorSize = id.SectorSize;
  disk.sectors = id.LBA;
  return disk;
}

std::optional<DiskIdentity> ReadDiskIdentity(win::Platform& platform, win::Handle handle, std::uint32_t number) {
  // The scan's own identification, so that like is compared with like; a
  // failure here refuses the erase instead of ending the program.
  bool failed = false;
  device::DeviceEnv env{platform, [](const std::u16string&) {},
                        [&failed](const std::u16string&, const std::u16string&) { failed = true; }};
  device::TDeviceTable entry;
  entry.DeviceNumber = number;
  if (device::IdentifyDevice(env, handle, u"", entry.IdentifyData) != 0 || failed) return std::nullopt;
  return IdentityOf(entry);
}

bool SameDisk(const DiskIdentity& chosen, const DiskIdentity& now) {
  return chosen.model == now.model && chosen.serial == now.serial && chosen.Capacity() == now.Capacity();
}

std::u16string DescribeDisk(const DiskIdentity& disk) {
  return disk.model + u"，序列号 " + disk.serial + u"，" + report::FormatThousands(disk.Capacity()) + u" 字节";
}

std::u16string DescribeDiskInEnglish(const DiskIdentity& disk) {
  return disk.model + u", serial " + disk.serial + u", " + report::FormatThousands(disk.Capacity()) + u" bytes";
}

} // namespace trv::format
