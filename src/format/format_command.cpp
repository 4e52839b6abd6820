#include "format/format_command.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <deque>

#include "format/block_retry.h"
#include "format/not_reached.h"
#include "format/purge_run.h"
#include "format/read_back.h"
#include "format/run_watch.h"
#include "format/same_disk.h"
#include "format/volume_lock.h"
#include "platform/records.h"
#include "platform/text.h"
#include "report/number_text.h"

namespace trv::format {

namespace {

// The log lines kept for the record: the first kRecordHeadLines and the last
// kRecordTailLines, with one line between them saying how many were left out,
// so that memory stays flat however many lines a run writes.
// Another thread may take a copy while the erase adds (a record saved while
// the erase's thread is held up in a request).
class RecordLines {
 public:
  void Add(std::u16string line) {
    SpinLock::Hold hold(lock_);
    if (head_.size() < kRecordHeadLines) {
      head_.push_back(std::move(line));
      return;
    }
    tail_.push_back(std::move(line));
    if (tail_.size() > kRecordTailLines) {
      tail_.pop_front();
      ++leftOut_;
    }
  }
  std::vector<std::u16string> Lines() const {
    SpinLock::Hold hold(lock_);
    std::vector<std::u16string> all = head_;
    if (leftOut_ > 0)
      all.push_back(u"[" + report::FormatThousands(leftOut_) + u" lines of the activity log left out here]");
    all.insert(all.end(), tail_.begin(), tail_.end());
    return all;
  }

 private:
  std::vector<std::u16string> head_;
  std::deque<std::u16string> tail_;
  std::int64_t leftOut_ = 0;
  mutable SpinLock lock_;
};

// Passes everything on to the front end's observer and keeps the log lines,
// time-stamped as the activity log shows them, for the record: of a line said
// in two languages, the one of the run.
class RecordingObserver : public EraseObserver {
 public:
  RecordingObserver(EraseObserver& inner, win::Platform& platform, report::Language language)
      : inner_(inner), platform_(platform), language_(language) {}

  void Log(const std::u16string& message) override {
    lines.Add(platform_.DateTimeText() + u"   " + message);
    inner_.Log(message);
  }
  void LogBilingual(const std::u16string& window, const std::u16string& english) override {
    lines.Add(platform_.DateTimeText() + u"   " + (language_ == report::Language::English ? english : window));
    inner_.LogBilingual(window, english);
  }
  void LogBare(const std::u16string& line) override {
    lines.Add(line);
    inner_.LogBare(line);
  }
  void ShowProgress(const BlockProgress& progress) override { inner_.ShowProgress(progress); }
  void ShowSpeed(const std::u16string& text) override { inner_.ShowSpeed(text); }
  void ShowTimeLeft(const TimeLeft& left) override { inner_.ShowTimeLeft(left); }
  std::u16string SpeedShown() override { return inner_.SpeedShown(); }
  void ShowComplete() override { inner_.ShowComplete(); }
  void ProcessMessages() override { inner_.ProcessMessages(); }
  void FormatStarting() override { inner_.FormatStarting(); }
  void FormatRunning() override { inner_.FormatRunning(); }
  void FormatEnded(const EraseResult& result, const VerifyResult* verify) override { inner_.FormatEnded(result, verify); }
  void PurgeEnded(const PurgeResult& purge, const VerifyResult* verify) override { inner_.PurgeEnded(purge, verify); }

  RecordLines lines;

 private:
  EraseObserver& inner_;
  win::Platform& platform_;
  report::Language language_;
};

DiskIdentity RecordedDisk(const EraseRequest& request) {
  if (request.chosen) return *request.chosen;
  DiskIdentity disk;
  disk.number = request.deviceNumber;
  disk.sectors = request.target.sectors;
  disk.sectorSize = request.target.sectorSize;
  return disk;
}

// Saves the record and says where in the activity log's last line, or why not.
void SaveTheRecord(FormatContext& ctx, const EraseRequest& request, EraseCommandResult& result) {
  win::Platform& p = ctx.platform;
  const std::u16string folder = request.recordsFolder.empty() ? DefaultRecordsFolder(p) : request.recordsFolder;
  result.saved = SaveRecord(p, folder, *result.record);
  if (result.saved->saved) {
    ctx.observer.LogBilingual(u"擦除记录已保存：" + result.saved->textPath, u"Erase record saved: " + result.saved->textPath);
  } else {
    const std::uint32_t code = result.saved->error;
    const std::u16string why = u"   (" + DecimalText(code) + u") " + p.SystemMessage(code);
    ctx.observer.LogBilingual(u"擦除记录未能保存：" + result.saved->failedPath + why,
                              u"The erase record could not be saved: " + result.saved->failedPath + why);
  }
}

// Refuses the run when the handle no longer leads to the chosen disk. A check
// whose request was cancelled (995) says nothing about the disk: the user (or
// Windows ending the session) stopped the run there, before any write.
bool StillTheChosenDisk(FormatContext& ctx, const EraseRequest& request, EraseCommandResult& result) {
  if (!request.chosen) return true;
  result.found = ReadDiskIdentity(ctx.platform, request.target.handle, request.deviceNumber, request.chosen->drive.has_value());
  if (result.found && SameDisk(*request.chosen, *result.found)) return true;
  EraseObserver& log = ctx.observer;
  if (!result.found && ctx.platform.GetLastError() == win::ERROR_OPERATION_ABORTED) {
    result.stoppedBeforeWrite = true;
    log.LogBilingual(u"擦除已停止：检查磁盘的请求被取消，未写入任何数据。",
                     u"Stopped: the check of the disk was cancelled; nothing was written.");
    return false;
  }
  result.diskChanged = true;
  log.LogBilingual(u"磁盘已更换：这个编号上的磁盘不是所选的磁盘，未写入任何数据。",
                   u"Disk changed: the disk of this number is not the one chosen; nothing was written.");
  log.LogBilingual(u"所选磁盘：" + DescribeDisk(*request.chosen), u"Chosen: " + DescribeDiskInEnglish(*request.chosen));
  log.LogBilingual(u"现在的磁盘：" + (result.found ? DescribeDisk(*result.found) : std::u16string(u"无法识别")),
                   u"Now: " + (result.found ? DescribeDiskInEnglish(*result.found) : std::u16string(u"not identified")));
  return false;
}

// Keeps the computer awake while it lives: a run must not be cut short by
// sleep, nor its disk by the power policy. Windows may sleep again afterwards.
class StayAwake {
 public:
  explicit StayAwake(win::Platform& p) : p_(p) { p_.SetThreadExecutionState(win::ES_CONTINUOUS | win::ES_SYSTEM_REQUIRED); }
  ~StayAwake() { p_.SetThreadExecutionState(win::ES_CONTINUOUS); }
  StayAwake(const StayAwake&) = delete;
  StayAwake& operator=(const StayAwake&) = delete;

 private:
  win::Platform& p_;
};

// Fills in everything a record holds besides what the caller already set.
void CompleteRecord(win::Platform& p, const EraseRequest& request, std::int64_t startMs, const EraseResult& run,
                    const std::optional<VerifyResult>& verify, const RecordLines& lines, EraseRecord& record) {
  record.endLocal = LocalTimeNow(p);
  record.endUtc = UtcTimeNow(p);
  const std::int64_t endMs = CounterMilliseconds(p);
  record.durationMs = startMs >= 0 && endMs >= startMs ? endMs - startMs : 0;
  record.program = request.program;
  record.version = request.version;
  record.computer = p.GetComputerNameW();
  record.disk = RecordedDisk(request);
  // What a write through Windows cannot reach; the drive's own purge reaches it all.
  if (!request.purge)
    record.notReached = WhatCannotBeReached(request.target.hidden, request.target.sectors * request.target.sectorSize,
                                            request.statedBytes, record.disk.media);
  record.quickWipe = request.quickWipe && !request.purge;
  record.run = run;
  record.verify = verify;
  record.verifyRequested = request.verify;
  record.log = lines.Lines();
}

// Offers the two ways to save a record before the run ends for as long as it
// lives: `atPump` in the front end's slot (the erase's thread is parked at its
// message pump), `fromCopy` in the watch (it is held up in a request).
class SaveSlots {
 public:
  SaveSlots(std::function<void()>* slot, std::function<void()> atPump, RunWatch& watch, std::function<void()> fromCopy)
      : slot_(slot), watch_(watch) {
    if (slot_) *slot_ = std::move(atPump);
    watch_.SetSaveFromCopy(std::move(fromCopy));
  }
  ~SaveSlots() {
    if (slot_) *slot_ = nullptr;
    watch_.SetSaveFromCopy(nullptr);
  }
  SaveSlots(const SaveSlots&) = delete;
  SaveSlots& operator=(const SaveSlots&) = delete;

 private:
  std::function<void()>* slot_;
  RunWatch& watch_;
};

// The record of a purge that ran: always saved at its end, even after one
// saved as the session ended (which says "interrupted"), for a program that
// lived on to see how the purge ended.
EraseCommandResult FinishPurge(FormatContext& outer, RecordingObserver& log, const EraseRequest& request,
                               std::int64_t startMs, EraseRecord record, EraseCommandResult result) {
  // Only a disk the purge erased is one to partition anew.
  if (result.purge->outcome != PurgeOutcome::Failed) {
    log.Log(u"");
    log.Log(u"Remember to create new partitions.");
  }
  record.purge = result.purge;
  CompleteRecord(outer.platform, request, startMs, EraseResult{}, result.verify, log.lines, record);
  result.record = std::move(record);
  SaveTheRecord(outer, request, result);
  return result;
}

constexpr char16_t kSessionEndingLine[] = u"Windows 正在结束会话：擦除在此停止，先保存擦除记录。";
constexpr char16_t kSessionEndingEnglishLine[] =
    u"Windows is ending the session: the erase stops here, and its record is saved first.";

} // namespace

NotWritable CheckWritable(win::Platform& p, win::Handle handle) {
  std::array<std::uint8_t, kDiskAttributesSize> attributes{};
  std::uint32_t returned = 0;
  // Before Windows 7 the request is unknown, and fails: IS_WRITABLE alone then says.
  if (p.DeviceIoControl(handle, IOCTL_DISK_GET_DISK_ATTRIBUTES, nullptr, 0, attributes.data(), kDiskAttributesSize,
                        &returned) &&
      returned >= kDiskAttributesSize) {
    const std::uint64_t bits = rec::U64(attributes, kDiskAttributesField);
    if (bits & DISK_ATTRIBUTE_OFFLINE) return NotWritable::Offline;
    if (bits & DISK_ATTRIBUTE_READ_ONLY) return NotWritable::WriteProtected;
  }
  // Any other failure (a driver that does not know the request) is no refusal:
  // the writes themselves will tell.
  if (!p.DeviceIoControl(handle, IOCTL_DISK_IS_WRITABLE, nullptr, 0, nullptr, 0, &returned) &&
      p.GetLastError() == win::ERROR_WRITE_PROTECT)
    return NotWritable::WriteProtected;
  return NotWritable::No;
}

std::u16string NotWritableText(NotWritable why) {
  switch (why) {
    case NotWritable::WriteProtected:
      return u"磁盘处于写保护状态（写保护开关或只读属性），无法写入，未写入任何数据。";
    case NotWritable::Offline:
      return u"磁盘处于脱机状态，无法写入，未写入任何数据。请先在磁盘管理中将其联机。";
    case NotWritable::No:
      break;
  }
  return {};
}

std::u16string NotWritableEnglishText(NotWritable why) {
  switch (why) {
    case NotWritable::WriteProtected:
      return u"the disk is write-protected (a write-protect switch or a read-only attribute): nothing was written.";
    case NotWritable::Offline:
      return u"the disk is offline: nothing was written. Bring it online in Disk Management first.";
    case NotWritable::No:
      break;
  }
  return {};
}

bool RanToItsEnd(const EraseResult& run) {
  return run.outcome == EraseOutcome::Completed || run.outcome == EraseOutcome::CompletedWithErrors;
}

bool ReadBackFollows(const EraseResult& run) { return RanToItsEnd(run) && !run.written.empty(); }

EraseCommandResult EraseDevice(FormatContext& outer, const EraseRequest& request) {
  win::Platform& p = outer.platform;
  EraseRecord record;
  record.startLocal = LocalTimeNow(p);
  record.startUtc = UtcTimeNow(p);
  record.audit = BeginAudit(p, request.audit, request.offeredErase);
  const std::int64_t startMs = CounterMilliseconds(p);
  RecordingObserver log(outer.observer, p, outer.language);
  RunWatch ownWatch;
  RunWatch& watch = outer.watch ? *outer.watch : ownWatch;
  FormatContext ctx{p, log, outer.debugMode, outer.stopRequested, outer.volumeHandles, outer.decimalSeparator};
  ctx.watch = &watch;
  ctx.readBackFollows = request.verify;
  ctx.language = outer.language;
  // Every run starts with Stop cleared: a Stop left from an earlier run (one
  // that ended as the disk went away, or came during its last block) must not
  // cancel this one.
  ctx.stopRequested = false;
  EraseCommandResult result;
  // The session ended during the run, and its record was saved then (by this
  // thread at its pump, or by another while this one was held up).
  std::atomic<bool> savedEarly{false};
  std::optional<std::pair<EraseRecord, SavedRecord>> savedFromCopy;  // by another thread
  SpinLock savedFromCopyLock;
  log.Log(u" ");
  log.Log(u"=================================================");
  log.Log(request.productLine);
  log.Log(u"Low level format: " + request.deviceTitle);
  log.Log(u"Device capacity: " + report::FormatThousands(request.target.sectors) + u" sectors");
  if (!StillTheChosenDisk(ctx, request, result)) return result;  // nothing locked, nothing sent to that disk
  result.notWritable = CheckWritable(p, request.target.handle);
  if (result.notWritable != NotWritable::No) {
    log.LogBilingual(NotWritableText(result.notWritable), NotWritableEnglishText(result.notWritable));
    return result;  // nothing locked, nothing written
  }
  // A purge that cannot run here, or a zero fill of a disk whose sanitize has
  // not ended well, is refused before anything is locked or sent.
  const std::int64_t busType = request.chosen ? request.chosen->busType : 0;
  std::optional<PurgeStart> purge;
  if (request.purge) {
    const std::u16string folder = request.recordsFolder.empty() ? DefaultRecordsFolder(p) : request.recordsFolder;
    purge = PreparePurge(ctx, request.target.handle, request.deviceNumber, busType, *request.purge, folder,
                         result.purgeRefusal);
    if (!purge) return result;
  } else if (const auto refused = ZeroFillRefused(ctx, request.target.handle, request.deviceNumber, busType)) {
    result.refusal = refused->text;
    result.refusalCode = refused->code;
    return result;
  }
  PurgeLive purgeLive;
  log.Log(u"Locking device... ");
  VolumeLockResult lock = LockVolumes(ctx, request.deviceNumber, [&](const std::vector<VolumeFacts>& volumes) {
    return CheckBeforeLocking(p, request.recordsFolder, request.deviceNumber, request.target.handle, volumes);
  });
  result.volumesLocked = lock.locked;
  result.lockFailure = lock.failure;
  result.volumeRefusals = std::move(lock.refusals);
  result.refusal = lock.preflight.refusal;
  result.refusalCode = lock.preflight.code;
  result.recordsFolderRefused = lock.preflight.recordsFolder;
  EraseTarget target = request.target;
  target.statedBytes = request.statedBytes;
  if (!result.refusal.empty()) {
    log.Log(result.refusal);
    log.Log(u"The disk was not erased: nothing was written.");
  } else if (!result.volumeRefusals.empty()) {
    for (const Refusal& reason : result.volumeRefusals) log.Log(reason.text);
    log.Log(u"The disk was not erased: nothing was written.");
  } else if (!result.volumesLocked) {
    if (result.lockFailure) log.Log(VolumeLockFailureText(p, *result.lockFailure));
    log.Log(u"Unable to lock device. Make sure you do not have open files on this device and try again. ");
  } else {
    StayAwake awake(p);
    // Windows ending the session gets the record of the run as it stands: the
    // copy the run published after its last transfer, a write still with the
    // disk named, and the bytes Windows cannot reach counted as at the end.
    // `parked`: on this thread at its pump, which may log and stop the run;
    // else on another, which touches nothing of this thread's.
    const auto saveEarly = [&](bool parked) {
      if (savedEarly.exchange(true)) return;
      const auto say = [&](const std::u16string& line) {
        if (parked) log.Log(line);
        else log.lines.Add(p.DateTimeText() + u"   " + line);
      };
      // A purge is never stopped: the drive goes on whatever the program does.
      if (parked && !purge) ctx.stopRequested = true;
      if (purge) purgeLive.EndSession();
      const std::u16string line = purge ? PurgeSessionEndingLine() : std::u16string(kSessionEndingLine);
      const std::u16string english =
          purge ? PurgeSessionEndingEnglishLine() : std::u16string(kSessionEndingEnglishLine);
      // A console shows its English line; the record keeps the run's language.
      if (parked) log.LogBilingual(line, english);
      else say(report::Say(ctx.language, line.c_str(), english.c_str()));
      RunWatch::Copy copy = watch.Snapshot();
      if (purge) copy = {};
      if (!copy.ended && !purge) {
        if (copy.run.pendingOffset >= 0)
          say(u"A write to the disk had not returned when the session ended: offset " +
              report::FormatThousands(copy.run.pendingOffset) + u".");
        NoteUnreachableBytes(target, copy.run, say);
      }
      // A zero fill that went to its end keeps its outcome; the read-back after it is cut short.
      EraseRecord early = record;
      CompleteRecord(p, request, startMs, copy.run, std::nullopt, log.lines, early);
      if (purge) early.purge = purgeLive.AsTheSessionEnds();
      if (parked) {
        result.record = early;
        SaveTheRecord(outer, request, result);
      } else {
        const std::u16string folder = request.recordsFolder.empty() ? DefaultRecordsFolder(p) : request.recordsFolder;
        SavedRecord saved = SaveRecord(p, folder, early);
        SpinLock::Hold hold(savedFromCopyLock);
        savedFromCopy.emplace(std::move(early), std::move(saved));
      }
    };
    SaveSlots slots(outer.saveRecordNow, [&] { saveEarly(true); }, watch, [&] { saveEarly(false); });
    log.FormatStarting();
    if (purge) {
      log.Log(u"Purging... ");
      log.FormatRunning();
      PurgeRunResult done = RunPurge(ctx, target, *purge, request.sampleSeed, request.verify, purgeLive);
      if (done.refusal) {
        result.purgeRefusal = std::move(done.refusal);  // nothing was sent: no purge, no record
      } else {
        result.purge = std::move(done.purge);
        result.verify = std::move(done.verify);
        log.PurgeEnded(*result.purge, result.verify ? &*result.verify : nullptr);
      }
    } else {
      log.Log(u"Formatting... ");
      log.FormatRunning();
      result.run = LowLevelFormat(ctx, target, request.quickWipe);
      // Read back while the volumes are still locked, so that nothing else writes in between.
      if (request.verify && ReadBackFollows(*result.run)) {
        log.FormatRunning();
        result.verify = ReadBack(ctx, request.target, result.run->written);
      }
      log.FormatEnded(*result.run, result.verify ? &*result.verify : nullptr);
    }
  }
  // The system re-reads the partition table, whether or not anything was
  // written. Nothing cancels it: a watch cancels only the erase's own writes and reads.
  std::uint32_t returned = 0;
  ctx.platform.DeviceIoControl(request.target.handle, IOCTL_DISK_UPDATE_PROPERTIES, nullptr, 0, nullptr, 0, &returned);
  UnlockVolumes(ctx.platform, ctx.volumeHandles);
  ctx.stopRequested = false;  // taken in by this run, or too late to act on it
  if (result.purge) return FinishPurge(outer, log, request, startMs, std::move(record), std::move(result));
  if (!result.run) return result;
  // Only a run that wrote what it set out to leaves a disk to partition anew:
  // a stopped one's log ends with where it stopped.
  if (RanToItsEnd(*result.run)) {
    log.Log(u"");
    log.Log(u"Remember to create new partitions.");
  }

  if (!savedEarly.exchange(true)) {
    CompleteRecord(p, request, startMs, *result.run, result.verify, log.lines, record);
    result.record = std::move(record);
    SaveTheRecord(outer, request, result);
  }
  SpinLock::Hold hold(savedFromCopyLock);
  if (savedFromCopy) {
    // The record as saved while this thread was held up is the run's record.
    result.record = savedFromCopy->first;
    result.saved = savedFromCopy->second;
  }
  return result;
}

} // namespace trv::format
