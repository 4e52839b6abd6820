// The Win32 front end: real windows for the window models, real message loops,
// system message boxes and the system task dialog.
#pragma once
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/win32/windows_headers.h"
#include "ui/ui_services.h"

namespace trv::win32 {

class FormWindow;

class Win32Ui : public ui::UiServices {
 public:
  Win32Ui();
  ~Win32Ui() override;
  Win32Ui(const Win32Ui&) = delete;
  Win32Ui& operator=(const Win32Ui&) = delete;

  void Show(ui::Form& form) override;
  void Hide(ui::Form& form) override;
  int ShowModal(ui::Form& form) override;
  int MessageBox(win::WindowHandle owner, std::u16string_view text, std::u16string_view caption,
                 std::uint32_t flags) override;
  int MessageDialog(std::u16string_view text, ui::DialogType type, unsigned buttons) override;
  std::int32_t CallTaskDialog(win::ProcAddress entry, win::WindowHandle owner, std::u16string_view title,
                              std::u16string_view instruction, std::u16string_view content, std::int32_t buttons,
                              std::int32_t icon, std::int32_t* pressed) override;
  void Close(ui::Form& form) override;
  void ProcessMessages() override;
  void Terminate() override;
  bool Terminated() const override { return terminated_; }
  void SetApplicationTitle(std::u16string_view title) override { appTitle_ = title; }
  void SetShutdownBlockReason(ui::Form& form, std::u16string_view reason) override;
  void RunMessageLoop(ui::Form& mainForm) override;
  [[noreturn]] void ExitProcess(unsigned code) override;
  // A Win32 thread (CreateThread: no std::thread in the build for Windows XP);
  // its calls to the window thread are served here between the window's messages.
  void RunWorker(const std::function<void()>& work, const std::function<void()>& idle) override;
  void CallOnWindowThread(const std::function<void()>& call) override;
  bool WorkerBusy() const override { return worker_ && !worker_->parked; }
  win::Handle WorkerThread() const override;
  void ServeWorkerUntil(const std::function<bool()>& done, std::uint32_t milliseconds) override;
  // How often the running work's idle turn comes, in milliseconds.
  static constexpr DWORD kIdleMs = 250;

  const std::u16string& applicationTitle() const { return appTitle_; }
  // Every reason asked for by SetShutdownBlockReason, in order, with its form
  // (empty: none): what the program asked, also where the system keeps no
  // reason to query (Windows XP, Wine).
  const std::vector<std::pair<const ui::Form*, std::u16string>>& shutdownBlockReasons() const { return blockReasons_; }

  // The window of a form, created (hidden) on first use.
  FormWindow& WindowOf(ui::Form& form);
  FormWindow* WindowFromHandle(HWND anyWindowOfAForm) const;
  // Destroys every window; call while the window models still exist.
  void DestroyWindows();

  // The frame's close button (WM_CLOSE) on a form.
  void CloseRequested(FormWindow& window);

  // Shared GDI objects, released with the front end.
  HFONT FontFor(const ui::Font& font, UINT dpi);
  HBRUSH BrushFor(COLORREF color);
  // Calls SetWindowTheme from the theme library when the system has one.
  void SetTheme(HWND hwnd, const std::u16string& subApp);
  bool ThemesActive();

  // Dispatches one message: keyboard pre-handling for our forms, then the usual.
  void Dispatch(MSG& msg);
  // Reports a fault escaping from a handler and ends the process.
  [[noreturn]] void Fatal(const char* what);

 private:
  // The theme library, loaded on first use (nullptr where the system has none).
  HMODULE ThemeLibrary();

  // The worker and its one call at a time to the window thread.
  struct Worker {
    HANDLE thread = nullptr;
    HANDLE callReady = nullptr;  // auto-reset: the worker has put `call` there
    HANDLE callDone = nullptr;   // auto-reset: the window thread has run it
    const std::function<void()>* work = nullptr;
    const std::function<void()>* call = nullptr;
    std::exception_ptr callError;
    std::exception_ptr workError;
    bool parked = false;  // the window thread runs the worker's call (the window thread's view)
  };
  static DWORD WINAPI WorkerMain(void* worker);
  void ServeCall();
  Worker* worker_ = nullptr;

  bool terminated_ = false;
  std::u16string appTitle_;
  std::vector<std::pair<const ui::Form*, std::u16string>> blockReasons_;
  ui::Form* mainForm_ = nullptr;
  std::map<ui::Form*, std::unique_ptr<FormWindow>> windows_;
  std::map<std::tuple<std::u16string, int, bool, bool>, HFONT> fonts_;
  std::map<COLORREF, HBRUSH> brushes_;
  HMODULE uxtheme_ = nullptr;
  bool uxthemeTried_ = false;
};

// Registers the window classes and the common controls; called once at start.
void InitWin32Ui(HINSTANCE instance);

} // namespace trv::win32
