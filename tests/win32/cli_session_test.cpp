// trevasso-cli-sim.exe as Windows ends the session during an erase (under
// Wine, on a virtual display): the console program loads user32, so it hears
// log-off and shutdown only through its hidden top-level window. It refuses
// the log-off while it writes, and when the session ends anyway it stops the
// run and saves the record before WM_ENDSESSION returns.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include <nlohmann/json.hpp>

#include "platform/sim/built_in_pcs.h"
#include "platform/win32/windows_headers.h"

namespace {

namespace fs = std::filesystem;

// A Unix path of the build as Wine names it.
std::wstring WinePath(const std::string& unix) {
  std::wstring out = L"Z:";
  for (char c : unix) out += c == '/' ? L'\\' : static_cast<wchar_t>(c);
  return out;
}

// The default PC on the real clock, its disk 1 a plain 8 GiB disk at 20 MB/s:
// a full erase runs for minutes.
std::string SlowDiskScenario() {
  nlohmann::json pc = nlohmann::json::parse(trv::sim::DefaultScenarioJson());
  pc["clock"] = {{"mode", "real"}};
  pc["drives"][1] = {{"number", 1},
                     {"bus", 11},
                     {"sectors", 16'777'216},
                     {"device", {{"vendor", "ACME"}, {"product", "TestDisk 1"}, {"revision", "1.0"}, {"serial", "S1"}}},
                     {"media", {{"megabytesPerSecond", 20}}}};
  return pc.dump();
}

struct Found {
  DWORD pid;
  HWND window;
};

BOOL CALLBACK FindSessionWindow(HWND hwnd, LPARAM param) {
  auto& found = *reinterpret_cast<Found*>(param);
  DWORD pid = 0;
  ::GetWindowThreadProcessId(hwnd, &pid);
  wchar_t name[64] = {};
  ::GetClassNameW(hwnd, name, 64);
  if (pid == found.pid && std::wstring(name) == L"TrevassoCliSession") {
    found.window = hwnd;
    return FALSE;
  }
  return TRUE;
}

std::string FileText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(CliSession, TheHiddenWindowRefusesTheLogOffAndSavesTheRecordWhenTheSessionEnds) {
  const fs::path work = fs::temp_directory_path() / ("trevasso-cli-session-" + std::to_string(::GetCurrentProcessId()));
  std::error_code ec;
  fs::remove_all(work, ec);
  fs::create_directories(work / "state");
  std::ofstream(work / "pc.json") << SlowDiskScenario();

  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  const HANDLE err = ::CreateFileW((work / "err.txt").wstring().c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                   CREATE_ALWAYS, 0, nullptr);
  const HANDLE out = ::CreateFileW((work / "out.txt").wstring().c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                   CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(err, INVALID_HANDLE_VALUE);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = out;
  si.hStdError = err;
  const std::wstring program = WinePath(TREVASSO_CLI_SIM);
  std::wstring line = L"\"" + program + L"\" --scenario \"" + (work / "pc.json").wstring() + L"\" --state \"" +
                      (work / "state").wstring() + L"\" erase 1 --full --confirm-serial S1 --json";
  PROCESS_INFORMATION pi{};
  ASSERT_TRUE(::CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                               &si, &pi));
  ::CloseHandle(out);
  ::CloseHandle(err);

  // Once the disk is written, the program's hidden window is there to ask.
  Found found{pi.dwProcessId, nullptr};
  for (int i = 0; i < 600 && (!found.window || FileText(work / "err.txt").find("Formatting... ") == std::string::npos); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    found.window = nullptr;
    ::EnumWindows(FindSessionWindow, reinterpret_cast<LPARAM>(&found));
  }
  ASSERT_NE(found.window, nullptr) << FileText(work / "err.txt");
  std::this_thread::sleep_for(std::chrono::milliseconds(500));

  DWORD_PTR answer = 1;
  ASSERT_NE(::SendMessageTimeoutW(found.window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL, 5000, &answer), 0);
  EXPECT_EQ(answer, static_cast<DWORD_PTR>(FALSE)) << "a log-off during the erase is refused";

  // The session ends anyway: when WM_ENDSESSION returns, the record is on disk.
  ASSERT_NE(::SendMessageTimeoutW(found.window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_NORMAL, 10000, &answer), 0);
  std::string record;
  for (const auto& entry : fs::recursive_directory_iterator(work / "state"))
    if (entry.path().extension() == ".json") record = FileText(entry.path());
  ASSERT_FALSE(record.empty()) << FileText(work / "err.txt");
  const auto saved = nlohmann::json::parse(record);
  EXPECT_EQ(saved["outcome"], "cancelled");
  EXPECT_GT(saved["bytes_written"].get<std::int64_t>(), 0);

  // Nobody ended the process here: the run returns, stopped, with exit code 7.
  ASSERT_EQ(::WaitForSingleObject(pi.hProcess, 30'000), WAIT_OBJECT_0);
  DWORD code = 0;
  ::GetExitCodeProcess(pi.hProcess, &code);
  EXPECT_EQ(code, 7u) << FileText(work / "err.txt");
  EXPECT_NE(FileText(work / "err.txt").find("Windows is ending the session"), std::string::npos);
  ::CloseHandle(pi.hThread);
  ::CloseHandle(pi.hProcess);
  fs::remove_all(work, ec);  // Wine may hold the program's output files a moment longer
}

} // namespace
