// Taking the program's folder and the current folder out of the DLL search, the
// first thing every Windows program does at entry (system_library.h says why).
// This header needs no Windows header.
#pragma once

namespace trv::win32 {

// SetDefaultDllDirectories where the system has it, SetDllDirectoryW("") in any
// case. Called first thing at entry, before any library is loaded.
void HardenDllSearch();

} // namespace trv::win32
