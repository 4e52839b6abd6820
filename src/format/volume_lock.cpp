#include "format/volume_lock.h"

#include "platform/records.h"
#include "platform/text.h"

namespace trv::format {

namespace {
constexpr std::uint32_t kDeviceNumberReplySize = 12;  // STORAGE_DEVICE_NUMBER: type, number, partition
}

void GetLogicalDriveList(win::Platform& platform, TLogicalDriveList& list) {
  for (auto& entry : list) entry.clear();
  constexpr std::uint32_t kLength = 1024;
  std::u16string buffer(kLength + 1, u'\0');  // one spare NUL: the walk below may look at index n
  const std::uint32_t n = platform.GetLogicalDriveStringsW(kLength, buffer.data());
  if (n == 0 || n >= kLength) return;  // failed, or the strings did not fit
  std::size_t next = 0;
  for (std::size_t i = 0; i <= n && buffer[i] != u'\0' && next < list.size();) {
    std::u16string entry(buffer.c_str() + i);
    i += entry.size() + 1;
    if (!entry.empty() && entry.back() == u'\\') entry.pop_back();
    list[next++] = std::move(entry);
  }
}

void GetVolumeDeviceNumber(win::Platform& platform, const std::u16string& name, TVolumeDeviceNumber& info) {
  info = TVolumeDeviceNumber{};
  const win::Handle h = platform.CreateFileW(u"\\\\.\\" + name, 0, win::FILE_SHARE_READ | win::FILE_SHARE_WRITE,
                                             win::OPEN_EXISTING, 0);
  if (h == win::kInvalidHandle) return;
  std::vector<std::uint8_t> reply(1024, 0);
  std::uint32_t returned = 0;
  // A reply too short for the three words says nothing: as if the query had failed.
  if (platform.DeviceIoControl(h, IOCTL_STORAGE_GET_DEVICE_NUMBER, nullptr, 0, reply.data(),
                               static_cast<std::uint32_t>(reply.size()), &returned) &&
      returned >= kDeviceNumberReplySize) {
    info.DeviceType = rec::U32(reply, 0);
    info.DeviceNumber = rec::U32(reply, 4);
    info.PartitionNumber = rec::U32(reply, 8);
    info.Valid = true;
  }
  platform.CloseHandle(h);
}

bool LockVolumes(FormatContext& ctx, std::int64_t deviceNumber) {
  win::Platform& p = ctx.platform;
  auto debug = [&](const std::u16string& line) {
    if (ctx.debugMode) ctx.observer.Log(line);
  };
  debug(u"Looking for partitions...");
  TLogicalDriveList list;
  GetLogicalDriveList(p, list);
  debug(u"Done.");
  for (const std::u16string& name : list) {
    if (name.empty()) continue;
    debug(u"Getting device data...");
    TVolumeDeviceNumber info;
    GetVolumeDeviceNumber(p, name, info);
    debug(u"Done.");
    if (!info.Valid) continue;
    debug(u"Found partition " + name + u"   " + u"   DeviceType: " + DecimalText(info.DeviceType) +
          u"   DeviceNumber: " + DecimalText(info.DeviceNumber) + u"   Partition: " + DecimalText(info.PartitionNumber));
    // Only the number is compared: a CD-ROM numbered like the disk matches too.
    if (static_cast<std::int64_t>(info.DeviceNumber) != deviceNumber) continue;
    debug(u"Locking \\\\.\\" + name);
    const win::Handle h = p.CreateFileW(u"\\\\.\\" + name, win::GENERIC_READ,
                                        win::FILE_SHARE_READ | win::FILE_SHARE_WRITE, win::OPEN_EXISTING, 0);
    if (h == win::kInvalidHandle) {
      ctx.observer.LogBare(u"Invalid handle");
      return false;
    }
    debug(u"Got handle!");
    debug(u"Locking volume...");
    std::uint32_t returned = 0;
    if (!p.DeviceIoControl(h, FSCTL_LOCK_VOLUME, nullptr, 0, nullptr, 0, &returned)) {
      p.CloseHandle(h);
      return false;
    }
    debug(u"Done.");
    debug(u"Dismounting volume...");
    if (!p.DeviceIoControl(h, FSCTL_DISMOUNT_VOLUME, nullptr, 0, nullptr, 0, &returned)) {
      p.CloseHandle(h);
      return false;
    }
    debug(u"Done.");
    debug(u"Extending I/O...");
    p.DeviceIoControl(h, FSCTL_ALLOW_EXTENDED_DASD_IO, nullptr, 0, nullptr, 0, &returned);
    debug(u"Done.");
    ctx.volumeHandles.push_back(h);
  }
  return true;
}

void UnlockVolumes(win::Platform& platform, std::vector<win::Handle>& volumeHandles) {
  for (const win::Handle h : volumeHandles) platform.CloseHandle(h);
  volumeHandles.clear();
}

} // namespace trv::format
