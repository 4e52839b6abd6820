#include "cli/sim_cli.h"

#include <filesystem>
#include <fstream>
#include <optional>
#include <set>

#include "cli/cli_app.h"
#include "cli/cli_options.h"
#include "platform/sim/built_in_pcs.h"
#include "platform/sim/scenario.h"
#include "platform/sim/sim_platform.h"
#include "platform/text.h"

namespace trv::cli {

namespace {

// A simulator switch that cannot work; the command never runs.
struct SwitchError {
  std::string message;
};

// Shows that the folder can keep the program's files: made, and a file written and removed in it.
void CheckStateFolder(const std::string& folder) {
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (!std::filesystem::is_directory(folder, ec)) throw SwitchError{"--state " + folder + ": not a folder that can be made"};
  const std::filesystem::path probe = std::filesystem::path(folder) / ".trevasso-state-probe";
  const bool written = static_cast<bool>(std::ofstream(probe, std::ios::binary) << "probe");
  std::filesystem::remove(probe, ec);
  if (!written) throw SwitchError{"--state " + folder + ": the folder takes no files"};
}

// The command line asks for --help (a wrong one is the console program's to refuse).
bool IsHelp(const std::vector<std::u16string>& args) {
  try {
    return !args.empty() && ParseOptions(args).command == Command::Help;
  } catch (const UsageError&) {
    return false;
  }
}

} // namespace

std::u16string SimHelpText() {
  return u"\n"
         u"Simulated PC: this build runs on a simulated Windows PC and never opens a real\n"
         u"disk. Its own switches go before the command, each at most once:\n"
         u"  --pc default|modern  the built-in PC: default (Windows 7, the default) or\n"
         u"                       modern (Windows 10 with NVMe and USB-bridged disks)\n"
         u"  --scenario FILE      the PC described in FILE instead (docs/scenario.md)\n"
         u"  --state DIR          keep the files the program writes (erase records) in DIR\n"
         u"  --report FILE        write what changed on the simulated disks to FILE\n"
         u"for example: trevasso-cli --pc modern --state recs erase 2 --quick --confirm-serial S\n"
         u"On Linux SIGTERM stops an erase as Ctrl+C does (7, or 12 in the read-back), record saved.\n";
}

int RunSimCli(std::vector<std::u16string> args, CliHost& host) {
  std::string scenarioPath, pc, state, report;
  std::set<std::u16string> seen;
  std::size_t i = 0;
  try {
    for (; i < args.size(); ++i) {
      const std::u16string& a = args[i];
      const bool takesValue = a == u"--scenario" || a == u"--pc" || a == u"--state" || a == u"--report";
      if (!takesValue) break;
      if (!seen.insert(a).second) throw SwitchError{Utf16ToUtf8(a) + " is given more than once"};
      if (i + 1 >= args.size()) throw SwitchError{Utf16ToUtf8(a) + " needs a value"};
      const std::string value = Utf16ToUtf8(args[++i]);
      if (value.empty()) throw SwitchError{Utf16ToUtf8(a) + " needs a value, not an empty one"};
      if (a == u"--scenario") scenarioPath = value;
      else if (a == u"--pc") pc = value;
      else if (a == u"--state") state = value;
      else report = value;
    }
    if (seen.count(u"--scenario") && seen.count(u"--pc")) throw SwitchError{"--scenario and --pc: give one PC, not both"};
    if (!state.empty()) CheckStateFolder(state);
  } catch (const SwitchError& e) {
    host.Err(u"trevasso-cli: " + ControlPictures(Utf8ToUtf16(e.message)) + u"\n");
    return kExitUsage;
  }
  args.erase(args.begin(), args.begin() + static_cast<std::ptrdiff_t>(i));
  if (IsHelp(args)) {
    host.Out(HelpText() + SimHelpText());
    return kExitCompleted;
  }
  try {
    sim::Scenario scenario = scenarioPath.empty() ? sim::BuiltInScenario(pc.empty() ? "default" : pc)
                                                  : sim::LoadScenarioFile(scenarioPath);
    // Opened before the command runs: a report that cannot be written stops it before any disk is touched.
    std::ofstream reportFile;
    if (!report.empty()) {
      reportFile.open(report, std::ios::binary | std::ios::trunc);
      if (!reportFile) throw SwitchError{"--report " + report + ": the file cannot be written"};
    }
    sim::SimPlatform platform(std::move(scenario), state);
    // The host's own thread (the console closing, the session's end) may reach the PC too.
    std::optional<win::LockedPlatform> shared;
    if (win::CallLock* lock = host.SimCallLock()) shared.emplace(platform, *lock);
    const int code = RunCli(shared ? static_cast<win::Platform&>(*shared) : platform, host, args);
    if (!report.empty()) {
      reportFile << platform.DiskChanges();
      reportFile.close();
      if (!reportFile) {
        host.Err(u"trevasso-cli: --report " + Utf8ToUtf16(report) + u": writing it failed\n");
        return code == kExitCompleted ? kExitError : code;
      }
    }
    return code;
  } catch (const SwitchError& e) {
    host.Err(u"trevasso-cli: " + ControlPictures(Utf8ToUtf16(e.message)) + u"\n");
    return kExitUsage;
  } catch (const std::exception& e) {
    host.Err(u"trevasso-cli: " + ControlPictures(Utf8ToUtf16(e.what())) + u"\n");
    return kExitUsage;
  }
}

} // namespace trv::cli
