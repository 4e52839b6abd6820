#include "format/block_pacer.h"

#include <algorithm>
#include <cmath>

#include "format/block_retry.h"
#include "format/zero_fill.h"
#include "platform/text.h"
#include "report/number_text.h"

namespace trv::format {

namespace {

// The speed with one decimal (pattern "0.0") in the user's decimal separator.
std::u16string SpeedText(double megabytesPerSecond, char16_t separator) {
  const std::int64_t tenths = std::llround(megabytesPerSecond * 10);
  return DecimalText(tenths / 10) + separator + static_cast<char16_t>(u'0' + tenths % 10) + u" MB/s";
}

} // namespace

std::int64_t RoundEven(double value) { return static_cast<std::int64_t>(std::nearbyint(value)); }

BlockPacer::BlockPacer(FormatContext& ctx, std::int64_t sectorSize, std::int64_t totalBytes, std::int64_t laterBytes)
    : ctx_(ctx), sectorSize_(sectorSize), total_(totalBytes), later_(laterBytes), blockSize_(kInitialBlockSize) {}

std::int64_t BlockPacer::Now() { return ctx_.platform.WallClockMilliseconds(); }

std::int64_t BlockPacer::CounterNow() { return CounterMilliseconds(ctx_.platform, counterFrequency_); }

void BlockPacer::Start() {
  startTime_ = Now();
  // The frequency once per pass; the counter, unlike the wall clock, is read for every block.
  if (!ctx_.platform.QueryPerformanceFrequency(&counterFrequency_) || counterFrequency_ < 0) counterFrequency_ = 0;
  rate_.Start(CounterNow());
  TimeLeft left;
  left.laterPass = later_ > 0;
  ctx_.observer.ShowTimeLeft(left);
}

void BlockPacer::Finish() {
  TimeLeft ended;
  ended.state = TimeLeft::State::Ended;
  ctx_.observer.ShowTimeLeft(ended);
}

void BlockPacer::AdaptBlockSize() {
  if (blockCount_ % 10 != 0) return;
  const std::int64_t now = Now();
  if (windowStart_ == 0) {  // block 10: the first window begins
    windowStart_ = now;
    return;
  }
  previousWindowStart_ = windowStart_;
  windowStart_ = now;
  if (now - previousWindowStart_ < kPacingWindowMs) blockSize_ = std::min(blockSize_ * 2, kZeroBufferSize);
}

std::int64_t BlockPacer::BeginBlock(std::int64_t position, std::int64_t areaEnd) {
  ++blockCount_;
  AdaptBlockSize();
  const std::int64_t size = std::min(blockSize_, areaEnd - position);
  BlockProgress progress;
  progress.barPosition = static_cast<int>(RoundEven(static_cast<double>(done_ + size) / static_cast<double>(total_) * 100));
  progress.percent = std::min(progress.barPosition, 100);
  progress.sector = RoundEven(static_cast<double>(position + size) / static_cast<double>(sectorSize_));
  progress.offset = position;
  progress.blockSize = size;
  ctx_.observer.ShowProgress(progress);
  ctx_.observer.ProcessMessages();
  blockStart_ = Now();
  return size;
}

void BlockPacer::EndBlock(std::int64_t size) {
  done_ += size;
  const std::int64_t now = Now();
  const std::int64_t took = now - blockStart_;  // negative when the clock was set back: no measure
  if (took > kPacingWindowMs && blockSize_ > kInitialBlockSize) {
    blockSize_ /= 2;
    windowStart_ = 0;  // the next ten blocks are measured afresh
  }
  std::int64_t elapsed = now - startTime_;
  if (elapsed < 0) elapsed = 0;  // the clock was set back
  if (elapsed > 0)
    ctx_.observer.ShowSpeed(SpeedText(static_cast<double>(done_) / static_cast<double>(elapsed) / 1000.0, ctx_.decimalSeparator));
  if (const std::int64_t ms = CounterNow(); ms >= 0) rate_.Add(ms, done_);
  ctx_.observer.ShowTimeLeft(rate_.Estimate(total_ - done_, later_));
}

std::u16string BlockPacer::AtOffset(std::int64_t offset) const {
  const std::int64_t lba = sectorSize_ > 0 ? RoundEven(static_cast<double>(offset) / static_cast<double>(sectorSize_)) : 0;
  return report::FormatThousands(offset) + u"    LBA " + report::FormatThousands(lba);
}

} // namespace trv::format
