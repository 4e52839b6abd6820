#include "format/block_retry.h"

#include <algorithm>
#include <optional>

#include "format/run_watch.h"
#include "platform/text.h"
#include "report/number_text.h"

namespace trv::format {

using report::FormatThousands;

bool IsGoneCode(std::uint32_t code) {
  switch (code) {
    case win::ERROR_FILE_NOT_FOUND:           // 2: the device object is gone
    case win::ERROR_WRITE_PROTECT:            // 19: write-protected or taken offline during the run
    case win::ERROR_NOT_READY:                // 21: a card pulled from its reader, a drive spun down for good
    case win::ERROR_DEV_NOT_EXIST:            // 55: the device is no longer available
    case win::ERROR_NO_SUCH_DEVICE:           // 433: a device that does not exist was named
    case win::ERROR_DEVICE_HARDWARE_ERROR:    // 483: a fatal hardware error
    case win::ERROR_NO_MEDIA_IN_DRIVE:        // 1112: the medium was taken out
    case win::ERROR_DEVICE_NOT_CONNECTED:     // 1167: the device (or its bridge) is not connected
      return true;
    default:
      return false;
  }
}

std::int64_t CounterMilliseconds(win::Platform& p) {
  std::int64_t frequency = 0;
  if (!p.QueryPerformanceFrequency(&frequency)) return -1;
  return CounterMilliseconds(p, frequency);
}

std::int64_t CounterMilliseconds(win::Platform& p, std::int64_t frequency) {
  std::int64_t counter = 0;
  if (frequency <= 0 || !p.QueryPerformanceCounter(&counter)) return -1;
  return static_cast<std::int64_t>(static_cast<long double>(counter) * 1000 / static_cast<long double>(frequency));
}

BlockRetry::BlockRetry(FormatContext& ctx, FailureWords words, bool writes, TransferFn transfer, AccountFn account)
    : ctx_(ctx), words_(std::move(words)), writes_(writes), transfer_(std::move(transfer)), account_(std::move(account)) {}

Transfer BlockRetry::Send(std::int64_t offset, std::int64_t size) {
  if (ctx_.watch) ctx_.watch->RequestStarting(offset, writes_);
  const Transfer t = transfer_(offset, size);
  if (ctx_.watch) ctx_.watch->RequestReturned();
  return t;
}

bool BlockRetry::TakeLine() {
  if (linesLeft_ > 0) {
    --linesLeft_;
    return true;
  }
  if (linesLeft_ == 0) {
    linesLeft_ = -1;
    Say([](const FailureWords& w) { return w.linesCut; });
  }
  return false;
}

void BlockRetry::Say(const std::function<std::u16string(const FailureWords&)>& line) {
  if (english_) ctx_.observer.LogBilingual(line(words_), line(*english_));
  else ctx_.observer.Log(line(words_));
}

void BlockRetry::SayGone(std::uint32_t code) {
  Say([code](const FailureWords& w) { return code == win::ERROR_WRITE_PROTECT ? w.refusesWrites : w.gone; });
}

void BlockRetry::Succeeded() {
  piecesInARow_ = 0;
  failingSince_ = -1;
}

std::int64_t BlockRetry::NowMs() {
  // The frequency is asked once, and only by a pass that meets a failure.
  if (frequency_ == 0 && !(ctx_.platform.QueryPerformanceFrequency(&frequency_) && frequency_ > 0)) frequency_ = -1;
  std::int64_t counter = 0;
  if (frequency_ < 0 || !ctx_.platform.QueryPerformanceCounter(&counter)) return -1;
  return static_cast<std::int64_t>(static_cast<long double>(counter) * 1000 / static_cast<long double>(frequency_));
}

void BlockRetry::Failed() {
  if (failingSince_ < 0) failingSince_ = NowMs();
}

std::optional<BlockRetry::GiveUp> BlockRetry::GiveUpNow() {
  if (piecesInARow_ >= kGiveUpPieces) return GiveUp{true, piecesInARow_};
  const std::int64_t now = failingSince_ >= 0 ? NowMs() : -1;
  if (now >= 0 && now - failingSince_ >= kGiveUpMilliseconds) return GiveUp{false, (now - failingSince_) / 1000};
  return std::nullopt;
}

void BlockRetry::LogBlock(std::int64_t offset, const Transfer& block, std::int64_t pieces, std::int64_t tried,
                          std::int64_t failed, std::int64_t firstFailed) {
  if (!TakeLine()) return;
  Say([&](const FailureWords& w) {
    std::u16string line = block.seekFailed
                              ? w.seekError + FormatThousands(offset)
                              : w.transferError + FormatThousands(offset) + u"   (" + DecimalText(block.code) + u")";
    // A block of one piece that failed again says no more than its first line.
    if (tried > 0 && !(pieces == 1 && failed == 1)) line += w.piecesSuffix(failed, tried, firstFailed);
    return line;
  });
}

bool BlockRetry::StopAfterCancel(const Transfer& t) {
  if (t.ok || t.seekFailed || t.code != win::ERROR_OPERATION_ABORTED) return false;
  ctx_.observer.ProcessMessages();
  return ctx_.stopRequested;
}

BlockOutcome BlockRetry::Run(std::int64_t offset, std::int64_t size) {
  const std::int64_t end = offset + size;
  const Transfer block = Send(offset, size);
  if (block.ok) {
    Succeeded();
    account_(offset, size, true);
    return {BlockEnd::Done, end};
  }
  if (StopAfterCancel(block)) {
    Say([&](const FailureWords& w) { return w.cancelled + FormatThousands(offset); });
    return {BlockEnd::Stopped, offset};
  }
  Failed();
  if (IsGoneCode(block.code)) {
    LogBlock(offset, block, 0, 0, 0, -1);
    SayGone(block.code);
    return {BlockEnd::Gone, offset};
  }
  // One bad sector must not cost a whole block: try again in 64 KiB pieces, so
  // that only the pieces that fail again are lost. The user can stop between
  // pieces, and the window is served, however slowly each one fails.
  const std::int64_t pieces = (size + kRetryPieceSize - 1) / kRetryPieceSize;
  std::int64_t tried = 0, failed = 0, first = -1;
  for (std::int64_t piece = offset; piece < end; piece += kRetryPieceSize) {
    ctx_.observer.ProcessMessages();
    if (ctx_.stopRequested) {
      LogBlock(offset, block, pieces, tried, failed, first);
      return {BlockEnd::Stopped, piece};
    }
    const std::int64_t n = std::min(kRetryPieceSize, end - piece);
    const Transfer t = Send(piece, n);
    ++tried;
    if (t.ok) {
      Succeeded();
      account_(piece, n, true);
      continue;
    }
    if (StopAfterCancel(t)) {
      LogBlock(offset, block, pieces, tried - 1, failed, first);
      Say([&](const FailureWords& w) { return w.cancelled + FormatThousands(piece); });
      return {BlockEnd::Stopped, piece};
    }
    Failed();
    if (IsGoneCode(t.code)) {
      LogBlock(offset, block, pieces, tried - 1, failed, first);
      SayGone(t.code);
      return {BlockEnd::Gone, piece};
    }
    ++failed;
    ++piecesInARow_;
    if (first < 0) first = piece;
    account_(piece, n, false);
    // Checked after each failed piece: the block's line first, then why the pass ends.
    if (const auto why = GiveUpNow()) {
      LogBlock(offset, block, pieces, tried, failed, first);
      Say([&](const FailureWords& w) { return why->pieces ? w.giveUpPieces(why->count) : w.giveUpTime(why->count); });
      return {BlockEnd::GaveUp, piece + n};
    }
  }
  LogBlock(offset, block, pieces, tried, failed, first);
  return {BlockEnd::Done, end};
}

} // namespace trv::format
