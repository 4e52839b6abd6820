// The common controls calls the front end makes, through comctl32.dll loaded at
// run time (LoadCommonControls) instead of imported. Each fails harmlessly
// (FALSE, or DefWindowProcW for DefSubclassProc) when the library is missing.
#pragma once
#include "platform/win32/windows_headers.h"

#include <commctrl.h>

namespace trv::win32::comctl {

BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* controls);
BOOL SetWindowSubclass(HWND hwnd, SUBCLASSPROC proc, UINT_PTR id, DWORD_PTR data);
BOOL RemoveWindowSubclass(HWND hwnd, SUBCLASSPROC proc, UINT_PTR id);
LRESULT DefSubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

} // namespace trv::win32::comctl
