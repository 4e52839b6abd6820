#include "ui/win32/common_controls.h"

#include "platform/win32/system_library.h"

namespace trv::win32::comctl {

namespace {

struct Entries {
  decltype(&::InitCommonControlsEx) initCommonControlsEx = nullptr;
  decltype(&::SetWindowSubclass) setWindowSubclass = nullptr;
  decltype(&::RemoveWindowSubclass) removeWindowSubclass = nullptr;
  decltype(&::DefSubclassProc) defSubclassProc = nullptr;
};

template <class Fn>
Fn Entry(HMODULE module, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

// Loaded once and kept for the life of the process, as an import would be.
const Entries& Library() {
  static const Entries entries = [] {
    Entries e;
    if (const HMODULE module = LoadCommonControls()) {
      e.initCommonControlsEx = Entry<decltype(e.initCommonControlsEx)>(module, "InitCommonControlsEx");
      e.setWindowSubclass = Entry<decltype(e.setWindowSubclass)>(module, "SetWindowSubclass");
      e.removeWindowSubclass = Entry<decltype(e.removeWindowSubclass)>(module, "RemoveWindowSubclass");
      e.defSubclassProc = Entry<decltype(e.defSubclassProc)>(module, "DefSubclassProc");
    }
    return e;
  }();
  return entries;
}

} // namespace

BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* controls) {
  const auto call = Library().initCommonControlsEx;
  return call ? call(controls) : FALSE;
}

BOOL SetWindowSubclass(HWND hwnd, SUBCLASSPROC proc, UINT_PTR id, DWORD_PTR data) {
  const auto call = Library().setWindowSubclass;
  return call ? call(hwnd, proc, id, data) : FALSE;
}

BOOL RemoveWindowSubclass(HWND hwnd, SUBCLASSPROC proc, UINT_PTR id) {
  const auto call = Library().removeWindowSubclass;
  return call ? call(hwnd, proc, id) : FALSE;
}

LRESULT DefSubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  const auto call = Library().defSubclassProc;
  return call ? call(hwnd, message, wParam, lParam) : ::DefWindowProcW(hwnd, message, wParam, lParam);
}

} // namespace trv::win32::comctl
