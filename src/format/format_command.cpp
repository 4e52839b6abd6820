#include "format/format_command.h"

#include "format/volume_lock.h"
#include "report/number_text.h"

namespace trv::format {

EraseCommandResult EraseDevice(FormatContext& ctx, const EraseRequest& request) {
  EraseObserver& log = ctx.observer;
  EraseCommandResult result;
  log.Log(u" ");
  log.Log(u"=================================================");
  log.Log(request.productLine);
  log.Log(u"Low level format: " + request.deviceTitle);
  log.Log(u"Device capacity: " + report::FormatThousands(request.target.sectors) + u" sectors");
  log.Log(u"Locking device... ");
  result.volumesLocked = LockVolumes(ctx, request.deviceNumber);
  if (!result.volumesLocked) {
    log.Log(u"Unable to lock device. Make sure you do not have open files on this device and try again. ");
  } else {
    log.FormatStarting();
    log.Log(u"Formatting... ");
    log.FormatRunning();
    result.run = LowLevelFormat(ctx, request.target, request.quickWipe);
    log.FormatEnded(*result.run);
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
