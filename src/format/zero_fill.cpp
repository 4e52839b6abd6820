#include "format/zero_fill.h"

#include <algorithm>
#include <memory>
#include <optional>

#include "format/block_pacer.h"
#include "format/block_retry.h"
#include "format/hidden_range_text.h"
#include "format/io_buffer.h"
#include "format/run_watch.h"
#include "format/span_list.h"
#include "platform/text.h"
#include "report/number_text.h"

namespace trv::format {

using report::FormatThousands;

namespace {

FailureWords WriteWords() {
  FailureWords w;
  w.seekError = u"Seek error occurred at offset ";
  w.transferError = u"Format Error occurred at offset ";
  w.gone = u"Device was unplugged, aborting...";
  w.refusesWrites = u"The disk no longer takes writes (write-protected or offline), aborting...";
  w.giveUpPieces = [](std::int64_t pieces) {
    return u"Writes keep failing: " + FormatThousands(pieces) +
           u" pieces of 64 KiB in a row could not be written. The disk is failing, aborting...";
  };
  w.giveUpTime = [](std::int64_t seconds) {
    return u"Writes keep failing: none has succeeded for " + FormatThousands(seconds) +
           u" seconds. The disk does not answer, aborting...";
  };
  w.linesCut = u"More blocks failed: they are no longer listed one by one; the summary at the end counts them all.";
  w.cancelled = u"The write did not return and was cancelled at offset ";
  w.piecesSuffix = [](std::int64_t failed, std::int64_t tried, std::int64_t first) -> std::u16string {
    if (failed == 0) return tried == 1 ? std::u16string(u"; written on a second try")
                                       : u"; tried again in 64 KiB pieces: all " + FormatThousands(tried) + u" written";
    return u"; tried again in 64 KiB pieces: " + FormatThousands(failed) + u" of " + FormatThousands(tried) +
           u" failed (first at offset " + FormatThousands(first) + u")";
  };
  return w;
}

// One run of the loop: its state lives here for the length of one call.
class ZeroFill {
 public:
  ZeroFill(FormatContext& ctx, const EraseTarget& target)
      : ctx_(ctx), p_(ctx.platform), target_(target),
        retry_(ctx, WriteWords(), true, [this](std::int64_t offset, std::int64_t size) { return Write(offset, size); },
               [this](std::int64_t offset, std::int64_t size, bool good) { Account(offset, size, good); }) {}

  EraseResult Run(bool quickWipe);

 private:
  Transfer Write(std::int64_t offset, std::int64_t size);
  void Account(std::int64_t offset, std::int64_t size, bool good);
  void Flush();
  void LogEnd();

  FormatContext& ctx_;
  win::Platform& p_;
  EraseTarget target_;
  BlockRetry retry_;
  std::optional<BlockPacer> pacer_;  // once the areas are known
  IoBuffer zeros_;
  EraseResult result_;
  std::int64_t position_ = 0;   // offset of the next block
  bool aborted_ = false;        // the disk went away, or the writes kept failing
  bool reachedEnd_ = false;     // every block of every area was tried
};

Transfer ZeroFill::Write(std::int64_t offset, std::int64_t size) {
  if (SeekDevice(p_, target_.handle, offset) != offset) return {false, true, p_.GetLastError()};
  std::uint32_t written = 0;
  if (p_.WriteFile(target_.handle, zeros_.get(), static_cast<std::uint32_t>(size), &written) && written == size)
    return {true, false, 0};
  return {false, false, p_.GetLastError()};
}

void ZeroFill::Account(std::int64_t offset, std::int64_t size, bool good) {
  if (good) {
    AppendSpan(result_.written, offset, offset + size);
    result_.bytesWritten += size;
  } else {
    AppendSpan(result_.unwritten, offset, offset + size);
  }
  // A record saved while the next request hangs holds everything up to here.
  if (ctx_.watch) ctx_.watch->Transferred(offset, size, good);
}

void ZeroFill::Flush() {
  result_.flushed = p_.FlushFileBuffers(target_.handle);
  // Cancelled (a cancel meant for a write that returned just before it): asked
  // once more, so that a cancel never turns a complete run into one with errors.
  if (!result_.flushed && p_.GetLastError() == win::ERROR_OPERATION_ABORTED)
    result_.flushed = p_.FlushFileBuffers(target_.handle);
  if (!result_.flushed) {
    result_.flushError = p_.GetLastError();
    ctx_.observer.Log(u"Flush error occurred   (" + DecimalText(result_.flushError) + u")");
  }
}

EraseResult ZeroFill::Run(bool quickWipe) {
  zeros_ = IoBuffer(p_, static_cast<std::size_t>(kZeroBufferSize));  // VirtualAlloc's pages: all zero
  ctx_.observer.ProcessMessages();
  result_.areas = EraseAreas(report::CapacityBytes(target_.sectors, target_.sectorSize), quickWipe, target_.sectorSize);
  std::int64_t total = 0;
  for (const Span& a : result_.areas) total += a.Bytes();
  if (ctx_.watch) ctx_.watch->Publish(result_);
  pacer_.emplace(ctx_, target_.sectorSize, total, ctx_.readBackFollows ? total : 0);
  pacer_->Start();
  for (std::size_t area = 0; area < result_.areas.size() && !aborted_ && !ctx_.stopRequested; ++area) {
    const Span span = result_.areas[area];
    position_ = span.begin;
    if (area > 0)
      ctx_.observer.Log(u"Clearing the backup partition table: the last " + FormatThousands(span.Bytes()) +
                        u" bytes from offset " + FormatThousands(span.begin));
    while (position_ < span.end && !ctx_.stopRequested) {
      const std::int64_t size = pacer_->BeginBlock(position_, span.end);
      const BlockOutcome block = retry_.Run(position_, size);
      if (block.end == BlockEnd::Gone) {
        aborted_ = true;
        position_ = block.reached;  // the offset whose request failed
        break;
      }
      pacer_->EndBlock(block.reached - position_);
      position_ = block.reached;
      if (block.end == BlockEnd::GaveUp) {
        aborted_ = true;
        break;
      }
    }
  }
  zeros_.reset();
  pacer_->Finish();
  result_.endOffset = position_;
  // A Stop taken in during the last block came too late to stop anything.
  reachedEnd_ = !aborted_ && (result_.areas.empty() || position_ >= result_.areas.back().end);
  if (!aborted_) Flush();
  LogEnd();
  if (ctx_.watch) ctx_.watch->PublishEnded(result_);
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
  NoteUnreachableBytes(target_, result_, [this](const std::u16string& line) { ctx_.observer.Log(line); });
  if (aborted_) {
    result_.outcome = EraseOutcome::Terminated;
    ctx_.observer.Log(u"Operation terminated at offset " + pacer_->AtOffset(position_));
  } else if (ctx_.stopRequested && !reachedEnd_) {
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

void NoteUnreachableBytes(const EraseTarget& target, EraseResult& run, const std::function<void(const std::u16string&)>& log) {
  const std::int64_t shown = target.sectors * target.sectorSize;
  if (shown > 0 && target.statedBytes > shown) {
    log(u"The disk is not completely erased: the drive states " + FormatThousands(target.statedBytes) +
        u" bytes, but Windows shows only " + FormatThousands(shown) + u"; bytes from offset " + FormatThousands(shown) +
        u" to " + FormatThousands(target.statedBytes) + u" could not be reached.");
    run.unwritten.push_back({shown, target.statedBytes});
  }
  // An HPA or a DCO hides sectors past the stated size; the drive keeps their data.
  for (const device::HiddenRange& range : target.hidden) {
    log(u"The disk is not completely erased: " + HiddenRangeText(range) + u", which could not be reached.");
    AppendSpan(run.unwritten, range.FirstByte(), range.EndByte());
  }
}

std::vector<Span> EraseAreas(std::int64_t capacity, bool quickWipe, std::int64_t sectorSize) {
  std::vector<Span> areas;
  if (capacity <= 0) return areas;
  // A disk writes whole sectors only: on one with sectors larger than 512 bytes
  // the first area ends at the sector boundary after 10,240,000 bytes.
  const std::int64_t sector = std::max<std::int64_t>(sectorSize, 1);
  const std::int64_t firstEnd = (kQuickWipeBytes + sector - 1) / sector * sector;
  if (!quickWipe || capacity <= firstEnd) {
    areas.push_back({0, capacity});
    return areas;
  }
  areas.push_back({0, firstEnd});
  areas.push_back({std::max(firstEnd, capacity - kBackupTableBytes), capacity});
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
