// Where the core's texts go. A report appends its lines to a line sink, the
// disk scan puts "Disks found: N" in a status sink. The window model's memo and
// status bar are such sinks; the console program keeps the lines to print them.
// The core never knows which.
#pragma once
#include <string>
#include <utility>
#include <vector>

namespace trv {

class LineSink {
 public:
  virtual ~LineSink() = default;
  // Appends one line as it stands: no time stamp, nothing cleared.
  virtual void AddLine(std::u16string line) = 0;
};

class StatusSink {
 public:
  virtual ~StatusSink() = default;
  // Replaces what the status shows.
  virtual void SetStatus(std::u16string text) = 0;
};

// Lines kept in memory, in the order they came.
class LineList final : public LineSink {
 public:
  void AddLine(std::u16string line) override { lines_.push_back(std::move(line)); }
  const std::vector<std::u16string>& lines() const { return lines_; }

 private:
  std::vector<std::u16string> lines_;
};

// The last status text, kept.
class StatusText final : public StatusSink {
 public:
  void SetStatus(std::u16string text) override { text_ = std::move(text); }
  const std::u16string& text() const { return text_; }

 private:
  std::u16string text_;
};

} // namespace trv
