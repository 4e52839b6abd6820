#include "format/format_command.h"

#include "format/read_back.h"
#include "format/same_disk.h"
#include "format/volume_lock.h"
#include "report/number_text.h"

namespace trv::format {

namespace {

// Refuses the run when the handle no longer leads to the chosen disk.
bool StillTheChosenDisk(FormatContext& ctx, const EraseRequest& request, EraseCommandResult& result) {
  if (!request.chosen) return true;
  result.found = ReadDiskIdentity(ctx.platform, request.target.handle, request.deviceNumber);
  if (result.found && SameDisk(*request.chosen, *result.found)) return true;
  result.diskChanged = true;
  EraseObserver& log = ctx.observer;
  log.Log(u"磁盘已更换：这个编号上的磁盘不是所选的磁盘，未写入任何数据。");
  log.Log(u"所选磁盘：" + DescribeDisk(*request.chosen));
  log.Log(u"现在的磁盘：" + (result.found ? DescribeDisk(*result.found) : std::u16string(u"无法识别")));
  return false;
}

} // namespace

bool ReadBackFollows(const EraseResult& run) {
  return (run.outcome == EraseOutcome::Completed || run.outcome == EraseOutcome::CompletedWithErrors) &&
         !run.written.empty();
}

EraseCommandResult EraseDevice(FormatContext& ctx, const EraseRequest& request) {
  EraseObserver& log = ctx.observer;
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
  if (result.run) {
    log.Log(u"");
    log.Log(u"Remember to create new partitions.");
  }
  return result;
}

} // namespace trv::format
