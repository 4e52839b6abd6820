// Taking the disk's volumes away from the file systems before it is written:
// every volume of the system is found (lettered, mounted in a folder, or
// neither) and asked which disks its extents lie on; every volume on the disk is
// opened, locked, dismounted and allowed I/O past its end, and the handles stay
// open until UnlockVolumes. A volume that cannot be taken away safely (it also
// lies on another disk, it cannot tell where it lies, Windows runs from it, it
// holds a page file) stops the erase before any lock is tried.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "format/erase_observer.h"
#include "format/erase_preflight.h"
#include "format/refusal.h"
#include "platform/volume_records.h"

namespace trv::format {

inline constexpr std::uint32_t IOCTL_STORAGE_GET_DEVICE_NUMBER = vol::IOCTL_STORAGE_GET_DEVICE_NUMBER;
inline constexpr std::uint32_t FSCTL_LOCK_VOLUME = vol::FSCTL_LOCK_VOLUME;
inline constexpr std::uint32_t FSCTL_DISMOUNT_VOLUME = vol::FSCTL_DISMOUNT_VOLUME;
inline constexpr std::uint32_t FSCTL_ALLOW_EXTENDED_DASD_IO = vol::FSCTL_ALLOW_EXTENDED_DASD_IO;

struct TVolumeDeviceNumber {
  bool Valid = false;
  std::uint32_t DeviceType = 0;
  std::uint32_t DeviceNumber = 0;
  std::uint32_t PartitionNumber = 0;
};

struct DiskExtent {
  std::uint32_t disk = 0;
  std::int64_t offset = 0;
  std::int64_t length = 0;
  bool operator==(const DiskExtent&) const = default;
};

// What the system says about one volume.
struct VolumeFacts {
  std::u16string guidPath;            // "\\?\Volume{...}\"
  std::vector<std::u16string> paths;  // its drive roots and mount folders ("E:\", "C:\Mount\Data\")
  TVolumeDeviceNumber number;
  bool extentsRead = false;
  std::uint32_t extentsError = 0;     // why they could not be read (the open's error when it failed)
  std::vector<DiskExtent> extents;

  // How the logs name it: "E:" for a lettered volume, else its GUID path and
  // its mount folder when it has one.
  std::u16string Name() const;
  // What it is opened by: "\\.\E:", or the GUID path without its backslash.
  std::u16string DevicePath() const;
};

// Whether a volume lies on a physical disk.
enum class DiskMatch { No, Yes, Unknown };
// By its extents alone: a CD, or a floppy (whose driver knows no extents
// request), numbered like the disk is none of its volumes. A volume whose
// extents cannot be read lies where its device number says; Unknown when that
// cannot be read either.
DiskMatch VolumeOnDisk(const VolumeFacts& volume, std::int64_t deviceNumber);

// A volume of the disk that could not be taken away: which, at which step, and the system's error.
struct VolumeLockFailure {
  std::u16string volume;  // VolumeFacts::Name(): "E:", or its GUID path and mount folder
  enum class Step { Open, Lock, Dismount } step = Step::Lock;
  std::uint32_t error = 0;
  // Another program holds it (open files, or opened it without sharing): the
  // erase may work once that program lets go.
  bool InUse() const;
};

// The outcome of taking a disk's volumes away.
struct VolumeLockResult {
  bool locked = false;                   // every volume on the disk locked and dismounted (also: none)
  std::optional<VolumeLockFailure> failure;  // why not, when a volume could not be taken away
  std::vector<Refusal> refusals;         // why the erase may not go on; nothing was locked
  Preflight preflight;                   // the check before locking refused: nothing was locked
};

void GetVolumeDeviceNumber(win::Platform& platform, const std::u16string& devicePath, TVolumeDeviceNumber& info);
// The extents of a VOLUME_DISK_EXTENTS answer of `returned` bytes; none when the
// answer is too short for its own count.
std::optional<std::vector<DiskExtent>> ParseVolumeDiskExtents(std::span<const std::uint8_t> answer,
                                                              std::uint32_t returned);
// What the volume of this GUID path says about itself: its names, device number and extents.
VolumeFacts InspectVolume(win::Platform& platform, const std::u16string& guidPath);
// Every volume of the system by its GUID path, in the system's order;
// false (with the last error in `error`) when the volumes cannot be listed.
bool FindVolumes(win::Platform& platform, std::vector<VolumeFacts>& volumes, std::uint32_t& error);

// Every volume of the system, inspected once, and what the running system
// needs of them: enough to judge each disk without asking again.
struct VolumeSurvey {
  bool listed = false;                    // false: the volumes could not be listed (`listError`)
  std::uint32_t listError = 0;
  std::vector<VolumeFacts> volumes;
  std::ptrdiff_t systemVolume = -1;       // the volume Windows runs from; -1: none known
  std::vector<std::u16string> pageFiles;  // "C:\pagefile.sys"
};
// `debug`, when given, gets the lines of the debug log.
VolumeSurvey SurveyVolumes(win::Platform& platform, const std::function<void(const std::u16string&)>& debug = {});

// Which surveyed volumes may be taken away with the disk, and why the disk's
// volumes may not be (none when they may).
struct DiskVolumes {
  std::vector<std::size_t> onDisk;  // places in the survey's volumes
  std::vector<Refusal> refusals;
};
DiskVolumes VolumesOfDisk(win::Platform& platform, const VolumeSurvey& survey, std::int64_t deviceNumber);

// The refusals' stable words.
inline constexpr char kVolumesUnlisted[] = "volumes-unlisted";
inline constexpr char kSpannedVolume[] = "spanned-volume";
inline constexpr char kVolumeLocationUnknown[] = "volume-location-unknown";
inline constexpr char kSystemDisk[] = "system-disk";
inline constexpr char kPageFile[] = "page-file";

// Why the disk's volumes may not be taken away (none when they may), asked
// without locking anything: what LockVolumes would refuse.
std::vector<Refusal> VolumeRefusals(win::Platform& platform, std::int64_t deviceNumber);
// `beforeLocking`, when given, runs once the volumes may be taken away and
// before any is locked, with every volume of the system as the survey found it.
using BeforeLocking = std::function<Preflight(const std::vector<VolumeFacts>& volumes)>;
VolumeLockResult LockVolumes(FormatContext& ctx, std::int64_t deviceNumber, const BeforeLocking& beforeLocking = {});
// "Volume F: could not be locked (error 5: Access is denied.): a program has
// files open on it." for the log and the console.
std::u16string VolumeLockFailureText(win::Platform& platform, const VolumeLockFailure& failure);
// Closes every locked volume handle; closing ends the lock.
void UnlockVolumes(win::Platform& platform, std::vector<win::Handle>& volumeHandles);

} // namespace trv::format
