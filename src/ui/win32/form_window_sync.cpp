// FormWindow, model -> windows: a control's change reaches its window, and only
// what changed is sent.
#include "ui/win32/form_window.h"

#include <commctrl.h>

#include "platform/win32/wide.h"
#include "ui/win32/common_controls.h"
#include "ui/win32/form_window_helpers.h"
#include "ui/win32/window_support.h"
#include "ui/win32/win32_ui.h"

namespace trv::win32 {

using ui::Control;
using ui::ControlKind;

void FormWindow::FormChanged(ui::Form& form) {
  if (!alive_ || !hwnd_ || &form != &form_) return;
  const std::wstring caption = Wide(form_.caption());
  ::SetWindowTextW(hwnd_, caption.c_str());
  // Controls that follow the form's font follow it here.
  for (Item& item : items_) Sync(item, false);
}

void FormWindow::FocusRequested(Control& control) {
  if (const HWND h = HandleOf(control); h && hwnd_ && ::IsWindowVisible(hwnd_)) ::SetFocus(h);
}

void FormWindow::ControlChanged(Control& control) {
  if (!alive_ || !hwnd_) return;
  Item* item = ItemOf(control);
  if (!item) return;
  Sync(*item, false);
  // Children that follow this control's font.
  if (!control.children().empty()) {
    for (Item& other : items_) {
      for (const Control* p = other.control->parent(); p; p = p->parent())
        if (p == &control) {
          Sync(other, false);
          break;
        }
    }
  }
}

void FormWindow::Sync(Item& item, bool all) {
  if (!item.hwnd) return;
  Control& c = *item.control;
  const bool wasPushing = pushing_;
  pushing_ = true;
  const ControlKind k = c.kind();
  const bool hasText = k == ControlKind::Label || k == ControlKind::Button || k == ControlKind::CheckBox ||
                       k == ControlKind::GroupBox || k == ControlKind::Edit;
  if (hasText && (all || item.caption != c.caption())) {
    const std::wstring text = Wide(c.caption());
    ::SetWindowTextW(item.hwnd, text.c_str());
    item.caption = c.caption();
  }
  if (k == ControlKind::TabSheet && (all || item.caption != c.caption())) {
    if (const Item* pages = c.parent() ? ItemOf(*c.parent()) : nullptr; pages && pages->hwnd) {
      std::wstring text = Wide(c.caption());
      TCITEMW tab{};
      tab.mask = TCIF_TEXT;
      tab.pszText = text.data();
      ::SendMessageW(pages->hwnd, TCM_SETITEMW, SheetIndex(c), reinterpret_cast<LPARAM>(&tab));
    }
    item.caption = c.caption();
  }
  if (all || item.enabled != c.enabled()) {
    ::EnableWindow(item.hwnd, c.enabled() ? TRUE : FALSE);
    item.enabled = c.enabled();
  }
  if (k != ControlKind::TabSheet && (all || item.visible != c.visible())) {
    ::ShowWindow(item.hwnd, c.visible() ? SW_SHOWNA : SW_HIDE);
    item.visible = c.visible();
  }
  bool resize = hasText && item.caption != item.measured;
  if (!IsContainer(c)) {
    const HFONT font = ui_.FontFor(c.font(), dpi_);
    if (all || font != item.font) {
      ::SendMessageW(item.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
      item.font = font;
      resize = true;
    }
    const COLORREF color = ToColorRef(c.font().color);
    if (color != item.textColor) {
      item.textColor = color;
      ::InvalidateRect(item.hwnd, nullptr, TRUE);
    }
  }
  if (resize && k == ControlKind::Label) {
    PlaceItem(item);
    item.measured = item.caption;
  }
  switch (k) {
    case ControlKind::CheckBox: {
      const bool checked = static_cast<ui::CheckBox&>(c).checked();
      if (all || checked != item.checked) {
        ::SendMessageW(item.hwnd, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
        item.checked = checked;
      }
      break;
    }
    case ControlKind::Memo:
      SyncMemo(item);
      break;
    case ControlKind::ListView:
      if (all) {
        const auto& list = static_cast<ui::ListView&>(c);
        for (std::size_t i = 0; i < list.columns.size(); ++i)
          ::SendMessageW(item.hwnd, LVM_SETCOLUMNWIDTH, i,
                         list.columns[i].width ? Scale(list.columns[i].width) : LVSCW_AUTOSIZE_USEHEADER);
      }
      SyncList(item);
      break;
    case ControlKind::ProgressBar: {
      auto& bar = static_cast<ui::ProgressBar&>(c);
      if (all) {
        ::SendMessageW(item.hwnd, PBM_SETRANGE32, bar.minimum, bar.maximum);
        ::SendMessageW(item.hwnd, PBM_SETSTEP, bar.step, 0);
      }
      const int state = bar.state() == ui::ProgressState::Error    ? PBST_ERROR
                        : bar.state() == ui::ProgressState::Paused ? PBST_PAUSED
                                                                   : PBST_NORMAL;
      if (all || state != item.progressState) {
        ::SendMessageW(item.hwnd, PBM_SETSTATE, state, 0);
        item.progressState = state;
      }
      if (all || bar.position() != item.progress) {
        ::SendMessageW(item.hwnd, PBM_SETPOS, bar.position(), 0);
        item.progress = bar.position();
      }
      break;
    }
    case ControlKind::StatusBar:
      SyncStatus(item, all);
      break;
    case ControlKind::PageControl:
      SyncPages(item);
      break;
    default:
      break;
  }
  pushing_ = wasPushing;
}

void FormWindow::SyncMemo(Item& item) {
  const auto& lines = static_cast<ui::Memo&>(*item.control).lines();
  auto& shown = item.memoLines;
  const bool appended = shown.size() <= lines.size() && (shown.empty() || shown.back() == lines[shown.size() - 1]);
  if (appended && shown.size() == lines.size()) return;
  if (appended && !shown.empty()) {
    // New lines go in at the end, each with its line break, as the framework adds
    // them: the caret ends at the start of the empty last line, so the memo shows
    // the new lines from their first column.
    std::u16string add;
    for (std::size_t i = shown.size(); i < lines.size(); ++i) add += lines[i] + u"\r\n";
    const std::wstring text = Wide(add);
    const int length = ::GetWindowTextLengthW(item.hwnd);
    ::SendMessageW(item.hwnd, EM_SETSEL, length, length);
    ::SendMessageW(item.hwnd, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
    shown.insert(shown.end(), lines.begin() + static_cast<std::ptrdiff_t>(shown.size()), lines.end());
  } else {
    std::u16string all;
    for (const std::u16string& line : lines) all += line + u"\r\n";
    const std::wstring text = Wide(all);
    ::SetWindowTextW(item.hwnd, text.c_str());
    shown = lines;
  }
  // A trace written while no message loop runs (start-up) must appear as it is
  // written: the memo paints now instead of waiting for WM_PAINT.
  if (::IsWindowVisible(item.hwnd)) ::UpdateWindow(item.hwnd);
}

void FormWindow::SyncList(Item& item) {
  auto& list = static_cast<ui::ListView&>(*item.control);
  const auto& rows = list.items();
  if (rows.size() < item.listItems) {
    ::SendMessageW(item.hwnd, LVM_DELETEALLITEMS, 0, 0);
    item.listItems = 0;
  }
  const bool added = rows.size() > item.listItems;
  for (std::size_t i = item.listItems; i < rows.size(); ++i) {
    for (std::size_t s = 0; s < rows[i].size() && s < std::max<std::size_t>(list.columns.size(), 1); ++s) {
      std::wstring text = Wide(rows[i][s]);
      LVITEMW cell{};
      cell.mask = LVIF_TEXT;
      cell.iItem = static_cast<int>(i);
      cell.iSubItem = static_cast<int>(s);
      cell.pszText = text.data();
      ::SendMessageW(item.hwnd, s == 0 ? LVM_INSERTITEMW : LVM_SETITEMTEXTW, i, reinterpret_cast<LPARAM>(&cell));
    }
  }
  item.listItems = rows.size();
  if (added && !list.columns.empty() && list.columns.back().width == 0)
    ::SendMessageW(item.hwnd, LVM_SETCOLUMNWIDTH, list.columns.size() - 1, LVSCW_AUTOSIZE_USEHEADER);
  if (list.selected() != item.listSelected) {
    LVITEMW state{};
    state.stateMask = LVIS_SELECTED;
    state.state = 0;
    ::SendMessageW(item.hwnd, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&state));
    if (list.selected() >= 0) {
      state.state = LVIS_SELECTED;
      ::SendMessageW(item.hwnd, LVM_SETITEMSTATE, list.selected(), reinterpret_cast<LPARAM>(&state));
      ::SendMessageW(item.hwnd, LVM_ENSUREVISIBLE, list.selected(), FALSE);
    }
    item.listSelected = list.selected();
  }
  if (list.focused() != item.listFocused) {
    LVITEMW state{};
    state.stateMask = LVIS_FOCUSED;
    state.state = LVIS_FOCUSED;
    if (list.focused() >= 0)
      ::SendMessageW(item.hwnd, LVM_SETITEMSTATE, list.focused(), reinterpret_cast<LPARAM>(&state));
    item.listFocused = list.focused();
  }
}

void FormWindow::SyncStatus(Item& item, bool all) {
  auto& bar = static_cast<ui::StatusBar&>(*item.control);
  if (bar.simple()) {
    if (all || !item.statusSimple) ::SendMessageW(item.hwnd, SB_SIMPLE, TRUE, 0);
    item.statusSimple = true;
    const std::wstring text = Wide(bar.simpleText());
    ::SendMessageW(item.hwnd, SB_SETTEXTW, SB_SIMPLEID, reinterpret_cast<LPARAM>(text.c_str()));
    return;
  }
  const auto& panels = bar.panels();
  if (all || item.statusSimple || item.statusTexts.size() != panels.size()) {
    ::SendMessageW(item.hwnd, SB_SIMPLE, FALSE, 0);
    // Right edges; the last panel runs to the end of the bar.
    std::vector<int> edges;
    int x = 0;
    for (std::size_t i = 0; i < panels.size(); ++i) {
      x += panels[i].width;
      edges.push_back(i + 1 == panels.size() ? -1 : Scale(x));
    }
    if (!edges.empty())
      ::SendMessageW(item.hwnd, SB_SETPARTS, edges.size(), reinterpret_cast<LPARAM>(edges.data()));
    item.statusTexts.assign(panels.size(), u"\x1f");  // forces every text below
    item.statusSimple = false;
  }
  for (std::size_t i = 0; i < panels.size(); ++i) {
    if (item.statusTexts[i] == panels[i].text) continue;
    // Two tabs right-align a status bar text.
    const std::wstring text = (panels[i].rightAligned ? L"\t\t" : L"") + Wide(panels[i].text);
    ::SendMessageW(item.hwnd, SB_SETTEXTW, i, reinterpret_cast<LPARAM>(text.c_str()));
    item.statusTexts[i] = panels[i].text;
  }
}

void FormWindow::SyncPages(Item& item) {
  auto& pages = static_cast<ui::PageControl&>(*item.control);
  const int active = pages.activePage();
  if (active == item.activePage) return;
  if (static_cast<int>(::SendMessageW(item.hwnd, TCM_GETCURSEL, 0, 0)) != active)
    ::SendMessageW(item.hwnd, TCM_SETCURSEL, active, 0);
  for (Control* sheet : pages.children()) {
    Item* s = ItemOf(*sheet);
    if (!s || !s->hwnd || sheet->kind() != ControlKind::TabSheet) continue;
    const bool show = SheetIndex(*sheet) == active;
    ::ShowWindow(s->hwnd, show ? SW_SHOWNA : SW_HIDE);
    s->visible = show;
  }
  item.activePage = active;
}

} // namespace trv::win32
