#include "format/zero_fill.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "platform/text.h"
#include "report/number_text.h"

namespace trv::format {

using report::FormatThousands;

namespace {

// Rounding to the nearest integer, halves to the even neighbour.
std::int64_t RoundEven(double value) { return static_cast<std::int64_t>(std::nearbyint(value)); }

// The speed with one decimal (pattern "0.0") in the user's decimal separator.
std::u16string SpeedText(double megabytesPerSecond, char16_t separator) {
  const std::int64_t tenths = std::llround(megabytesPerSecond * 10);
  return DecimalText(tenths / 10) + separator + static_cast<char16_t>(u'0' + tenths % 10) + u" MB/s";
}

bool IsUnplugCode(std::uint32_t code) { return code == win::ERROR_DEV_NOT_EXIST || code == win::ERROR_FILE_NOT_FOUND; }

// Appends [begin, end) to a list built in increasing offset order, merging neighbours.
void Append(std::vector<Span>& list, std::int64_t begin, std::int64_t end) {
  if (begin >= end) return;
  if (!list.empty() && list.back().end == begin) list.back().end = end;
  else list.push_back({begin, end});
}

// One run of the loop: its state lives here for the length of one call.
class ZeroFill {
 public:
  ZeroFill(FormatContext& ctx, const EraseTarget& target) : ctx_(ctx), p_(ctx.platform), target_(target) {}

  EraseResult Run(bool quickWipe);

 private:
  std::int64_t Now() { return p_.WallClockMilliseconds(); }
  void AdaptBlockSize();
  void WriteBlock(std::int64_t size);
  // Writes one piece of a failed block; false when the device went away.
  bool WritePiece(std::int64_t offset, std::int64_t size, std::int64_t blockOffset, std::uint32_t blockCode);
  void Unplugged(std::int64_t offset);
  void ShowSpeed();
  void LogEnd();
  std::u16string AtOffset(std::int64_t offset) const {
    const std::int64_t lba =
        target_.sectorSize > 0 ? RoundEven(static_cast<double>(offset) / static_cast<double>(target_.sectorSize)) : 0;
    return FormatThousands(offset) + u"    LBA " + FormatThousands(lba);
  }

  FormatContext& ctx_;
  win::Platform& p_;
  EraseTarget target_;
  std::unique_ptr<std::uint8_t[]> zeros_;
  EraseResult result_;
  std::int64_t total_ = 0;      // bytes of all areas
  std::int64_t done_ = 0;       // bytes of the areas covered so far, failed ones included
  std::int64_t position_ = 0;   // offset of the next block
  std::int64_t blockSize_ = kInitialBlockSize;
  std::int64_t blockCount_ = 0;
  std::int64_t startTime_ = 0;
  std::int64_t windowStart_ = 0;
  std::int64_t previousWindowStart_ = 0;
  bool aborted_ = false;
};

void ZeroFill::AdaptBlockSize() {
  if (blockCount_ % 10 != 0) return;
  const std::int64_t now = Now();
  if (windowStart_ == 0) {  // block 10: the first window begins
    windowStart_ = now;
    return;
  }
  previousWindowStart_ = windowStart_;
  windowStart_ = now;
  if (now - previousWindowStart_ < 1000) blockSize_ = std::min(blockSize_ * 2, kZeroBufferSize);
}

void ZeroFill::Unplugged(std::int64_t offset) {
  ctx_.observer.Log(u"Device was unplugged, aborting...");
  aborted_ = true;
  position_ = offset;
}

bool ZeroFill::WritePiece(std::int64_t offset, std::int64_t size, std::int64_t blockOffset, std::uint32_t blockCode) {
  std::uint32_t written = 0;
  if (SeekDevice(p_, target_.handle, offset) != offset) {
    const std::uint32_t code = p_.GetLastError();
    if (offset != blockOffset || blockCode != 0) ctx_.observer.Log(u"Seek error occurred at offset " + FormatThousands(offset));
    if (IsUnplugCode(code)) {
      Unplugged(offset);
      return false;
    }
    Append(result_.unwritten, offset, offset + size);
    return true;
  }
  if (!p_.WriteFile(target_.handle, zeros_.get(), static_cast<std::uint32_t>(size), &written) || written != size) {
    const std::uint32_t code = p_.GetLastError();
    // The block's own line already named this offset and code.
    if (offset != blockOffset || code != blockCode)
      ctx_.observer.Log(u"Format Error occurred at offset " + FormatThousands(offset) + u"   (" + DecimalText(code) + u")");
    if (IsUnplugCode(code)) {
      Unplugged(offset);
      return false;
    }
    Append(result_.unwritten, offset, offset + size);
    return true;
  }
  Append(result_.written, offset, offset + size);
  result_.bytesWritten += size;
  return true;
}

void ZeroFill::WriteBlock(std::int64_t size) {
  std::uint32_t blockCode = 0;  // 0: the seek failed
  if (SeekDevice(p_, target_.handle, position_) != position_) {
    ctx_.observer.Log(u"Seek error occurred at offset " + FormatThousands(position_));
  } else {
    std::uint32_t written = 0;
    if (p_.WriteFile(target_.handle, zeros_.get(), static_cast<std::uint32_t>(size), &written) && written == size) {
      Append(result_.written, position_, position_ + size);
      result_.bytesWritten += size;
      return;
    }
    blockCode = p_.GetLastError();
    ctx_.observer.Log(u"Format Error occurred at offset " + FormatThousands(position_) + u"   (" + DecimalText(blockCode) + u")");
    if (IsUnplugCode(blockCode)) {
      Unplugged(position_);
      return;
    }
  }
  // One bad sector must not cost a whole block: try again in 64 KiB pieces, so
  // that only the pieces that fail again stay unwritten.
  for (std::int64_t piece = position_; piece < position_ + size; piece += kRetryPieceSize)
    if (!WritePiece(piece, std::min(kRetryPieceSize, position_ + size - piece), position_, blockCode)) return;
}

void ZeroFill::ShowSpeed() {
  std::int64_t elapsed = Now() - startTime_;
  if (elapsed < 0) elapsed = 0;  // the clock was set back
  if (elapsed > 0)
    ctx_.observer.ShowSpeed(SpeedText(static_cast<double>(done_) / static_cast<double>(elapsed) / 1000.0, ctx_.decimalSeparator));
}

EraseResult ZeroFill::Run(bool quickWipe) {
  zeros_ = std::make_unique<std::uint8_t[]>(kZeroBufferSize);  // value-initialised: all zero
  ctx_.observer.ProcessMessages();
  result_.areas = EraseAreas(report::CapacityBytes(target_.sectors, target_.sectorSize), quickWipe);
  for (const Span& a : result_.areas) total_ += a.Bytes();
  startTime_ = Now();
  for (std::size_t area = 0; area < result_.areas.size() && !aborted_ && !ctx_.stopRequested; ++area) {
    const Span span = result_.areas[area];
    position_ = span.begin;
    if (area > 0)
      ctx_.observer.Log(u"Clearing the backup partition table: the last " + FormatThousands(span.Bytes()) +
                        u" bytes from offset " + FormatThousands(span.begin));
    while (position_ < span.end && !ctx_.stopRequested) {
      ++blockCount_;
      AdaptBlockSize();
      const std::int64_t size = std::min(blockSize_, span.end - position_);  // only an area's last block is shorter
      BlockProgress progress;
      progress.barPosition = static_cast<int>(RoundEven(static_cast<double>(done_ + size) / static_cast<double>(total_) * 100));
      progress.percent = std::min(progress.barPosition, 100);
      progress.sector = RoundEven(static_cast<double>(position_ + size) / static_cast<double>(target_.sectorSize));
      progress.offset = position_;
      progress.blockSize = size;
      ctx_.observer.ShowProgress(progress);
      ctx_.observer.ProcessMessages();
      WriteBlock(size);
      if (aborted_) break;
      position_ += size;
      done_ += size;
      ShowSpeed();
    }
  }
  zeros_.reset();
  result_.endOffset = position_;
  if (!aborted_) {
    result_.flushed = p_.FlushFileBuffers(target_.handle);
    if (!result_.flushed) {
      result_.flushError = p_.GetLastError();
      ctx_.observer.Log(u"Flush error occurred   (" + DecimalText(result_.flushError) + u")");
    }
  }
  LogEnd();
  return result_;
}

void ZeroFill::LogEnd() {
  ctx_.observer.Log(u"Average speed: " + ctx_.observer.SpeedShown());
  if (!result_.unwritten.empty()) {
    std::int64_t bytes = 0;
    for (const Span& s : result_.unwritten) bytes += s.Bytes();
    const std::size_t areas = result_.unwritten.size();
    ctx_.observer.Log(u"Low-level format finished with errors: " + FormatThousands(bytes) + u" bytes in " +
                      DecimalText(static_cast<std::uint64_t>(areas)) + (areas == 1 ? u" area" : u" areas") +
                      u" could not be written (first at offset " + FormatThousands(result_.unwritten.front().begin) + u").");
  }
  if (aborted_) {
    result_.outcome = EraseOutcome::Terminated;
    ctx_.observer.Log(u"Operation terminated at offset " + AtOffset(position_));
  } else if (ctx_.stopRequested) {
    result_.outcome = EraseOutcome::Cancelled;
    ctx_.observer.Log(u"Operation cancelled at offset " + AtOffset(position_));
    ctx_.stopRequested = false;
  } else if (!result_.unwritten.empty()) {
    result_.outcome = EraseOutcome::CompletedWithErrors;
  } else if (!result_.flushed) {
    result_.outcome = EraseOutcome::CompletedWithErrors;
    ctx_.observer.Log(u"Low-level format is not complete: the device did not confirm that the zeros were written.");
  } else {
    result_.outcome = EraseOutcome::Completed;
    ctx_.observer.ShowComplete();
    ctx_.observer.Log(u"Low-level format is complete.");
  }
}

} // namespace

std::vector<Span> EraseAreas(std::int64_t capacity, bool quickWipe) {
  std::vector<Span> areas;
  if (capacity <= 0) return areas;
  if (!quickWipe || capacity <= kQuickWipeBytes) {
    areas.push_back({0, capacity});
    return areas;
  }
  areas.push_back({0, kQuickWipeBytes});
  areas.push_back({std::max(kQuickWipeBytes, capacity - kBackupTableBytes), capacity});
  return areas;
}

std::int64_t SeekDevice(win::Platform& platform, win::Handle handle, std::int64_t offset) {
  std::int64_t now = 0;
  return platform.SetFilePointerEx(handle, offset, &now, win::FILE_BEGIN) ? now : -1;
}

EraseResult LowLevelFormat(FormatContext& ctx, const EraseTarget& target, bool quickWipe) {
  return ZeroFill(ctx, target).Run(quickWipe);
}

} // namespace trv::format
