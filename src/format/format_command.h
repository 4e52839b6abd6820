// The erase of one disk as a command: the banner, the check that the disk is
// still the one the user chose, the volume lock, the zero-fill loop and the
// read-back, the refresh of the system's view of the disk, the release of the
// volumes and the reminder. The confirmation and the controls belong to the
// front end.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "format/disk_identity.h"
#include "format/erase_record.h"
#include "format/purge_plan.h"
#include "format/purge_result.h"
#include "format/volume_lock.h"
#include "format/refusal.h"
#include "format/zero_fill.h"

namespace trv::format {

inline constexpr std::uint32_t IOCTL_DISK_UPDATE_PROPERTIES = 0x00070140;
inline constexpr std::uint32_t IOCTL_DISK_IS_WRITABLE = 0x00070024;
inline constexpr std::uint32_t IOCTL_DISK_GET_DISK_ATTRIBUTES = 0x000700F0;  // Windows 7 and later
// GET_DISK_ATTRIBUTES: Version (its size), Reserved1, Attributes.
inline constexpr std::uint32_t kDiskAttributesSize = 16;
inline constexpr std::size_t kDiskAttributesField = 8;
inline constexpr std::uint64_t DISK_ATTRIBUTE_OFFLINE = 1;
inline constexpr std::uint64_t DISK_ATTRIBUTE_READ_ONLY = 2;

// Why a disk cannot be written at all.
enum class NotWritable {
  No,
  WriteProtected,  // the medium or the disk's read-only attribute
  Offline,         // the disk is offline (Disk Management can bring it online)
};

struct EraseRequest {
  EraseTarget target;
  std::uint32_t deviceNumber = 0;  // N of \\.\PhysicalDriveN, for the volume search
  std::u16string deviceTitle;      // the disk's one-line title
  std::u16string productLine;      // product name and web address for the banner
  // The size the drive states itself, in bytes (0: unknown); what lies past the
  // end Windows shows cannot be reached, and such a run is not complete.
  std::int64_t statedBytes = 0;
  bool quickWipe = false;
  bool verify = false;             // read every written area back afterwards
  // The disk the user chose and confirmed; the opened handle must still be it.
  std::optional<DiskIdentity> chosen;
  std::u16string program;          // product name and version, for the record
  std::u16string version;
  std::u16string recordsFolder;    // empty: the default one
  AuditFields audit;               // operator, asset and ticket, for the record
  // The firmware erases the disk offers (none: they could not be read); the
  // record says why this run used none.
  std::optional<device::EraseFeatures> offeredErase;
  // A firmware purge instead of the zero fill (quickWipe is then false): the
  // best method, or the one insisted on. `verify` then reads the whole disk after it.
  std::optional<PurgeChoice> purge;
  // The seed of the purge's random sample sectors; none: drawn from RtlGenRandom.
  std::optional<std::uint64_t> sampleSeed;
};

struct EraseCommandResult {
  bool diskChanged = false;               // refused before any write: another disk answered
  bool stoppedBeforeWrite = false;        // the check of the disk was cancelled: stopped, nothing written
  NotWritable notWritable = NotWritable::No;  // refused before any write: the disk takes no writes
  std::optional<DiskIdentity> found;      // who answered instead (none: nobody did)
  bool volumesLocked = false;
  std::optional<VolumeLockFailure> lockFailure;  // the volume that could not be taken away, and why
  // Why the disk's volumes may not be taken offline (one text per volume); the
  // erase was refused before any lock and nothing was written.
  std::vector<Refusal> volumeRefusals;
  // Refused before anything was locked or written (erase_preflight.h): why,
  // in one sentence; `recordsFolderRefused` when the records folder was why.
  std::u16string refusal;
  std::string refusalCode;  // its stable word (erase_preflight.h)
  bool recordsFolderRefused = false;
  // The purge asked for cannot run on this disk here: why (nothing was sent, nothing locked).
  std::optional<Refusal> purgeRefusal;
  std::optional<PurgeResult> purge;       // the purge, when one was sent or prepared
  std::optional<EraseResult> run;         // none: the loop did not run
  std::optional<VerifyResult> verify;     // none: not asked for, or the run did not reach its end
  std::optional<EraseRecord> record;      // every run that started writing has one
  std::optional<SavedRecord> saved;       // where it went, or why it could not be saved
};

EraseCommandResult EraseDevice(FormatContext& ctx, const EraseRequest& request);

// Whether the disk takes writes, as the disk driver says (the attributes where
// the system has them).
NotWritable CheckWritable(win::Platform& platform, win::Handle handle);
// The refusal as one sentence for the log and the error box.
std::u16string NotWritableText(NotWritable why);
// The same, as a console says it.
std::u16string NotWritableEnglishText(NotWritable why);

// Whether a run went to its end (with errors or without), rather than being stopped or losing its disk.
bool RanToItsEnd(const EraseResult& run);
// Whether a run's read-back follows it: it went to its end and wrote something.
bool ReadBackFollows(const EraseResult& run);

} // namespace trv::format
