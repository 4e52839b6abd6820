// trevasso.exe: the program on the real Windows.
#include "platform/win32/windows_headers.h"

#include "platform/win32/dll_search.h"
#include "platform/win32/process_arguments.h"
#include "platform/win32/win32_platform.h"
#include "ui/win32/program_entry.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  trv::win32::HardenDllSearch();
  trv::win32::Win32Platform platform;
  return trv::win32::RunWithWindows(platform, trv::win32::ProcessArguments());
}
