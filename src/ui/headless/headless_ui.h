// The headless front end: window models stay models, the scripted user acts on
// them, and every box and dialog shown is recorded.
#pragma once
#include <string>
#include <vector>

#include "ui/headless/scripted_user.h"
#include "ui/ui_services.h"

namespace trv::ui {

struct ShownBox {
  std::string kind;  // "MessageBox", "TaskDialog", "MessageDialog"
  std::u16string caption;
  std::u16string instruction;
  std::u16string text;
  std::uint32_t flags = 0;  // MessageBox flags, task dialog icon, or dialog type
  std::int32_t buttons = 0;
  int answer = 0;
};

class HeadlessUi : public UiServices {
 public:
  explicit HeadlessUi(ScriptedUser user) : user_(std::move(user)) {}

  void Show(Form& form) override;
  void Hide(Form& form) override;
  int ShowModal(Form& form) override;
  int MessageBox(win::WindowHandle owner, std::u16string_view text, std::u16string_view caption,
                 std::uint32_t flags) override;
  int MessageDialog(std::u16string_view text, DialogType type, unsigned buttons) override;
  std::int32_t CallTaskDialog(win::ProcAddress entry, win::WindowHandle owner, std::u16string_view title,
                              std::u16string_view instruction, std::u16string_view content, std::int32_t buttons,
                              std::int32_t icon, std::int32_t* pressed) override;
  void Close(Form& form) override { CloseByUser(form); }
  void ProcessMessages() override;
  void Terminate() override { terminated_ = true; }
  bool Terminated() const override { return terminated_; }
  void SetApplicationTitle(std::u16string_view title) override { appTitle_ = title; }
  void SetShutdownBlockReason(Form& form, std::u16string_view reason) override;
  void RunMessageLoop(Form& mainForm) override;
  [[noreturn]] void ExitProcess(unsigned code) override;
  // No thread: the work runs here, and the window answers while a simulated
  // request hangs (WhileRequestHangs), as the idle window would.
  void RunWorker(const std::function<void()>& work, const std::function<void()>& idle) override;
  bool WorkerBusy() const override { return hanging_; }
  win::Handle WorkerThread() const override { return working_ ? kWorkerThread : 0; }
  static constexpr win::Handle kWorkerThread = -2;  // GetCurrentThread's pseudo handle: the one thread

  // One idle turn of the window while a disk request hangs (on the simulated
  // PC's clock): the run's idle work, then the user's `waithang` count; a user
  // with nothing left to do closes the window once an `endless` request has
  // hung for a minute.
  void WhileRequestHangs(bool endless);

  const std::vector<ShownBox>& boxes() const { return boxes_; }
  const std::u16string& applicationTitle() const { return appTitle_; }
  // Every form the program showed, in the order first shown.
  const std::vector<Form*>& formsShown() const { return formsShown_; }
  // Actions that found nothing to act on, in order (a script error to report).
  const std::vector<std::string>& problems() const { return problems_; }
  // What the user read (`read NAME`), in order: "NAME: text" as the control showed it then.
  const std::vector<std::string>& readings() const { return readings_; }
  ScriptedUser& user() { return user_; }
  // Every shutdown block reason set ("form: reason") or taken away ("form: -"), in order.
  const std::vector<std::string>& shutdownBlocks() const { return shutdownBlocks_; }
  // How each scripted log-off or shutdown went: "refused" or "ended".
  const std::vector<std::string>& sessionEnds() const { return sessionEnds_; }

 private:
  void Act(Form& form, const Action& action);
  void CloseByUser(Form& form);
  // The scripted answer to a box offering `offered` (IDxxx codes), or `fallback`.
  int TakeAnswer(const char* fallback, const std::vector<int>& offered);
  void NoteShown(Form& form);
  void WaitEndedOutsidePump(const Action& wait);
  // Windows ending the session: asks the main form, and ends it when it agrees
  // (or always, with `forced`).
  void EndSession(bool forced);

  ScriptedUser user_;
  bool terminated_ = false;
  std::u16string appTitle_;
  std::vector<ShownBox> boxes_;
  std::vector<Form*> formsShown_;
  std::vector<std::string> problems_;
  std::vector<std::string> readings_;
  std::vector<std::string> shutdownBlocks_;
  std::vector<std::string> sessionEnds_;
  std::vector<Form*> running_;  // the forms whose loops run, innermost last
  int waitLeft_ = 0;            // message pumps (or idle turns) still to pass for the `wait` at the head of the script
  const std::function<void()>* idle_ = nullptr;  // the running work's idle turn
  bool working_ = false;
  bool hanging_ = false;
  bool closedOnHang_ = false;
  int idleWithoutScript_ = 0;
  static constexpr int kPatienceTurns = 600;  // a minute of idle turns with an empty script
};

} // namespace trv::ui
