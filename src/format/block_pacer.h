// The block schedule both passes over a disk follow, the zero fill and the
// read-back: blocks start at 64 KiB and double every ten blocks while ten take
// less than a second, up to 32 MiB, and halve again (down to 64 KiB) after a
// block that alone took longer than that second, so that a disk that slows
// down (a stick past its cache) still finishes a block, and takes a Stop,
// within about a second; each block's progress is shown before it runs, and
// the speed and the time left (format/time_left.h) after it.
#pragma once
#include <cstdint>
#include <string>

#include "format/erase_observer.h"
#include "format/time_left.h"

namespace trv::format {

class BlockPacer {
 public:
  // `laterBytes`: what a pass after this one (the read-back) will cover, for
  // the time left of the whole run.
  BlockPacer(FormatContext& ctx, std::int64_t sectorSize, std::int64_t totalBytes, std::int64_t laterBytes = 0);

  // The speed is measured from here.
  void Start();
  // The pass is over: the time left is no longer shown.
  void Finish();
  // The next block at `position` of an area that ends at `areaEnd`: its size
  // (only an area's last block is shorter). Shows its progress and lets the
  // user act before it runs.
  std::int64_t BeginBlock(std::int64_t position, std::int64_t areaEnd);
  // The block of `size` bytes is done (or failed): the speed counts it.
  void EndBlock(std::int64_t size);

  // "1,024    LBA 2": an offset and its sector, rounded half to even.
  std::u16string AtOffset(std::int64_t offset) const;

 private:
  std::int64_t Now();
  std::int64_t CounterNow();
  void AdaptBlockSize();

  FormatContext& ctx_;
  std::int64_t sectorSize_;
  std::int64_t total_;                // bytes of all areas
  std::int64_t later_;                // bytes of the pass after this one
  std::int64_t done_ = 0;             // bytes of the areas covered so far, failed ones included
  std::int64_t blockSize_;
  std::int64_t blockCount_ = 0;
  std::int64_t startTime_ = 0;
  std::int64_t windowStart_ = 0;
  std::int64_t previousWindowStart_ = 0;
  std::int64_t blockStart_ = 0;       // when the current block was handed over
  std::int64_t counterFrequency_ = 0; // of the performance counter; 0: unreadable
  RateWindow rate_;
};

// The pacing window: ten blocks faster than this double the block size; one
// block slower than this halves it.
inline constexpr std::int64_t kPacingWindowMs = 1000;

// Rounding to the nearest integer, halves to the even neighbour.
std::int64_t RoundEven(double value);

} // namespace trv::format
