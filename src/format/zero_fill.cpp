#include "format/zero_fill.h"

#include <algorithm>
#include <memory>
#include <optional>

#include "format/block_pacer.h"
#include "format/span_list.h"
#include "platform/text.h"
#include "report/number_text.h"

namespace trv::format {

using report::FormatThousands;

namespace {

// One run of the loop: its state lives here for the length of one call.
class ZeroFill {
 public:
  ZeroFill(FormatContext& ctx, const EraseTarget& target)
      : ctx_(ctx), p_(ctx.platform), target_(target) {}

  EraseResult Run(bool quickWipe);

 private:
  void WriteBlock(std::int64_t size);
  // Writes one piece of a failed block; false when the device went away.
  bool WritePiece(std::int64_t offset, std::int64_t size, std::int64_t blockOffset, std::uint32_t blockCode);
  void Unplugged(std::int64_t offset);
  void LogEnd();

  FormatContext& ctx_;
  win::Platform& p_;
  EraseTarget target_;
  std::optional<BlockPacer> pacer_;  // once the areas are known
  std::unique_ptr<std::uint8_t[]> zeros_;
  EraseResult result_;
  std::int64_t position_ = 0;   // offset of the next block
  bool aborted_ = false;
};

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
    AppendSpan(result_.unwritten, offset, offset + size);
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
    AppendSpan(result_.unwritten, offset, offset + size);
    return true;
  }
  AppendSpan(result_.written, offset, offset + size);
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
      AppendSpan(result_.written, position_, position_ + size);
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

EraseResult ZeroFill::Run(bool quickWipe) {
  zeros_ = std::make_unique<std::uint8_t[]>(kZeroBufferSize);  // value-initialised: all zero
  ctx_.observer.ProcessMessages();
  result_.areas = EraseAreas(report::CapacityBytes(target_.sectors, target_.sectorSize), quickWipe);
  std::int64_t total = 0;
  for (const Span& a : result_.areas) total += a.Bytes();
  pacer_.emplace(ctx_, target_.sectorSize, total);
  pacer_->Start();
  for (std::size_t area = 0; area < result_.areas.size() && !aborted_ && !ctx_.stopRequested; ++area) {
    const Span span = result_.areas[area];
    position_ = span.begin;
    if (area > 0)
      ctx_.observer.Log(u"Clearing the backup partition table: the last " + FormatThousands(span.Bytes()) +
                        u" bytes from offset " + FormatThousands(span.begin));
    while (position_ < span.end && !ctx_.stopRequested) {
      const std::int64_t size = pacer_->BeginBlock(position_, span.end);
      WriteBlock(size);
      if (aborted_) break;
      position_ += size;
      pacer_->EndBlock(size);
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
    ctx_.observer.Log(u"Operation terminated at offset " + pacer_->AtOffset(position_));
  } else if (ctx_.stopRequested) {
    result_.outcome = EraseOutcome::Cancelled;
    ctx_.observer.Log(u"Operation cancelled at offset " + pacer_->AtOffset(position_));
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
