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

int HeadlessUi::TakeAnswer(const char* fallback) {
  if (const Action* next = user_.Peek(); next && next->verb == "answer") return AnswerCode(user_.Take().args[0]);
  return AnswerCode(fallback);
}

int HeadlessUi::MessageBox(win::WindowHandle, std::u16string_view text, std::u16string_view caption,
                           std::uint32_t flags) {
  const bool okOnly = (flags & 0xF) == 0;
  int answer = TakeAnswer(okOnly ? "ok" : "cancel");
  if (okOnly) answer = 1;  // an OK box has one answer, whatever was scripted
  boxes_.push_back({"MessageBox", std::u16string(caption), {}, std::u16string(text), flags, 0, answer});
  return answer;
}

int HeadlessUi::MessageDialog(std::u16string_view text, DialogType type, unsigned buttons) {
  const int answer = TakeAnswer("cancel");
  boxes_.push_back({"MessageDialog", {}, {}, std::u16string(text), static_cast<std::uint32_t>(type),
                    static_cast<std::int32_t>(buttons), answer});
  return answer;
}

std::int32_t HeadlessUi::CallTaskDialog(win::ProcAddress, win::WindowHandle, std::u16string_view title,
                                        std::u16string_view instruction, std::u16string_view content,
                                        std::int32_t buttons, std::int32_t icon, std::int32_t* pressed) {
  // Closing a task dialog without a choice presses Cancel.
  const int answer = TakeAnswer("cancel");
  boxes_.push_back({"TaskDialog", std::u16string(title), std::u16string(instruction), std::u16string(content),
                    static_cast<std::uint32_t>(icon), buttons, answer});
  if (pressed) *pressed = answer;
  return 0;  // S_OK
}

void HeadlessUi::ProcessMessages() {}

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
    if (auto* list = dynamic_cast<ListView*>(c); list && a.args.size() > 1)
      list->Select(a.args[1] == "none" ? -1 : std::stoi(a.args[1]));
    if (c && c->onDblClick) c->onDblClick();
  } else if (a.verb == "select") {
    auto* list = dynamic_cast<ListView*>(control(a.args[0]));
    if (!list) return;
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
  }
}

int HeadlessUi::ShowModal(Form& form) {
  NoteShown(form);
  form.modal = true;
  form.modalResult = 0;
  form.SetVisibleState(true);
  // The process may end inside the loop (an error box): the window goes with it.
  struct Restore {
    Form& form;
    ~Restore() {
      form.modal = false;
      form.SetVisibleState(false);
    }
  } restore{form};
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
  while (!terminated_ && !user_.Empty()) {
    Act(mainForm, user_.Take());
    if (mainForm.modalResult != 0) break;  // the user closed the main window
  }
  if (!terminated_ && mainForm.modalResult == 0) CloseByUser(mainForm);
  if (mainForm.modalResult != 0) mainForm.SetVisibleState(false);  // closed
}

void HeadlessUi::ExitProcess(unsigned code) { throw ProcessExit{code}; }

} // namespace trv::ui
