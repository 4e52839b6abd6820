#include "ui/win32/form_window.h"

#include <commctrl.h>

#include <cwctype>
#include <exception>

#include "platform/win32/wide.h"
#include "ui/win32/common_controls.h"
#include "ui/win32/session_end.h"
#include "ui/win32/window_support.h"
#include "ui/win32/win32_ui.h"

namespace trv::win32 {

using ui::Control;
using ui::ControlKind;

namespace {

constexpr int kFirstControlId = 100;  // clear of IDOK, IDCANCEL and friends

COLORREF ToColorRef(ui::Color c) { return RGB(c.r, c.g, c.b); }

bool IsContainer(const Control& c) {
  return c.kind() == ControlKind::Panel || c.kind() == ControlKind::TabSheet;
}

// Index of a tab sheet among its page control's sheets.
int SheetIndex(const Control& sheet) {
  if (!sheet.parent()) return -1;
  int i = 0;
  for (const Control* s : sheet.parent()->children()) {
    if (s == &sheet) return i;
    if (s->kind() == ControlKind::TabSheet) ++i;
  }
  return -1;
}

bool ContainsAccessKey(const std::u16string& caption, wchar_t key) {
  for (std::size_t i = 0; i + 1 < caption.size(); ++i) {
    if (caption[i] != u'&') continue;
    if (caption[i + 1] == u'&') {
      ++i;
      continue;
    }
    return std::towupper(static_cast<wchar_t>(caption[i + 1])) == std::towupper(key);
  }
  return false;
}

} // namespace

FormWindow::FormWindow(Win32Ui& ui, ui::Form& form) : ui_(ui), form_(form) { Create(); }

FormWindow::~FormWindow() { DestroyWindows(false); }

void FormWindow::EnsureCreated() {
  if (!hwnd_) Create();
}

void FormWindow::Create() {
  alive_ = true;
  closedByUser = false;
  items_.clear();
  byHwnd_.clear();
  byControl_.clear();
  const HINSTANCE instance = ::GetModuleHandleW(nullptr);
  const std::wstring caption = Wide(form_.caption());
  hwnd_ = ::CreateWindowExW(WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT, kFormClass, caption.c_str(),
                            WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN, CW_USEDEFAULT, CW_USEDEFAULT,
                            100, 100, nullptr, nullptr, instance, this);
  if (!hwnd_) return;
  form_.handle = reinterpret_cast<win::WindowHandle>(hwnd_);
  dpi_ = WindowDpi(hwnd_);
  if (!form_.closable) ::EnableMenuItem(::GetSystemMenu(hwnd_, FALSE), SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);
  SizeAndCenter(nullptr);

  form_.Layout();  // not every model lays itself out when it is made
  items_.reserve(form_.controls().size());
  for (const auto& c : form_.controls()) {
    byControl_[c.get()] = items_.size();
    items_.push_back(Item{});
    items_.back().control = c.get();
  }
  for (Item& item : items_) CreateControl(item);
  // As in the framework, a control made later lies above the ones made before it
  // (a button placed on a panel that fills its parent stays visible) ...
  for (Item& item : items_)
    if (item.hwnd) ::SetWindowPos(item.hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  // ... and group boxes and tab strips lie under whatever is placed on them.
  for (Item& item : items_) {
    const ControlKind k = item.control->kind();
    if (item.hwnd && (k == ControlKind::GroupBox || k == ControlKind::PageControl))
      ::SetWindowPos(item.hwnd, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
  form_.Attach(this);
  PlaceAll();
  for (Item& item : items_) Sync(item, true);
}

HWND FormWindow::ParentWindowOf(const Control& control, Control** origin) const {
  Control* p = control.parent();
  while (p && !IsContainer(*p) && p->kind() != ControlKind::PageControl) p = p->parent();
  *origin = p;
  if (!p) return hwnd_;
  const HWND h = HandleOf(*p);
  return h ? h : hwnd_;
}

void FormWindow::CreateControl(Item& item) {
  Control& c = *item.control;
  const HWND parent = ParentWindowOf(c, &item.origin);
  const int index = static_cast<int>(&item - items_.data());
  const wchar_t* cls = nullptr;
  DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
  DWORD ex = 0;
  switch (c.kind()) {
    case ControlKind::Panel:
    case ControlKind::TabSheet:
      cls = kPanelClass;
      style |= WS_CLIPCHILDREN;
      ex |= WS_EX_CONTROLPARENT;
      break;
    case ControlKind::Label:
      cls = WC_STATICW;
      style |= SS_NOTIFY | (c.rightAligned ? SS_RIGHT : SS_LEFTNOWORDWRAP);
      break;
    case ControlKind::Button:
      cls = WC_BUTTONW;
      style |= WS_TABSTOP | (c.defaultButton ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
      break;
    case ControlKind::CheckBox:
      // Not BS_AUTOCHECKBOX: the model owns the state (a click handler may set it).
      cls = WC_BUTTONW;
      style |= WS_TABSTOP | BS_CHECKBOX;
      break;
    case ControlKind::GroupBox:
      cls = WC_BUTTONW;
      style |= BS_GROUPBOX;
      break;
    case ControlKind::Memo: {
      cls = WC_EDITW;
      const ui::ScrollBars bars = static_cast<const ui::Memo&>(c).scrollBars;
      const bool horizontal = bars == ui::ScrollBars::Horizontal || bars == ui::ScrollBars::Both;
      const bool vertical = bars == ui::ScrollBars::Vertical || bars == ui::ScrollBars::Both;
      style |= WS_TABSTOP | ES_MULTILINE | ES_AUTOVSCROLL | (c.readOnly ? ES_READONLY : 0) |
               (c.wordWrap ? 0 : ES_AUTOHSCROLL) | (horizontal ? WS_HSCROLL : 0) | (vertical ? WS_VSCROLL : 0);
      ex |= WS_EX_CLIENTEDGE;
      break;
    }
    case ControlKind::ListView:
      cls = WC_LISTVIEWW;
      style |= WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | (c.readOnly ? 0 : LVS_EDITLABELS);
      ex |= WS_EX_CLIENTEDGE;
      break;
    case ControlKind::ProgressBar:
      cls = PROGRESS_CLASSW;
      break;
    case ControlKind::StatusBar:
      cls = STATUSCLASSNAMEW;
      style |= CCS_NOPARENTALIGN | CCS_NORESIZE | CCS_NODIVIDER;
      break;
    case ControlKind::PageControl:
      cls = WC_TABCONTROLW;
      style |= WS_TABSTOP | WS_CLIPCHILDREN;
      ex |= WS_EX_CONTROLPARENT;
      break;
  }
  bool visible = c.visible();
  if (c.kind() == ControlKind::TabSheet) {
    const auto* pages = dynamic_cast<const ui::PageControl*>(c.parent());
    visible = pages && pages->activePage() == SheetIndex(c);
  }
  if (visible) style |= WS_VISIBLE;
  item.hwnd = ::CreateWindowExW(ex, cls, L"", style, 0, 0, 0, 0, parent,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstControlId + index)),
                                ::GetModuleHandleW(nullptr), this);
  if (!item.hwnd) return;
  byHwnd_[item.hwnd] = static_cast<std::size_t>(index);
  item.visible = visible;
  switch (c.kind()) {
    case ControlKind::Label:
      comctl::SetWindowSubclass(item.hwnd, &FormWindow::LabelProc, 1, reinterpret_cast<DWORD_PTR>(this));
      break;
    case ControlKind::Memo:
      ::SendMessageW(item.hwnd, EM_SETLIMITTEXT, 0, 0);  // no 32K limit on logs
      break;
    case ControlKind::ListView: {
      ::SendMessageW(item.hwnd, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER,
                     LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
      const auto& list = static_cast<const ui::ListView&>(c);
      for (std::size_t i = 0; i < list.columns.size(); ++i) {
        std::wstring text = Wide(list.columns[i].caption);
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        column.pszText = text.data();
        column.cx = Scale(list.columns[i].width);
        column.iSubItem = static_cast<int>(i);
        ::SendMessageW(item.hwnd, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
      }
      break;
    }
    case ControlKind::PageControl: {
      int i = 0;
      for (const Control* sheet : c.children()) {
        if (sheet->kind() != ControlKind::TabSheet) continue;
        std::wstring text = Wide(sheet->caption());
        TCITEMW tab{};
        tab.mask = TCIF_TEXT;
        tab.pszText = text.data();
        ::SendMessageW(item.hwnd, TCM_INSERTITEMW, i++, reinterpret_cast<LPARAM>(&tab));
      }
      break;
    }
    default:
      break;
  }
  if (!c.theme.empty()) ui_.SetTheme(item.hwnd, c.theme);
}

RECT FormWindow::PlacedRect(const Item& item) const {
  const Control& c = *item.control;
  RECT r{};
  if (c.kind() == ControlKind::TabSheet) {
    // The sheet fills the page control's display area, whatever the tab strip's height.
    if (const Item* pages = c.parent() ? ItemOf(*c.parent()) : nullptr; pages && pages->hwnd) {
      ::GetClientRect(pages->hwnd, &r);
      ::SendMessageW(pages->hwnd, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&r));
      return r;
    }
  }
  const ui::Rect& p = c.placed;
  r.left = Scale(p.left);
  r.top = Scale(p.top);
  r.right = Scale(p.left + p.width);
  r.bottom = Scale(p.top + p.height);
  if (item.origin) {
    const int dx = Scale(item.origin->placed.left), dy = Scale(item.origin->placed.top);
    ::OffsetRect(&r, -dx, -dy);
  }
  return r;
}

void FormWindow::PlaceAll() {
  // Parents come first in the model, so a page control has its size before its sheets.
  for (Item& item : items_) PlaceItem(item);
}

void FormWindow::PlaceItem(Item& item) {
  if (!item.hwnd) return;
  RECT r = PlacedRect(item);
  if (item.control->kind() == ControlKind::Label) {
    // Labels grow to show their whole text in the font they have at this dpi (a
    // right-aligned one grows to the left).
    SIZE text{0, 0};
    // The text as drawn: "&x" shows x underlined, "&&" shows one ampersand.
    const std::u16string& source = item.control->caption();
    std::wstring caption;
    for (std::size_t i = 0; i < source.size(); ++i) {
      if (source[i] == u'&' && i + 1 < source.size()) ++i;
      caption += static_cast<wchar_t>(source[i]);
    }
    if (const HDC dc = ::GetDC(item.hwnd)) {
      const HGDIOBJ old = ::SelectObject(dc, item.font ? item.font : ::GetStockObject(DEFAULT_GUI_FONT));
      ::GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &text);
      ::SelectObject(dc, old);
      ::ReleaseDC(item.hwnd, dc);
    }
    if (text.cx > r.right - r.left) {
      if (item.control->rightAligned) r.left = r.right - text.cx;
      else r.right = r.left + text.cx;
    }
    if (text.cy > r.bottom - r.top) r.bottom = r.top + text.cy;
  }
  ::SetWindowPos(item.hwnd, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

void FormWindow::SizeAndCenter(const RECT* suggested) {
  const DWORD style = static_cast<DWORD>(::GetWindowLongPtrW(hwnd_, GWL_STYLE));
  const DWORD ex = static_cast<DWORD>(::GetWindowLongPtrW(hwnd_, GWL_EXSTYLE));
  RECT frame{0, 0, Scale(form_.clientWidth()), Scale(form_.clientHeight())};
  AdjustFrameForDpi(frame, style, ex, dpi_);
  const int w = frame.right - frame.left, h = frame.bottom - frame.top;
  int x, y;
  if (suggested) {
    x = suggested->left;
    y = suggested->top;
  } else {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    ::GetMonitorInfoW(::MonitorFromWindow(hwnd_, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT& work = monitor.rcWork;
    x = work.left + ((work.right - work.left) - w) / 2;
    y = work.top + ((work.bottom - work.top) - h) / 2;
    if (x < work.left) x = work.left;
    if (y < work.top) y = work.top;
  }
  ::SetWindowPos(hwnd_, nullptr, x, y, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
  // Where the frame is not drawn at the dpi asked for, the client area comes out
  // different: correct by the difference.
  RECT client;
  ::GetClientRect(hwnd_, &client);
  const int dw = Scale(form_.clientWidth()) - client.right, dh = Scale(form_.clientHeight()) - client.bottom;
  if (dw != 0 || dh != 0)
    ::SetWindowPos(hwnd_, nullptr, 0, 0, w + dw, h + dh, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
}

FormWindow::Item* FormWindow::ItemOf(const Control& control) {
  const auto it = byControl_.find(&control);
  return it == byControl_.end() ? nullptr : &items_[it->second];
}

const FormWindow::Item* FormWindow::ItemOf(const Control& control) const {
  const auto it = byControl_.find(&control);
  return it == byControl_.end() ? nullptr : &items_[it->second];
}

HWND FormWindow::HandleOf(const Control& control) const {
  const Item* item = ItemOf(control);
  return item ? item->hwnd : nullptr;
}

Control* FormWindow::ControlOf(HWND child) const {
  const auto it = byHwnd_.find(child);
  return it == byHwnd_.end() ? nullptr : items_[it->second].control;
}

void FormWindow::DestroyWindows(bool modelAlive) {
  if (modelAlive && alive_) {
    if (form_.observer() == this) form_.Attach(nullptr);
    form_.handle = 0;
  }
  alive_ = false;
  if (hwnd_ && ::IsWindow(hwnd_)) ::DestroyWindow(hwnd_);
  hwnd_ = nullptr;
  for (Item& item : items_) item.hwnd = nullptr;
  byHwnd_.clear();
}

// --- model -> windows ---------------------------------------------------------------------

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
                       k == ControlKind::GroupBox;
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

// --- windows -> model ---------------------------------------------------------------------

void FormWindow::Click(Control& control) {
  if (!control.enabled()) return;
  if (control.onClick) control.onClick();
  else if (auto* box = dynamic_cast<ui::CheckBox*>(&control)) box->SetChecked(!box->checked());
}

void FormWindow::ReadListSelection(Item& item) {
  auto& list = static_cast<ui::ListView&>(*item.control);
  const int selected = static_cast<int>(::SendMessageW(item.hwnd, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
  const int focused = static_cast<int>(::SendMessageW(item.hwnd, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
  item.listSelected = selected;
  if (selected >= 0) item.listFocused = focused >= 0 ? focused : selected;
  if (list.selected() != selected) list.Select(selected);
  if (selected >= 0 && list.focused() != item.listFocused) list.SetFocusedItem(item.listFocused);
}

Control* FormWindow::ActiveDefaultButton() const {
  for (const Item& item : items_) {
    const Control& c = *item.control;
    if (c.defaultButton && c.enabled() && c.visible() && item.hwnd && ::IsWindowVisible(item.hwnd))
      return item.control;
  }
  return nullptr;
}

void FormWindow::ApplyFocus() {
  if (!hwnd_) return;
  if (form_.focus) {
    if (const HWND h = HandleOf(*form_.focus)) {
      ::SetFocus(h);
      return;
    }
  }
  if (const HWND first = NextTabStop(nullptr, false)) ::SetFocus(first);
}

HWND FormWindow::NextTabStop(HWND from, bool back) const {
  // Tab order is the model's order (window z-order is not: later controls lie on top).
  std::vector<HWND> stops;
  int current = -1;
  for (const Item& item : items_) {
    if (!item.hwnd || !(::GetWindowLongPtrW(item.hwnd, GWL_STYLE) & WS_TABSTOP)) continue;
    if (!::IsWindowVisible(item.hwnd) || !::IsWindowEnabled(item.hwnd)) continue;
    if (from && (from == item.hwnd || ::IsChild(item.hwnd, from))) current = static_cast<int>(stops.size());
    stops.push_back(item.hwnd);
  }
  if (stops.empty()) return nullptr;
  const int n = static_cast<int>(stops.size());
  if (current < 0) return back ? stops.back() : stops.front();
  return stops[static_cast<std::size_t>((current + (back ? n - 1 : 1)) % n)];
}

bool FormWindow::PreTranslate(MSG& msg) {
  if (!alive_ || !hwnd_) return false;
  if (msg.message == WM_KEYDOWN && msg.wParam == VK_TAB && ::GetKeyState(VK_CONTROL) < 0) {
    // Ctrl+Tab and Ctrl+Shift+Tab turn the pages of the page control shown.
    for (Item& item : items_) {
      auto* pages = dynamic_cast<ui::PageControl*>(item.control);
      if (!pages || !item.hwnd || !::IsWindowVisible(item.hwnd)) continue;
      const int count = static_cast<int>(::SendMessageW(item.hwnd, TCM_GETITEMCOUNT, 0, 0));
      if (count <= 0) break;
      const int step = ::GetKeyState(VK_SHIFT) < 0 ? count - 1 : 1;
      pages->SetActivePage((pages->activePage() + step) % count);
      return true;
    }
    return false;
  }
  if (msg.message == WM_KEYDOWN && msg.wParam == VK_TAB) {
    if (const HWND next = NextTabStop(::GetFocus(), ::GetKeyState(VK_SHIFT) < 0)) ::SetFocus(next);
    return true;
  }
  if (msg.message == WM_KEYDOWN && msg.wParam == VK_RETURN) {
    Control* focused = ControlOf(msg.hwnd);
    if (focused && focused->kind() == ControlKind::Button) {
      Click(*focused);
      return true;
    }
    // Multi-line memos take Enter themselves.
    if (focused && focused->kind() == ControlKind::Memo) return false;
    // The focused control sees the key first (a list reports it as a key press) ...
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
    // ... then Enter presses the default button.
    if (alive_ && hwnd_ && !ui_.Terminated() && ::IsWindowEnabled(hwnd_))
      if (Control* def = ActiveDefaultButton()) Click(*def);
    return true;
  }
  if (msg.message == WM_SYSCHAR) {
    const wchar_t key = static_cast<wchar_t>(msg.wParam);
    for (Item& item : items_) {
      const Control& c = *item.control;
      if ((c.kind() == ControlKind::Button || c.kind() == ControlKind::CheckBox) && item.hwnd &&
          ::IsWindowVisible(item.hwnd) && c.enabled() && ContainsAccessKey(c.caption(), key)) {
        ::SetFocus(item.hwnd);
        Click(*item.control);
        return true;
      }
    }
  }
  return false;
}

bool FormWindow::HandleNotify(const NMHDR& header, LRESULT& result) {
  const auto it = byHwnd_.find(header.hwndFrom);
  if (it == byHwnd_.end()) return false;
  Item& item = items_[it->second];
  Control& c = *item.control;
  result = 0;
  if (c.kind() == ControlKind::ListView) {
    switch (header.code) {
      case NM_CLICK:
        ReadListSelection(item);
        if (c.onClick) c.onClick();
        return true;
      case NM_DBLCLK:
        ReadListSelection(item);
        if (c.onDblClick) c.onDblClick();
        return true;
      case LVN_KEYDOWN: {
        int key = reinterpret_cast<const NMLVKEYDOWN&>(header).wVKey;
        if (c.onKeyDown) c.onKeyDown(key);
        return true;
      }
      case LVN_ITEMCHANGED: {
        // Keyboard moves change the selection without a click; the model follows.
        const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
        if (!pushing_ && (change.uChanged & LVIF_STATE) &&
            ((change.uNewState ^ change.uOldState) & (LVIS_SELECTED | LVIS_FOCUSED)))
          ReadListSelection(item);
        return true;
      }
      default:
        return false;
    }
  }
  if (c.kind() == ControlKind::PageControl && header.code == TCN_SELCHANGE) {
    const int selected = static_cast<int>(::SendMessageW(item.hwnd, TCM_GETCURSEL, 0, 0));
    static_cast<ui::PageControl&>(c).SetActivePage(selected);
    return true;
  }
  return false;
}

COLORREF FormWindow::ContainerColor(const Control* container) const {
  for (const Control* c = container; c; c = c->parent()) {
    if (c->whiteBackground) return RGB(255, 255, 255);
    // Themed tab pages are white; classic ones have the button face.
    if (c->kind() == ControlKind::TabSheet) return ui_.ThemesActive() ? RGB(255, 255, 255) : ::GetSysColor(COLOR_BTNFACE);
  }
  return ::GetSysColor(COLOR_BTNFACE);
}

COLORREF FormWindow::BackgroundOf(const Control& control) const {
  if (control.whiteBackground) return RGB(255, 255, 255);
  if (control.kind() == ControlKind::Memo || control.kind() == ControlKind::ListView) return ::GetSysColor(COLOR_WINDOW);
  return ContainerColor(control.parent());
}

LRESULT CALLBACK FormWindow::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  FormWindow* self = nullptr;
  if (message == WM_NCCREATE) {
    self = static_cast<FormWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    if (self && !self->hwnd_) self->hwnd_ = hwnd;
  } else {
    self = reinterpret_cast<FormWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  }
  if (!self || !self->alive_) return ::DefWindowProcW(hwnd, message, wParam, lParam);
  try {
    return self->Handle(hwnd, message, wParam, lParam);
  } catch (const std::exception& e) {
    self->ui_.Fatal(e.what());
  } catch (...) {
    self->ui_.Fatal("unknown exception");
  }
}

LRESULT FormWindow::Handle(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  const bool isForm = hwnd == hwnd_;
  switch (message) {
    case WM_COMMAND:
      if (lParam != 0 && HIWORD(wParam) == BN_CLICKED) {
        if (Control* c = ControlOf(reinterpret_cast<HWND>(lParam));
            c && (c->kind() == ControlKind::Button || c->kind() == ControlKind::CheckBox)) {
          Click(*c);
          return 0;
        }
      }
      break;
    case WM_NOTIFY: {
      LRESULT result = 0;
      if (HandleNotify(*reinterpret_cast<const NMHDR*>(lParam), result)) return result;
      break;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
      if (const Control* c = ControlOf(reinterpret_cast<HWND>(lParam))) {
        const HDC dc = reinterpret_cast<HDC>(wParam);
        const COLORREF background = BackgroundOf(*c);
        ::SetTextColor(dc, ToColorRef(c->font().color));
        ::SetBkColor(dc, background);
        return reinterpret_cast<LRESULT>(ui_.BrushFor(background));
      }
      break;
    case WM_ERASEBKGND: {
      const Control* container = isForm ? nullptr : ControlOf(hwnd);
      RECT r;
      ::GetClientRect(hwnd, &r);
      ::FillRect(reinterpret_cast<HDC>(wParam), &r, ui_.BrushFor(ContainerColor(container)));
      // A panel no more than two pixels high is a separator line.
      if (container && container->kind() == ControlKind::Panel && container->bounds.height <= 2 &&
          container->align == ui::Align::Top)
        ::DrawEdge(reinterpret_cast<HDC>(wParam), &r, EDGE_ETCHED, BF_TOP);
      return 1;
    }
    case WM_SETCURSOR:
      if (const Control* c = ControlOf(reinterpret_cast<HWND>(wParam)); c && c->handCursor && LOWORD(lParam) == HTCLIENT) {
        ::SetCursor(::LoadCursorW(nullptr, MAKEINTRESOURCEW(32649)));  // IDC_HAND
        return TRUE;
      }
      break;
    default:
      break;
  }
  if (!isForm) return ::DefWindowProcW(hwnd, message, wParam, lParam);
  if (LRESULT answer = 0; HandleSessionMessage(form_, message, wParam, answer)) return answer;
  switch (message) {
    case WM_CLOSE:
      ui_.CloseRequested(*this);
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) {
        const HWND focus = ::GetFocus();
        if (focus && ::IsChild(hwnd_, focus)) lastFocus_ = focus;
      } else if (lastFocus_ && ::IsWindow(lastFocus_) && ::IsWindowVisible(lastFocus_)) {
        ::SetFocus(lastFocus_);
        return 0;
      }
      break;
    case kWmDpiChanged: {
      dpi_ = HIWORD(wParam);
      SizeAndCenter(reinterpret_cast<const RECT*>(lParam));
      PlaceAll();
      for (Item& item : items_) Sync(item, true);
      return 0;
    }
    case WM_DESTROY:
      for (Item& item : items_) item.hwnd = nullptr;
      byHwnd_.clear();
      hwnd_ = nullptr;
      if (alive_) form_.handle = 0;
      break;
    default:
      break;
  }
  return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK FormWindow::LabelProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                       DWORD_PTR selfData) {
  auto* self = reinterpret_cast<FormWindow*>(selfData);
  if (message == WM_NCDESTROY) {
    comctl::RemoveWindowSubclass(hwnd, &FormWindow::LabelProc, 1);
    return comctl::DefSubclassProc(hwnd, message, wParam, lParam);
  }
  if (!self || !self->alive_) return comctl::DefSubclassProc(hwnd, message, wParam, lParam);
  const auto it = self->byHwnd_.find(hwnd);
  if (it == self->byHwnd_.end()) return comctl::DefSubclassProc(hwnd, message, wParam, lParam);
  try {
    return self->HandleLabel(self->items_[it->second], hwnd, message, wParam, lParam);
  } catch (const std::exception& e) {
    self->ui_.Fatal(e.what());
  } catch (...) {
    self->ui_.Fatal("unknown exception");
  }
}

LRESULT FormWindow::HandleLabel(Item& item, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  Control& c = *item.control;
  auto button = [message] {
    switch (message) {
      case WM_RBUTTONDOWN: case WM_RBUTTONUP: case WM_RBUTTONDBLCLK: return ui::MouseButton::Right;
      case WM_MBUTTONDOWN: case WM_MBUTTONUP: case WM_MBUTTONDBLCLK: return ui::MouseButton::Middle;
      default: return ui::MouseButton::Left;
    }
  };
  switch (message) {
    case WM_MOUSEMOVE:
      if (!item.hovering) {
        TRACKMOUSEEVENT track{};
        track.cbSize = sizeof track;
        track.dwFlags = TME_LEAVE;
        track.hwndTrack = hwnd;
        ::TrackMouseEvent(&track);
        item.hovering = true;
        if (c.onMouseEnter) c.onMouseEnter();
      }
      return 0;
    case WM_MOUSELEAVE:
      if (item.hovering && ::GetCapture() != hwnd) {
        item.hovering = false;
        if (c.onMouseLeave) c.onMouseLeave();
      }
      return 0;
    case WM_LBUTTONDOWN: case WM_RBUTTONDOWN: case WM_MBUTTONDOWN:
    case WM_LBUTTONDBLCLK: case WM_RBUTTONDBLCLK: case WM_MBUTTONDBLCLK:
      ::SetCapture(hwnd);
      if (c.onMouseDown) c.onMouseDown(button());
      if (message == WM_LBUTTONDBLCLK && c.onDblClick) c.onDblClick();
      return 0;
    case WM_LBUTTONUP: case WM_RBUTTONUP: case WM_MBUTTONUP: {
      if (::GetCapture() == hwnd) ::ReleaseCapture();
      RECT r;
      ::GetClientRect(hwnd, &r);
      const POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
      const bool inside = ::PtInRect(&r, at) != FALSE;
      // As the framework does it: the click first, then the button-up event.
      if (message == WM_LBUTTONUP && inside) Click(c);
      if (!alive_ || !item.hwnd) return 0;
      if (c.onMouseUp) c.onMouseUp(button());
      if (!inside && item.hovering) {
        item.hovering = false;
        if (c.onMouseLeave) c.onMouseLeave();
      }
      return 0;
    }
    default:
      break;
  }
  return comctl::DefSubclassProc(hwnd, message, wParam, lParam);
}

} // namespace trv::win32
