// FormWindow, windows -> model: clicks, keys, notifications and the window
// procedures feed the model's event slots.
#include "ui/win32/form_window.h"

#include <commctrl.h>

#include <cwctype>
#include <exception>

#include "platform/win32/wide.h"
#include "ui/win32/common_controls.h"
#include "ui/win32/session_end.h"
#include "ui/win32/form_window_helpers.h"
#include "ui/win32/window_support.h"
#include "ui/win32/win32_ui.h"

namespace trv::win32 {

using ui::Control;
using ui::ControlKind;

namespace {

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
  if (control.kind() == ControlKind::Memo || control.kind() == ControlKind::ListView || control.kind() == ControlKind::Edit)
    return ::GetSysColor(COLOR_WINDOW);
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
      if (lParam != 0 && HIWORD(wParam) == EN_CHANGE && !pushing_) {
        // What the user typed goes to the model (its echo back finds the window up to date).
        const HWND edit = reinterpret_cast<HWND>(lParam);
        if (Control* c = ControlOf(edit); c && c->kind() == ControlKind::Edit) {
          std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(edit)) + 1, L'\0');
          text.resize(static_cast<std::size_t>(::GetWindowTextW(edit, text.data(), static_cast<int>(text.size()))));
          const std::u16string typed = Narrow16(std::wstring_view(text));
          if (Item* item = ItemOf(*c)) item->caption = typed;
          c->SetCaption(typed);
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
