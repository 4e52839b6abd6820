// trevasso.exe: the program on the real Windows.
#include "platform/win32/windows_headers.h"

#include <shellapi.h>

#include <exception>
#include <string>
#include <vector>

#include "app/app.h"
#include "platform/text.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_platform.h"
#include "ui/win32/win32_ui.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  std::vector<std::u16string> arguments;
  int argc = 0;
  if (LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc)) {
    for (int i = 1; i < argc; ++i) arguments.push_back(trv::win32::Narrow16(argv[i]));
    ::LocalFree(argv);
  }
  try {
    trv::win32::Win32Platform platform;
    trv::win32::Win32Ui ui;
    int code = 0;
    {
      trv::app::App app(platform, ui, std::move(arguments));
      code = trv::app::RunProgram(app);
      ui.DestroyWindows();
    }
    return code;
  } catch (const std::exception& e) {
    const std::wstring text = L"Internal error: " + trv::win32::Wide(trv::Utf8ToUtf16(e.what()));
    ::MessageBoxW(nullptr, text.c_str(), L"Trevasso", MB_OK | MB_ICONERROR);
    return 3;
  }
}
