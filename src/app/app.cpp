#include "app/app.h"

#include "app/fatal.h"
#include "app/logs.h"

namespace trv::app {

App::App(win::Platform& platform_, ui::UiServices& ui_, std::vector<std::u16string> arguments_)
    : platform(platform_),
      ui(ui_),
      arguments(std::move(arguments_)),
      FmMain(*this),
      FmChoose(platform_, ui_, dev),
      FmScan("FmScan", 300, 200),
      FmAgreement(),
      FmDebug(),
      FmRecordDetails(platform_, ui_) {}

int RunProgram(App& app) {
  win::FailCriticalErrorsQuietly(app.platform);
  // The windows are created in this order; the main window is the main form.
  app.FmMain.FormCreate();
  app.FmChoose.FormCreate();
  if (!app.FmAgreement.FormCreate(app.platform, app.ui)) {
    app.AgreementDeclined = true;
    app.ui.Terminate();
    return 0;  // declined: the program ends before any window is shown
  }
  app.ui.RunMessageLoop(app.FmMain);
  return 0;
}

device::DeviceEnv MakeDeviceEnv(App& app) {
  return device::DeviceEnv{
      app.platform,
      [&app](const std::u16string& line) { AddToDebugLog(app, line); },
      [&app](const std::u16string& text, const std::u16string& caption) { ErrorBoxAndExit(app, text, caption); },
  };
}

} // namespace trv::app
