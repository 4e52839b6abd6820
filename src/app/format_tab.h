// The format tab as the erase engine sees it: log lines go to the activity log,
// progress to the bar and the three labels, Stop through the message pump.
#pragma once
#include "format/erase_observer.h"

namespace trv::app {

struct App;

class FormatTabObserver : public format::EraseObserver {
 public:
  explicit FormatTabObserver(App& app) : app_(app) {}

  void Log(const std::u16string& message) override;
  void LogBare(const std::u16string& line) override;
  void ShowProgress(const format::BlockProgress& progress) override;
  void ShowSpeed(const std::u16string& text) override;
  std::u16string SpeedShown() override;
  void ShowComplete() override;
  void ProcessMessages() override;
  void FormatStarting() override;
  void FormatRunning() override;
  void FormatEnded(const format::EraseResult& result, const format::VerifyResult* verify) override;

 private:
  App& app_;
};

} // namespace trv::app
