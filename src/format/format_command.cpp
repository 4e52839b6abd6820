#include "format/format_command.h"

#include <algorithm>

#include "format/read_back.h"
#include "format/same_disk.h"
#include "format/volume_lock.h"
#include "platform/text.h"
#include "report/number_text.h"

namespace trv::format {

namespace {

// Passes everything on to the front end's observer and keeps the log lines,
// time-stamped as the activity log shows them, for the record.
class RecordingObserver : public EraseObserver {
 public:
  RecordingObserver(EraseObserver& inner, win::Platform& platform) : inner_(inner), platform_(platform) {}

  void Log(const std::u16string& message) override {
    lines.push_back(platform_.DateTimeText() + u"   " + message);
    inner_.Log(message);
  }
  void LogBilingual(const std::u16string& window, const std::u16string& english) override {
    lines.push_back(platform_.DateTimeText() + u"   " + window);
    inner_.LogBilingual(window, english);
  }
  void LogBare(const std::u16string& line) override {
    lines.push_back(line);
    inner_.LogBare(line);
  }
  void ShowProgress(const BlockProgress& progress) override { inner_.ShowProgress(progress); }
  void ShowSpeed(const std::u16string& text) override { inner_.ShowSpeed(text); }
  std::u16string SpeedShown() override { return inner_.SpeedShown(); }
  void ShowComplete() override { inner_.ShowComplete(); }
  void ProcessMessages() override { inner_.ProcessMessages(); }
  void FormatStarting() override { inner_.FormatStarting(); }
  void FormatRunning() override { inner_.FormatRunning(); }
  void FormatEnded(const EraseResult& result, const VerifyResult* verify) override { inner_.FormatEnded(result, verify); }

  std::vector<std::u16string> lines;

 private:
  EraseObserver& inner_;
  win::Platform& platform_;
};

// Milliseconds on the performance counter, which no change of the wall clock moves.
std::int64_t CounterMs(win::Platform& p) {
  std::int64_t frequency = 0, counter = 0;
  if (!p.QueryPerformanceFrequency(&frequency) || frequency <= 0 || !p.QueryPerformanceCounter(&counter)) return -1;
  return static_cast<std::int64_t>(static_cast<long double>(counter) * 1000 / static_cast<long double>(frequency));
}

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

// Refuses the run when the handle no longer leads to the chosen disk.
bool StillTheChosenDisk(FormatContext& ctx, const EraseRequest& request, EraseCommandResult& result) {
  if (!request.chosen) return true;
  result.found = ReadDiskIdentity(ctx.platform, request.target.handle, request.deviceNumber);
  if (result.found && SameDisk(*request.chosen, *result.found)) return true;
  result.diskChanged = true;
  EraseObserver& log = ctx.observer;
  log.LogBilingual(u"磁盘已更换：这个编号上的磁盘不是所选的磁盘，未写入任何数据。",
                   u"Disk changed: the disk of this number is not the one chosen; nothing was written.");
  log.LogBilingual(u"所选磁盘：" + DescribeDisk(*request.chosen), u"Chosen: " + DescribeDiskInEnglish(*request.chosen));
  log.LogBilingual(u"现在的磁盘：" + (result.found ? DescribeDisk(*result.found) : std::u16string(u"无法识别")),
                   u"Now: " + (result.found ? DescribeDiskInEnglish(*result.found) : std::u16string(u"not identified")));
  return false;
}

} // namespace

bool ReadBackFollows(const EraseResult& run) {
  return (run.outcome == EraseOutcome::Completed || run.outcome == EraseOutcome::CompletedWithErrors) &&
         !run.written.empty();
}

EraseCommandResult EraseDevice(FormatContext& outer, const EraseRequest& request) {
  win::Platform& p = outer.platform;
  EraseRecord record;
  record.startLocal = LocalTimeNow(p);
  record.startUtc = UtcTimeNow(p);
  const std::int64_t startMs = CounterMs(p);
  RecordingObserver log(outer.observer, p);
  FormatContext ctx{p, log, outer.debugMode, outer.stopRequested, outer.volumeHandles, outer.decimalSeparator};
  EraseCommandResult result;
  log.Log(u" ");
  log.Log(u"=================================================");
  log.Log(request.productLine);
  log.Log(u"Low level format: " + request.deviceTitle);
  log.Log(u"Device capacity: " + report::FormatThousands(request.target.sectors) + u" sectors");
  if (!StillTheChosenDisk(ctx, request, result)) return result;  // nothing locked, nothing sent to that disk
  log.Log(u"Locking device... ");
  result.volumesLocked = LockVolumes(ctx, request.deviceNumber);
  if (!result.volumesLocked) {
    log.Log(u"Unable to lock device. Make sure you do not have open files on this device and try again. ");
  } else {
    log.FormatStarting();
    log.Log(u"Formatting... ");
    log.FormatRunning();
    result.run = LowLevelFormat(ctx, request.target, request.quickWipe);
    // Read back while the volumes are still locked, so that nothing else writes in between.
    if (request.verify && ReadBackFollows(*result.run)) {
      log.FormatRunning();
      result.verify = ReadBack(ctx, request.target, result.run->written);
    }
    log.FormatEnded(*result.run, result.verify ? &*result.verify : nullptr);
  }
  // The system re-reads the partition table, whether or not anything was written.
  std::uint32_t returned = 0;
  ctx.platform.DeviceIoControl(request.target.handle, IOCTL_DISK_UPDATE_PROPERTIES, nullptr, 0, nullptr, 0, &returned);
  UnlockVolumes(ctx.platform, ctx.volumeHandles);
  if (!result.run) return result;
  log.Log(u"");
  log.Log(u"Remember to create new partitions.");

  record.endLocal = LocalTimeNow(p);
  record.endUtc = UtcTimeNow(p);
  const std::int64_t endMs = CounterMs(p);
  record.durationMs = startMs >= 0 && endMs >= startMs ? endMs - startMs : 0;
  record.program = request.program;
  record.version = request.version;
  record.computer = p.GetComputerNameW();
  record.disk = RecordedDisk(request);
  record.quickWipe = request.quickWipe;
  record.run = *result.run;
  record.verify = result.verify;
  record.log = std::move(log.lines);
  result.record = std::move(record);
  SaveTheRecord(outer, request, result);
  return result;
}

} // namespace trv::format
