// A firmware purge as the erase command runs it, once the disk's volumes are
// locked: the sample before, IOCTL_STORAGE_REINITIALIZE_MEDIA, the wait with
// the Sanitize Status log's progress and the stall watchdog, the status and
// the sample after, the outcome, and the optional read-back. Nothing stops it
// once the request is out: the drive goes on sanitizing whatever the program
// does, so Stop is only answered with why.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "format/erase_observer.h"
#include "format/purge_plan.h"
#include "format/purge_result.h"
#include "format/run_watch.h"
#include "format/zero_fill.h"

namespace trv::format {

// How often the Sanitize Status log is read while a sanitize runs.
inline constexpr std::uint32_t kPurgePollMs = 5'000;
// The stall watchdog: no progress for twice the drive's estimate, and never
// less than this, is a stall.
inline constexpr std::int64_t kLeastStallMs = 3'600'000;
// Log lines of the wait: one per this much progress, or this much time without it.
inline constexpr int kPurgeLogStepPercent = 10;
inline constexpr std::int64_t kPurgeLogEveryMs = 60'000;

// The plan and the facts it rests on, settled before anything is locked.
struct PurgeStart {
  PurgeFacts facts;
  PurgePlan plan;
  std::u16string recordsFolder;  // where the record goes, and a security erase's password file
};

// The purge as it stands, for a record saved by another thread (Windows ending
// the session while the request is with the drive).
class PurgeLive {
 public:
  // `decided`: the outcome is settled (what follows is the read-back).
  void Set(const PurgeResult& now, bool decided = false);
  // The record's purge as the session ends now: its outcome once settled,
  // else failed and `interrupted`.
  PurgeResult AsTheSessionEnds() const;
  // The session ended before the request went out: it is then never sent.
  void EndSession() { sessionEnded_ = true; }
  bool SessionEnded() const { return sessionEnded_; }

 private:
  mutable SpinLock lock_;
  PurgeResult now_;
  bool decided_ = false;
  std::atomic<bool> sessionEnded_{false};
};

// An ATA disk's password saved by this program in `recordsFolder` (the
// default one resolved), for the plan: with it a locked disk's erase is
// finished. Nothing for other disks, or where none is saved.
void FindSavedPassword(win::Platform& platform, PurgeFacts& facts, const std::u16string& recordsFolder);

// Reads the facts and plans; when nothing can run here, says why in the log
// and gives none (nothing was locked or sent).
// `busType`: as the scan read it (0: asked of the disk). `recordsFolder`: where
// the record will be saved (the default one resolved); an ATA disk's saved
// password is looked for there.
std::optional<PurgeStart> PreparePurge(FormatContext& ctx, win::Handle disk, std::uint32_t deviceNumber,
                                       std::int64_t busType, PurgeChoice choice, const std::u16string& recordsFolder,
                                       std::optional<Refusal>& refusal);

// Why a zero fill or a quick wipe may not write this disk: its Sanitize Status
// log says a sanitize is in progress or failed (NVMe disks; the log is read
// only there). Said in the log; none when it may.
std::optional<Refusal> ZeroFillRefused(FormatContext& ctx, win::Handle disk, std::uint32_t deviceNumber,
                                       std::int64_t busType);

struct PurgeRunResult {
  // Refused before anything was sent (a security erase whose password could
  // not be saved first, a drive frozen since the plan): no purge to record.
  std::optional<Refusal> refusal;
  PurgeResult purge;
  std::optional<VerifyResult> verify;  // the whole-disk read-back, when asked for and run
};

// Runs the purge on a disk whose volumes are locked. `seed`: of the sample's
// random sectors (none: drawn from the system's random source).
PurgeRunResult RunPurge(FormatContext& ctx, const EraseTarget& target, const PurgeStart& start,
                        std::optional<std::uint64_t> seed, bool readBack, PurgeLive& live);

// The outcome that follows from what the purge did: the command's answer, the
// status after, the sample (docs/purging.md). Sets outcome, failureCode, reason.
void DecidePurgeOutcome(PurgeResult& result);

// The record of a purge the session's end cut short: failed, `interrupted`.
PurgeResult InterruptedPurge(PurgeResult sofar);

// The lines the log shows as Windows ends the session during a purge.
std::u16string PurgeSessionEndingLine();
std::u16string PurgeSessionEndingEnglishLine();

} // namespace trv::format
