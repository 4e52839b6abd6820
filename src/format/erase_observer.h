// What an erase reports to whoever drives it: the window program's format tab
// or a console. The engine never touches a window control.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "report/language.h"

namespace trv::format {

// A byte range [begin, end) of the disk.
struct Span {
  std::int64_t begin = 0;
  std::int64_t end = 0;
  std::int64_t Bytes() const { return end - begin; }
  bool operator==(const Span&) const = default;
};

enum class EraseOutcome {
  Completed,            // every byte of every area written and flushed
  CompletedWithErrors,  // the run went to the end, but bytes were left unwritten or the flush failed
  Cancelled,            // the user stopped it
  Terminated,           // the device went away
};

struct EraseResult {
  EraseOutcome outcome = EraseOutcome::Completed;
  std::vector<Span> areas;      // what the run set out to write
  std::vector<Span> written;    // what was written, merged
  std::vector<Span> unwritten;  // what failed, merged (at most the failing 64 KiB pieces)
  std::int64_t bytesWritten = 0;
  std::int64_t endOffset = 0;   // where the run stopped (cancelled or terminated), else the end of the last area
  bool flushed = false;         // FlushFileBuffers ran and succeeded
  std::uint32_t flushError = 0;
  // A write handed to the disk that had not returned when the record was saved
  // (Windows ended the session while the disk did not answer); -1: none.
  std::int64_t pendingOffset = -1;
};

// What the read-back after a run found. Failed bytes are those that read back
// non-zero or could not be read; an area is a run of sectors holding failed
// bytes (neighbouring sectors merge).
enum class VerifyOutcome {
  Passed,     // every byte of every written area read back as zero
  Failed,     // the pass went to the end and found failed bytes
  Cancelled,  // the user stopped it
  Terminated, // the device went away
};

struct VerifyResult {
  VerifyOutcome outcome = VerifyOutcome::Passed;
  std::vector<Span> areas;            // what the pass set out to read: the run's written ranges
  std::vector<Span> failedAreas;      // sector runs holding failed bytes, merged
  std::int64_t bytesRead = 0;         // bytes read back, failed ones included
  std::int64_t nonZeroBytes = 0;      // bytes that read back, but not as zero
  std::int64_t unreadableBytes = 0;   // bytes that could not be read
  std::int64_t endOffset = 0;         // where the pass stopped (cancelled or terminated)
  std::int64_t FailedBytes() const { return nonZeroBytes + unreadableBytes; }
};

// The state of one block as it begins.
struct BlockProgress {
  int barPosition = 0;       // rounded percentage of the run, before the 100 cap
  int percent = 0;           // the same, at most 100
  std::int64_t sector = 0;   // the sector at the end of the block
  std::int64_t offset = 0;   // where the block starts
  std::int64_t blockSize = 0;
};

// The time a run still needs, from the rate its disk kept over the last few
// seconds (format/time_left.h).
struct TimeLeft {
  enum class State {
    Estimating,  // no sound rate yet (the pass has just begun, or the disk stalls)
    Known,
    Ended,       // the pass is over: nothing to show
  };
  State state = State::Estimating;
  std::int64_t passSeconds = 0;  // the pass under way: the zero fill or the read-back
  std::int64_t runSeconds = 0;   // the whole run: this pass and the read-back that follows it
  bool laterPass = false;        // a read-back follows this pass (runSeconds counts it)
  bool operator==(const TimeLeft&) const = default;
};

struct PurgeResult;

class EraseObserver {
 public:
  virtual ~EraseObserver() = default;
  // An activity log line; the observer adds its time stamp.
  virtual void Log(const std::u16string& message) = 0;
  // A line the window shows as `window`, in its own language; a console, whose
  // standard error is English throughout, shows `english` instead. The record
  // keeps the line of the run's language (FormatContext::language).
  virtual void LogBilingual(const std::u16string& window, const std::u16string& english) {
    (void)english;
    Log(window);
  }
  // A line added as it stands, without a time stamp.
  virtual void LogBare(const std::u16string& line) = 0;
  virtual void ShowProgress(const BlockProgress& progress) = 0;
  virtual void ShowSpeed(const std::u16string& text) = 0;
  // Beside the speed, after it: what is left of the pass and of the run.
  virtual void ShowTimeLeft(const TimeLeft& left) { (void)left; }
  // What the speed display shows now (the last speed of this run, or what it held before).
  virtual std::u16string SpeedShown() = 0;
  // The run covered everything: the progress display goes to its end.
  virtual void ShowComplete() = 0;
  // Lets the user act (Stop); called once before the loop and once per block.
  virtual void ProcessMessages() = 0;
  // Around the zero-fill loop: before "Formatting... " is logged, right after it
  // (and again as the read-back begins), and when everything has returned.
  virtual void FormatStarting() {}
  virtual void FormatRunning() {}
  // The loop (and the read-back, when one ran) has returned.
  virtual void FormatEnded(const EraseResult& result, const VerifyResult* verify) {
    (void)result;
    (void)verify;
  }
  // A firmware purge (and its read-back, when one ran) has returned: called
  // instead of FormatEnded, which a purge never calls (it has no zero fill).
  virtual void PurgeEnded(const PurgeResult& purge, const VerifyResult* verify) {
    (void)purge;
    (void)verify;
  }
};

class RunWatch;

// Everything an erase works with besides the disk itself.
struct FormatContext {
  win::Platform& platform;
  EraseObserver& observer;
  bool debugMode = false;
  bool& stopRequested;                     // set by Stop, read once per block
  std::vector<win::Handle>& volumeHandles; // volumes locked for the run
  char16_t decimalSeparator = u'.';
  // Where a front end finds, while a run writes, what saves its record as it
  // stands now (Windows ending the session); empty at other times.
  std::function<void()>* saveRecordNow = nullptr;
  // Where the run publishes its pending request and its state for another
  // thread (format/run_watch.h); none: the engine keeps its own.
  RunWatch* watch = nullptr;
  // A read-back follows the zero fill: the time left for the whole run counts it.
  bool readBackFollows = false;
  // Of the log lines the record keeps: the window's (Chinese) or a console's English.
  report::Language language = report::Language::Chinese;
};

} // namespace trv::format
