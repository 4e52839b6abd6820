// Whether the test runs under Wine, for the few checks where Wine keeps less
// than Windows (no progress bar states) or more (its own registry values).
#pragma once
#include "platform/win32/windows_headers.h"

inline bool RunningOnWine() {
  const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  return ntdll && ::GetProcAddress(ntdll, "wine_get_version");
}
