// What both Windows programs do at entry: read the command line, run the
// program with the real front end on the given platform, report a crash.
#pragma once
#include <string>
#include <vector>

#include "platform/platform.h"

namespace trv::win32 {

// Runs the program on `platform` with real windows, COM initialised
// apartment-threaded on this thread; returns the exit code (3 and an error box
// when an exception escaped).
int RunWithWindows(win::Platform& platform, std::vector<std::u16string> arguments);

} // namespace trv::win32
