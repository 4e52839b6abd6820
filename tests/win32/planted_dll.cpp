// A stand-in for a DLL an attacker drops beside the program: when anything
// loads it, it leaves a file "<its own path>.loaded" behind and loads no further.
#include <windows.h>

#include <string>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  wchar_t path[MAX_PATH] = {};
  const DWORD n = ::GetModuleFileNameW(self, path, MAX_PATH);
  const std::wstring marker = std::wstring(path, n) + L".loaded";
  const HANDLE file = ::CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file != INVALID_HANDLE_VALUE) ::CloseHandle(file);
  return FALSE;  // the load fails: nothing of it stays in the process
}
