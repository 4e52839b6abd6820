// Loading the system's own DLLs from the system folder only. The program runs
// elevated, and Windows looks for a DLL that is not a KnownDLL in the program's
// folder first: a DLL planted there (in Downloads, say) would run as
// administrator. So the program imports only KnownDLLs statically (and comctl32,
// which its manifest redirects) and loads every other library through here.
#pragma once
#include "platform/win32/dll_search.h"
#include "platform/win32/windows_headers.h"

namespace trv::win32 {

// Loads a system library by its bare file name ("winmm.dll") from the system
// folder: LoadLibraryExW with LOAD_LIBRARY_SEARCH_SYSTEM32 where the system
// supports the flag, else by its full path in the system folder. A library the
// process has already loaded (comctl32 version 6) is that very module, with one
// more reference. comctl32.dll goes through LoadCommonControls. Returns nullptr
// when it cannot be loaded; free with FreeLibrary.
HMODULE LoadSystemLibrary(const wchar_t* name);

// Loads comctl32.dll in the version the program's manifest asks for (6, from the
// side-by-side store). It is not imported: at start, before HardenDllSearch,
// its own dependencies (uxtheme.dll) would be looked for beside the program.
// Where the system lacks the search flags, the theme library is first loaded
// from the system folder by its full path, so that comctl32 finds it loaded.
HMODULE LoadCommonControls();

} // namespace trv::win32
