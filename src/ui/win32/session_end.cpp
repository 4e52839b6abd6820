#include "ui/win32/session_end.h"

#include "platform/win32/wide.h"
#include "ui/win32/window_support.h"

namespace trv::win32 {

namespace {

using BlockReasonCreate = BOOL(WINAPI*)(HWND, LPCWSTR);
using BlockReasonDestroy = BOOL(WINAPI*)(HWND);

FARPROC User32Proc(const char* name) {
  const HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
  return user32 ? ::GetProcAddress(user32, name) : nullptr;
}

} // namespace

bool HandleSessionMessage(ui::Form& form, UINT message, WPARAM wParam, LRESULT& result) {
  if (message == WM_QUERYENDSESSION) {
    // FALSE refuses: Windows XP cancels the log-off, later systems show the
    // block reason and let the user decide.
    result = form.QueryEndSession() ? TRUE : FALSE;
    return true;
  }
  if (message == WM_ENDSESSION) {
    // The process may be ended as soon as this returns: whatever must be kept
    // is saved before.
    if (wParam) form.EndSession();
    result = 0;
    return true;
  }
  return false;
}

void SetShutdownBlockReason(HWND hwnd, std::u16string_view reason) {
  if (!hwnd) return;
  if (reason.empty()) {
    if (const auto destroy = ProcAs<BlockReasonDestroy>(User32Proc("ShutdownBlockReasonDestroy"))) destroy(hwnd);
    return;
  }
  if (const auto create = ProcAs<BlockReasonCreate>(User32Proc("ShutdownBlockReasonCreate"))) {
    const std::wstring text = Wide(reason);
    create(hwnd, text.c_str());
  }
}

} // namespace trv::win32
