#include "ui/win32/win32_ui.h"

#include <commctrl.h>

#include <algorithm>
#include <string>

#include "platform/text.h"
#include "platform/win32/system_library.h"
#include "platform/win32/wide.h"
#include "ui/vista_funcs.h"
#include "ui/win32/common_controls.h"
#include "ui/win32/form_window.h"
#include "ui/win32/session_end.h"
#include "ui/win32/window_support.h"

namespace trv::win32 {

void InitWin32Ui(HINSTANCE instance) {
  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof controls;
  controls.dwICC = ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES | ICC_TAB_CLASSES | ICC_PROGRESS_CLASS |
                   ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES;
  comctl::InitCommonControlsEx(&controls);
  RegisterWindowClasses(instance);
}

Win32Ui::Win32Ui() { InitWin32Ui(::GetModuleHandleW(nullptr)); }

Win32Ui::~Win32Ui() {
  for (auto& [form, window] : windows_) window->DestroyWindows(false);
  windows_.clear();
  for (auto& [key, font] : fonts_) ::DeleteObject(font);
  for (auto& [color, brush] : brushes_) ::DeleteObject(brush);
  if (uxtheme_) ::FreeLibrary(uxtheme_);
}

void Win32Ui::DestroyWindows() {
  for (auto& [form, window] : windows_) window->DestroyWindows(true);
}

FormWindow& Win32Ui::WindowOf(ui::Form& form) {
  auto& slot = windows_[&form];
  if (!slot) slot = std::make_unique<FormWindow>(*this, form);
  else slot->EnsureCreated();
  return *slot;
}

FormWindow* Win32Ui::WindowFromHandle(HWND anyWindowOfAForm) const {
  if (!anyWindowOfAForm) return nullptr;
  const HWND root = ::GetAncestor(anyWindowOfAForm, GA_ROOT);
  for (const auto& [form, window] : windows_)
    if (window->hwnd() && window->hwnd() == root) return window.get();
  return nullptr;
}

// --- showing forms --------------------------------------------------------------------------

void Win32Ui::Show(ui::Form& form) {
  FormWindow& window = WindowOf(form);
  if (!window.hwnd()) return;
  ::ShowWindow(window.hwnd(), SW_SHOW);
  // Paint now: during start-up no message loop runs yet, and a window shown
  // non-modally (the debug window) must show what it holds while work goes on.
  ::UpdateWindow(window.hwnd());
  form.SetVisibleState(true);
}

void Win32Ui::Hide(ui::Form& form) {
  const auto it = windows_.find(&form);
  if (it != windows_.end() && it->second->hwnd()) ::ShowWindow(it->second->hwnd(), SW_HIDE);
  form.SetVisibleState(false);
}

namespace {

struct DisabledWindows {
  HWND keep;
  std::vector<HWND> list;
};

BOOL CALLBACK DisableOne(HWND hwnd, LPARAM state) {
  auto* s = reinterpret_cast<DisabledWindows*>(state);
  if (hwnd != s->keep && ::IsWindowVisible(hwnd) && ::IsWindowEnabled(hwnd)) {
    ::EnableWindow(hwnd, FALSE);
    s->list.push_back(hwnd);
  }
  return TRUE;
}

} // namespace

int Win32Ui::ShowModal(ui::Form& form) {
  FormWindow& window = WindowOf(form);
  const HWND hwnd = window.hwnd();
  form.modal = true;
  form.modalResult = 0;
  window.closedByUser = false;
  // Owned by the active window of this program, so that it stays above it.
  const HWND active = ::GetActiveWindow();
  const HWND owner = (active && active != hwnd && WindowFromHandle(active) && ::IsWindowVisible(active)) ? active : nullptr;
  if (hwnd) ::SetWindowLongPtrW(hwnd, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner));

  form.FormShow();  // before the window becomes visible
  if (!terminated_ && hwnd && window.hwnd()) {
    DisabledWindows disabled{hwnd, {}};
    ::EnumThreadWindows(::GetCurrentThreadId(), &DisableOne, reinterpret_cast<LPARAM>(&disabled));
    ::ShowWindow(hwnd, SW_SHOW);
    ::SetForegroundWindow(hwnd);
    form.SetVisibleState(true);
    window.ApplyFocus();
    for (;;) {
      if (terminated_) break;
      if (form.modalResult != 0) {
        if (window.closedByUser) break;  // FormClose already ran
        // A handler set the modal result: the dialog closes unless FormClose refuses.
        ui::CloseAction action = ui::CloseAction::Hide;
        form.FormClose(action);
        if (action != ui::CloseAction::None) break;
        form.modalResult = 0;
        continue;
      }
      MSG msg;
      const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
      if (got == 0) {
        // WM_QUIT inside a modal loop: the outer loop must see it too.
        terminated_ = true;
        ::PostQuitMessage(static_cast<int>(msg.wParam));
        break;
      }
      if (got == -1) {
        terminated_ = true;
        break;
      }
      Dispatch(msg);
    }
    // Enable the others before hiding, so that activation returns to them.
    for (const HWND h : disabled.list)
      if (::IsWindow(h)) ::EnableWindow(h, TRUE);
    if (window.hwnd()) ::ShowWindow(window.hwnd(), SW_HIDE);
  }
  form.modal = false;
  form.SetVisibleState(false);
  return form.modalResult;
}

void Win32Ui::CloseRequested(FormWindow& window) {
  ui::Form& form = window.form();
  if (!form.closable) return;
  ui::CloseAction action = ui::CloseAction::Hide;
  form.FormClose(action);
  if (action == ui::CloseAction::None) return;
  if (form.modal) {
    form.modalResult = 2;  // mrCancel
    window.closedByUser = true;
  } else if (&form == mainForm_) {
    // Closing the main window ends the program.
    form.modalResult = 2;
    form.SetVisibleState(false);
    window.DestroyWindows(true);
    ::PostQuitMessage(0);
  } else {
    Hide(form);
  }
}

void Win32Ui::RunMessageLoop(ui::Form& mainForm) {
  mainForm_ = &mainForm;
  FormWindow& window = WindowOf(mainForm);
  mainForm.FormShow();  // the run flow, before the window becomes visible
  if (terminated_ || !window.hwnd()) return;
  ::ShowWindow(window.hwnd(), SW_SHOW);
  ::UpdateWindow(window.hwnd());
  ::SetForegroundWindow(window.hwnd());
  mainForm.SetVisibleState(true);
  window.ApplyFocus();
  MSG msg;
  while (!terminated_) {
    const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0 || got == -1) break;
    Dispatch(msg);
  }
}

void Win32Ui::Dispatch(MSG& msg) {
  if (msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST) {
    if (FormWindow* window = WindowFromHandle(msg.hwnd); window && window->PreTranslate(msg)) return;
  }
  ::TranslateMessage(&msg);
  ::DispatchMessageW(&msg);
}

void Win32Ui::Close(ui::Form& form) {
  // Through the window's own message, so that it arrives like the frame's button.
  if (const HWND hwnd = WindowOf(form).hwnd()) ::PostMessageW(hwnd, WM_CLOSE, 0, 0);
}

void Win32Ui::ProcessMessages() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      // Taken off the queue here, it must be posted again: the loop that called
      // the long command ends only when its own GetMessageW sees it.
      terminated_ = true;
      ::PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    Dispatch(msg);
  }
}

// --- the worker ------------------------------------------------------------------------------

namespace {
thread_local void* t_worker = nullptr;  // on a worker thread: its Worker
} // namespace

DWORD WINAPI Win32Ui::WorkerMain(void* param) {
  auto* w = static_cast<Worker*>(param);
  t_worker = w;
  try {
    (*w->work)();
  } catch (...) {
    w->workError = std::current_exception();
  }
  t_worker = nullptr;
  return 0;
}

void Win32Ui::RunWorker(const std::function<void()>& work, const std::function<void()>& idle) {
  if (worker_ || t_worker) {
    work();  // one worker at a time
    return;
  }
  Worker w;
  w.work = &work;
  w.callReady = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
  w.callDone = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
  worker_ = &w;
  if (w.callReady && w.callDone) w.thread = ::CreateThread(nullptr, 0, &Win32Ui::WorkerMain, &w, 0, nullptr);
  if (w.thread) {
    DWORD lastIdle = ::GetTickCount();
    for (;;) {
      const DWORD since = ::GetTickCount() - lastIdle;
      if (since >= kIdleMs) {
        lastIdle = ::GetTickCount();
        // A fault here cannot leave the loop: the worker still uses it. As in a window's handler, it ends the process.
        try {
          if (idle) idle();
        } catch (const std::exception& e) {
          Fatal(e.what());
        } catch (...) {
          Fatal("unknown exception");
        }
        continue;
      }
      HANDLE waits[2] = {w.thread, w.callReady};
      // Once the program is asked to end, window messages are left alone (WM_QUIT stays queued).
      const DWORD r = terminated_ ? ::WaitForMultipleObjects(2, waits, FALSE, kIdleMs - since)
                                  : ::MsgWaitForMultipleObjects(2, waits, FALSE, kIdleMs - since, QS_ALLINPUT);
      if (r == WAIT_OBJECT_0) break;  // the work has returned
      if (r == WAIT_OBJECT_0 + 1) ServeCall();
      else if (r == WAIT_OBJECT_0 + 2) ProcessMessages();
      else if (r == WAIT_FAILED) ::Sleep(1);
    }
    ::CloseHandle(w.thread);
  }
  worker_ = nullptr;
  if (w.callReady) ::CloseHandle(w.callReady);
  if (w.callDone) ::CloseHandle(w.callDone);
  if (!w.thread) {
    work();  // no thread could be made: the work runs here, as before
    return;
  }
  if (w.workError) std::rethrow_exception(w.workError);
}

void Win32Ui::ServeCall() {
  Worker& w = *worker_;
  w.parked = true;
  try {
    (*w.call)();
  } catch (...) {
    w.callError = std::current_exception();
  }
  w.parked = false;
  ::SetEvent(w.callDone);
}

void Win32Ui::CallOnWindowThread(const std::function<void()>& call) {
  auto* w = static_cast<Worker*>(t_worker);
  if (!w) {
    call();
    return;
  }
  w->call = &call;
  ::SetEvent(w->callReady);
  ::WaitForSingleObject(w->callDone, INFINITE);
  w->call = nullptr;
  if (w->callError) {
    const std::exception_ptr error = w->callError;
    w->callError = nullptr;
    std::rethrow_exception(error);
  }
}

win::Handle Win32Ui::WorkerThread() const {
  return worker_ && worker_->thread ? reinterpret_cast<win::Handle>(worker_->thread) : 0;
}

void Win32Ui::ServeWorkerUntil(const std::function<bool()>& done, std::uint32_t milliseconds) {
  Worker* w = worker_;
  if (!w || !w->thread || w->parked || t_worker) return;  // a parked worker cannot call
  const DWORD start = ::GetTickCount();
  while (!done()) {
    const DWORD passed = ::GetTickCount() - start;
    if (passed >= milliseconds) return;
    HANDLE waits[2] = {w->thread, w->callReady};
    if (::WaitForMultipleObjects(2, waits, FALSE, milliseconds - passed) != WAIT_OBJECT_0 + 1) return;
    ServeCall();
  }
}

void Win32Ui::SetShutdownBlockReason(ui::Form& form, std::u16string_view reason) {
  blockReasons_.emplace_back(&form, reason);
  win32::SetShutdownBlockReason(WindowOf(form).hwnd(), reason);
}

void Win32Ui::Terminate() {
  terminated_ = true;
  ::PostQuitMessage(0);
}

void Win32Ui::ExitProcess(unsigned code) { ::ExitProcess(code); }

[[noreturn]] void Win32Ui::Fatal(const char* what) {
  const std::wstring text = L"Internal error: " + Wide(Utf8ToUtf16(what ? what : ""));
  ::MessageBoxW(nullptr, text.c_str(), L"Trevasso", MB_OK | MB_ICONERROR | MB_TASKMODAL);
  ::ExitProcess(3);
}

// --- boxes and dialogs ------------------------------------------------------------------------

// A box disables only its owner while it is up; a box without one leaves every
// window of the program usable behind it (a second click opens a second box),
// so it is made task-modal instead, which disables the thread's windows.
namespace {
UINT BoxModality(HWND owner) { return owner ? 0 : MB_TASKMODAL; }
} // namespace

int Win32Ui::MessageBox(win::WindowHandle owner, std::u16string_view text, std::u16string_view caption,
                        std::uint32_t flags) {
  const std::wstring t = Wide(text), c = Wide(caption);
  const HWND ownerWindow = reinterpret_cast<HWND>(owner);
  return ::MessageBoxW(ownerWindow, t.c_str(), c.c_str(), flags | BoxModality(ownerWindow));
}

namespace {

// The message dialog is a system message box whose button set covers the
// buttons asked for; the ones not asked for are hidden while the box opens
// (a CBT hook), and the rest move right to close the gap. So Yes + Cancel is a
// Yes/No/Cancel box without its No button.
struct ButtonSet {
  UINT style;
  int ids[3];
};
constexpr ButtonSet kButtonSets[] = {
    {MB_OK, {IDOK, 0, 0}},
    {MB_OKCANCEL, {IDOK, IDCANCEL, 0}},
    {MB_YESNO, {IDYES, IDNO, 0}},
    {MB_RETRYCANCEL, {IDRETRY, IDCANCEL, 0}},
    {MB_YESNOCANCEL, {IDYES, IDNO, IDCANCEL}},
    {MB_ABORTRETRYIGNORE, {IDABORT, IDRETRY, IDIGNORE}},
};

int IdOf(unsigned flag) {
  switch (flag) {
    case ui::kDlgYes: return IDYES;
    case ui::kDlgNo: return IDNO;
    case ui::kDlgOk: return IDOK;
    case ui::kDlgCancel: return IDCANCEL;
    case ui::kDlgAbort: return IDABORT;
    case ui::kDlgRetry: return IDRETRY;
    default: return 0;
  }
}

struct BoxHook {
  HHOOK hook = nullptr;
  const ButtonSet* set = nullptr;
  bool keep[3] = {true, true, true};
};
thread_local BoxHook* g_boxHook = nullptr;

LRESULT CALLBACK TrimButtons(int code, WPARAM wParam, LPARAM lParam) {
  BoxHook* state = g_boxHook;
  if (!state) return 0;
  const HHOOK hook = state->hook;
  wchar_t className[16] = {};
  if (code == HCBT_ACTIVATE) ::GetClassNameW(reinterpret_cast<HWND>(wParam), className, 16);
  // Only the message box itself, once it has its buttons.
  if (code == HCBT_ACTIVATE && std::wstring(className) == L"#32770" &&
      ::GetDlgItem(reinterpret_cast<HWND>(wParam), state->set->ids[0])) {
    const HWND box = reinterpret_cast<HWND>(wParam);
    RECT slots[3];
    HWND buttons[3] = {};
    int count = 0;
    for (int i = 0; i < 3 && state->set->ids[i]; ++i) {
      buttons[i] = ::GetDlgItem(box, state->set->ids[i]);
      if (!buttons[i]) continue;
      ::GetWindowRect(buttons[i], &slots[i]);
      ::MapWindowPoints(nullptr, box, reinterpret_cast<POINT*>(&slots[i]), 2);
      count = i + 1;
    }
    // Kept buttons take the right-most slots, in their order.
    int slot = count - 1;
    for (int i = count - 1; i >= 0; --i) {
      if (!buttons[i]) continue;
      if (!state->keep[i]) {
        ::ShowWindow(buttons[i], SW_HIDE);
        continue;
      }
      ::SetWindowPos(buttons[i], nullptr, slots[slot].left, slots[slot].top, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
      --slot;
    }
    ::UnhookWindowsHookEx(hook);
    state->hook = nullptr;
    g_boxHook = nullptr;
    return 0;
  }
  return ::CallNextHookEx(hook, code, wParam, lParam);
}

} // namespace

int Win32Ui::MessageDialog(std::u16string_view text, ui::DialogType type, unsigned buttons) {
  UINT icon = 0;
  std::u16string caption;
  switch (type) {
    case ui::DialogType::Warning: icon = MB_ICONWARNING; caption = u"Warning"; break;
    case ui::DialogType::Error: icon = MB_ICONERROR; caption = u"Error"; break;
    case ui::DialogType::Information: icon = MB_ICONINFORMATION; caption = u"Information"; break;
    case ui::DialogType::Confirmation: icon = MB_ICONQUESTION; caption = u"Confirm"; break;
    case ui::DialogType::Custom: caption = appTitle_; break;
  }
  if (buttons == 0) buttons = ui::kDlgOk;
  // The smallest system set that has every button asked for. None has, e.g.,
  // Yes together with OK: then Yes/No/Cancel is shown as it is.
  const ButtonSet* chosen = nullptr;
  for (const ButtonSet& set : kButtonSets) {
    unsigned covered = 0;
    for (unsigned flag = 1; flag <= ui::kDlgRetry; flag <<= 1)
      if ((buttons & flag) && std::count(std::begin(set.ids), std::end(set.ids), IdOf(flag))) covered |= flag;
    if (covered == buttons) {
      chosen = &set;
      break;
    }
  }
  BoxHook hook;
  hook.set = chosen ? chosen : &kButtonSets[4];
  bool trim = false;
  for (int i = 0; i < 3 && hook.set->ids[i]; ++i) {
    bool wanted = !chosen;
    for (unsigned flag = 1; flag <= ui::kDlgRetry && !wanted; flag <<= 1)
      if ((buttons & flag) && IdOf(flag) == hook.set->ids[i]) wanted = true;
    hook.keep[i] = wanted;
    if (!wanted) trim = true;
  }
  if (trim) {
    hook.hook = ::SetWindowsHookExW(WH_CBT, &TrimButtons, nullptr, ::GetCurrentThreadId());
    g_boxHook = &hook;
  }
  const std::wstring t = Wide(text), c = Wide(caption);
  const HWND owner = ::GetActiveWindow();
  const int answer = ::MessageBoxW(owner, t.c_str(), c.c_str(), hook.set->style | icon | BoxModality(owner));
  if (hook.hook) ::UnhookWindowsHookEx(hook.hook);
  g_boxHook = nullptr;
  return answer;
}

namespace {

// With no module handle, TaskDialog takes only no icon or one of the system's
// TD_*_ICON identifiers; the program's icon codes name those four.
PCWSTR TaskDialogIcon(std::int32_t code) {
  switch (code) {
    case ui::kTdInformationIcon: return MAKEINTRESOURCEW(-3);  // TD_INFORMATION_ICON
    case ui::kTdWarningIcon: return MAKEINTRESOURCEW(-1);      // TD_WARNING_ICON
    case ui::kTdErrorIcon: return MAKEINTRESOURCEW(-2);        // TD_ERROR_ICON
    case ui::kTdShieldIcon: return MAKEINTRESOURCEW(-4);       // TD_SHIELD_ICON
    default: return nullptr;
  }
}

} // namespace

std::int32_t Win32Ui::CallTaskDialog(win::ProcAddress entry, win::WindowHandle owner, std::u16string_view title,
                                     std::u16string_view instruction, std::u16string_view content,
                                     std::int32_t buttons, std::int32_t icon, std::int32_t* pressed) {
  using TaskDialogFn = HRESULT(WINAPI*)(HWND, HINSTANCE, PCWSTR, PCWSTR, PCWSTR, int, PCWSTR, int*);
  // The dialog is this process's own: the one of the common controls it runs
  // with. `entry` says the program found one, and on a simulated PC it is not
  // an address in this process.
  (void)entry;
  const HMODULE comctl = ::GetModuleHandleW(L"comctl32.dll");
  const auto taskDialog = comctl ? reinterpret_cast<TaskDialogFn>(reinterpret_cast<void (*)()>(::GetProcAddress(comctl, "TaskDialog"))) : nullptr;
  if (!taskDialog) {
    if (pressed) *pressed = 0;
    return static_cast<std::int32_t>(E_NOTIMPL);
  }
  const std::wstring t = Wide(title), i = Wide(instruction), c = Wide(content);
  int button = 0;
  const HRESULT result = taskDialog(reinterpret_cast<HWND>(owner), nullptr, t.c_str(), i.c_str(), c.c_str(), buttons,
                                    TaskDialogIcon(icon), &button);
  if (pressed) *pressed = button;
  return result;
}

// --- shared GDI objects and themes -------------------------------------------------------------

HFONT Win32Ui::FontFor(const ui::Font& font, UINT dpi) {
  const int height = MulDiv(font.height, static_cast<int>(dpi), 96);
  const std::u16string face = font.name.empty() ? std::u16string(u"Tahoma") : font.name;
  auto& slot = fonts_[{face, height, font.bold, font.underline}];
  if (!slot) {
    const std::wstring name = Wide(face);
    slot = ::CreateFontW(height, 0, 0, 0, font.bold ? FW_BOLD : FW_NORMAL, FALSE, font.underline ? TRUE : FALSE, FALSE,
                         DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                         DEFAULT_PITCH | FF_DONTCARE, name.c_str());
  }
  return slot;
}

HBRUSH Win32Ui::BrushFor(COLORREF color) {
  auto& slot = brushes_[color];
  if (!slot) slot = ::CreateSolidBrush(color);
  return slot;
}

HMODULE Win32Ui::ThemeLibrary() {
  if (!uxthemeTried_) {
    uxthemeTried_ = true;
    uxtheme_ = LoadSystemLibrary(L"uxtheme.dll");  // no KnownDLL: from the system folder only
  }
  return uxtheme_;
}

void Win32Ui::SetTheme(HWND hwnd, const std::u16string& subApp) {
  const HMODULE uxtheme = ThemeLibrary();
  if (!uxtheme) return;
  using SetWindowThemeFn = HRESULT(WINAPI*)(HWND, LPCWSTR, LPCWSTR);
  const auto setWindowTheme = ProcAs<SetWindowThemeFn>(::GetProcAddress(uxtheme, "SetWindowTheme"));
  if (!setWindowTheme) return;
  const std::wstring name = Wide(subApp);
  setWindowTheme(hwnd, name.c_str(), nullptr);
}

bool Win32Ui::ThemesActive() {
  const HMODULE uxtheme = ThemeLibrary();
  if (!uxtheme) return false;
  using BoolFn = BOOL(WINAPI*)();
  const auto isAppThemed = ProcAs<BoolFn>(::GetProcAddress(uxtheme, "IsAppThemed"));
  const auto isThemeActive = ProcAs<BoolFn>(::GetProcAddress(uxtheme, "IsThemeActive"));
  return isAppThemed && isThemeActive && isAppThemed() && isThemeActive();
}

} // namespace trv::win32
