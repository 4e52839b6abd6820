// The console program's command line: one command, its disk number and its
// switches. Nothing here touches a disk.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "format/purge_plan.h"
#include "report/language.h"

namespace trv::cli {

enum class Command { Help, Version, List, Details, Smart, Erase, Unlock };

struct Options {
  Command command = Command::Help;
  std::optional<std::uint32_t> disk;   // N of \\.\PhysicalDriveN
  bool json = false;
  bool quick = false;
  bool full = false;
  std::optional<format::PurgeChoice> purge;  // --purge[=METHOD]: the disk's own firmware erases it
  bool verify = false;
  std::optional<std::u16string> confirmSerial;
  std::u16string recordsFolder;        // empty: the default one (also where saved passwords are looked for)
  report::Language language = report::Language::Chinese;  // --lang: of the reports and the erase's log
  std::u16string operatorName, asset, ticket;  // for the record; empty: not given
};

// Parses the arguments after the program name; a usage error throws
// UsageError with the message to print.
Options ParseOptions(const std::vector<std::u16string>& args);

struct UsageError {
  std::u16string message;
};

// The usage text, ending in a line break.
std::u16string UsageText();
// --help: the usage, then the confirmation, the records, Ctrl+C and the exit codes.
std::u16string HelpText();

} // namespace trv::cli
