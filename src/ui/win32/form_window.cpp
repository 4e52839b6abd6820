// FormWindow: creating, placing and destroying the windows of a form. The
// model's changes reach the windows in form_window_sync.cpp, input reaches the
// model in form_window_input.cpp.
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

namespace {

constexpr int kFirstControlId = 100;  // clear of IDOK, IDCANCEL and friends

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
    case ControlKind::Edit:
      cls = WC_EDITW;
      style |= WS_TABSTOP | ES_AUTOHSCROLL | (c.readOnly ? ES_READONLY : 0);
      ex |= WS_EX_CLIENTEDGE;
      break;
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
    case ControlKind::Edit:
      if (const std::size_t most = static_cast<const ui::Edit&>(c).maxLength; most > 0)
        ::SendMessageW(item.hwnd, EM_LIMITTEXT, static_cast<WPARAM>(most), 0);
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

} // namespace trv::win32
