// Loads every library the Windows program loads, the way it loads them: the
// entry's search hardening, the real backend's timers (winmm), setup API and
// common controls, and the front end's theme library. Run beside planted DLLs
// of those names (tests/win32/dll_planting_test.py), none of them may load.
//
//   dll_search_probe.exe          the program's ways
//   dll_search_probe.exe --bare   plain LoadLibraryW by name: the check of the
//                                 test itself, which must see the plants
#include "platform/win32/system_library.h"
#include "platform/win32/win32_platform.h"
#include "ui/win32/win32_ui.h"

#include <cstdio>
#include <string>

namespace {

const wchar_t* const kLibraries[] = {L"winmm.dll", L"uxtheme.dll", L"setupapi.dll"};

void NoTick(std::uint32_t, std::uint32_t, std::uintptr_t, std::uintptr_t, std::uintptr_t) {}

void LoadTheProgramsWay() {
  trv::win32::HardenDllSearch();
  trv::win32::Win32Platform platform;
  const std::uint32_t timer = platform.timeSetEvent(1, 0, &NoTick, 0, TIME_PERIODIC);
  if (timer == 0) std::printf("timeSetEvent failed\n");
  platform.timeKillEvent(timer);
  for (const char16_t* name : {u"SetupApi.dll", u"comctl32.dll"}) {
    const trv::win::Module module = platform.LoadLibraryW(name);
    if (module == 0) std::printf("%ls did not load\n", reinterpret_cast<const wchar_t*>(name));
    else platform.FreeLibrary(module);
  }
  trv::win32::Win32Ui ui;
  ui.ThemesActive();  // loads the theme library
}

} // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc > 1 && std::wstring(argv[1]) == L"--bare") {
    for (const wchar_t* name : kLibraries)
      if (const HMODULE module = ::LoadLibraryW(name)) ::FreeLibrary(module);
    return 0;
  }
  LoadTheProgramsWay();
  return 0;
}
