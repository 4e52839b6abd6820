// trevasso-cli: the program's scan, reports and erase engine for scripts.
// Every command runs without a question asked, and its exit code says how it
// ended (docs/cli.md).
#pragma once
#include <string>
#include <vector>

#include "cli/cli_host.h"
#include "platform/platform.h"

namespace trv::cli {

enum ExitCode : int {
  kExitCompleted = 0,            // also: a list or report printed
  kExitError = 1,                // the disk is not there or cannot be opened, the scan failed
  kExitUsage = 2,
  kExitNotElevated = 3,
  kExitRefused = 4,              // wrong serial, too small, volume in use, disk changed: nothing written
  kExitCompletedWithErrors = 5,  // areas left unwritten, or the flush failed
  kExitVerifyFailed = 6,
  kExitCancelled = 7,            // Ctrl+C
  kExitTerminated = 8,           // the disk went away
  kExitRecordNotSaved = 9,       // the erase completed, its record could not be saved
  kExitRecordsFolder = 10,       // refused, nothing written: the records folder cannot be used
};

int RunCli(win::Platform& platform, CliHost& host, const std::vector<std::u16string>& args);

} // namespace trv::cli
