#include "app/format_tab.h"

#include "app/app.h"
#include "app/logs.h"
#include "format/time_left.h"
#include "platform/text.h"
#include "report/number_text.h"

namespace trv::app {

FormatTabObserver::FormatTabObserver(App& app) : app_(app), speed_(app.FmMain.lbSpeed.caption()) {}

void FormatTabObserver::Log(const std::u16string& message) { AddToLog(app_, message); }

void FormatTabObserver::LogBare(const std::u16string& line) { app_.FmMain.Log_BenchMark.AddLine(line); }

void FormatTabObserver::ShowProgress(const format::BlockProgress& progress) {
  TFmMain& m = app_.FmMain;
  m.pbCurrentTask.SetPosition(progress.barPosition);
  m.lbCurrentPercent.SetCaption(DecimalText(static_cast<std::int64_t>(progress.percent)) + u"% complete");
  // A purge has no sector of its own: that row shows its elapsed time instead.
  if (!m.PurgeRunning()) m.lbCurrentPosition.SetCaption(u"Current sector: " + report::FormatThousands(progress.sector));
}

void FormatTabObserver::ShowSpeed(const std::u16string& text) {
  speed_ = text;
  ShowSpeedLine();
}

void FormatTabObserver::ShowTimeLeft(const format::TimeLeft& left) {
  timeLeft_ = SpeedLineTimeLeft(left);
  ShowSpeedLine();
}

void FormatTabObserver::ShowSpeedLine() { app_.FmMain.lbSpeed.SetCaption(speed_ + timeLeft_); }

// The speed alone: what "Average speed: " is followed by.
std::u16string FormatTabObserver::SpeedShown() { return speed_; }

std::u16string SpeedLineTimeLeft(const format::TimeLeft& left) {
  switch (left.state) {
    case format::TimeLeft::State::Estimating:
      return u"  剩余时间估算中";
    case format::TimeLeft::State::Known:
      // With a read-back to follow: this pass, then the whole run.
      return u"  剩余 " + format::ClockText(left.passSeconds) +
             (left.laterPass ? u" / " + format::ClockText(left.runSeconds) : std::u16string());
    case format::TimeLeft::State::Ended:
      break;
  }
  return {};
}

void FormatTabObserver::ShowComplete() { app_.FmMain.pbCurrentTask.SetPosition(100); }

void FormatTabObserver::ProcessMessages() {
  app_.FmMain.ShowPurgeElapsed();
  app_.ui.ProcessMessages();
  // The system or the user ending the program stops the run at the next block.
  if (app_.ui.Terminated()) app_.StopRequested = true;
}

void FormatTabObserver::FormatStarting() {
  TFmMain& m = app_.FmMain;
  if (m.PurgeRunning()) return;  // Stop stays disabled: a purge cannot be stopped
  m.btStop.SetEnabled(true);
  m.FocusControl(m.btStop);
}

void FormatTabObserver::FormatRunning() { app_.FmMain.pbCurrentTask.SetState(ui::ProgressState::Normal); }

void FormatTabObserver::FormatEnded(const format::EraseResult& result, const format::VerifyResult* verify) {
  TFmMain& m = app_.FmMain;
  // A run that left bytes unwritten (stopped or unplugged ones too), or whose
  // zeros did not read back, ends in the bar's error state.
  const bool failed = result.outcome == format::EraseOutcome::CompletedWithErrors || !result.unwritten.empty() ||
                      (verify && verify->FailedBytes() > 0);
  m.pbCurrentTask.SetState(failed ? ui::ProgressState::Error : ui::ProgressState::Paused);
  m.btStop.SetEnabled(false);
}

} // namespace trv::app
