// <windows.h> for the Win32 backend and front end, with the macros that would
// rename the core's methods (MessageBox -> MessageBoxW) taken out again. The
// core's Windows constants share their names with <windows.h> macros, so their
// header is read first, while the names are still free.
#pragma once
#include "platform/win_types.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef UNICODE
#define UNICODE
#endif
#ifndef _UNICODE
#define _UNICODE
#endif
#include <windows.h>

#undef MessageBox
#undef CreateFile
#undef CreateDirectory
#undef GetModuleHandle
#undef LoadLibrary
#undef GetVersionEx
#undef SystemParametersInfo
#undef CreateFontIndirect
#undef LoadCursor
#undef ShellExecute
