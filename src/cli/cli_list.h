// `list`: every scanned disk, the volumes on it, whether Windows runs from it,
// and whether it may be erased here and, if not, why, judged by the erase's
// own checks (docs/cli.md).
#pragma once
#include <string>

#include "cli/cli_disks.h"
#include "cli/cli_host.h"
#include "platform/platform.h"

namespace trv::cli {

// Prints the list as a table, or with `asJson` as one JSON document; the exit code.
// `passwordFolder`: where this program's saved passwords are looked for.
int ListDisks(win::Platform& platform, CliHost& host, const ScannedDisks& disks, const UnreadableDisks& unreadable,
              bool asJson, const std::u16string& passwordFolder);

} // namespace trv::cli
