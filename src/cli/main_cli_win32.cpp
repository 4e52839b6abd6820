// trevasso-cli.exe: the console program on the real Windows.
#include "cli/cli_app.h"
#include "cli/cli_host.h"
#include "platform/win32/dll_search.h"
#include "platform/win32/process_arguments.h"
#include "platform/win32/win32_platform.h"

int wmain(int, wchar_t**) {
  trv::win32::HardenDllSearch();
  trv::win32::Win32Platform platform;
  const auto host = trv::cli::MakeConsoleHost();
  return trv::cli::RunCli(platform, *host, trv::win32::ProcessArguments());
}
