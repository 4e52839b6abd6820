// The format command of the main window: the confirmation, the busy state of
// the controls, and the erase itself through the format engine.
#include "app/app.h"
#include "app/format_tab.h"
#include "app/product.h"
#include "format/format_command.h"
#include "ui/vista_funcs.h"

namespace trv::app {

void TFmMain::RunFormat() {
  App& app = app_;
  auto& dev = app.dev;
  const bool quickWipe = cbQuickWipe.checked();  // read before anything is shown
  const int answer = ui::ShowTaskDialog(
      app.platform, app.ui, handle, u"Warning", u"All data on the selected device will be lost",
      u"Are you absolutely sure you want to irreversibly destroy all data on this device?\r\n\r\n" + dev.DeviceTitle,
      ui::kTdWarningIcon, ui::kTdYes | ui::kTdCancel);
  if (answer != win::IDYES) return;
  SetBusy(false);

  const auto& entry = dev.Devices[static_cast<std::size_t>(dev.SelectedDevice)];
  format::EraseRequest request;
  request.target = {dev.DeviceHandle, entry.IdentifyData.LBA, entry.IdentifyData.SectorSize};
  request.deviceNumber = entry.DeviceNumber;
  request.deviceTitle = dev.DeviceTitle;
  request.productLine = std::u16string(kProductTitle) + u"; " + kProductWebAddress;
  request.quickWipe = quickWipe;
  FormatTabObserver observer(app);
  format::FormatContext ctx{app.platform, observer, app.DebugMode, app.StopRequested, app.VolumeHandles,
                            app.platform.DecimalSeparator()};
  formatRunning_ = true;
  format::EraseDevice(ctx, request);
  formatRunning_ = false;
  SetBusy(true);
  if (closeAfterFormat_) {
    closeAfterFormat_ = false;
    app.ui.Close(*this);
  }
}

} // namespace trv::app
