#include "ui/win32/window_support.h"

#include "ui/win32/form_window.h"

namespace trv::win32 {

namespace {

FARPROC User32Entry(const char* name) {
  const HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
  return user32 ? ::GetProcAddress(user32, name) : nullptr;
}

} // namespace

void RegisterWindowClasses(HINSTANCE instance) {
  static bool registered = false;
  if (registered) return;
  registered = true;
  const HICON big = static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(kAppIconId), IMAGE_ICON,
                                                    ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON), 0));
  const HICON small = static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(kAppIconId), IMAGE_ICON,
                                                      ::GetSystemMetrics(SM_CXSMICON),
                                                      ::GetSystemMetrics(SM_CYSMICON), 0));
  WNDCLASSEXW form{};
  form.cbSize = sizeof form;
  form.style = CS_DBLCLKS;
  form.lpfnWndProc = &FormWindow::WindowProc;
  form.hInstance = instance;
  form.hIcon = big ? big : ::LoadIconW(nullptr, MAKEINTRESOURCEW(32512));  // IDI_APPLICATION
  form.hIconSm = small;
  form.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));         // IDC_ARROW
  form.lpszClassName = kFormClass;
  ::RegisterClassExW(&form);

  WNDCLASSEXW panel = form;
  panel.hIcon = nullptr;
  panel.hIconSm = nullptr;
  panel.lpszClassName = kPanelClass;
  ::RegisterClassExW(&panel);
}

UINT WindowDpi(HWND hwnd) {
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  static const auto getDpiForWindow = ProcAs<GetDpiForWindowFn>(User32Entry("GetDpiForWindow"));
  if (getDpiForWindow && hwnd) {
    if (const UINT dpi = getDpiForWindow(hwnd)) return dpi;
  }
  const HDC screen = ::GetDC(nullptr);
  const int dpi = ::GetDeviceCaps(screen, LOGPIXELSX);
  ::ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

void AdjustFrameForDpi(RECT& rect, DWORD style, DWORD exStyle, UINT dpi) {
  using AdjustForDpiFn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
  static const auto adjustForDpi = ProcAs<AdjustForDpiFn>(User32Entry("AdjustWindowRectExForDpi"));
  if (adjustForDpi && adjustForDpi(&rect, style, FALSE, exStyle, dpi)) return;
  ::AdjustWindowRectEx(&rect, style, FALSE, exStyle);
}

} // namespace trv::win32
