#include "format/read_back.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>

#include "format/block_pacer.h"
#include "format/block_retry.h"
#include "format/io_buffer.h"
#include "format/span_list.h"
#include "platform/text.h"
#include "report/number_text.h"

namespace trv::format {

using report::FormatThousands;

namespace {

bool AllZero(const std::uint8_t* data, std::int64_t size) {
  static constexpr std::uint8_t kZeros[4096] = {};
  for (std::int64_t at = 0; at < size; at += sizeof kZeros) {
    const auto n = static_cast<std::size_t>(std::min<std::int64_t>(sizeof kZeros, size - at));
    if (std::memcmp(data + at, kZeros, n) != 0) return false;
  }
  return true;
}

bool AllOnes(const std::uint8_t* data, std::int64_t size) {
  return std::all_of(data, data + size, [](std::uint8_t b) { return b == 0xFF; });
}

FailureWords ReadWords() {
  FailureWords w;
  w.seekError = u"校验定位错误，偏移 ";
  w.transferError = u"校验读取错误，偏移 ";
  w.gone = u"设备已拔出，校验中止...";
  w.refusesWrites = w.gone;  // a read never meets write protection
  w.giveUpPieces = [](std::int64_t pieces) {
    return u"校验读取持续失败：连续 " + FormatThousands(pieces) + u" 个 64 KiB 片段无法读取，磁盘已损坏，校验中止...";
  };
  w.giveUpTime = [](std::int64_t seconds) {
    return u"校验读取持续失败：" + FormatThousands(seconds) + u" 秒内没有一次读取成功，磁盘无响应，校验中止...";
  };
  w.linesCut = u"更多出错的块不再逐一列出；结尾的汇总包含全部。";
  w.cancelled = u"校验读取未返回，已取消，偏移 ";
  w.piecesSuffix = [](std::int64_t failed, std::int64_t tried, std::int64_t first) -> std::u16string {
    if (failed == 0) return u"；分 " + FormatThousands(tried) + u" 个 64 KiB 片段重读成功";
    return u"；" + FormatThousands(tried) + u" 个 64 KiB 片段中 " + FormatThousands(failed) + u" 个重读仍失败（首个位于偏移 " +
           FormatThousands(first) + u"）";
  };
  return w;
}

// The same lines as a console shows them.
FailureWords EnglishReadWords() {
  FailureWords w;
  w.seekError = u"Read-back seek error at offset ";
  w.transferError = u"Read-back read error at offset ";
  w.gone = u"Device was unplugged, read-back aborted...";
  w.refusesWrites = w.gone;
  w.giveUpPieces = [](std::int64_t pieces) {
    return u"Reads keep failing: " + FormatThousands(pieces) +
           u" pieces of 64 KiB in a row could not be read. The disk is failing, read-back aborted...";
  };
  w.giveUpTime = [](std::int64_t seconds) {
    return u"Reads keep failing: none has succeeded for " + FormatThousands(seconds) +
           u" seconds. The disk does not answer, read-back aborted...";
  };
  w.linesCut = u"More blocks failed to read: they are no longer listed one by one; the summary at the end counts them all.";
  w.cancelled = u"The read-back's read did not return and was cancelled at offset ";
  w.piecesSuffix = [](std::int64_t failed, std::int64_t tried, std::int64_t first) -> std::u16string {
    if (failed == 0) return u"; read again in " + FormatThousands(tried) + u" pieces of 64 KiB: all read";
    return u"; read again in 64 KiB pieces: " + FormatThousands(failed) + u" of " + FormatThousands(tried) +
           u" failed (first at offset " + FormatThousands(first) + u")";
  };
  return w;
}

class ReadBackPass {
 public:
  ReadBackPass(FormatContext& ctx, const EraseTarget& target, ReadBackExpect expect)
      : ctx_(ctx), p_(ctx.platform), target_(target), expect_(expect), sector_(std::max<std::int64_t>(target.sectorSize, 512)),
        retry_(ctx, ReadWords(), false, [this](std::int64_t offset, std::int64_t size) { return Read(offset, size); },
               [this](std::int64_t offset, std::int64_t size, bool good) {
                 if (good) Check(offset, size);
                 else Unreadable(offset, size);
               }) {
    retry_.SetEnglishWords(EnglishReadWords());
  }

  VerifyResult Run(const std::vector<Span>& areas);

 private:
  Transfer Read(std::int64_t offset, std::int64_t size);
  // Counts the bytes of [offset, offset + size) that are not zero, by sector.
  void Check(std::int64_t offset, std::int64_t size);
  void Unreadable(std::int64_t offset, std::int64_t size);
  void LogEnd();

  FormatContext& ctx_;
  win::Platform& p_;
  EraseTarget target_;
  ReadBackExpect expect_;
  std::int64_t sector_;
  BlockRetry retry_;
  std::optional<BlockPacer> pacer_;
  IoBuffer buffer_;
  VerifyResult result_;
  std::int64_t position_ = 0;
  bool aborted_ = false;     // the disk went away, or the reads kept failing
  bool reachedEnd_ = false;  // every block of every area was tried
};

void ReadBackPass::Unreadable(std::int64_t offset, std::int64_t size) {
  result_.unreadableBytes += size;
  AppendSpan(result_.failedAreas, offset, offset + size);
}

Transfer ReadBackPass::Read(std::int64_t offset, std::int64_t size) {
  if (SeekDevice(p_, target_.handle, offset) != offset) return {false, true, p_.GetLastError()};
  std::uint32_t read = 0;
  if (p_.ReadFile(target_.handle, buffer_.get() + (offset - position_), static_cast<std::uint32_t>(size), &read) &&
      read == size)
    return {true, false, 0};
  return {false, false, p_.GetLastError()};
}

void ReadBackPass::Check(std::int64_t offset, std::int64_t size) {
  const std::uint8_t* data = buffer_.get() + (offset - position_);
  if (expect_ == ReadBackExpect::Readable || AllZero(data, size)) return;
  std::int64_t found = 0;
  for (std::int64_t at = 0; at < size; at += sector_) {
    const std::int64_t n = std::min(sector_, size - at);
    if (expect_ == ReadBackExpect::ZerosOrOnes && AllOnes(data + at, n)) continue;
    const auto nonZero = std::count_if(data + at, data + at + n, [](std::uint8_t b) { return b != 0; });
    if (nonZero == 0) continue;
    found += nonZero;
    AppendSpan(result_.failedAreas, offset + at, offset + at + n);
  }
  result_.nonZeroBytes += found;
  if (retry_.TakeLine())
    ctx_.observer.LogBilingual(u"校验发现非零数据：偏移 " + FormatThousands(offset) + u" 起的 " + FormatThousands(size) +
                                   u" 字节中有 " + FormatThousands(found) + u" 字节不为零",
                               u"Read-back found non-zero data: " + FormatThousands(found) + u" of the " +
                                   FormatThousands(size) + u" bytes from offset " + FormatThousands(offset) + u" are not zero");
}

VerifyResult ReadBackPass::Run(const std::vector<Span>& areas) {
  result_.areas = areas;
  buffer_ = IoBuffer(p_, static_cast<std::size_t>(kZeroBufferSize));
  const std::int64_t total = TotalBytes(areas);
  if (expect_ == ReadBackExpect::Zeros)
    ctx_.observer.LogBilingual(u"擦除后校验：读回已写入的 " + FormatThousands(total) + u" 字节... ",
                               u"Read-back: reading the " + FormatThousands(total) + u" bytes written... ");
  else
    ctx_.observer.LogBilingual(u"清除后校验：读取整个磁盘的 " + FormatThousands(total) + u" 字节... ",
                               u"Read-back: reading the disk's " + FormatThousands(total) + u" bytes... ");
  ctx_.observer.ProcessMessages();
  pacer_.emplace(ctx_, target_.sectorSize, total);
  pacer_->Start();
  for (std::size_t area = 0; area < areas.size() && !aborted_ && !ctx_.stopRequested; ++area) {
    position_ = areas[area].begin;
    while (position_ < areas[area].end && !ctx_.stopRequested) {
      const std::int64_t size = pacer_->BeginBlock(position_, areas[area].end);
      const BlockOutcome block = retry_.Run(position_, size);
      if (block.end == BlockEnd::Gone) {
        aborted_ = true;
        position_ = block.reached;  // the offset whose request failed
        break;
      }
      result_.bytesRead += block.reached - position_;
      pacer_->EndBlock(block.reached - position_);
      position_ = block.reached;
      if (block.end == BlockEnd::GaveUp) {
        aborted_ = true;
        break;
      }
    }
  }
  buffer_.reset();
  pacer_->Finish();
  result_.endOffset = position_;
  // A Stop taken in during the last block came too late to stop anything.
  reachedEnd_ = !aborted_ && (areas.empty() || position_ >= areas.back().end);
  LogEnd();
  return result_;
}

void ReadBackPass::LogEnd() {
  ctx_.observer.LogBilingual(u"校验平均速度: " + ctx_.observer.SpeedShown(),
                             u"Read-back average speed: " + ctx_.observer.SpeedShown());
  if (aborted_) {
    result_.outcome = VerifyOutcome::Terminated;
    ctx_.observer.LogBilingual(u"校验终止于偏移 " + pacer_->AtOffset(position_),
                               u"Read-back terminated at offset " + pacer_->AtOffset(position_));
  } else if (ctx_.stopRequested && !reachedEnd_) {
    result_.outcome = VerifyOutcome::Cancelled;
    ctx_.observer.LogBilingual(u"校验已取消，停止于偏移 " + pacer_->AtOffset(position_),
                               u"Read-back cancelled at offset " + pacer_->AtOffset(position_));
    ctx_.stopRequested = false;
  } else if (result_.FailedBytes() > 0) {
    result_.outcome = VerifyOutcome::Failed;
  } else {
    result_.outcome = VerifyOutcome::Passed;
    ctx_.observer.ShowComplete();
    if (expect_ == ReadBackExpect::Zeros)
      ctx_.observer.LogBilingual(u"校验通过", u"Read-back passed: every byte written reads back as zero");
    else if (expect_ == ReadBackExpect::ZerosOrOnes)
      ctx_.observer.LogBilingual(u"校验通过：每个扇区都读回为零或驱动器的释放模式",
                                 u"Read-back passed: every sector reads back as zeros or the drive's deallocated pattern");
    else
      ctx_.observer.LogBilingual(u"校验通过：每个扇区都可读", u"Read-back passed: every sector can be read");
  }
  // Failures found before a Stop or an unplug are reported all the same.
  if (result_.FailedBytes() > 0)
    ctx_.observer.LogBilingual(u"校验失败：" + DecimalText(static_cast<std::uint64_t>(result_.failedAreas.size())) +
                                   u" 个区域共 " + FormatThousands(result_.FailedBytes()) + u" 字节未能读回为零（首个位于偏移 " +
                                   FormatThousands(result_.failedAreas.front().begin) + u"）",
                               u"Read-back failed: " + FormatThousands(result_.FailedBytes()) + u" bytes in " +
                                   DecimalText(static_cast<std::uint64_t>(result_.failedAreas.size())) +
                                   u" areas did not read back as zero (the first at offset " +
                                   FormatThousands(result_.failedAreas.front().begin) + u")");
}

} // namespace

VerifyResult ReadBack(FormatContext& ctx, const EraseTarget& target, const std::vector<Span>& areas,
                      ReadBackExpect expect) {
  return ReadBackPass(ctx, target, expect).Run(areas);
}

} // namespace trv::format
