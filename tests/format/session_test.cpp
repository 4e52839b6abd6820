// Power and the session during an erase, on the simulated PC: the computer is
// kept awake while a run writes, logging off or shutting down is refused with
// a reason, and a session that ends anyway stops the run with its record saved.
#include <gtest/gtest.h>

#include "format_support.h"

using namespace trv::test;

namespace {

constexpr std::int64_t kMiB = 1'048'576;
constexpr char16_t kRecords[] = u"C:\\Users\\User\\AppData\\Local\\Trevasso\\records";
const std::string kReason =
    "FmMain: 正在擦除磁盘。现在注销或关机会使磁盘只擦除了一部分；请等待擦除结束，或先按“停止”。";

// The journal's calls in order, as "call detail" texts.
std::vector<std::string> Calls(const trv::app::HeadlessRun& run) {
  std::vector<std::string> out;
  for (const auto& e : run.platform->journal().entries()) out.push_back(e.call + " " + e.detail);
  return out;
}

std::ptrdiff_t First(const std::vector<std::string>& calls, const std::string& start) {
  for (std::size_t i = 0; i < calls.size(); ++i)
    if (calls[i].rfind(start, 0) == 0) return static_cast<std::ptrdiff_t>(i);
  return -1;
}

std::ptrdiff_t Last(const std::vector<std::string>& calls, const std::string& start) {
  for (std::size_t i = calls.size(); i-- > 0;)
    if (calls[i].rfind(start, 0) == 0) return static_cast<std::ptrdiff_t>(i);
  return -1;
}

} // namespace

TEST(Session, TheComputerStaysAwakeWhileARunWritesAndMaySleepAfterwards) {
  auto run = Play(SmallPc(), FormatScript(false));
  const auto calls = Calls(run);
  const auto awake = First(calls, "SetThreadExecutionState 0x80000001");
  const auto asleep = First(calls, "SetThreadExecutionState 0x80000000");
  ASSERT_GE(awake, 0);
  EXPECT_LT(awake, First(calls, "WriteFile offset=0 "));
  EXPECT_GT(asleep, Last(calls, "WriteFile offset="));
  EXPECT_GT(asleep, First(calls, "FlushFileBuffers"));  // the disk's; the record's files come later
  EXPECT_EQ(run.platform->journal().Count("SetThreadExecutionState"), 2u);
  EXPECT_EQ(run.platform->ExecutionState(), trv::win::ES_CONTINUOUS);

  // No run, no change: a run refused before its first write leaves the power state alone.
  auto locked = Play(Scenario({{"volumes", {{{"letter", "E"}, {"deviceNumber", 1}, {"fail", {{"lock", 5}}}}}}}),
                     FormatScript(false));
  EXPECT_EQ(locked.platform->journal().Count("SetThreadExecutionState"), 0u);
}

TEST(Session, NoSystemBoxEverAsksForADisk) {
  // Set first thing, by the window program and the console program alike, keeping what was set before.
  auto run = Play(Scenario());
  const auto calls = Calls(run);
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls[0], "SetErrorMode 0x1");
  EXPECT_EQ(run.platform->ErrorMode() & trv::win::SEM_FAILCRITICALERRORS, trv::win::SEM_FAILCRITICALERRORS);
}

TEST(Session, LoggingOffDuringARunIsRefusedWithAReasonAndAllowedAfterIt) {
  auto run = Play(SmallPc(), FormatScript(false, "wait 6; shutdown") + "; shutdown");
  EXPECT_EQ(run.ui->sessionEnds(), (std::vector<std::string>{"refused", "ended"}));
  EXPECT_EQ(run.ui->shutdownBlocks(), (std::vector<std::string>{kReason, "FmMain: -"}));
  // The refused log-off changed nothing: the run went to its end.
  EXPECT_EQ(ZeroRanges(run, 1), (std::vector<trv::sim::ByteRange>{{0, 64 * kMiB}}));
  const auto log = RunLog(run);
  EXPECT_NE(std::find(log.begin(), log.end(), "Low-level format is complete."), log.end());
  EXPECT_EQ(run.exitReason, "application terminated");
  EXPECT_TRUE(run.ui->problems().empty());
}

TEST(Session, ASessionEndedAnywayStopsTheRunAndSavesItsRecordFirst) {
  auto run = Play(SmallPc(), FormatScript(false, "wait 6; shutdown force"));
  EXPECT_EQ(run.ui->sessionEnds(), (std::vector<std::string>{"ended"}));
  // The session ended as block 5 began: the record holds blocks 1 to 4, the
  // disk block 5 too, and Stop took effect before block 6.
  EXPECT_EQ(ZeroRanges(run, 1), (std::vector<trv::sim::ByteRange>{{0, 5 * 65'536}}));
  const auto files = run.platform->FilesWritten(kRecords);
  ASSERT_EQ(files.size(), 2u);  // one record: saved as the session ended, not again
  const auto record = nlohmann::json::parse(*run.platform->FileContent(files[0]));
  EXPECT_EQ(record["outcome"], "cancelled");
  EXPECT_EQ(record["written"], nlohmann::json::parse(R"([{"begin": 0, "end": 262144}])"));
  ASSERT_FALSE(record["log"].empty());
  const std::string last = record["log"].back();
  EXPECT_NE(last.find("Windows 正在结束会话：擦除在此停止，先保存擦除记录。"), std::string::npos) << last;
  const auto log = RunLog(run);
  EXPECT_NE(std::find(log.begin(), log.end(), "Operation cancelled at offset 327,680    LBA 640"), log.end());
  EXPECT_EQ(run.platform->OpenVolumeHandles(), 0u);
}
