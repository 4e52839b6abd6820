#include "ui/win32/program_entry.h"

#include "platform/win32/windows_headers.h"

#include <objbase.h>

#include <exception>

#include "app/app.h"
#include "platform/text.h"
#include "platform/win32/wide.h"
#include "ui/win32/win32_ui.h"

namespace trv::win32 {

namespace {

int RunProgramWithWindows(win::Platform& platform, std::vector<std::u16string> arguments) {
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
    ::MessageBoxW(nullptr, text.c_str(), L"Trevasso", MB_OK | MB_ICONERROR | MB_TASKMODAL);
    return 3;
  }
}

} // namespace

int RunWithWindows(win::Platform& platform, std::vector<std::u16string> arguments) {
  // Shell execution (the Disk Management and web page links) needs COM in a
  // single-threaded apartment on the thread that calls it: this GUI thread.
  const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  const int code = RunProgramWithWindows(platform, std::move(arguments));
  if (SUCCEEDED(com)) ::CoUninitialize();
  return code;
}

} // namespace trv::win32
