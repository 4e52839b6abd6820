#include "format/same_disk.h"

#include "device/device_env.h"
#include "device/identify.h"
#include "platform/text.h"
#include "report/number_text.h"

namespace trv::format {

std::u16string ShownModel(const DiskIdentity& d) { return TrimControl(d.drive ? d.drive->model : d.model); }
std::u16string ShownFirmware(const DiskIdentity& d) { return TrimControl(d.drive ? d.drive->firmware : d.firmware); }
std::u16string ShownSerial(const DiskIdentity& d) { return TrimControl(d.drive ? d.drive->serial : d.serial); }

DiskIdentity IdentityOf(const device::TDeviceTable& entry, const device::DriveFacts& drive) {
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
  disk.drive = drive.own;
  disk.media = drive.media;
  return disk;
}

std::optional<DiskIdentity> ReadDiskIdentity(win::Platform& platform, win::Handle handle, std::uint32_t number,
                                             bool askDrive) {
  // The scan's own identification, so that like is compared with like; a
  // failure here refuses the erase instead of ending the program.
  bool failed = false;
  device::DeviceEnv env{platform, [](const std::u16string&) {},
                        [&failed](const std::u16string&, const std::u16string&) { failed = true; }};
  device::TDeviceTable entry;
  entry.DeviceNumber = number;
  if (device::IdentifyDevice(env, handle, u"", entry.IdentifyData) != 0 || failed) return std::nullopt;
  return IdentityOf(entry, askDrive ? device::ReadDriveFacts(platform, handle, entry.IdentifyData) : device::DriveFacts{});
}

bool SameDisk(const DiskIdentity& chosen, const DiskIdentity& now) {
  if (chosen.model != now.model || chosen.serial != now.serial || chosen.Capacity() != now.Capacity()) return false;
  // A drive that cannot be asked now is not known to be the same one.
  if (chosen.drive && (!now.drive || now.drive->model != chosen.drive->model || now.drive->serial != chosen.drive->serial))
    return false;
  return true;
}

std::u16string DescribeDisk(const DiskIdentity& disk) {
  return disk.model + u"，序列号 " + disk.serial + u"，" + report::FormatThousands(disk.Capacity()) + u" 字节";
}

std::u16string DescribeDiskInEnglish(const DiskIdentity& disk) {
  std::u16string text = ControlPictures(ShownModel(disk)) + u", serial " + ControlPictures(ShownSerial(disk));
  const std::u16string windowsModel = TrimControl(disk.model), windowsSerial = TrimControl(disk.serial);
  if (disk.drive && (windowsModel != ShownModel(disk) || windowsSerial != ShownSerial(disk)))
    text += u" (Windows shows " + ControlPictures(windowsModel) + u", serial " + ControlPictures(windowsSerial) + u")";
  return text + u", " + report::FormatThousands(disk.Capacity()) + u" bytes";
}

} // namespace trv::format
