// The format tab as the erase engine sees it: log lines go to the activity log,
// progress to the bar and the three labels, Stop through the message pump. The
// speed line shows the speed, then, while a pass runs, the time left.
#pragma once
#include <string>

#include "format/erase_observer.h"

namespace trv::app {

struct App;

class FormatTabObserver : public format::EraseObserver {
 public:
  explicit FormatTabObserver(App& app);

  void Log(const std::u16string& message) override;
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

 private:
  void ShowSpeedLine();

  App& app_;
  std::u16string speed_;     // the speed part of the line: what the label held, or this run's last speed
  std::u16string timeLeft_;  // the part after it, empty between passes
};

// The time left as the speed line shows it after the speed ("" once a pass has ended).
std::u16string SpeedLineTimeLeft(const format::TimeLeft& left);

} // namespace trv::app
