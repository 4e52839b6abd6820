#include "ui/win32/program_entry.h"

#include "platform/win32/windows_headers.h"

#include <shellapi.h>

#include <exception>

#include "app/app.h"
#include "platform/text.h"
#include "platform/win32/wide.h"
#include "ui/win32/win32_ui.h"

namespace trv::win32 {

std::vector<std::u16string> CommandLineArguments() {
  std::vector<std::u16string> arguments;
  int argc = 0;
  if (LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc)) {
    for (int i = 1; i < argc; ++i) arguments.push_back(Narrow16(argv[i]));
    ::LocalFree(argv);
  }
  return arguments;
}

int RunWithWindows(win::Platform& platform, std::vector<std::u16string> arguments) {
  try {
    Win32Ui ui;
    int code = 0;
    {
      app::App app(platform, ui, std::move(arguments));
      code = app::RunProgram(app);
      ui.DestroyWindows();
    }
    return code;
  } catch (const std::exception& e) {
    const std::wstring text = L"Internal error: " + Wide(Utf8ToUtf16(e.what()));
    ::MessageBoxW(nullptr, text.c_str(), L"Trevasso", MB_OK | MB_ICONERROR);
    return 3;
  }
}

} // namespace trv::win32
