// The Windows console for trevasso-cli: wide characters to a console (so that
// any serial and the Chinese log lines show as they are, whatever the code
// page), UTF-8 to a pipe or file, and Ctrl+C / Ctrl+Break as the Stop button.
// Closing the console, logging off and shutting down stop an erase too, with
// its record saved first. The program loads user32, so Windows tells it of
// log-off and shutdown only through a top-level window of its own
// (WM_QUERYENDSESSION, WM_ENDSESSION), never with CTRL_LOGOFF_EVENT or
// CTRL_SHUTDOWN_EVENT: a hidden window on a thread of its own hears them.
#include "platform/win32/windows_headers.h"

#include <algorithm>
#include <atomic>
#include <string>

#include "cli/cli_host.h"
#include "cli/console_erase.h"
#include "platform/text.h"
#include "platform/win32/critical_section.h"
#include "platform/win32/wide.h"

namespace trv::cli {

namespace {

std::atomic<bool> interrupted{false};
std::atomic<ConsoleErase*> erasing{nullptr};
// Signalled while no erase runs, and again once an erase has returned with its
// record saved; a closing console waits for it.
HANDLE eraseDone = nullptr;
HWND sessionWindow = nullptr;

// Windows ends the process when the handler of a close returns, and after
// about five seconds if it does not: the waits stay inside that.
constexpr DWORD kRecordWaitMs = 4'500;
constexpr wchar_t kSessionWindowClass[] = L"TrevassoCliSession";
// Sent to the hidden window to set (wParam 1) or take away (0) the reason a
// log-off is refused: ShutdownBlockReasonCreate takes only the window's own thread.
constexpr UINT kSetBlockReason = WM_APP + 1;
constexpr wchar_t kBlockReason[] =
    L"trevasso-cli is erasing a disk. Logging off or shutting down now leaves it partly erased; wait for the erase "
    L"to end, or press Ctrl+C in its console first.";
// A purge cannot be stopped: the drive goes on whatever the program does.
constexpr wchar_t kPurgeBlockReason[] =
    L"trevasso-cli is purging a disk with the disk's own firmware, which cannot be stopped. Do not log off, shut down "
    L"or power off until it has ended: its record is saved then.";

void SleepMs(std::uint32_t ms) { ::Sleep(ms); }

// Stops the erase (if one runs) and returns once its record is saved.
void EndErase() {
  if (ConsoleErase* erase = erasing.load()) {
    interrupted = true;
    erase->EndNow(SleepMs);
  }
}

// ShutdownBlockReasonCreate / Destroy are Vista and later: looked up at run
// time, so that the program still starts on Windows XP, which refuses the
// log-off on the FALSE answer alone.
void SetBlockReason(HWND hwnd, bool on) {
  const HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
  if (!user32) return;
  if (on) {
    using Create = BOOL(WINAPI*)(HWND, LPCWSTR);
    const ConsoleErase* erase = erasing.load();
    const wchar_t* reason = erase && erase->Purging() ? kPurgeBlockReason : kBlockReason;
    if (const auto create = reinterpret_cast<Create>(reinterpret_cast<void*>(::GetProcAddress(user32, "ShutdownBlockReasonCreate"))))
      create(hwnd, reason);
  } else {
    using Destroy = BOOL(WINAPI*)(HWND);
    if (const auto destroy = reinterpret_cast<Destroy>(reinterpret_cast<void*>(::GetProcAddress(user32, "ShutdownBlockReasonDestroy"))))
      destroy(hwnd);
  }
}

LRESULT CALLBACK SessionWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_QUERYENDSESSION:
      // Refused while a disk is written: Windows shows the reason and lets the user decide.
      return erasing.load() ? FALSE : TRUE;
    case WM_ENDSESSION:
      // The session ends anyway: the process may be ended as soon as this returns.
      if (wParam) EndErase();
      return 0;
    case kSetBlockReason:
      SetBlockReason(hwnd, wParam != 0);
      return 0;
    default:
      return ::DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

// The hidden window's thread: makes the window, says so, and serves it.
DWORD WINAPI SessionWindowThread(LPVOID ready) {
  const HINSTANCE instance = ::GetModuleHandleW(nullptr);
  WNDCLASSW wc{};
  wc.lpfnWndProc = SessionWindowProc;
  wc.hInstance = instance;
  wc.lpszClassName = kSessionWindowClass;
  ::RegisterClassW(&wc);
  // A top-level window, never shown: a message-only window hears no broadcast.
  sessionWindow = ::CreateWindowExW(0, kSessionWindowClass, L"trevasso-cli", WS_OVERLAPPED, 0, 0, 0, 0, nullptr,
                                    nullptr, instance, nullptr);
  ::SetEvent(static_cast<HANDLE>(ready));
  if (!sessionWindow) return 1;
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  return 0;
}

void StartSessionWindow() {
  const HANDLE ready = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (!ready) return;
  DWORD id = 0;
  if (const HANDLE thread = ::CreateThread(nullptr, 0, SessionWindowThread, ready, 0, &id)) {
    ::WaitForSingleObject(ready, 5'000);
    ::CloseHandle(thread);  // it runs as long as the process
  }
  ::CloseHandle(ready);
}

BOOL WINAPI OnConsoleControl(DWORD event) {
  if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) {
    // The console window closed (log-off and shutdown come here only where
    // user32 is not loaded): during an erase that is its end, record first;
    // then the run is given what is left of the time to return.
    if (!erasing.load()) return FALSE;
    const DWORD start = ::GetTickCount();
    EndErase();
    const DWORD spent = ::GetTickCount() - start;
    if (eraseDone && spent < kRecordWaitMs) ::WaitForSingleObject(eraseDone, kRecordWaitMs - spent);
    return TRUE;
  }
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  // The first press during an erase is its Stop: the run ends after its current
  // block instead of the process dying mid-write. Otherwise, and when a stuck
  // disk keeps the block from ending, the next handler ends the process.
  if (!erasing.load() || interrupted.exchange(true)) return FALSE;
  return TRUE;
}

class Win32ConsoleHost : public CliHost {
 public:
  Win32ConsoleHost()
      : out_(::GetStdHandle(STD_OUTPUT_HANDLE)), err_(::GetStdHandle(STD_ERROR_HANDLE)),
        outConsole_(IsConsole(out_)), errConsole_(IsConsole(err_)) {
    if (!eraseDone) eraseDone = ::CreateEventW(nullptr, TRUE, TRUE, nullptr);
    // A real handle of this thread, which runs the erase, for CancelSynchronousIo from the others.
    ::DuplicateHandle(::GetCurrentProcess(), ::GetCurrentThread(), ::GetCurrentProcess(), &thread_, 0, FALSE,
                      DUPLICATE_SAME_ACCESS);
    ::SetConsoleCtrlHandler(OnConsoleControl, TRUE);
    if (!sessionWindow) StartSessionWindow();
  }
  ~Win32ConsoleHost() override {
    ::SetConsoleCtrlHandler(OnConsoleControl, FALSE);
    if (thread_) ::CloseHandle(thread_);
  }

  void Out(std::u16string_view text) override { Write(out_, outConsole_, text); }
  void Err(std::u16string_view text) override { Write(err_, errConsole_, text); }
  bool ErrIsConsole() override { return errConsole_; }
  bool Interrupted() override { return interrupted; }
  void SetErasing(ConsoleErase* erase) override {
    // Set: an erase begins. Cleared: it has returned, and its record is saved.
    if (eraseDone) {
      if (erase) ::ResetEvent(eraseDone);
      else ::SetEvent(eraseDone);
    }
    erasing = erase;
    if (sessionWindow) ::SendMessageW(sessionWindow, kSetBlockReason, erase ? 1 : 0, 0);
  }
  win::Handle EraseThread() override { return reinterpret_cast<win::Handle>(thread_); }
  win::CallLock* SimCallLock() override { return &simLock_; }

 private:
  static bool IsConsole(HANDLE h) {
    DWORD mode = 0;
    return h != nullptr && h != INVALID_HANDLE_VALUE && ::GetConsoleMode(h, &mode) != 0;
  }

  static void Write(HANDLE h, bool console, std::u16string_view text) {
    if (h == nullptr || h == INVALID_HANDLE_VALUE || text.empty()) return;
    if (console) {
      // A console takes "\n" as a new line; WriteConsoleW takes at most a few
      // thousand characters reliably, so long texts go in pieces.
      const std::wstring wide = win32::Wide(text);
      for (std::size_t at = 0; at < wide.size();) {
        std::size_t n = std::min<std::size_t>(8192, wide.size() - at);
        // Never split a surrogate pair between two writes.
        if (n > 1 && at + n < wide.size() && wide[at + n - 1] >= 0xD800 && wide[at + n - 1] <= 0xDBFF) --n;
        DWORD written = 0;
        ::WriteConsoleW(h, wide.data() + at, static_cast<DWORD>(n), &written, nullptr);
        at += n;
      }
      return;
    }
    // A pipe or file gets UTF-8 with CRLF line ends, as Windows tools expect.
    std::u16string crlf;
    for (char16_t c : text) {
      if (c == u'\n') crlf += u'\r';
      crlf += c;
    }
    const std::string bytes = Utf16ToUtf8(crlf);
    DWORD written = 0;
    ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  }

  HANDLE out_, err_;
  bool outConsole_, errConsole_;
  HANDLE thread_ = nullptr;
  win32::CriticalSection simLock_;
};

} // namespace

std::unique_ptr<CliHost> MakeConsoleHost() { return std::make_unique<Win32ConsoleHost>(); }

} // namespace trv::cli
