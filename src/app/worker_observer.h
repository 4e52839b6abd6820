// The format tab's observer as the worker thread sees it: every call reaches
// the window's observer on the window thread, in order, while the worker waits
// (so SpeedShown answers what the window shows). Stop crosses to the worker
// only there, at the engine's message pump: the engine reads the worker's own
// flag, never the window's.
#pragma once
#include <functional>
#include <string>

#include "format/erase_observer.h"
#include "ui/ui_services.h"

namespace trv::app {

class WorkerObserver : public format::EraseObserver {
 public:
  // `windowStop`: the window's Stop flag, set by Stop, closing the window or the
  // session ending; taken over (and cleared) at each pump. `saveRecordNow`:
  // the engine's slot, run at a pump when the session ends.
  WorkerObserver(ui::UiServices& ui, format::EraseObserver& window, bool& windowStop,
                 std::function<void()>& saveRecordNow)
      : ui_(ui), window_(window), windowStop_(windowStop), saveRecordNow_(saveRecordNow) {}

  void Log(const std::u16string& message) override;
  void LogBilingual(const std::u16string& window, const std::u16string& english) override;
  void LogBare(const std::u16string& line) override;
  void ShowProgress(const format::BlockProgress& progress) override;
  void ShowSpeed(const std::u16string& text) override;
  void ShowTimeLeft(const format::TimeLeft& left) override;
  std::u16string SpeedShown() override;
  void ShowComplete() override;
  void ProcessMessages() override;
  void FormatStarting() override;
  void FormatRunning() override;
  void FormatEnded(const format::EraseResult& result, const format::VerifyResult* verify) override;

  // What the engine reads (worker side; the window thread touches it only while the worker is parked).
  bool stopRequested = false;

  // --- the window thread only ---
  // Windows ends the session: the record is saved now when the worker is
  // parked at its pump, else at its next pump. Whether it has been saved.
  void SaveRecordSoon();
  bool RecordSaved() const { return saved_; }

 private:
  void OnWindow(const std::function<void()>& call) { ui_.CallOnWindowThread(call); }
  void SaveNow();

  ui::UiServices& ui_;
  format::EraseObserver& window_;
  bool& windowStop_;
  std::function<void()>& saveRecordNow_;
  bool atPump_ = false;     // the worker is parked at its pump
  bool saveWanted_ = false;
  bool saved_ = false;
};

} // namespace trv::app
