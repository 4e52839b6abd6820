#include "platform/win32/system_library.h"

#include <string>

namespace trv::win32 {

namespace {

// Values of <libloaderapi.h> that older headers lack.
constexpr DWORD kLoadLibrarySearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32

FARPROC Kernel32Entry(const char* name) {
  const HMODULE kernel32 = ::GetModuleHandleW(L"kernel32.dll");
  return kernel32 ? ::GetProcAddress(kernel32, name) : nullptr;
}

// The LOAD_LIBRARY_SEARCH_* flags came with SetDefaultDllDirectories (Windows 8,
// or Vista/7 with KB2533623); Microsoft's test for them is this entry point.
bool SearchFlagsSupported() { return Kernel32Entry("SetDefaultDllDirectories") != nullptr; }

std::wstring SystemFolder() {
  wchar_t path[MAX_PATH] = {};
  const UINT n = ::GetSystemDirectoryW(path, MAX_PATH);
  return (n == 0 || n >= MAX_PATH) ? std::wstring() : std::wstring(path, n);
}

} // namespace

void HardenDllSearch() {
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  if (const FARPROC entry = Kernel32Entry("SetDefaultDllDirectories"))
    reinterpret_cast<SetDefaultDllDirectoriesFn>(reinterpret_cast<void*>(entry))(kLoadLibrarySearchSystem32);
  // Also on systems without the call above: no current folder in the search.
  ::SetDllDirectoryW(L"");
}

HMODULE LoadSystemLibrary(const wchar_t* name) {
  if (::lstrcmpiW(name, L"comctl32.dll") == 0) return LoadCommonControls();  // by its own rules
  HMODULE module = nullptr;
  if (::GetModuleHandleExW(0, name, &module) && module) return module;
  if (SearchFlagsSupported()) return ::LoadLibraryExW(name, nullptr, kLoadLibrarySearchSystem32);
  const std::wstring folder = SystemFolder();
  if (folder.empty()) return nullptr;
  const std::wstring path = folder + L"\\" + name;
  // Its own dependencies are then looked up beside it, in the system folder.
  return ::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

HMODULE LoadCommonControls() {
  HMODULE module = nullptr;
  if (::GetModuleHandleExW(0, L"comctl32.dll", &module) && module) return module;
  // The bare name, so that the manifest's redirection to version 6 applies.
  if (SearchFlagsSupported()) return ::LoadLibraryExW(L"comctl32.dll", nullptr, kLoadLibrarySearchSystem32);
  LoadSystemLibrary(L"uxtheme.dll");  // kept loaded for comctl32's use
  return ::LoadLibraryW(L"comctl32.dll");
}

} // namespace trv::win32
