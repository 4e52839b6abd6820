#include "ui/headless/scripted_user.h"

#include <sstream>

namespace trv::ui {

namespace {

const char* const kVerbs[] = {"accept", "decline", "click", "dblclick", "select", "key",
                              "close",  "answer",  "mouse", "tab",      "check", "wait",
                              "shutdown", "waithang", "read", "type"};

// What a script can name: the selection list holds at most 15 disks, and the
// main window has three pages.
constexpr int kListRows = 15;
constexpr int kPages = 3;

Action ParseAction(const std::string& text) {
  std::istringstream in(text);
  Action a;
  a.text = text;
  in >> a.verb;
  if (a.verb == "type") {
    // type NAME TEXT: the text is the rest of the action, spaces and all (none: the box is emptied).
    std::string name, rest;
    in >> name;
    std::getline(in, rest);
    if (name.empty()) throw ScriptError("action \"" + text + "\" needs a control's name");
    const auto first = rest.find_first_not_of(' ');
    return Action{a.verb, {name, first == std::string::npos ? std::string() : rest.substr(first)}, text};
  }
  for (std::string w; in >> w;) a.args.push_back(w);
  bool known = false;
  for (const char* v : kVerbs) known = known || a.verb == v;
  if (!known) throw ScriptError("unknown action \"" + text + "\"");
  const std::size_t need = (a.verb == "click" || a.verb == "dblclick" || a.verb == "answer" || a.verb == "tab" ||
                            a.verb == "check" || a.verb == "wait" || a.verb == "waithang" ||
                            a.verb == "read")
                               ? 1
                           : (a.verb == "select" || a.verb == "key" || a.verb == "mouse") ? 2
                                                                                          : 0;
  if (a.args.size() < need) throw ScriptError("action \"" + text + "\" needs " + std::to_string(need) + " argument(s)");
  // Numbers are checked here, so that playing the script cannot fail half-way.
  auto isIndex = [](const std::string& s) {
    return !s.empty() && s.size() <= 6 && s.find_first_not_of("0123456789") == std::string::npos;
  };
  if ((a.verb == "select" || (a.verb == "dblclick" && a.args.size() > 1)) && a.args[1] != "none" &&
      (!isIndex(a.args[1]) || std::stoi(a.args[1]) >= kListRows))
    throw ScriptError("action \"" + text + "\": expected a row number from 0 to " + std::to_string(kListRows - 1) +
                      " or none, got \"" + a.args[1] + "\"");
  if (a.verb == "tab" && (!isIndex(a.args[0]) || std::stoi(a.args[0]) >= kPages))
    throw ScriptError("action \"" + text + "\": expected a page number from 0 to " + std::to_string(kPages - 1) +
                      ", got \"" + a.args[0] + "\"");
  if (a.verb == "shutdown" && !a.args.empty() && a.args[0] != "force")
    throw ScriptError("action \"" + text + "\": expected nothing or \"force\" after shutdown");
  if (a.verb == "wait" && (!isIndex(a.args[0]) || std::stoi(a.args[0]) < 1))
    throw ScriptError("action \"" + text + "\": expected a number of message pumps from 1, got \"" + a.args[0] + "\"");
  if (a.verb == "waithang" && (!isIndex(a.args[0]) || std::stoi(a.args[0]) < 1))
    throw ScriptError("action \"" + text + "\": expected a number of idle turns from 1, got \"" + a.args[0] + "\"");
  if (a.verb == "key" && a.args[1] != "Escape" && a.args[1] != "Esc" && a.args[1] != "Enter" && a.args[1] != "Return" &&
      !isIndex(a.args[1]))
    throw ScriptError("action \"" + text + "\": unknown key \"" + a.args[1] + "\"");
  return a;
}

} // namespace

ScriptedUser::ScriptedUser(const std::string& script) { Append(script); }

void ScriptedUser::Append(const std::string& script) {
  std::string current;
  auto flush = [&] {
    const auto hash = current.find('#');
    if (hash != std::string::npos) current.erase(hash);
    const auto b = current.find_first_not_of(" \t\r");
    if (b != std::string::npos) {
      const auto e = current.find_last_not_of(" \t\r");
      actions_.push_back(ParseAction(current.substr(b, e - b + 1)));
    }
    current.clear();
  };
  for (char c : script) {
    if (c == ';' || c == '\n') flush();
    else current.push_back(c);
  }
  flush();
}

Action ScriptedUser::Take() {
  Action a = std::move(actions_.front());
  actions_.pop_front();
  return a;
}

} // namespace trv::ui
