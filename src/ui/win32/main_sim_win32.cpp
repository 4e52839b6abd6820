// trevasso-sim.exe: the real Windows front end on a simulated PC. The scenario
// comes from the file named by TREVASSO_SCENARIO (else the built-in PC named by
// TREVASSO_PC, "default" when unset);
// files the program writes persist in TREVASSO_STATE, else in
// %LOCALAPPDATA%\Trevasso-sim, else next to the program.
#include "platform/win32/windows_headers.h"

#include <shellapi.h>
#include <shlobj.h>

#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include "app/app.h"
#include "platform/sim/built_in_pcs.h"
#include "platform/sim/scenario.h"
#include "platform/sim/sim_platform.h"
#include "platform/text.h"
#include "platform/win32/dll_search.h"
#include "platform/win32/process_arguments.h"
#include "platform/win32/wide.h"
#include "ui/win32/program_entry.h"
#include "ui/win32/shared_sim_pc.h"

namespace {

std::wstring Environment(const wchar_t* name) {
  const DWORD size = ::GetEnvironmentVariableW(name, nullptr, 0);
  if (size == 0) return {};
  std::wstring value(size, L'\0');
  const DWORD got = ::GetEnvironmentVariableW(name, value.data(), size);
  value.resize(got);
  return value;
}

std::string Utf8(const std::wstring& s) { return trv::Utf16ToUtf8(trv::win32::Narrow16(s)); }

// The whole file as bytes; throws a scenario error naming the file.
std::string ReadWholeFile(const std::wstring& path) {
  const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) throw trv::sim::ScenarioError(Utf8(path) + ": cannot open the scenario file");
  std::string text;
  char buffer[65536];
  DWORD got = 0;
  while (::ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) text.append(buffer, got);
  ::CloseHandle(file);
  return text;
}

std::wstring ProgramFolder() {
  wchar_t path[MAX_PATH] = {};
  const DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path, n);
  const std::size_t slash = folder.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring(L".") : folder.substr(0, slash);
}

// The folder is created here and handed over by its wide path as it is, so that
// any name (non-ASCII included) works.
std::filesystem::path StateFolder() {
  std::wstring folder = Environment(L"TREVASSO_STATE");
  if (folder.empty()) {
    wchar_t local[MAX_PATH] = {};
    if (SUCCEEDED(::SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, local)))
      folder = std::wstring(local) + L"\\Trevasso-sim";
    else
      folder = ProgramFolder() + L"\\Trevasso-sim-state";
  }
  ::SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
  return std::filesystem::path(folder);
}

// What happened to the simulated disks, for whoever drove the session
// (TREVASSO_REPORT names the file).
void WriteDiskReport(const trv::sim::SimPlatform& platform) {
  const std::wstring path = Environment(L"TREVASSO_REPORT");
  if (path.empty()) return;
  const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  const std::string text = platform.DiskChanges();
  DWORD written = 0;
  ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  ::CloseHandle(file);
}

void ShowError(const std::string& text) {
  const std::wstring t = trv::win32::Wide(trv::Utf8ToUtf16(text));
  ::MessageBoxW(nullptr, t.c_str(), L"Trevasso simulator", MB_OK | MB_ICONERROR | MB_TASKMODAL);
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  trv::win32::HardenDllSearch();
  std::vector<std::u16string> arguments = trv::win32::ProcessArguments();
  trv::sim::Scenario scenario;
  try {
    const std::wstring path = Environment(L"TREVASSO_SCENARIO");
    if (path.empty()) {
      // A built-in demonstration PC (TREVASSO_PC: default or modern): its clock is the real one.
      const std::wstring pc = Environment(L"TREVASSO_PC");
      scenario = trv::sim::BuiltInScenario(pc.empty() ? "default" : Utf8(pc));
      trv::sim::FollowHostClock(scenario);
    } else {
      scenario = trv::sim::ParseScenario(ReadWholeFile(path), Utf8(path));
    }
  } catch (const std::exception& e) {
    ShowError(std::string("The scenario cannot be used:\n") + e.what());
    return 2;
  }
  try {
    trv::sim::SimPlatform platform(std::move(scenario), StateFolder());
    int code = 0;
    {
      trv::win32::SharedSimPc shared(platform);  // the window thread and the erase's worker
      code = trv::win32::RunWithWindows(shared.platform(), std::move(arguments));
    }
    WriteDiskReport(platform);
    return code;
  } catch (const std::exception& e) {
    ShowError(std::string("Internal error: ") + e.what());
    return 3;
  }
}
