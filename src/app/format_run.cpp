// The format command of the main window: the confirmation, the busy state of
// the controls, and the erase itself through the format engine.
#include "app/app.h"
#include "app/format_tab.h"
#include "app/logs.h"
#include "app/purge_tab.h"
#include "app/worker_observer.h"
#include "app/product.h"
#include "app/remembered_fields.h"
#include "format/format_command.h"
#include "format/hidden_range_text.h"
#include "format/run_watch.h"
#include "format/same_disk.h"
#include "report/number_text.h"
#include "report/offered_erase.h"
#include "ui/vista_funcs.h"

namespace trv::app {

namespace {
constexpr char16_t kEraseRunningReason[] = u"正在擦除磁盘。现在注销或关机会使磁盘只擦除了一部分；请等待擦除结束，或先按“停止”。";
// Stop is taken in between the erase's requests. One that has been with the
// disk this long does not return: blocks shrink when the disk slows, so a
// healthy write takes about a second, two at most. Only that one is
// cancelled, once, and only a write or read of the erase: never a healthy
// write, the check of the disk, the flush or the refresh after it.
constexpr std::int64_t kStalledRequestMs = 5000;
// How long the end of the session waits for the worker to reach its pump;
// after that the record is saved from the copy the run published.
constexpr std::uint32_t kSessionEndWaitMs = 1000;
} // namespace

bool TFmMain::QueryEndSession() { return !formatRunning_; }

void TFmMain::EndSession() {
  // Windows ends the session anyway: the run stops, and its record is saved
  // now, before the process is ended: at once when the worker is parked at
  // its pump, else once a pending request is cancelled and it gets there.
  if (!formatRunning_ || !run_) return;
  app_.StopRequested = true;
  WorkerObserver& run = *run_;
  run.SaveRecordSoon();
  if (run.RecordSaved()) return;
  CancelRunIo();  // at once: the process is ended soon
  app_.ui.ServeWorkerUntil([&run] { return run.RecordSaved(); }, kSessionEndWaitMs);
  if (run.RecordSaved()) return;
  // The request did not return, cancelled or not (a driver that ends it only
  // at its own timeout): the record is saved here, from the run's copy.
  if (watch_) watch_->SaveFromCopy();
}

void TFmMain::RunIdle() {
  ShowPurgeElapsed();
  // Since when the erase's current request has been with the disk (as seen
  // from here: at most an idle turn late).
  const auto pending = watch_ ? watch_->Pending() : std::nullopt;
  const std::int64_t now = app_.platform.WallClockMilliseconds();
  if (pending && (pending->serial != watchedRequest_ || now < requestSeenMs_)) {  // new, or the clock was set back
    watchedRequest_ = pending->serial;
    requestSeenMs_ = now;
  }
  // The system or the user ending the program stops the run, even while a request hangs.
  if (app_.ui.Terminated()) app_.StopRequested = true;
  if (app_.StopRequested && pending && now - requestSeenMs_ >= kStalledRequestMs) CancelRunIo();
}

void TFmMain::CancelRunIo() {
  // A purge's request is never cancelled, nor the reads around it: the drive
  // goes on purging whatever the program does.
  if (purgeRunning_) return;
  if (!app_.ui.WorkerBusy()) return;  // parked at a call to the window: no request pending
  const auto pending = watch_ ? watch_->Pending() : std::nullopt;
  if (!pending || pending->serial == cancelledRequest_) return;  // not a write or read of the erase, or cancelled already
  cancelledRequest_ = pending->serial;
  if (cancelUnavailableSaid_) return;  // this Windows cannot
  if (app_.platform.CancelSynchronousIo(app_.ui.WorkerThread())) return;
  if (app_.platform.GetLastError() == win::ERROR_PROC_NOT_FOUND && !cancelUnavailableSaid_) {
    // Windows XP: the window still answers, and the run stops when the request returns.
    cancelUnavailableSaid_ = true;
    AddToLog(app_, u"This Windows cannot cancel a disk request: the run stops when the request returns.");
  }
}

void TFmMain::RunFormat() {
  App& app = app_;
  auto& dev = app.dev;
  const bool quickWipe = cbQuickWipe.checked();  // read before anything is shown
  const bool purge = cbPurge.checked() && cbPurge.enabled();
  const bool verify = cbVerify.checked();
  if (purge && !PurgeStillOffered()) return;
  const auto& entry = dev.Devices[static_cast<std::size_t>(dev.SelectedDevice)];
  std::u16string content =
      u"Are you absolutely sure you want to irreversibly destroy all data on this device?\r\n\r\n" + dev.DeviceTitle;
  const std::int64_t shown = report::CapacityBytes(entry.IdentifyData.LBA, entry.IdentifyData.SectorSize);
  if (shown > 0 && dev.StatedBytes > shown)
    content += u"\r\n\r\nWindows shows " + report::FormatThousands(shown) + u" bytes of this disk, but the drive states " +
               report::FormatThousands(dev.StatedBytes) + u" bytes: the last " +
               report::FormatThousands(dev.StatedBytes - shown) + u" bytes cannot be reached and will not be erased.";
  for (const device::HiddenRange& range : dev.Hidden)
    content += u"\r\n\r\nOn this disk " + format::HiddenRangeText(range) +
               u": these sectors cannot be reached and will not be erased.";
  // Who erases which asset under which ticket, asked before the confirmation,
  // whose texts stay as they are; Cancel stops here as a No there does.
  const std::optional<format::AuditFields> audit = app.FmRecordDetails.Ask(LoadRememberedFields(app.platform));
  if (!audit) return;
  const int answer = purge ? ConfirmPurge()
                           : ui::ShowTaskDialog(app.platform, app.ui, handle, u"Warning",
                                                u"All data on the selected device will be lost", content,
                                                ui::kTdWarningIcon, ui::kTdYes | ui::kTdCancel);
  if (answer != win::IDYES) return;
  SetBusy(false);

  format::EraseRequest request;
  request.target = {dev.DeviceHandle, entry.IdentifyData.LBA, entry.IdentifyData.SectorSize};
  request.target.hidden = dev.Hidden;
  request.deviceNumber = entry.DeviceNumber;
  request.deviceTitle = dev.DeviceTitle;
  request.productLine = std::u16string(kProductTitle) + u"; " + kProductWebAddress;
  request.statedBytes = dev.StatedBytes;
  request.quickWipe = quickWipe && !purge;
  if (purge) request.purge = format::PurgeChoice::Best;
  request.verify = verify;
  request.chosen = format::IdentityOf(entry, app.Drive);
  request.program = kProductName;
  request.version = kProductVersion;
  request.audit = *audit;
  request.offeredErase = report::OfferedEraseFeatures(app.platform, dev.DeviceHandle, entry.IdentifyData);
  // The disk I/O runs off the window thread: the window answers while a request
  // hangs, and the observer's calls come back here.
  FormatTabObserver observer(app);
  WorkerObserver worker(app.ui, observer, app.StopRequested, app.SaveRecordNow);
  format::RunWatch watch;
  format::FormatContext ctx{app.platform, worker, app.DebugMode, worker.stopRequested, app.VolumeHandles,
                            app.platform.DecimalSeparator(), &app.SaveRecordNow, &watch};
  formatRunning_ = true;
  run_ = &worker;
  watch_ = &watch;
  watchedRequest_ = cancelledRequest_ = 0;
  app.StopRequested = false;  // every run starts with Stop cleared
  // Logging off or shutting down is refused while the disk is written or
  // purged; Windows says why.
  app.ui.SetShutdownBlockReason(*this, purge ? kPurgeRunningReason : kEraseRunningReason);
  if (purge) PurgeStarts();
  format::EraseCommandResult result;
  app.ui.RunWorker([&] { result = format::EraseDevice(ctx, request); }, [this] { RunIdle(); });
  app.ui.SetShutdownBlockReason(*this, u"");
  run_ = nullptr;
  watch_ = nullptr;
  app.StopRequested = false;  // taken in by the run, or too late to act on it
  formatRunning_ = false;
  if (purge) PurgeEnded(result);
  SetBusy(true);
  if (result.diskChanged) {
    app.ui.MessageBox(handle,
                      u"所选的磁盘已被更换，未写入任何数据。\r\n\r\n所选磁盘：" + format::DescribeDisk(*request.chosen) +
                          u"\r\n现在的磁盘：" +
                          (result.found ? format::DescribeDisk(*result.found) : std::u16string(u"无法识别")),
                      u"磁盘已更换", win::MB_ICONERROR | win::MB_OK);
  }
  if (result.notWritable != format::NotWritable::No)
    app.ui.MessageBox(handle, format::NotWritableText(result.notWritable), u"磁盘无法写入", win::MB_ICONERROR | win::MB_OK);
  if (!result.refusal.empty())
    app.ui.MessageBox(handle, u"The disk was not erased: nothing was written.\r\n\r\n" + result.refusal, u"Erase refused",
                      win::MB_ICONERROR | win::MB_OK);
  if (!result.volumeRefusals.empty()) {
    std::u16string text = u"The disk was not erased: nothing was written.";
    for (const format::Refusal& reason : result.volumeRefusals) text += u"\r\n\r\n" + reason.text;
    app.ui.MessageBox(handle, text, u"Erase refused", win::MB_ICONERROR | win::MB_OK);
  }
  // Remembered once the record is saved: its folder beside this file has then
  // been proven off the erased disk, and nothing was written before the erase.
  if (result.saved && result.saved->saved) RememberFields(app.platform, *audit);
  if (result.saved && !result.saved->saved) {
    // The erase itself is over; the user must know that its record is missing.
    app.ui.MessageBox(handle,
                      u"擦除记录未能保存到 " + result.saved->failedPath + u"：\r\n" +
                          app.platform.SystemMessage(result.saved->error),
                      u"擦除记录", win::MB_ICONERROR | win::MB_OK);
  }
  if (closeAfterFormat_) {
    closeAfterFormat_ = false;
    app.ui.Close(*this);
  }
}

} // namespace trv::app
