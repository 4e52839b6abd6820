// A scripted user: the actions a person would take, played whenever the program
// waits for input (a modal loop, a message box, a task dialog, a message pump).
#pragma once
#include <deque>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace trv::ui {

class ScriptError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct Action {
  std::string verb;                // accept, decline, click, dblclick, select, key, close, answer, mouse, tab, check, wait, waithang, shutdown, read, type
  std::vector<std::string> args;
  std::string text;                // the action as written, for reports
};

class ScriptedUser {
 public:
  ScriptedUser() = default;
  // Actions separated by ';' or line breaks; '#' starts a comment.
  explicit ScriptedUser(const std::string& script);
  void Append(const std::string& script);

  bool Empty() const { return actions_.empty(); }
  const Action* Peek() const { return actions_.empty() ? nullptr : &actions_.front(); }
  Action Take();
  std::size_t Remaining() const { return actions_.size(); }

 private:
  std::deque<Action> actions_;
};

} // namespace trv::ui
