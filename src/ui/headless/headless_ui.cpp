#include "ui/headless/headless_ui.h"

#include <algorithm>

#include "platform/text.h"

namespace trv::ui {

namespace {

int AnswerCode(const std::string& word) {
  static const std::pair<const char*, int> kAnswers[] = {{"ok", 1},    {"cancel", 2}, {"abort", 3}, {"retry", 4},
                                                         {"yes", 6},   {"no", 7},     {"close", 8}};
  std::string w = word;
  std::transform(w.begin(), w.end(), w.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  for (const auto& [name, code] : kAnswers)
    if (w == name) return code;
  throw ScriptError("unknown answer \"" + word + "\"");
}

int KeyCode(const std::string& word) {
  if (word == "Escape" || word == "Esc") return win::VK_ESCAPE;
  if (word == "Enter" || word == "Return") return win::VK_RETURN;
  return std::stoi(word);  // checked to be digits when the script was read
}

MouseButton ButtonOf(const std::vector<std::string>& args) {
  if (args.size() < 3 || args[2] == "left") return MouseButton::Left;
  if (args[2] == "right") return MouseButton::Right;
  if (args[2] == "middle") return MouseButton::Middle;
  throw ScriptError("unknown mouse button \"" + args[2] + "\"");
}

} // namespace

void HeadlessUi::NoteShown(Form& form) {
  if (std::find(formsShown_.begin(), formsShown_.end(), &form) == formsShown_.end()) formsShown_.push_back(&form);
}

void HeadlessUi::Show(Form& form) {
  NoteShown(form);
  form.SetVisibleState(true);
}

void HeadlessUi::Hide(Form& form) { form.SetVisibleState(false); }

int HeadlessUi::TakeAnswer(const char* fallback, const std::vector<int>& offered) {
  const Action* next = user_.Peek();
  if (!next || next->verb != "answer") return AnswerCode(fallback);
  const Action a = user_.Take();
  const int answer = AnswerCode(a.args[0]);
  if (std::find(offered.begin(), offered.end(), answer) != offered.end()) return answer;
  // A button the box does not have cannot be pressed: the box is closed as if unscripted.
  problems_.push_back("\"" + a.text + "\": the box has no " + a.args[0] + " button");
  return AnswerCode(fallback);
}

int HeadlessUi::MessageBox(win::WindowHandle, std::u16string_view text, std::u16string_view caption,
                           std::uint32_t flags) {
  static const std::vector<int> kSets[] = {{1}, {1, 2}, {3, 4, 5}, {6, 7, 2}, {6, 7}, {4, 2}};
  const std::uint32_t set = flags & 0xF;
  const std::vector<int>& offered = set < 6 ? kSets[set] : kSets[0];
  const bool okOnly = set == 0;
  const int answer = TakeAnswer(okOnly ? "ok" : (set == 4 ? "no" : "cancel"), offered);
  boxes_.push_back({"MessageBox", std::u16string(caption), {}, std::u16string(text), flags, 0, answer});
  return answer;
}

int HeadlessUi::MessageDialog(std::u16string_view text, DialogType type, unsigned buttons) {
  std::vector<int> offered;
  const std::pair<unsigned, int> kButtons[] = {{kDlgYes, 6}, {kDlgNo, 7}, {kDlgOk, 1}, {kDlgCancel, 2}, {kDlgAbort, 3}, {kDlgRetry, 4}};
  for (const auto& [flag, code] : kButtons)
    if (buttons & flag) offered.push_back(code);
  const int answer = TakeAnswer("cancel", offered);
  boxes_.push_back({"MessageDialog", {}, {}, std::u16string(text), static_cast<std::uint32_t>(type),
                    static_cast<std::int32_t>(buttons), answer});
  return answer;
}

std::int32_t HeadlessUi::CallTaskDialog(win::ProcAddress, win::WindowHandle, std::u16string_view title,
                                        std::u16string_view instruction, std::u16string_view content,
                                        std::int32_t buttons, std::int32_t icon, std::int32_t* pressed) {
  // Closing a task dialog without a choice presses Cancel.
  std::vector<int> offered{2};
  const std::pair<std::int32_t, int> kButtons[] = {{1, 1}, {2, 6}, {4, 7}, {16, 4}, {32, 8}};
  for (const auto& [flag, code] : kButtons)
    if (buttons & flag) offered.push_back(code);
  const int answer = TakeAnswer("cancel", offered);
  boxes_.push_back({"TaskDialog", std::u16string(title), std::u16string(instruction), std::u16string(content),
                    static_cast<std::uint32_t>(icon), buttons, answer});
  if (pressed) *pressed = answer;
  return 0;  // S_OK
}

void HeadlessUi::ProcessMessages() {
  // A `wait N` lets N pumps pass; the action after it is taken at the last one,
  // in the window whose loop runs (Stop during a format run, for example).
  const Action* next = user_.Peek();
  if (!next || next->verb != "wait" || running_.empty() || terminated_) return;
  if (waitLeft_ == 0) waitLeft_ = std::stoi(next->args[0]);
  if (--waitLeft_ > 0) return;
  user_.Take();
  if (const Action* then = user_.Peek(); then && then->verb != "wait" && then->verb != "answer")
    Act(*running_.back(), user_.Take());
}

void HeadlessUi::RunWorker(const std::function<void()>& work, const std::function<void()>& idle) {
  struct Restore {
    HeadlessUi& ui;
    const std::function<void()>* idle;
    bool working;
    ~Restore() {
      ui.idle_ = idle;
      ui.working_ = working;
    }
  } restore{*this, idle_, working_};
  idle_ = &idle;
  working_ = true;
  work();
}

void HeadlessUi::WhileRequestHangs(bool endless) {
  if (!working_ || hanging_) return;
  hanging_ = true;
  struct Clear {
    bool& flag;
    ~Clear() { flag = false; }
  } clear{hanging_};
  if (idle_ && *idle_) (*idle_)();
  if (running_.empty() || terminated_) return;
  const Action* next = user_.Peek();
  if (next && next->verb == "waithang") {
    if (waitLeft_ == 0) waitLeft_ = std::stoi(next->args[0]);
    if (--waitLeft_ > 0) return;
    user_.Take();
    if (const Action* then = user_.Peek();
        then && then->verb != "wait" && then->verb != "waithang" && then->verb != "answer")
      Act(*running_.back(), user_.Take());
  } else if (!next && endless && !closedOnHang_ && ++idleWithoutScript_ >= kPatienceTurns) {
    // As at the end of every script, the user closes the window, once the
    // request has hung for a minute with nothing left to do.
    closedOnHang_ = true;
    CloseByUser(*running_.back());
  }
}

void HeadlessUi::SetShutdownBlockReason(Form& form, std::u16string_view reason) {
  shutdownBlocks_.push_back(form.name() + ": " + (reason.empty() ? std::string("-") : Utf16ToUtf8(reason)));
}

void HeadlessUi::EndSession(bool forced) {
  // The message goes to every top-level window; the main form (the first
  // shown) is the one that answers for the program.
  Form* main = formsShown_.empty() ? nullptr : formsShown_.front();
  if (!main) return;
  if (!main->QueryEndSession() && !forced) {
    sessionEnds_.push_back("refused");
    return;
  }
  sessionEnds_.push_back("ended");
  main->EndSession();
  terminated_ = true;  // the session is over: every loop ends
}

void HeadlessUi::WaitEndedOutsidePump(const Action& wait) {
  const int passed = waitLeft_ ? std::stoi(wait.args[0]) - waitLeft_ : 0;
  problems_.push_back("\"" + wait.text + "\": the program pumped messages " + std::to_string(passed) +
                      " time(s), then stopped waiting for input");
  waitLeft_ = 0;
}

void HeadlessUi::CloseByUser(Form& form) {
  if (!form.closable) return;
  CloseAction action = CloseAction::Hide;
  form.FormClose(action);
  if (action != CloseAction::None) form.modalResult = 2;  // mrCancel
}

void HeadlessUi::Act(Form& form, const Action& a) {
  auto control = [&](const std::string& name) -> Control* {
    Control* c = form.Find(name);
    if (!c) problems_.push_back("\"" + a.text + "\": " + form.name() + " has no control " + name);
    else if (!c->enabled() || !c->visible()) {
      problems_.push_back("\"" + a.text + "\": " + name + " is disabled");
      c = nullptr;
    }
    return c;
  };
  auto rowExists = [&](const ListView& list, const std::string& row) {
    if (row == "none" || std::stoi(row) < static_cast<int>(list.items().size())) return true;
    problems_.push_back("\"" + a.text + "\": " + list.name() + " has " + std::to_string(list.items().size()) + " row(s)");
    return false;
  };
  auto click = [&](Control* c) {
    if (!c) return;
    if (c->onClick) c->onClick();
    else if (auto* box = dynamic_cast<CheckBox*>(c)) box->SetChecked(!box->checked());
  };
  if (a.verb == "accept" || a.verb == "decline") {
    if (a.verb == "accept") {
      if (Control* c = control("cbAccept")) click(c);
      click(control("btAccept"));
    } else {
      click(control("btDecline"));
    }
  } else if (a.verb == "click" || a.verb == "check") {
    click(control(a.args[0]));
  } else if (a.verb == "dblclick") {
    Control* c = control(a.args[0]);
    auto* list = dynamic_cast<ListView*>(c);
    if (list && a.args.size() > 1 && !rowExists(*list, a.args[1])) return;
    if (list && a.args.size() > 1) list->Select(a.args[1] == "none" ? -1 : std::stoi(a.args[1]));
    if (c && c->onDblClick) c->onDblClick();
  } else if (a.verb == "select") {
    auto* list = dynamic_cast<ListView*>(control(a.args[0]));
    if (!list || !rowExists(*list, a.args[1])) return;
    list->Select(a.args[1] == "none" ? -1 : std::stoi(a.args[1]));
    if (list->selected() >= 0) list->SetFocusedItem(list->selected());
    if (list->onClick) list->onClick();
  } else if (a.verb == "key") {
    Control* c = control(a.args[0]);
    int key = KeyCode(a.args[1]);
    if (c && c->onKeyDown) c->onKeyDown(key);
    // Enter that no control consumed presses the default button.
    if (key == win::VK_RETURN && !terminated_) {
      if (Control* def = form.DefaultButton(); def && def->enabled()) click(def);
    }
  } else if (a.verb == "close") {
    CloseByUser(form);
  } else if (a.verb == "mouse") {
    Control* c = control(a.args[0]);
    if (!c) return;
    const std::string& what = a.args[1];
    if (what == "enter" && c->onMouseEnter) c->onMouseEnter();
    else if (what == "leave" && c->onMouseLeave) c->onMouseLeave();
    else if (what == "down" && c->onMouseDown) c->onMouseDown(ButtonOf(a.args));
    else if (what == "up" && c->onMouseUp) c->onMouseUp(ButtonOf(a.args));
    else if (what != "enter" && what != "leave" && what != "down" && what != "up")
      throw ScriptError("unknown mouse action \"" + what + "\"");
  } else if (a.verb == "tab") {
    if (auto* pages = dynamic_cast<PageControl*>(control("pages"))) pages->SetActivePage(std::stoi(a.args[0]));
  } else if (a.verb == "answer") {
    problems_.push_back("\"" + a.text + "\": no box or dialog was waiting for an answer");
  } else if (a.verb == "wait" || a.verb == "waithang") {
    WaitEndedOutsidePump(a);
  } else if (a.verb == "shutdown") {
    EndSession(!a.args.empty() && a.args[0] == "force");
  } else if (a.verb == "type") {
    // What a person types replaces the box's text; the box takes no more than its limit.
    Control* c = control(a.args[0]);
    auto* box = dynamic_cast<Edit*>(c);
    if (c && !box) problems_.push_back("\"" + a.text + "\": " + a.args[0] + " is not an edit box");
    if (!box) return;
    std::u16string typed = Utf8ToUtf16(a.args[1]);
    if (box->maxLength > 0 && typed.size() > box->maxLength) typed.resize(box->maxLength);
    box->SetCaption(std::move(typed));
  } else if (a.verb == "read") {
    // Reading takes no enabled control: a label shows its text all the same.
    if (const Control* c = form.Find(a.args[0])) readings_.push_back(a.args[0] + ": " + Utf16ToUtf8(c->caption()));
    else problems_.push_back("\"" + a.text + "\": " + form.name() + " has no control " + a.args[0]);
  }
}

int HeadlessUi::ShowModal(Form& form) {
  NoteShown(form);
  form.modal = true;
  form.modalResult = 0;
  form.SetVisibleState(true);
  running_.push_back(&form);
  // The process may end inside the loop (an error box): the window goes with it.
  struct Restore {
    Form& form;
    std::vector<Form*>& running;
    ~Restore() {
      form.modal = false;
      form.SetVisibleState(false);
      running.pop_back();
    }
  } restore{form, running_};
  form.FormShow();
  for (;;) {
    if (terminated_) break;
    if (user_.Empty()) {
      // A user who has nothing more to do closes the window.
      CloseByUser(form);
      if (form.modalResult == 0 && !terminated_) problems_.push_back(form.name() + " refused to close");
      break;
    }
    const Action action = user_.Take();
    Act(form, action);
    if (form.modalResult == 0 || terminated_) continue;
    if (action.verb == "close") break;  // FormClose already ran
    // A handler set the modal result: the dialog closes, unless FormClose refuses.
    CloseAction close = CloseAction::Hide;
    form.FormClose(close);
    if (close != CloseAction::None) break;
    form.modalResult = 0;
  }
  return form.modalResult;
}

void HeadlessUi::RunMessageLoop(Form& mainForm) {
  NoteShown(mainForm);
  mainForm.FormShow();
  if (terminated_) return;
  mainForm.SetVisibleState(true);
  running_.push_back(&mainForm);
  while (!terminated_ && !user_.Empty()) {
    Act(mainForm, user_.Take());
    if (mainForm.modalResult != 0) break;  // the user closed the main window
  }
  if (!terminated_ && mainForm.modalResult == 0) CloseByUser(mainForm);
  if (mainForm.modalResult != 0) mainForm.SetVisibleState(false);  // closed
}

void HeadlessUi::ExitProcess(unsigned code) { throw ProcessExit{code}; }

} // namespace trv::ui
