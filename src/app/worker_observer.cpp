#include "app/worker_observer.h"

namespace trv::app {

void WorkerObserver::Log(const std::u16string& message) {
  OnWindow([&] { window_.Log(message); });
}

void WorkerObserver::LogBilingual(const std::u16string& window, const std::u16string& english) {
  OnWindow([&] { window_.LogBilingual(window, english); });
}

void WorkerObserver::LogBare(const std::u16string& line) {
  OnWindow([&] { window_.LogBare(line); });
}

void WorkerObserver::ShowProgress(const format::BlockProgress& progress) {
  OnWindow([&] { window_.ShowProgress(progress); });
}

void WorkerObserver::ShowSpeed(const std::u16string& text) {
  OnWindow([&] { window_.ShowSpeed(text); });
}

void WorkerObserver::ShowTimeLeft(const format::TimeLeft& left) {
  OnWindow([&] { window_.ShowTimeLeft(left); });
}

std::u16string WorkerObserver::SpeedShown() {
  std::u16string shown;
  OnWindow([&] { shown = window_.SpeedShown(); });
  return shown;
}

void WorkerObserver::ShowComplete() {
  OnWindow([&] { window_.ShowComplete(); });
}

void WorkerObserver::ProcessMessages() {
  OnWindow([&] {
    atPump_ = true;
    window_.ProcessMessages();
    atPump_ = false;
    // A Stop (or a close, or the session's end) goes over to the worker once.
    if (windowStop_) {
      stopRequested = true;
      windowStop_ = false;
    }
    if (saveWanted_) SaveNow();
  });
}

void WorkerObserver::FormatStarting() {
  OnWindow([&] { window_.FormatStarting(); });
}

void WorkerObserver::FormatRunning() {
  OnWindow([&] { window_.FormatRunning(); });
}

void WorkerObserver::FormatEnded(const format::EraseResult& result, const format::VerifyResult* verify) {
  OnWindow([&] { window_.FormatEnded(result, verify); });
}

void WorkerObserver::SaveRecordSoon() {
  saveWanted_ = true;
  if (atPump_) SaveNow();
}

void WorkerObserver::SaveNow() {
  // The worker is parked at its pump: the engine's state holds still.
  saveWanted_ = false;
  if (saved_) return;
  saved_ = true;
  if (saveRecordNow_) saveRecordNow_();
}

} // namespace trv::app
