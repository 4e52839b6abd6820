#include "format/volume_lock.h"

#include <algorithm>
#include <optional>

#include "platform/records.h"
#include "platform/text.h"

namespace trv::format {

namespace {

constexpr std::uint32_t kPathBuffer = 261;  // MAX_PATH with its NUL; a volume GUID path takes 50
constexpr std::uint32_t kMaxVolumes = 4096; // a search that never ends is a failed search
constexpr std::uint32_t kFirstExtentsGuess = 32;
constexpr std::uint32_t kMaxExtents = 4096;
constexpr std::uint32_t kMaxAnswerBytes = 1 << 20;

// NUL-separated texts up to the empty one (or the end of the buffer).
std::vector<std::u16string> SplitMultiText(std::u16string_view buffer) {
  std::vector<std::u16string> out;
  std::size_t i = 0;
  while (i < buffer.size() && buffer[i] != u'\0') {
    const std::size_t end = std::min(buffer.find(u'\0', i), buffer.size());
    out.emplace_back(buffer.substr(i, end - i));
    i = end + 1;
  }
  return out;
}

bool IsDriveRoot(const std::u16string& path) { return path.size() == 3 && path[1] == u':' && path[2] == u'\\'; }

std::vector<std::u16string> PathNames(win::Platform& p, const std::u16string& guidPath) {
  std::uint32_t length = kPathBuffer;
  for (int attempt = 0; attempt < 3; ++attempt) {
    std::u16string buffer(length, u'\0');
    std::uint32_t needed = 0;
    if (p.GetVolumePathNamesForVolumeNameW(guidPath, buffer.data(), length, &needed))
      return SplitMultiText(std::u16string_view(buffer).substr(0, std::min(needed, length)));
    if (p.GetLastError() != vol::ERROR_MORE_DATA || needed <= length || needed > kMaxAnswerBytes / 2) break;
    length = needed;
  }
  return {};  // a volume whose names cannot be read is named by its GUID path
}

void ReadExtents(win::Platform& p, win::Handle h, VolumeFacts& v) {
  std::uint32_t count = kFirstExtentsGuess;
  for (int attempt = 0; attempt < 3; ++attempt) {
    std::vector<std::uint8_t> answer(vol::kExtentsFirst + count * vol::kDiskExtentSize, 0);
    std::uint32_t returned = 0;
    if (p.DeviceIoControl(h, vol::IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS, nullptr, 0, answer.data(),
                          static_cast<std::uint32_t>(answer.size()), &returned)) {
      if (auto extents = ParseVolumeDiskExtents(answer, returned)) {
        v.extents = std::move(*extents);
        v.extentsRead = true;
      } else {
        v.extentsError = 13;  // ERROR_INVALID_DATA: an answer shorter than its own count
      }
      return;
    }
    v.extentsError = p.GetLastError();
    // Too small: the record's count says how many there are.
    const std::uint32_t needed = rec::U32(answer, vol::kExtentsCount);
    if (v.extentsError != vol::ERROR_MORE_DATA || needed <= count || needed > kMaxExtents) return;
    count = needed;
  }
}

TVolumeDeviceNumber QueryDeviceNumber(win::Platform& p, win::Handle h) {
  std::vector<std::uint8_t> reply(1024, 0);
  std::uint32_t returned = 0;
  // A reply too short for the three words says nothing: as if the query had failed.
  if (!p.DeviceIoControl(h, vol::IOCTL_STORAGE_GET_DEVICE_NUMBER, nullptr, 0, reply.data(),
                         static_cast<std::uint32_t>(reply.size()), &returned) ||
      returned < vol::kDeviceNumberSize)
    return {};
  return {true, rec::U32(reply, 0), rec::U32(reply, 4), rec::U32(reply, 8)};
}

// The volume that holds `path`: the one with the longest drive root or mount
// folder in front of it. -1: none.
std::ptrdiff_t OwnerOf(const std::vector<VolumeFacts>& volumes, std::u16string path) {
  if (path.empty()) return -1;
  if (path.back() != u'\\') path += u'\\';
  const std::u16string lower = AsciiLower(path);
  std::ptrdiff_t owner = -1;
  std::size_t longest = 0;
  for (std::size_t i = 0; i < volumes.size(); ++i)
    for (const std::u16string& mount : volumes[i].paths) {
      const std::u16string m = AsciiLower(mount);
      if (m.size() > longest && lower.compare(0, m.size(), m) == 0) {
        owner = static_cast<std::ptrdiff_t>(i);
        longest = m.size();
      }
    }
  return owner;
}

std::u16string SystemDirectory(win::Platform& p) {
  std::u16string buffer(kPathBuffer, u'\0');
  std::uint32_t n = p.GetSystemDirectoryW(buffer.data(), kPathBuffer);
  if (n >= kPathBuffer && n < kMaxAnswerBytes / 2) {
    buffer.assign(n, u'\0');
    n = p.GetSystemDirectoryW(buffer.data(), n);
  }
  if (n == 0 || n >= buffer.size()) return {};
  return buffer.substr(0, n);
}

// A REG_MULTI_SZ value of the memory manager's key; none when it cannot be read.
std::vector<std::u16string> MemoryManagementTexts(win::Platform& p, std::u16string_view valueName) {
  std::uint32_t size = 4096;
  for (int attempt = 0; attempt < 3; ++attempt) {
    std::vector<std::uint8_t> data(size, 0);
    std::uint32_t type = 0, got = size;
    const std::uint32_t status = p.RegQueryLocalMachineValueW(vol::kMemoryManagementKey, valueName, &type, data.data(), &got);
    if (status == 0) {
      if (type != vol::REG_MULTI_SZ && type != vol::REG_SZ) return {};  // Wine keeps PagingFiles as one text
      std::u16string text(std::min(got, size) / 2, u'\0');
      for (std::size_t i = 0; i < text.size(); ++i) text[i] = rec::U16(data, 2 * i);
      return SplitMultiText(text);
    }
    if (status != vol::ERROR_MORE_DATA || got <= size || got > kMaxAnswerBytes) return {};
    size = got;
  }
  return {};
}

// The page files Windows uses or is set to use: "\??\C:\pagefile.sys" in
// ExistingPageFiles (Vista and later), "C:\pagefile.sys 2048 4096" in PagingFiles.
// "?:\pagefile.sys" (the system chooses, on its own volume) names no volume.
std::vector<std::u16string> PageFiles(win::Platform& p) {
  std::vector<std::u16string> files;
  for (const char16_t* value : {u"ExistingPageFiles", u"PagingFiles"})
    for (std::u16string entry : MemoryManagementTexts(p, value)) {
      entry = TrimControl(entry);
      if (entry.rfind(u"\\??\\", 0) == 0) entry.erase(0, 4);
      for (int sizes = 0; sizes < 2; ++sizes) {  // the initial and maximum sizes in MB
        const std::size_t blank = entry.find_last_of(u' ');
        if (blank == std::u16string::npos || blank + 1 == entry.size() ||
            !std::all_of(entry.begin() + static_cast<std::ptrdiff_t>(blank) + 1, entry.end(),
                         [](char16_t c) { return c >= u'0' && c <= u'9'; }))
          break;
        entry = TrimControl(entry.substr(0, blank));
      }
      if (entry.size() >= 3 && entry[1] == u':' && entry[0] != u'?') files.push_back(entry);
    }
  return files;
}

std::u16string ErrorText(win::Platform& p, std::uint32_t code) {
  return u"error " + DecimalText(code) + u": " + p.SystemMessage(code);
}

} // namespace

std::u16string VolumeFacts::Name() const {
  for (const std::u16string& path : paths)
    if (IsDriveRoot(path)) return path.substr(0, 2);
  return paths.empty() ? guidPath : guidPath + u" (" + paths.front() + u")";
}

std::u16string VolumeFacts::DevicePath() const {
  for (const std::u16string& path : paths)
    if (IsDriveRoot(path)) return u"\\\\.\\" + path.substr(0, 2);
  std::u16string device = guidPath;
  if (!device.empty() && device.back() == u'\\') device.pop_back();
  return device;
}

void GetVolumeDeviceNumber(win::Platform& platform, const std::u16string& devicePath, TVolumeDeviceNumber& info) {
  info = TVolumeDeviceNumber{};
  const win::Handle h =
      platform.CreateFileW(devicePath, 0, win::FILE_SHARE_READ | win::FILE_SHARE_WRITE, win::OPEN_EXISTING, 0);
  if (h == win::kInvalidHandle) return;
  info = QueryDeviceNumber(platform, h);
  platform.CloseHandle(h);
}

std::optional<std::vector<DiskExtent>> ParseVolumeDiskExtents(std::span<const std::uint8_t> answer,
                                                              std::uint32_t returned) {
  const std::size_t valid = std::min<std::size_t>(returned, answer.size());
  if (valid < 4) return std::nullopt;
  const std::uint64_t count = rec::U32(answer, vol::kExtentsCount);
  if (count > 0 && vol::kExtentsFirst + count * vol::kDiskExtentSize > valid) return std::nullopt;
  std::vector<DiskExtent> extents;
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t at = vol::kExtentsFirst + i * vol::kDiskExtentSize;
    extents.push_back({rec::U32(answer, at + vol::kExtentDiskNumber), rec::I64(answer, at + vol::kExtentStartingOffset),
                       rec::I64(answer, at + vol::kExtentLength)});
  }
  return extents;
}

VolumeFacts InspectVolume(win::Platform& p, const std::u16string& guidPath) {
  VolumeFacts v;
  v.guidPath = guidPath;
  v.paths = PathNames(p, guidPath);
  const win::Handle h =
      p.CreateFileW(v.DevicePath(), 0, win::FILE_SHARE_READ | win::FILE_SHARE_WRITE, win::OPEN_EXISTING, 0);
  if (h == win::kInvalidHandle) {
    v.extentsError = p.GetLastError();
    return v;
  }
  v.number = QueryDeviceNumber(p, h);
  ReadExtents(p, h, v);
  p.CloseHandle(h);
  return v;
}

DiskMatch VolumeOnDisk(const VolumeFacts& v, std::int64_t deviceNumber) {
  // A CD-ROM or a mounted disc image answers like a disk, with numbers of its own kind.
  if (v.number.Valid && v.number.DeviceType != vol::FILE_DEVICE_DISK) return DiskMatch::No;
  if (v.extentsRead) {
    for (const DiskExtent& e : v.extents)
      if (static_cast<std::int64_t>(e.disk) == deviceNumber) return DiskMatch::Yes;
    return DiskMatch::No;
  }
  if (!v.number.Valid) return DiskMatch::Unknown;
  // A partition always knows its extents: a volume that does not know the
  // request (a floppy, numbered 0 among floppies) is no partition of a disk.
  const bool numbered = static_cast<std::int64_t>(v.number.DeviceNumber) == deviceNumber;
  return numbered && v.extentsError != win::ERROR_INVALID_FUNCTION ? DiskMatch::Yes : DiskMatch::No;
}

bool FindVolumes(win::Platform& platform, std::vector<VolumeFacts>& volumes, std::uint32_t& error) {
  std::u16string buffer(kPathBuffer, u'\0');
  const win::Handle find = platform.FindFirstVolumeW(buffer.data(), kPathBuffer);
  if (find == win::kInvalidHandle) {
    error = platform.GetLastError();
    if (error != vol::ERROR_NO_MORE_FILES) return false;
    error = 0;  // a computer without volumes
    return true;
  }
  bool listed = true;
  for (;;) {
    VolumeFacts v;
    v.guidPath = buffer.c_str();
    volumes.push_back(std::move(v));
    std::fill(buffer.begin(), buffer.end(), u'\0');
    if (!platform.FindNextVolumeW(find, buffer.data(), kPathBuffer)) {
      error = platform.GetLastError();
      listed = error == vol::ERROR_NO_MORE_FILES;
      break;
    }
    if (volumes.size() >= kMaxVolumes) {
      error = vol::ERROR_MORE_DATA;
      listed = false;
      break;
    }
  }
  platform.FindVolumeClose(find);
  if (listed) error = 0;
  return listed;
}

VolumeSurvey SurveyVolumes(win::Platform& p, const std::function<void(const std::u16string&)>& debugLine) {
  const auto debug = [&](const std::u16string& line) {
    if (debugLine) debugLine(line);
  };
  VolumeSurvey survey;
  std::vector<VolumeFacts>& volumes = survey.volumes;
  debug(u"Looking for partitions...");
  survey.listed = FindVolumes(p, volumes, survey.listError);
  debug(u"Done.");
  if (!survey.listed) return survey;

  for (VolumeFacts& v : volumes) {
    debug(u"Getting device data...");
    v = InspectVolume(p, v.guidPath);
    debug(u"Done.");
    if (v.number.Valid)
      debug(u"Found partition " + v.Name() + u"   " + u"   DeviceType: " + DecimalText(v.number.DeviceType) +
            u"   DeviceNumber: " + DecimalText(v.number.DeviceNumber) + u"   Partition: " +
            DecimalText(v.number.PartitionNumber));
  }
  survey.systemVolume = OwnerOf(volumes, SystemDirectory(p));
  survey.pageFiles = PageFiles(p);
  return survey;
}

DiskVolumes VolumesOfDisk(win::Platform& p, const VolumeSurvey& survey, std::int64_t deviceNumber) {
  DiskVolumes result;
  if (!survey.listed) {
    result.refusals.push_back({kVolumesUnlisted, u"The computer's volumes could not be listed (" +
                                                     ErrorText(p, survey.listError) +
                                                     u"), so those on this disk cannot be taken offline."});
    return result;
  }
  const std::vector<VolumeFacts>& volumes = survey.volumes;
  // Whether each volume lies on the disk, and whether it may be taken away with it.
  for (std::size_t i = 0; i < volumes.size(); ++i) {
    const VolumeFacts& v = volumes[i];
    const std::u16string name = v.Name();
    const DiskMatch match = VolumeOnDisk(v, deviceNumber);
    std::vector<std::uint32_t> otherDisks;
    for (const DiskExtent& e : v.extents)
      if (static_cast<std::int64_t>(e.disk) != deviceNumber &&
          std::find(otherDisks.begin(), otherDisks.end(), e.disk) == otherDisks.end())
        otherDisks.push_back(e.disk);
    if (match == DiskMatch::Yes && !otherDisks.empty()) {
      std::u16string disks;
      for (const std::uint32_t d : otherDisks) disks += (disks.empty() ? u"" : u", ") + DecimalText(d);
      result.refusals.push_back(
          {kSpannedVolume, u"Volume " + name + u" lies on this disk and also on disk" +
                               (otherDisks.size() > 1 ? u"s " : u" ") + disks +
                               u" (a spanned, striped or mirrored volume): erasing this disk would destroy the "
                               u"whole volume. Delete the volume in Disk Management first if that is what you want."});
    } else if (match == DiskMatch::Unknown) {
      result.refusals.push_back({kVolumeLocationUnknown, u"Volume " + name + u" cannot say which disks it lies on (" +
                                                                ErrorText(p, v.extentsError) +
                                                                u"), so it may lie on this disk."});
    } else if (match == DiskMatch::Yes) {
      result.onDisk.push_back(i);
    }
  }

  // Volumes the running system needs, in words a user knows.
  for (const std::size_t i : result.onDisk) {
    const std::u16string name = volumes[i].Name();
    if (static_cast<std::ptrdiff_t>(i) == survey.systemVolume)
      result.refusals.push_back(
          {kSystemDisk, u"Windows runs from volume " + name +
                            u" on this disk: a disk cannot be erased while the computer runs from it. Start the "
                            u"computer from another disk, or connect this disk to another computer, and erase it "
                            u"there."});
    for (const std::u16string& file : survey.pageFiles)
      if (OwnerOf(volumes, file) == static_cast<std::ptrdiff_t>(i))
        result.refusals.push_back(
            {kPageFile, u"Volume " + name + u" on this disk holds a page file that Windows uses (" + file +
                            u"). Move the page file to another disk (System Properties, Advanced, Performance, "
                            u"Virtual memory), restart, and try again."});
  }
  return result;
}

std::vector<Refusal> VolumeRefusals(win::Platform& platform, std::int64_t deviceNumber) {
  return VolumesOfDisk(platform, SurveyVolumes(platform), deviceNumber).refusals;
}

VolumeLockResult LockVolumes(FormatContext& ctx, std::int64_t deviceNumber, const BeforeLocking& beforeLocking) {
  win::Platform& p = ctx.platform;
  auto debug = [&](const std::u16string& line) {
    if (ctx.debugMode) ctx.observer.Log(line);
  };
  VolumeLockResult result;
  const VolumeSurvey survey = SurveyVolumes(p, debug);
  DiskVolumes disk = VolumesOfDisk(p, survey, deviceNumber);
  result.refusals = std::move(disk.refusals);
  const std::vector<VolumeFacts>& volumes = survey.volumes;
  const std::vector<std::size_t>& onDisk = disk.onDisk;
  if (!result.refusals.empty()) return result;
  if (beforeLocking) {
    result.preflight = beforeLocking(volumes);
    if (!result.preflight.refusal.empty()) return result;
  }

  for (const std::size_t i : onDisk) {
    const VolumeFacts& v = volumes[i];
    debug(u"Locking " + v.DevicePath());
    const win::Handle h = p.CreateFileW(v.DevicePath(), win::GENERIC_READ, win::FILE_SHARE_READ | win::FILE_SHARE_WRITE,
                                        win::OPEN_EXISTING, 0);
    if (h == win::kInvalidHandle) {
      result.failure = VolumeLockFailure{v.Name(), VolumeLockFailure::Step::Open, p.GetLastError()};
      ctx.observer.LogBare(u"Invalid handle");
      return result;
    }
    debug(u"Got handle!");
    debug(u"Locking volume...");
    std::uint32_t returned = 0;
    if (!p.DeviceIoControl(h, FSCTL_LOCK_VOLUME, nullptr, 0, nullptr, 0, &returned)) {
      result.failure = VolumeLockFailure{v.Name(), VolumeLockFailure::Step::Lock, p.GetLastError()};
      p.CloseHandle(h);
      return result;
    }
    debug(u"Done.");
    debug(u"Dismounting volume...");
    if (!p.DeviceIoControl(h, FSCTL_DISMOUNT_VOLUME, nullptr, 0, nullptr, 0, &returned)) {
      result.failure = VolumeLockFailure{v.Name(), VolumeLockFailure::Step::Dismount, p.GetLastError()};
      p.CloseHandle(h);
      return result;
    }
    debug(u"Done.");
    debug(u"Extending I/O...");
    p.DeviceIoControl(h, FSCTL_ALLOW_EXTENDED_DASD_IO, nullptr, 0, nullptr, 0, &returned);
    debug(u"Done.");
    ctx.volumeHandles.push_back(h);
  }
  result.locked = true;
  return result;
}

bool VolumeLockFailure::InUse() const {
  // FSCTL_LOCK_VOLUME fails with ERROR_ACCESS_DENIED while files are open on the
  // volume; an open refused for sharing is another program's exclusive handle.
  return (step == Step::Lock && error == win::ERROR_ACCESS_DENIED) || error == win::ERROR_SHARING_VIOLATION;
}

std::u16string VolumeLockFailureText(win::Platform& p, const VolumeLockFailure& f) {
  const char16_t* step = f.step == VolumeLockFailure::Step::Open   ? u" could not be opened ("
                         : f.step == VolumeLockFailure::Step::Lock ? u" could not be locked ("
                                                                   : u" could not be dismounted (";
  return u"Volume " + f.volume + step + ErrorText(p, f.error) + u")" +
         (f.InUse() ? u": a program has files open on it, or holds it." : u".");
}

void UnlockVolumes(win::Platform& platform, std::vector<win::Handle>& volumeHandles) {
  for (const win::Handle h : volumeHandles) platform.CloseHandle(h);
  volumeHandles.clear();
}

} // namespace trv::format
