// The Windows console for trevasso-cli: wide characters to a console (so that
// any serial and the Chinese log lines show as they are, whatever the code
// page), UTF-8 to a pipe or file, and Ctrl+C / Ctrl+Break as the Stop button;
// closing the console, logging off and shutting down stop an erase too, and
// wait for its record.
#include "platform/win32/windows_headers.h"

#include <algorithm>
#include <atomic>
#include <string>

#include "cli/cli_host.h"
#include "platform/text.h"
#include "platform/win32/wide.h"

namespace trv::cli {

namespace {

std::atomic<bool> interrupted{false};
std::atomic<bool> stoppable{false};
// Signalled while no erase runs, and again once an erase has returned with its
// record saved; a closing console waits for it.
HANDLE eraseDone = nullptr;

// Windows ends the process when the handler of a close, log-off or shutdown
// returns, and after about five seconds if it does not: the wait stays inside that.
constexpr DWORD kRecordWaitMs = 4'500;

BOOL WINAPI OnConsoleControl(DWORD event) {
  if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) {
    // The console window closed, or the session ends: during an erase that is
    // Stop, and the run's record is waited for before the process goes.
    if (!stoppable) return FALSE;
    interrupted = true;
    if (eraseDone) ::WaitForSingleObject(eraseDone, kRecordWaitMs);
    return TRUE;
  }
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  // The first press during an erase is its Stop: the run ends after its current
  // block instead of the process dying mid-write. Otherwise, and when a stuck
  // disk keeps the block from ending, the next handler ends the process.
  if (!stoppable || interrupted.exchange(true)) return FALSE;
  return TRUE;
}

class Win32ConsoleHost : public CliHost {
 public:
  Win32ConsoleHost()
      : out_(::GetStdHandle(STD_OUTPUT_HANDLE)), err_(::GetStdHandle(STD_ERROR_HANDLE)),
        outConsole_(IsConsole(out_)), errConsole_(IsConsole(err_)) {
    if (!eraseDone) eraseDone = ::CreateEventW(nullptr, TRUE, TRUE, nullptr);
    ::SetConsoleCtrlHandler(OnConsoleControl, TRUE);
  }
  ~Win32ConsoleHost() override { ::SetConsoleCtrlHandler(OnConsoleControl, FALSE); }

  void Out(std::u16string_view text) override { Write(out_, outConsole_, text); }
  void Err(std::u16string_view text) override { Write(err_, errConsole_, text); }
  bool ErrIsConsole() override { return errConsole_; }
  bool Interrupted() override { return interrupted; }
  void SetStoppable(bool on) override {
    // On: an erase begins. Off: it has returned, and its record is saved.
    if (eraseDone) {
      if (on) ::ResetEvent(eraseDone);
      else ::SetEvent(eraseDone);
    }
    stoppable = on;
  }

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
};

} // namespace

std::unique_ptr<CliHost> MakeConsoleHost() { return std::make_unique<Win32ConsoleHost>(); }

} // namespace trv::cli
