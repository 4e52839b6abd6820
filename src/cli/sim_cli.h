// The console program on a simulated PC (the Linux build, and
// trevasso-cli-sim.exe): the simulator's own switches come first, then the
// command line of trevasso-cli.
#pragma once
#include <string>
#include <vector>

#include "cli/cli_host.h"

namespace trv::cli {

// [--scenario FILE | --pc default|modern] [--state DIR] [--report FILE] COMMAND ...
// --state keeps the files the program writes (erase records) in DIR;
// --report writes what changed on the simulated disks to FILE.
int RunSimCli(std::vector<std::u16string> args, CliHost& host);

// What --help adds on a simulated PC: its own switches, and that they go first.
std::u16string SimHelpText();

} // namespace trv::cli
