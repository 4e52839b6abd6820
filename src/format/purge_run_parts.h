// The pieces the NVMe purge and the ATA purge share: the answer to Stop, the
// wait on the drive's status with its progress and stall watchdog, the log
// lines of the plan, the sample and the outcome. The erase engine's own.
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "format/purge_run.h"
#include "format/purge_sample.h"
#include "format/read_back.h"

namespace trv::format {

// A seed from the system's random source; the clock should that fail.
std::uint64_t DrawSeed(win::Platform& p);
ReadBackExpect ReadBackOf(SampleExpect expect);

// Answers a Stop once with why it does nothing; every later one silently.
class StopAnswer {
 public:
  void Take(FormatContext& ctx);

 private:
  bool said_ = false;
};

// The drive's status as one poll reads it.
struct PolledStatus {
  bool inProgress = false;
  std::uint32_t progress = 0;  // of 65,536
};

// Where the wait's progress comes from, in the log's two languages.
struct StatusSource {
  std::u16string window, english;
};

// The wait for the drive to end what the request began: `poll` reads its
// status (none: it could not be read, and a read of the first sector refused
// as not ready says the drive is still at work).
class PurgeWait {
 public:
  PurgeWait(FormatContext& ctx, const EraseTarget& target, const PurgePlan& plan, PurgeResult& result,
            StopAnswer& stop, std::function<std::optional<PolledStatus>()> poll, StatusSource source)
      : ctx_(ctx), p_(ctx.platform), target_(target), plan_(plan), result_(result), stop_(stop),
        poll_(std::move(poll)), source_(std::move(source)) {}

  // Returns when the drive has ended (or is gone, or stalled).
  void Run(std::int64_t sentMs);
  bool Gone() const { return gone_; }

 private:
  bool Busy();
  void Progress(std::int64_t nowMs);

  FormatContext& ctx_;
  win::Platform& p_;
  const EraseTarget& target_;
  const PurgePlan& plan_;
  PurgeResult& result_;
  StopAnswer& stop_;
  std::function<std::optional<PolledStatus>()> poll_;
  StatusSource source_;
  std::optional<PolledStatus> status_;
  bool gone_ = false;
  std::int64_t sentMs_ = 0, lastMoveMs_ = 0, lastLineMs_ = 0;
  int lastSprog_ = -1, lastStep_ = -1;
};

// What the purge reaches: the NVMe controller's namespaces, or an ATA drive whole.
std::u16string PurgeScope(const PurgePlan& plan);
void LogPlan(EraseObserver& log, const PurgePlan& plan);
void LogSampleBefore(EraseObserver& log, const PurgeSample& sample);
void LogOutcome(EraseObserver& log, const PurgeResult& r);

// Just before the request goes out: the run as it stands published, a Stop
// answered; false (the result made `interrupted`, nothing sent) when the
// session is ending.
bool MaySend(FormatContext& ctx, PurgeResult& r, PurgeLive& live, StopAnswer& stop);

// The whole-disk read-back after a purge the drive took and ended, when asked
// for; its failure fails the purge. Then the outcome in the log.
void FinishPurgeRun(FormatContext& ctx, const EraseTarget& target, SampleExpect expect, bool readBack,
                    bool driveTookIt, PurgeRunResult& out, PurgeLive& live);

// The ATA part of DecidePurgeOutcome: a failure code, or none with
// `statusProven` saying whether the drive's own status proves the purge.
const char* AtaStatusFailure(const PurgeResult& r, bool& statusProven);

// An ATA disk's purge (SANITIZE DEVICE or SECURITY ERASE UNIT), called by RunPurge.
PurgeRunResult RunAtaPurge(FormatContext& ctx, const EraseTarget& target, const PurgeStart& start,
                           std::uint64_t seed, bool readBack, PurgeLive& live);

} // namespace trv::format
