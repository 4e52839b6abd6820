// One run of the program: the platform and window system it runs on, the
// process-wide state, and the windows. Nothing here is global, so tests can run
// many machines in one process.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/agreement.h"
#include "app/fm_debug.h"
#include "app/fm_main.h"
#include "app/setup_api.h"
#include "device/device_env.h"
#include "device/device_records.h"
#include "device/drive_identity.h"
#include "platform/platform.h"
#include "ui/fm_choose.h"
#include "ui/fm_record_details.h"
#include "ui/ui_services.h"

namespace trv::app {

struct App {
  App(win::Platform& platform, ui::UiServices& ui, std::vector<std::u16string> arguments);
  App(const App&) = delete;
  App& operator=(const App&) = delete;

  win::Platform& platform;
  ui::UiServices& ui;
  std::vector<std::u16string> arguments;  // the command line after the program name

  // Process-wide state.
  bool DebugMode = false;
  std::u16string ProgramPath;
  std::int64_t PerformanceFrequency = 0;
  double TicksPerMicrosecond = 0;
  device::DeviceState dev;
  // What the chosen disk's drive said of itself in its details (for the erase's check and record).
  device::DriveFacts Drive;
  bool StopRequested = false;
  // While a format run writes: saves its record as it stands (the session ends).
  std::function<void()> SaveRecordNow;
  std::vector<win::Handle> VolumeHandles;
  SetupApiBinding setupApi;
  bool AgreementDeclined = false;

  // Windows, created hidden in this order at program start.
  TFmMain FmMain;
  ui::TFmChoose FmChoose;
  ui::Form FmScan;
  TFmAgreement FmAgreement;
  TFmDebug FmDebug;
  ui::TFmRecordDetails FmRecordDetails;
};

// Program entry after the process arguments are known: creates the windows and
// runs the message loop. Returns the process exit code.
int RunProgram(App& app);

// The device layer's view of this run: platform, debug log and fatal error box.
device::DeviceEnv MakeDeviceEnv(App& app);

} // namespace trv::app
