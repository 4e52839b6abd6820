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
  kExitError = 1,                // the disk is not there or cannot be opened (other than in use), the scan failed
  kExitUsage = 2,
  kExitNotElevated = 3,
  kExitRefused = 4,              // wrong serial, too small, disk changed, a sanitize in progress: nothing written
  kExitCompletedWithErrors = 5,  // areas left unwritten, or the flush failed
  kExitVerifyFailed = 6,
  kExitCancelled = 7,            // Ctrl+C during the writing
  kExitTerminated = 8,           // the disk went away (also during the read-back)
  kExitRecordNotSaved = 9,       // the erase completed, its record could not be saved
  kExitRecordsFolder = 10,       // refused, nothing written: the records folder cannot be used
  kExitInUse = 11,               // nothing written: another program has the disk or a volume on it open; try later
  kExitErasedVerifyCancelled = 12,  // every byte written and flushed; the read-back was cancelled
  kExitPurgeUnavailable = 13,    // the purge asked for cannot run on this disk here: nothing sent
  kExitPurgeUnverified = 14,     // the purge succeeded and the sample held; the drive's status could not be read
  kExitPurgeFailed = 15,         // refused or failed by the drive, stalled, data left, interrupted
  kExitPasswordNotRemoved = 16,  // unlock: the saved password was sent, and the disk still has a password
  kExitPasswordNotTried = 17,    // unlock: not sent (tried this power cycle, refused before, count expired, frozen)
};

int RunCli(win::Platform& platform, CliHost& host, const std::vector<std::u16string>& args);

} // namespace trv::cli
