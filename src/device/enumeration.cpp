#include "device/enumeration.h"

#include "device/identify.h"
#include "platform/text.h"

namespace trv::device {

namespace {
constexpr std::uint32_t kHighestDriveNumber = 255;
} // namespace

void EnumerateDevices(DeviceEnv& env, DeviceState& state, StatusSink& status) {
  win::Platform& p = env.platform;
  TIdentifyDeviceData work;
  for (std::uint32_t n = 0; n <= kHighestDriveNumber && state.DeviceCount < kMaxDevices; ++n) {
    const std::u16string path = u"\\\\.\\PhysicalDrive" + DecimalText(n);
    env.debugLog(u"Trying device " + path);
    const win::Handle handle = p.CreateFileW(path, win::GENERIC_READ, win::FILE_SHARE_READ | win::FILE_SHARE_WRITE,
                                             win::OPEN_EXISTING, 0);
    if (handle == win::kInvalidHandle) {
      env.debugLog(u"Invalid handle, skipping");
      continue;
    }
    env.debugLog(u"Identifying the device...");
    // Cleared for every disk, so a disk that is not identified never shows the
    // model and serial of the one before it.
    work = TIdentifyDeviceData{};
    const bool identified = IdentifyDevice(env, handle, path, work) == 0;
    env.debugLog(u"Done. Status = " + std::u16string(identified ? u"-1" : u"0") + u"; " + work.Model + u"  " + work.SN);
    if (identified) {
      ++state.DeviceCount;
      TDeviceTable& entry = state.Devices[static_cast<std::size_t>(state.DeviceCount)];
      entry = TDeviceTable{};
      entry.DevicePath = path;
      entry.DeviceNumber = n;
      entry.IdentifyData = work;
    }
    p.CloseHandle(handle);
  }
  status.SetStatus(u"Disks found: " + DecimalText(state.DeviceCount));
}

} // namespace trv::device
