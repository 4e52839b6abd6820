#include "cli/cli_progress.h"

#include "cli/console_erase.h"
#include "format/time_left.h"
#include "platform/text.h"
#include "report/number_text.h"

namespace trv::cli {

void ConsoleProgress::Line(const std::u16string& text) {
  if (liveWidth_ > 0) {
    host_.Err(u"\r" + std::u16string(liveWidth_, u' ') + u"\r");
    liveWidth_ = 0;
  }
  host_.Err(text + u"\n");
}

void ConsoleProgress::Log(const std::u16string& message) { Line(platform_.DateTimeText() + u"   " + message); }

void ConsoleProgress::LogBilingual(const std::u16string&, const std::u16string& english) { Log(english); }

void ConsoleProgress::LogBare(const std::u16string& line) { Line(line); }

void ConsoleProgress::ShowLive() {
  // A purge's progress is the drive's own (its Sanitize Status log): no sector, no speed of ours.
  const bool purging = erase_ && erase_->Purging() && pass_ < 2;
  std::u16string text = DecimalText(static_cast<std::int64_t>(last_.percent)) + u"%";
  if (!purging) text += u"  sector " + report::FormatThousands(last_.sector);
  for (const std::u16string* part : {&speed_, &timeLeft_})
    if (!part->empty()) text += u"  " + *part;
  text += purging ? u"  (purging)" : pass_ >= 2 ? u"  (read-back)" : u"  (writing)";
  if (live_) {
    const std::size_t width = text.size();
    if (text.size() < liveWidth_) text += std::u16string(liveWidth_ - text.size(), u' ');
    host_.Err(u"\r" + text);
    liveWidth_ = width;
  } else if (last_.percent != lastPrintedPercent_) {
    lastPrintedPercent_ = last_.percent;
    host_.Err(u"progress: " + text + u"\n");
  }
}

void ConsoleProgress::ShowProgress(const format::BlockProgress& progress) {
  last_ = progress;
  ShowLive();
}

void ConsoleProgress::ShowSpeed(const std::u16string& text) { speed_ = text; }

void ConsoleProgress::ShowTimeLeft(const format::TimeLeft& left) { timeLeft_ = ConsoleTimeLeft(left); }

std::u16string ConsoleTimeLeft(const format::TimeLeft& left) {
  switch (left.state) {
    case format::TimeLeft::State::Estimating:
      return u"time left: estimating";
    case format::TimeLeft::State::Known:
      return u"time left: " + format::ClockText(left.passSeconds) + u" this pass, " +
             format::ClockText(left.runSeconds) + u" in all";
    case format::TimeLeft::State::Ended:
      break;
  }
  return {};
}

void ConsoleProgress::ShowComplete() {
  last_.percent = 100;
  ShowLive();
}

void ConsoleProgress::ProcessMessages() {
  // The console closes or Windows ends the session: stop, and save the record now.
  const bool purging = erase_ && erase_->Purging();
  if (erase_ && erase_->Ending() && !endSeen_) {
    endSeen_ = true;
    stopRequested_ = true;
    Line(purging ? u"The console is closing or Windows is ending the session: the purge cannot be stopped and goes on "
                   u"in the drive; the record is saved now. Do not power off the computer until the drive has ended it."
                 : u"The console is closing or Windows is ending the session: stopping now; the record is saved first.");
    erase_->SavingAtPump();
    if (saveRecordNow_ && *saveRecordNow_) (*saveRecordNow_)();
    erase_->SavedAtPump();
    return;
  }
  // One press, one Stop: the run ends after the current block as cancelled.
  if (host_.Interrupted() && !interruptSeen_) {
    interruptSeen_ = true;
    const std::u16string key = host_.InterruptName();
    if (purging) {
      // Nothing stops a purge the drive has been sent: said once, and it goes on.
      Line(key + u": a firmware purge cannot be stopped; it goes on to its end, and the record is saved then. "
                 u"A second " + key + u" ends this program at once, with no record, while the drive goes on.");
      return;
    }
    stopRequested_ = true;
    Line(key + u": stopping after the current block... The record is saved then; a second " + key +
         u" ends the program at once, with no record.");
  }
}

void ConsoleProgress::FormatRunning() {
  // Called as the writing begins and again as the read-back begins: each pass counts its own percent.
  ++pass_;
  lastPrintedPercent_ = -1;
  if (liveWidth_ > 0) {
    host_.Err(u"\n");
    liveWidth_ = 0;
  }
}

void ConsoleProgress::FormatEnded(const format::EraseResult&, const format::VerifyResult*) {
  if (liveWidth_ > 0) {
    host_.Err(u"\n");
    liveWidth_ = 0;
  }
}

} // namespace trv::cli
