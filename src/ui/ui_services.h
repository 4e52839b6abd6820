// What the program needs from a window system beyond its window models: modal
// loops, message boxes, the task dialog, message pumping and ending the process.
// The Win32 front end answers with real windows; the headless one with a
// scripted user.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/win_types.h"
#include "ui/form.h"

namespace trv::ui {

// Message dialog types of the framework's own dialog (task dialog fallback).
enum class DialogType { Warning, Error, Information, Confirmation, Custom };

// Buttons of the framework's message dialog.
enum DialogButton : unsigned {
  kDlgYes = 1, kDlgNo = 2, kDlgOk = 4, kDlgCancel = 8, kDlgAbort = 16, kDlgRetry = 32,
};

// Thrown (headless) or acted on (Win32) when the program ends the process.
struct ProcessExit {
  unsigned code;
};

class UiServices {
 public:
  virtual ~UiServices() = default;

  // Shows `form` modeless or hides it.
  virtual void Show(Form& form) = 0;
  virtual void Hide(Form& form) = 0;
  // Shows `form` modally and runs a nested loop until its modalResult is set, it
  // is closed, or the application is asked to terminate. Returns modalResult.
  virtual int ShowModal(Form& form) = 0;
  // MessageBoxW: returns the IDxxx of the button pressed.
  virtual int MessageBox(win::WindowHandle owner, std::u16string_view text, std::u16string_view caption,
                         std::uint32_t flags) = 0;
  // The framework's message dialog: content only, centred; returns the modal result.
  virtual int MessageDialog(std::u16string_view text, DialogType type, unsigned buttons) = 0;
  // Calls the system TaskDialog found at `entry`; returns its HRESULT and sets *pressed.
  virtual std::int32_t CallTaskDialog(win::ProcAddress entry, win::WindowHandle owner, std::u16string_view title,
                                      std::u16string_view instruction, std::u16string_view content,
                                      std::int32_t buttons, std::int32_t icon, std::int32_t* pressed) = 0;
  // Closes `form` as its frame's close button would: its close handler runs first.
  virtual void Close(Form& form) = 0;
  // Processes all pending window messages, then returns.
  virtual void ProcessMessages() = 0;
  // Asks the application to terminate: the main loop and any modal loop end.
  virtual void Terminate() = 0;
  virtual bool Terminated() const = 0;
  // The reason Windows shows when the user logs off or shuts down while
  // `form` refuses (ShutdownBlockReasonCreate, Vista and later); an empty
  // reason takes it away again.
  virtual void SetShutdownBlockReason(Form& form, std::u16string_view reason) = 0;
  // Sets the application title (task bar text).
  virtual void SetApplicationTitle(std::u16string_view title) = 0;
  // Runs the main message loop with `mainForm` shown; returns when it ends.
  virtual void RunMessageLoop(Form& mainForm) = 0;
  // Ends the process at once; never returns.
  [[noreturn]] virtual void ExitProcess(unsigned code) = 0;

  // --- work off the window thread (the disk I/O of an erase) ---------------------------
  // Runs `work` on a worker thread and returns when it has returned; meanwhile
  // the window answers, and `idle` runs on the window thread about four times
  // a second. A front end without threads runs `work` here and now.
  virtual void RunWorker(const std::function<void()>& work, const std::function<void()>& idle) {
    (void)idle;
    work();
  }
  // Runs `call` on the window thread. From the worker it waits until `call` has
  // returned (the worker is parked meanwhile); on the window thread it runs it at once.
  virtual void CallOnWindowThread(const std::function<void()>& call) { call(); }
  // Whether a worker runs now outside such a call: it may be waiting on a disk request.
  virtual bool WorkerBusy() const { return false; }
  // The worker's thread, for CancelSynchronousIo (0: none runs).
  virtual win::Handle WorkerThread() const { return 0; }
  // On the window thread while a worker runs: serves the worker's calls, and no
  // other message, until `done` says so, the worker has ended, or `milliseconds`
  // have passed. Whatever must happen before the process ends (Windows ends the
  // session) waits here for the worker to park.
  virtual void ServeWorkerUntil(const std::function<bool()>& done, std::uint32_t milliseconds) {
    (void)done;
    (void)milliseconds;
  }
};

} // namespace trv::ui
