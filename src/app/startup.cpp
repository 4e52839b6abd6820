#include "app/startup.h"

#include <array>

#include "app/app.h"
#include "app/fatal.h"
#include "app/logs.h"
#include "app/product.h"
#include "app/timing.h"
#include "device/enumeration.h"
#include "platform/records.h"
#include "platform/text.h"

namespace trv::app {

bool IsWow64(App& app) {
  auto& p = app.platform;
  const win::ProcAddress entry = p.GetProcAddress(p.GetModuleHandleW(u"kernel32"), "IsWow64Process");
  if (entry == 0) return false;
  std::int32_t flag = 0;
  if (!p.CallIsWow64Process(entry, p.GetCurrentProcess(), &flag)) FatalError(app, u"Bad process handle", kProductTitle);
  return flag != 0;
}

namespace {

struct OsVersion {
  std::uint32_t major = 0, minor = 0, build = 0, platformId = 0;
  std::u16string csd;
};

OsVersion ReadOsVersion(win::Platform& p) {
  std::array<std::uint8_t, rec::kOsVersionInfoSize> info{};
  rec::Put32(info, 0, rec::kOsVersionInfoSize);
  OsVersion v;
  if (!p.GetVersionExW(info)) return v;
  v.major = rec::U32(info, 4);
  v.minor = rec::U32(info, 8);
  v.build = rec::U32(info, 12);
  v.platformId = rec::U32(info, 16);
  for (std::size_t i = 0; i < 128; ++i) {
    const char16_t c = rec::U16(info, 20 + 2 * i);
    if (c == 0) break;
    v.csd.push_back(c);
  }
  return v;
}

std::u16string FolderOf(std::u16string path) {
  while (!path.empty() && path.back() != u'\\') path.pop_back();
  return path;
}

} // namespace

void StartUp(App& app) {
  auto& p = app.platform;
  if (!app.arguments.empty() && AsciiLower(app.arguments[0]) == u"--debug") {
    app.DebugMode = true;
    AddToDebugLog(app, u"Debug mode activated");
    app.ui.Show(app.FmDebug);
  }
  app.dev.DeviceCount = 0;

  app.ProgramPath = FolderOf(p.GetModuleFileNameW());
  AddToDebugLog(app, u"Program Path: " + app.ProgramPath);

  const std::u16string bitness = IsWow64(app) ? u"  (64 bit)" : u"  (32 bit)";
  const OsVersion os = ReadOsVersion(p);
  AddToDebugLog(app, u"Platform: " + DecimalText(os.major) + u"." + DecimalText(os.minor) + u"." +
                         DecimalText(os.build) + u"   " + os.csd + bitness);
  if (os.platformId != win::VER_PLATFORM_WIN32_NT)
    ErrorBoxAndExit(app, u"Only the following versions of Windows are supported: 2003, 2008, XP, Vista, 7", u"Error");

  p.Sleep(50);
  app.PerformanceFrequency = ReadPerformanceFrequency(app);
  app.TicksPerMicrosecond = static_cast<double>(app.PerformanceFrequency) / 1000000.0;
  if (app.PerformanceFrequency < 1000000) FatalError(app, u"Unknown error.", u"Timer");
  if (app.PerformanceFrequency > 4000000000LL) FatalError(app, u"Unknown error.", u"Timer");
  p.Sleep(100);
  KeepTimerResolution(app);  // before the timer checks: no window of ours is visible yet
  bool timerPassed = false;
  for (int attempt = 0; attempt < 3 && !timerPassed; ++attempt) timerPassed = TimerSelfTest(app);
  if (!timerPassed) FatalError(app, u"Unknown error.", u"Timer");
  p.Sleep(50);

  app.FmChoose.SetCaption(u"Device Selection - " + std::u16string(kProductCaption));
  app.FmChoose.lbProgramName.SetCaption(AsciiUpper(kProductTitle) + u"    ");
  AddToDebugLog(app, u"Program Version: " + std::u16string(kProductCaption));
  app.FmMain.SetCaption(kProductCaption);
  app.ui.SetApplicationTitle(kProductCaption);
  app.FmMain.StatusBar.SetPanelText(0, kProductCaption);
  app.FmChoose.lbCopyright.SetCaption(kCreditLine);
  app.FmMain.lbCopyright.SetCaption(kCreditLine);

  if (!app.setupApi.Loaded()) app.setupApi.Load(p);
  if (!app.setupApi.Loaded()) ErrorBoxAndExit(app, u"Error #01704", u"Error");

  AddToDebugLog(app, u"Iterating through devices...");
  device::DeviceEnv env = MakeDeviceEnv(app);
  device::EnumerateDevices(env, app.dev, app.FmChoose.StatusBar);

  AddToLog(app, u" * * * * *  WARNING!!! * * * * * ");
  AddToLog(app, u"低级格式化过程中");
  AddToLog(app, u"所有数据将不可逆转地擦除 ！支持:Win XP, Vista x32/x64, 7 x32/x64, 2003, 2008, 2008R2");
}

} // namespace trv::app
