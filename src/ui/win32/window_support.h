// Window classes and dpi helpers of the Win32 front end. Functions that newer
// systems add (per-monitor dpi) are looked up at run time.
#pragma once
#include "platform/win32/windows_headers.h"

namespace trv::win32 {

inline constexpr wchar_t kFormClass[] = L"TrevassoForm";
inline constexpr wchar_t kPanelClass[] = L"TrevassoPanel";
inline constexpr UINT kWmDpiChanged = 0x02E0;  // WM_DPICHANGED
inline constexpr int kAppIconId = 1;

// An entry point found with GetProcAddress, as the function type it has.
template <class Fn>
Fn ProcAs(FARPROC entry) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(entry));
}

// Registers the two window classes once.
void RegisterWindowClasses(HINSTANCE instance);
// The dpi a window is shown at: GetDpiForWindow where the system has it, else
// the screen's logical pixels per inch.
UINT WindowDpi(HWND hwnd);
// AdjustWindowRectExForDpi where available, else AdjustWindowRectEx.
void AdjustFrameForDpi(RECT& rect, DWORD style, DWORD exStyle, UINT dpi);

} // namespace trv::win32
