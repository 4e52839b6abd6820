// What both passes over a disk (the zero fill and the read-back) do when a
// block fails: the block is tried again in 64 KiB pieces, with Stop taken in
// and messages pumped between pieces; a code that means the disk is gone ends
// the pass at once; a stretch of failures that does not end ends the pass on
// its own; and each failed block gets one log line, up to a bounded number of
// lines per pass, so the log stays small however large the disk.
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "format/erase_observer.h"

namespace trv::format {

inline constexpr std::int64_t kRetryPieceSize = 65'536;  // a failed block is tried again in these
// A pass gives up when this many pieces in a row have failed (64 MiB)...
inline constexpr std::int64_t kGiveUpPieces = 1'024;
// ...or when nothing has succeeded for this long after the first failure was
// reported (a hung drive fails each request only after its driver's timeout,
// a minute or more).
inline constexpr std::int64_t kGiveUpMilliseconds = 300'000;
// Failed blocks logged one by one in a pass; the summary at its end counts them all.
inline constexpr int kMaxBlockErrorLines = 1'000;

// The last errors that mean the disk went away or can no longer take a
// request (pulled, its medium pulled, its bridge gone, fatal hardware error,
// or it no longer takes writes at all): the pass ends there, as at an unplug.
bool IsGoneCode(std::uint32_t code);

// Milliseconds on the performance counter, which no change of the wall clock
// moves; -1 when the counter cannot be read.
std::int64_t CounterMilliseconds(win::Platform& platform);
// The same with the counter's frequency already known (0: unknown, -1).
std::int64_t CounterMilliseconds(win::Platform& platform, std::int64_t frequency);

// How the seek and the transfer of one range came out.
struct Transfer {
  bool ok = false;
  bool seekFailed = false;
  std::uint32_t code = 0;  // the last error of the step that failed
};

// The words a pass writes its failure lines with.
struct FailureWords {
  std::u16string seekError;      // + offset
  std::u16string transferError;  // + offset + "   (code)"
  std::u16string gone;           // the disk went away
  std::u16string refusesWrites;  // the disk became write-protected or went offline
  // The line that ends a pass that keeps failing: so many pieces in a row, or
  // nothing succeeded for so many seconds.
  std::function<std::u16string(std::int64_t pieces)> giveUpPieces;
  std::function<std::u16string(std::int64_t seconds)> giveUpTime;
  std::u16string linesCut;       // no more failed blocks will be listed
  std::u16string cancelled;      // + offset: the request there hung, and Stop cancelled it
  // The end of a block's line when it was tried again in pieces: `failed` of
  // `tried` failed again, the first at `first` (-1: none failed).
  std::function<std::u16string(std::int64_t failed, std::int64_t tried, std::int64_t first)> piecesSuffix;
};

enum class BlockEnd {
  Done,     // every byte was tried (good or failed)
  Stopped,  // Stop was taken in between pieces, or after a request it cancelled
  Gone,     // a code meaning the disk is gone
  GaveUp,   // the failures did not stop
};

struct BlockOutcome {
  BlockEnd end = BlockEnd::Done;
  std::int64_t reached = 0;  // bytes of the block before this offset were tried
};

class BlockRetry {
 public:
  // `transfer` seeks to and moves [offset, offset + size); `account` is told
  // of every range tried and whether it was good.
  using TransferFn = std::function<Transfer(std::int64_t offset, std::int64_t size)>;
  using AccountFn = std::function<void(std::int64_t offset, std::int64_t size, bool good)>;

  // `writes`: the pass writes (the zero fill) or reads (the read-back); a
  // watcher of the run (FormatContext::watch) sees each request while it is
  // with the disk, and only then may cancel one.
  BlockRetry(FormatContext& ctx, FailureWords words, bool writes, TransferFn transfer, AccountFn account);

  // The same lines in English, for a console, whose standard error is English
  // throughout; the window and the record keep the lines of `words`.
  void SetEnglishWords(FailureWords english) { english_ = std::move(english); }
  // Runs one block: whole, and in pieces when that fails.
  BlockOutcome Run(std::int64_t offset, std::int64_t size);
  // Whether another error line may be written in this pass (one is taken).
  bool TakeLine();

 private:
  // A request that failed as cancelled (ERROR_OPERATION_ABORTED: the window's
  // Stop cancels a request that does not return): Stop is taken in now, and
  // the pass ends here when it was asked for; anything else counts as a failure.
  bool StopAfterCancel(const Transfer& t);
  Transfer Send(std::int64_t offset, std::int64_t size);
  void Failed();
  std::int64_t NowMs();  // on the performance counter; -1 when it cannot be read
  void Succeeded();
  // Why the pass ends now, when the failures have gone on too long: pieces in
  // a row, or seconds without a success.
  struct GiveUp {
    bool pieces = true;
    std::int64_t count = 0;
  };
  std::optional<GiveUp> GiveUpNow();
  // One log line, made with the pass's words (and in English where a console shows it).
  void Say(const std::function<std::u16string(const FailureWords&)>& line);
  void SayGone(std::uint32_t code);
  void LogBlock(std::int64_t offset, const Transfer& block, std::int64_t pieces, std::int64_t tried,
                std::int64_t failed, std::int64_t firstFailed);

  FormatContext& ctx_;
  FailureWords words_;
  bool writes_;
  std::optional<FailureWords> english_;
  TransferFn transfer_;
  AccountFn account_;
  std::int64_t piecesInARow_ = 0;  // failed pieces since the last success
  std::int64_t failingSince_ = -1; // when the first failure since the last success was reported
  std::int64_t frequency_ = 0;     // of the performance counter; 0 not asked yet, -1 unusable
  int linesLeft_ = kMaxBlockErrorLines;
};

} // namespace trv::format
