// The console of a POSIX system (the Linux build on the simulated PC): UTF-8
// on both streams; SIGINT (Ctrl+C) and SIGTERM (what a service manager or
// `kill` sends) both stop an erase as the Stop button does.
#include <csignal>
#include <cstdio>
#include <unistd.h>

#include "cli/cli_host.h"
#include "platform/text.h"

namespace trv::cli {

namespace {

volatile std::sig_atomic_t interrupted = 0;  // the signal that stopped the erase; 0: none
volatile std::sig_atomic_t stoppable = 0;

// While an erase can take it, the first signal stops it after the current
// block (the record is saved, exit code 7); a second one, or one at any other
// time, ends the program as the signal always does.
extern "C" void OnInterrupt(int signal) {
  if (stoppable && !interrupted) {
    interrupted = signal;
    return;
  }
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

class PosixConsoleHost : public CliHost {
 public:
  PosixConsoleHost() {
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
  }
  ~PosixConsoleHost() override {
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
  }

  void Out(std::u16string_view text) override { Write(stdout, text); }
  void Err(std::u16string_view text) override { Write(stderr, text); }
  bool ErrIsConsole() override { return ::isatty(STDERR_FILENO) == 1; }
  bool Interrupted() override { return interrupted != 0; }
  std::u16string InterruptName() override { return interrupted == SIGTERM ? u"SIGTERM" : u"Ctrl+C"; }
  // Here only a signal ends an erase early: the simulated PC has no session to end.
  void SetErasing(ConsoleErase* erase) override { stoppable = erase ? 1 : 0; }

 private:
  static void Write(std::FILE* stream, std::u16string_view text) {
    const std::string bytes = Utf16ToUtf8(std::u16string(text));
    std::fwrite(bytes.data(), 1, bytes.size(), stream);
    std::fflush(stream);
  }
};

} // namespace

std::unique_ptr<CliHost> MakeConsoleHost() { return std::make_unique<PosixConsoleHost>(); }

} // namespace trv::cli
