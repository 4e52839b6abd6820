// What the three parts of FormWindow (form_window.cpp: creating the windows;
// form_window_sync.cpp: model -> windows; form_window_input.cpp: input -> model)
// share about the window models' controls.
#pragma once
#include "platform/win32/windows_headers.h"
#include "ui/controls.h"

namespace trv::win32 {

inline COLORREF ToColorRef(ui::Color c) { return RGB(c.r, c.g, c.b); }

// Panels and tab sheets hold child windows of their own.
inline bool IsContainer(const ui::Control& c) {
  return c.kind() == ui::ControlKind::Panel || c.kind() == ui::ControlKind::TabSheet;
}

// Index of a tab sheet among its page control's sheets.
inline int SheetIndex(const ui::Control& sheet) {
  if (!sheet.parent()) return -1;
  int i = 0;
  for (const ui::Control* s : sheet.parent()->children()) {
    if (s == &sheet) return i;
    if (s->kind() == ui::ControlKind::TabSheet) ++i;
  }
  return -1;
}

} // namespace trv::win32
