#include "device/enumeration.h"

#include "device/identify.h"
#include "platform/text.h"

namespace trv::device {

std::u16string DevicePath(std::uint32_t number) { return u"\\\\.\\PhysicalDrive" + DecimalText(number); }

DeviceProbe ProbeDevice(DeviceEnv& env, std::uint32_t number, TIdentifyDeviceData& data) {
  win::Platform& p = env.platform;
  const std::u16string path = DevicePath(number);
  DeviceProbe probe;
  env.debugLog(u"Trying device " + path);
  const win::Handle handle = p.CreateFileW(path, win::GENERIC_READ, win::FILE_SHARE_READ | win::FILE_SHARE_WRITE,
                                           win::OPEN_EXISTING, 0);
  if (handle == win::kInvalidHandle) {
    probe.openError = p.GetLastError();
    env.debugLog(u"Invalid handle, skipping");
    return probe;
  }
  probe.opened = true;
  // Closed however identification ends: a front end's error box may throw.
  struct Closer {
    win::Platform& p;
    win::Handle h;
    ~Closer() { p.CloseHandle(h); }
  } closer{p, handle};
  env.debugLog(u"Identifying the device...");
  // Cleared for every disk, so a disk that is not identified never shows the
  // model and serial of the one before it.
  data = TIdentifyDeviceData{};
  probe.identified = IdentifyDevice(env, handle, path, data) == 0;
  env.debugLog(u"Done. Status = " + std::u16string(probe.identified ? u"-1" : u"0") + u"; " + data.Model + u"  " + data.SN);
  return probe;
}

void EnumerateDevices(DeviceEnv& env, DeviceState& state, StatusSink& status) {
  TIdentifyDeviceData work;
  for (std::uint32_t n = 0; n <= kHighestDeviceNumber && state.DeviceCount < kMaxDevices; ++n) {
    if (!ProbeDevice(env, n, work).identified) continue;
    ++state.DeviceCount;
    TDeviceTable& entry = state.Devices[static_cast<std::size_t>(state.DeviceCount)];
    entry = TDeviceTable{};
    entry.DevicePath = DevicePath(n);
    entry.DeviceNumber = n;
    entry.IdentifyData = work;
  }
  status.SetStatus(u"Disks found: " + DecimalText(state.DeviceCount));
}

} // namespace trv::device
