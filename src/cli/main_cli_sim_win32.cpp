// trevasso-cli-sim.exe: the console program on a simulated PC, in a real
// Windows console (for tests under Wine and demonstrations). It never opens a
// real disk.
#include "cli/cli_host.h"
#include "cli/sim_cli.h"
#include "platform/win32/process_arguments.h"

int wmain(int, wchar_t**) {
  const auto host = trv::cli::MakeConsoleHost();
  return trv::cli::RunSimCli(trv::win32::ProcessArguments(), *host);
}
