// The run: start-up, the debug pause, the choice of one disk, its exclusive
// open and its details report.
#include "app/app.h"
#include "app/fatal.h"
#include "app/product.h"
#include "app/startup.h"
#include "format/purge_plan.h"
#include "report/details_report.h"
#include "report/number_text.h"

namespace trv::app {

void TFmMain::FormShow() {
  App& app = app_;
  StartUp(app);
  if (app.DebugMode) {
    app.ui.Hide(app.FmDebug);
    app.ui.ShowModal(app.FmDebug);
  }
  // A disk an erase of ours left with a password is asked about first; the
  // one whose erase is to be finished is the chosen disk.
  auto& dev = app.dev;
  const std::int64_t finish = OfferStrandedDisks();
  if (finish > 0) {
    dev.SelectedDevice = finish;
  } else if (!app.FmChoose.FillDeviceList()) {
    app.ui.Terminate();
    return;
  }
  dev.DeviceTitle = report::GetDeviceDescription(dev, dev.SelectedDevice, app.platform.DecimalSeparator());
  lbDiskName.SetCaption(dev.DeviceTitle);

  auto& p = app.platform;
  dev.DeviceHandle = p.CreateFileW(dev.Devices[static_cast<std::size_t>(dev.SelectedDevice)].DevicePath,
                                   win::GENERIC_READ | win::GENERIC_WRITE, 0, win::OPEN_EXISTING, 0);
  const std::uint32_t error = p.GetLastError();
  if (dev.DeviceHandle == win::kInvalidHandle || error != 0)
    FatalError(app, u"Error opening device: " + p.SystemMessage(error), u"Error");
  StatusBar.SetPanelText(1, dev.DeviceTitle);

  report::DetailsContext details{p, dev, Log_Details, kProductTitle, kProductWebAddress, kSupportForumAddress,
                                 p.DecimalSeparator()};
  details.hiddenRanges = &dev.Hidden;
  details.drive = &app.Drive;
  format::PurgeFacts purgeFacts;
  format::PurgePlan purgePlan;
  details.purgeFacts = &purgeFacts;
  details.purgePlan = &purgePlan;
  dev.StatedBytes = report::ShowDeviceDetails(details);
  // Whether the format tab may offer a firmware purge of this disk, or why not
  // (from the facts the report has just read, when it got to them).
  const bool read = purgeFacts.busType == dev.Devices[static_cast<std::size_t>(dev.SelectedDevice)].IdentifyData.BusType;
  ShowPurgeChoice(read ? &purgeFacts : nullptr);
  if (finish > 0) FinishStrandedErase();
}

} // namespace trv::app
