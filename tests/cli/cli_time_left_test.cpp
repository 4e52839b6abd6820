// The time left in the console's progress lines, on the simulated PC's
// virtual clock: the disk's speed is fixed, so the lines are exact.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "cli/cli_support.h"
#include "format/format_support.h"

using namespace trv::test;

namespace {

// The progress lines of standard error (redirected: one per whole percent).
std::vector<std::string> ProgressLines(const std::string& err) {
  std::vector<std::string> lines;
  std::istringstream in(err);
  for (std::string l; std::getline(in, l);)
    if (l.rfind("progress: ", 0) == 0) lines.push_back(l);
  return lines;
}

} // namespace

TEST(CliTimeLeft, EachPassSaysWhatIsLeftOfItAndOfTheRunFromTheMeasuredRate) {
  // 64 MiB at 10 MB/s (10,000 bytes per ms), written and read back. Until a
  // pass has run 1 + 3 seconds (about 62%) there is no sound rate.
  auto run = Cli(PcWithDisk1(PlainDisk(1, 131'072, {{"megabytesPerSecond", 10}})),
                 "erase 1 --full --verify --confirm-serial S1");
  ASSERT_EQ(run.code, 0) << run.host.err;
  const auto lines = ProgressLines(run.host.err);
  for (const char* pass : {"(writing)", "(read-back)"}) {
    // As the block up to sector 81,792 begins, the one up to 79,744 is done:
    // 67,108,864 - 40,828,928 bytes left of the pass, 2.6 s; with the
    // read-back's 67,108,864 to come, 9.3 s in all (whole seconds, rounded up).
    const std::string known = std::string("progress: 62%  sector 81,792  10.0 MB/s  time left: 0:00:03 this pass, ") +
                              (pass == std::string("(writing)") ? "0:00:10" : "0:00:03") + " in all  " + pass;
    bool seen = false;
    for (const auto& l : lines) {
      if (l.find(pass) == std::string::npos) continue;
      if (l == known) seen = true;
      // Before it, every line of the pass is estimating; after it, none is.
      EXPECT_EQ(l.find("time left: estimating") != std::string::npos, !seen) << l;
      EXPECT_EQ(l.find(" -"), std::string::npos) << l;  // never a negative time
    }
    EXPECT_TRUE(seen) << known << "\n" << run.host.err;
  }
  // Without --verify the pass is the whole run.
  auto plain = Cli(PcWithDisk1(PlainDisk(1, 131'072, {{"megabytesPerSecond", 10}})), "erase 1 --full --confirm-serial S1");
  const auto only = ProgressLines(plain.host.err);
  EXPECT_NE(std::find(only.begin(), only.end(),
                      "progress: 62%  sector 81,792  10.0 MB/s  time left: 0:00:03 this pass, 0:00:03 in all  (writing)"),
            only.end())
      << plain.host.err;
}

TEST(CliTimeLeft, ACachesFirstBurstAndAClockSetBackDoNotMisleadIt) {
  // A stick whose cache takes the first 16 MiB at 1,000 MB/s, then 10 MB/s;
  // 4.5 s in, the wall clock is set back an hour (the speed, measured on it, stops).
  nlohmann::json disk = PlainDisk(1, 262'144, {{"megabytesPerSecond", 1000},
                                               {"slowsTo", {{"offset", 16'777'216}, {"megabytesPerSecond", 10}}}});
  auto run = Cli(PcWithDisk1(disk, {{"clock", {{"jumps", {{{"afterMilliseconds", 4500}, {"byMilliseconds", -3'600'000}}}}}}}),
                 "erase 1 --full --confirm-serial S1");
  ASSERT_EQ(run.code, 0) << run.host.err;
  const auto lines = ProgressLines(run.host.err);
  std::int64_t previousDone = 0, lastSeconds = -1;
  int known = 0;
  for (const auto& l : lines) {
    long long sector = 0;
    int h = 0, m = 0, s = 0;
    std::string sectorText = l.substr(l.find("sector ") + 7);
    sectorText = sectorText.substr(0, sectorText.find(' '));
    sectorText.erase(std::remove(sectorText.begin(), sectorText.end(), ','), sectorText.end());
    sector = std::stoll(sectorText);
    if (const auto at = l.find("time left: "); std::sscanf(l.c_str() + at, "time left: %d:%d:%d", &h, &m, &s) == 3) {
      ++known;
      // The slow rate alone, never the burst's: the bytes left at 10,000 a millisecond.
      const std::int64_t seconds = h * 3600 + m * 60 + s;
      EXPECT_EQ(seconds, static_cast<std::int64_t>(std::ceil(static_cast<double>(134'217'728 - previousDone) / 1e7))) << l;
      // Counting down through the clock's change.
      if (lastSeconds >= 0) {
        EXPECT_LE(seconds, lastSeconds) << l;
      }
      lastSeconds = seconds;
    }
    previousDone = sector * 512;
  }
  EXPECT_GE(known, 15) << run.host.err;  // from about 47% on
}
