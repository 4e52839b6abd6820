// Log-off and shutdown for the Win32 front end: a form may refuse the end of
// the session (WM_QUERYENDSESSION) and give Windows its reason to show
// (ShutdownBlockReasonCreate, looked up at run time: Vista and later), and is
// told when the session ends anyway (WM_ENDSESSION).
#pragma once
#include <string_view>

#include "platform/win32/windows_headers.h"
#include "ui/form.h"

namespace trv::win32 {

// Answers the two session messages for `form`; false for any other message.
bool HandleSessionMessage(ui::Form& form, UINT message, WPARAM wParam, LRESULT& result);
// Sets (or, with an empty reason, takes away) the reason Windows shows.
void SetShutdownBlockReason(HWND hwnd, std::u16string_view reason);

} // namespace trv::win32
