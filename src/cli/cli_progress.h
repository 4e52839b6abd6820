// The erase engine's observer for the console: log lines on standard error as
// the activity log words them, progress (with the speed and the time left)
// updated in place on a console and as a line per percent when standard error
// is a pipe or file, and Ctrl+C as the Stop button.
#pragma once
#include <functional>
#include <string>

#include "cli/cli_host.h"
#include "format/erase_observer.h"

namespace trv::cli {

class ConsoleProgress : public format::EraseObserver {
 public:
  ConsoleProgress(CliHost& host, win::Platform& platform, bool& stopRequested)
      : host_(host), platform_(platform), stopRequested_(stopRequested), live_(host.ErrIsConsole()) {}

  // The erase's end from the host's thread, and the engine's slot that saves
  // the record at this pump (FormatContext::saveRecordNow).
  void WatchEnd(ConsoleErase* erase, std::function<void()>* saveRecordNow) {
    erase_ = erase;
    saveRecordNow_ = saveRecordNow;
  }

  void Log(const std::u16string& message) override;
  // Standard error is English throughout.
  void LogBilingual(const std::u16string& window, const std::u16string& english) override;
  void LogBare(const std::u16string& line) override;
  void ShowProgress(const format::BlockProgress& progress) override;
  void ShowSpeed(const std::u16string& text) override;
  void ShowTimeLeft(const format::TimeLeft& left) override;
  std::u16string SpeedShown() override { return speed_; }
  void ShowComplete() override;
  void ProcessMessages() override;
  void FormatRunning() override;
  void FormatEnded(const format::EraseResult& result, const format::VerifyResult* verify) override;

 private:
  void Line(const std::u16string& text);  // a whole line, after clearing the live one
  void ShowLive();

  CliHost& host_;
  win::Platform& platform_;
  bool& stopRequested_;
  bool live_;                    // standard error is a console
  bool interruptSeen_ = false;
  bool endSeen_ = false;
  ConsoleErase* erase_ = nullptr;
  std::function<void()>* saveRecordNow_ = nullptr;
  std::u16string speed_;
  std::u16string timeLeft_;      // empty between passes
  format::BlockProgress last_;
  int lastPrintedPercent_ = -1;
  int pass_ = 0;                 // 1 writing, 2 reading back
  std::size_t liveWidth_ = 0;    // characters of the live line on screen now
};

// The time left as a progress line says it ("" once a pass has ended).
std::u16string ConsoleTimeLeft(const format::TimeLeft& left);

} // namespace trv::cli
