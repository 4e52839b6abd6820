// The zero-fill loop on one open simulated disk, for sizes and clocks the
// whole program cannot reach through its selection dialog.
#include <gtest/gtest.h>

#include "format_support.h"

using namespace trv::test;
using trv::sim::ByteRange;

namespace {
nlohmann::json Disk(const nlohmann::json& fields) {
  nlohmann::json d = {{"number", 0}, {"bus", 11}};
  d.merge_patch(fields);
  return d;
}
} // namespace

TEST(ZeroFill, EmptyDeviceWritesNothingAndCompletes) {
  EngineRun e(Disk({{"sectors", 0}}));
  const auto r = e.Run(0, 512, false);
  EXPECT_EQ(e.platform.journal().Count("WriteFile"), 0u);
  EXPECT_EQ(e.log, (std::vector<std::string>{"Average speed: earlier text", "Low-level format is complete."}));
  EXPECT_TRUE(e.complete);
  EXPECT_EQ(r.outcome, trv::format::EraseOutcome::Completed);
}

TEST(ZeroFill, SmallDevicesAreWrittenWholeEndingWithAShortBlockAt100Percent) {
  // 5,000,000 bytes: smaller than the quick-wipe area, not a multiple of 64 KiB.
  EngineRun e(Disk({{"length", 5'000'000}, {"bytesPerSector", 0}}));
  const auto r = e.Run(5'000'000, 1, true);
  EXPECT_EQ(e.platform.Media(0)->zero.List(), (std::vector<ByteRange>{{0, 5'000'000}}));
  ASSERT_FALSE(e.progress.empty());
  ASSERT_GE(e.progress.size(), 2u);
  const auto& last = e.progress.back();
  EXPECT_EQ(last.offset + last.blockSize, 5'000'000);
  EXPECT_LT(last.blockSize, e.progress[e.progress.size() - 2].blockSize);
  EXPECT_EQ(last.percent, 100);
  EXPECT_EQ(r.areas.size(), 1u);
  for (const auto& l : e.log) EXPECT_EQ(l.find("backup partition table"), std::string::npos);

  // Just larger than the first area: the end area starts where the first stops.
  EngineRun f(Disk({{"sectors", 20'100}}));
  const auto q = f.Run(20'100, 512, true);
  EXPECT_EQ(q.areas, (std::vector<trv::format::Span>{{0, 10'240'000}, {10'240'000, 10'291'200}}));
  EXPECT_EQ(f.platform.Media(0)->zero.List(), (std::vector<ByteRange>{{0, 10'291'200}}));
}

TEST(ZeroFill, ClockSetBackLeavesTheSpeedUntilItPassesTheStartAgain) {
  // Writes take 100 ms each; 350 ms in, the wall clock goes back 10 seconds.
  EngineRun e(Disk({{"sectors", 25'600}, {"media", {{"megabytesPerSecond", 0}, {"writeLatencyMicroseconds", 100'000}}}}),
              {{"clock", {{"jumps", {{{"afterMilliseconds", 350}, {"byMilliseconds", -10'000}}}}}}});
  e.Run(25'600, 512, false);
  ASSERT_EQ(e.progress.size(), 200u);
  // Blocks 1-3 show a speed, blocks 4-99 end before the start time, 100-200 show one again: each
  // block reads the performance counter once (the time left), which moves the machine's clock 50 µs,
  // so block 100 ends 5 ms after the start time.
  EXPECT_EQ(e.speeds.size(), 3u + 101u);
  EXPECT_EQ(e.speeds.front(), "0.7 MB/s");
  for (const auto& p : e.progress) EXPECT_EQ(p.blockSize, 65'536);
}

TEST(ZeroFill, CancelledLineGivesTheOffsetAndItsRoundedLba) {
  // A slow disk keeps 64 KiB blocks, so block 16,384 ends at exactly 1 GiB.
  EngineRun e(Disk({{"sectors", 4'194'304}, {"media", {{"megabytesPerSecond", 0}, {"writeLatencyMicroseconds", 100'000}}}}));
  e.stopAtPump = 16'385;
  const auto r = e.Run(4'194'304, 512, false);
  EXPECT_EQ(e.log.back(), "Operation cancelled at offset 1,073,741,824    LBA 2,097,152");
  EXPECT_FALSE(e.stop);
  EXPECT_EQ(r.outcome, trv::format::EraseOutcome::Cancelled);
  EXPECT_EQ(r.written, (std::vector<trv::format::Span>{{0, 1'073'741'824}}));
}

TEST(ZeroFill, AQuickWipeOnLargeSectorsEndsItsFirstAreaOnASectorBoundary) {
  // 64 KiB sectors: 10,240,000 bytes is 156.25 sectors, so the first area runs
  // to the end of sector 157 and every write is whole sectors.
  EngineRun e(Disk({{"sectors", 4'096}, {"bytesPerSector", 65'536}, {"media", {{"megabytesPerSecond", 0}}}}));
  const auto r = e.Run(4'096, 65'536, true);
  EXPECT_EQ(r.outcome, trv::format::EraseOutcome::Completed);
  EXPECT_EQ(r.areas, (std::vector<trv::format::Span>{{0, 10'289'152}, {267'386'880, 268'435'456}}));
  EXPECT_TRUE(r.unwritten.empty());
  EXPECT_EQ(e.platform.Media(0)->zero.List(), (std::vector<ByteRange>{{0, 10'289'152}, {267'386'880, 268'435'456}}));
  // 512-byte sectors keep the 10,240,000 bytes exactly.
  EngineRun small(Disk({{"sectors", 1'000'000}, {"media", {{"megabytesPerSecond", 0}}}}));
  EXPECT_EQ(small.Run(1'000'000, 512, true).areas.front().end, 10'240'000);
}
