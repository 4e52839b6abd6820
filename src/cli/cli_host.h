// What the console program needs from its console: the two output streams,
// whether standard error is a live console (progress in place) or a pipe or
// file (progress as plain lines), and Ctrl+C. On Windows the text goes to a
// console as wide characters and to a pipe or file as UTF-8.
#pragma once
#include <memory>
#include <string>
#include <string_view>

#include "platform/locked_platform.h"

namespace trv::cli {

class ConsoleErase;

class CliHost {
 public:
  virtual ~CliHost() = default;
  virtual void Out(std::u16string_view text) = 0;
  virtual void Err(std::u16string_view text) = 0;
  virtual bool ErrIsConsole() = 0;
  // Whether Ctrl+C (or Ctrl+Break) was pressed while an erase could take it
  // as Stop. At any other time, and at a second press, Ctrl+C ends the
  // program as usual.
  virtual bool Interrupted() = 0;
  // What interrupted it, as the stop line names it.
  virtual std::u16string InterruptName() { return u"Ctrl+C"; }
  // An erase begins, or (nullptr) has returned with its record saved. While
  // one runs Ctrl+C is its Stop, and closing the console, logging off or
  // shutting down end it through `erase` (ConsoleErase::EndNow), record first.
  virtual void SetErasing(ConsoleErase* erase) = 0;
  // The thread an erase runs on, for CancelSynchronousIo from the host's own
  // thread (0: none is needed, as on a simulated PC).
  virtual win::Handle EraseThread() { return 0; }
  // For a simulated PC that the host's own thread reaches too: the lock each
  // of its calls is made under. None where the host has no thread of its own.
  virtual win::CallLock* SimCallLock() { return nullptr; }
};

// The host of this operating system's console; catches Ctrl+C from here on.
std::unique_ptr<CliHost> MakeConsoleHost();

} // namespace trv::cli
