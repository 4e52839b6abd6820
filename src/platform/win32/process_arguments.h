// The command line of this process as the core's texts, for every Windows
// program's entry. This header needs no Windows header.
#pragma once
#include <string>
#include <vector>

namespace trv::win32 {

// The arguments after the program name, split by the system's own rules
// (CommandLineToArgvW).
std::vector<std::u16string> ProcessArguments();

} // namespace trv::win32
