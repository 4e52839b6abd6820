// What the console program needs from its console: the two output streams,
// whether standard error is a live console (progress in place) or a pipe or
// file (progress as plain lines), and Ctrl+C. On Windows the text goes to a
// console as wide characters and to a pipe or file as UTF-8.
#pragma once
#include <memory>
#include <string_view>

namespace trv::cli {

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
  virtual void SetStoppable(bool stoppable) = 0;
};

// The host of this operating system's console; catches Ctrl+C from here on.
std::unique_ptr<CliHost> MakeConsoleHost();

} // namespace trv::cli
