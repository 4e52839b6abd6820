// Disks that keep failing, on the simulated PC: codes that mean the disk is
// gone, a disk that fails everywhere or hangs, a write-protected or offline
// disk, and how long the log and the record get.
#include <gtest/gtest.h>

#include <chrono>

#include "format/block_retry.h"
#include "format/erase_record.h"
#include "format_support.h"

using namespace trv::test;
using trv::sim::ByteRange;
using trv::ui::ProgressState;

namespace {

constexpr std::int64_t kMiB = 1'048'576;
constexpr std::int64_t kGiB = 1'024 * kMiB;

std::vector<std::string> Tail(const std::vector<std::string>& lines, std::size_t n) {
  return {lines.end() - static_cast<std::ptrdiff_t>(std::min(n, lines.size())), lines.end()};
}

} // namespace

TEST(FailingDisk, CodesThatMeanTheDiskIsGoneEndTheRunAtOnceAsAnUnplugDoes) {
  // 21: a card pulled from its reader; 1167: a bridge pulled; 433, 483, 1112 the same in other words.
  for (std::uint32_t code : {21u, 1167u, 433u, 483u, 1112u}) {
    SCOPED_TRACE(code);
    const auto media = FastMedia({{"unplugAt", {{"offset", 0}, {"error", code}}}});
    auto run = Play(PcWithDisk1(PlainDisk(1, 64 * kGiB / 512, media)), FormatScript(false));
    const auto writes = Writes(run);
    ASSERT_EQ(writes.size(), 1u);  // no piece is tried on a disk that is gone
    const auto tail = Tail(RunLog(run), 4);
    EXPECT_EQ(tail[0], "Format Error occurred at offset 0   (" + std::to_string(code) + ")");
    EXPECT_EQ(tail[1], "Device was unplugged, aborting...");
    EXPECT_EQ(tail[3], "Operation terminated at offset 0    LBA 0");
    EXPECT_EQ(SavedJson(run)["outcome"], "terminated");
    EXPECT_EQ(run.app->FmMain.pbCurrentTask.state(), ProgressState::Paused);
  }
  // A code that is only a bad spot is not one of them.
  EXPECT_FALSE(trv::format::IsGoneCode(23));
  EXPECT_FALSE(trv::format::IsGoneCode(121));
  EXPECT_TRUE(trv::format::IsGoneCode(55));
  EXPECT_TRUE(trv::format::IsGoneCode(2));
}

TEST(FailingDisk, ADiskThatFailsEverywhereEndsOnItsOwnWithABoundedLogWhateverItsSize) {
  std::vector<std::size_t> logSizes;
  for (std::int64_t size : {64 * kGiB, 2048 * kGiB}) {
    SCOPED_TRACE(size);
    const auto media = FastMedia({{"badAreas", {{{"offset", 0}, {"length", size}, {"error", 23}}}}});
    const auto started = std::chrono::steady_clock::now();
    auto run = Play(PcWithDisk1(PlainDisk(1, size / 512, media)), FormatScript(false));
    const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    EXPECT_LT(seconds, 20.0);
    const auto log = RunLog(run);
    const auto tail = Tail(log, 4);
    EXPECT_EQ(tail[0], "Writes keep failing: 1024 pieces of 64 KiB in a row could not be written. "
                       "The disk is failing, aborting...");
    EXPECT_EQ(tail[2].rfind("Low-level format finished with errors: 67,108,864 bytes in 1 area could not be written", 0),
              0u)
        << tail[2];
    EXPECT_EQ(tail[3], "Operation terminated at offset 67,108,864    LBA 131,072");
    // One line per failed block, each with its count of failed pieces.
    const std::size_t blockLines = CountPrefix(log, "Format Error occurred at offset ");
    EXPECT_LE(blockLines, 80u);  // blocks double every ten while the failures are fast
    EXPECT_EQ(log[log.size() - 7].rfind("Format Error occurred at offset ", 0), 0u);
    EXPECT_NE(log[log.size() - 7].find("; tried again in 64 KiB pieces: "), std::string::npos)
        << log[log.size() - 7];
    logSizes.push_back(log.size());
    const auto record = SavedJson(run);
    EXPECT_EQ(record["outcome"], "terminated");
    EXPECT_EQ(record["log"].size(), Lines(run.app->FmMain.Log_BenchMark).size() - 3 - 1);
    EXPECT_EQ(run.app->FmMain.pbCurrentTask.state(), ProgressState::Error);
  }
  // The same run on a disk 32 times larger: the same log.
  EXPECT_EQ(logSizes[0], logSizes[1]);
}

TEST(FailingDisk, AHungDriveEndsAfterFiveMinutesOfFailuresAndStopActsBetweenItsPieces) {
  // From the start of a 4 MiB block on, every write hangs for the driver's
  // minute, then fails with 121.
  constexpr std::int64_t kHang = 46'071'808;
  const auto media = FastMedia({{"hangingAreas", {{{"offset", kHang}, {"length", 64 * kMiB - kHang}, {"milliseconds", 60'000}}}}});
  const auto disk = SmallPc(media);
  auto hung = Play(disk, FormatScript(false));
  const auto writes = Writes(hung);
  std::size_t firstHang = 0;
  while (firstHang < writes.size() && writes[firstHang].ok) ++firstHang;
  // The block fails after a minute; five pieces later, each a minute, five
  // minutes have passed since that failure.
  ASSERT_EQ(writes.size(), firstHang + 6);
  ASSERT_EQ(writes[firstHang].offset, kHang);
  ASSERT_EQ(writes[firstHang].size, 4 * kMiB);
  auto log = RunLog(hung);
  EXPECT_EQ(Tail(log, 4)[0], "Writes keep failing: none has succeeded for 300 seconds. The disk does not answer, aborting...");
  EXPECT_EQ(SavedJson(hung)["outcome"], "terminated");

  // Pump 1 comes before the first block, one more as each block begins and one
  // before each piece: Stop lands before the hung block's second piece.
  const std::size_t pumps = 1 + (firstHang + 1) + 2;
  auto stopped = Play(disk, FormatScript(false, "wait " + std::to_string(pumps) + "; click btStop"));
  EXPECT_EQ(Writes(stopped).size(), firstHang + 2);
  log = RunLog(stopped);
  const std::int64_t block = writes[firstHang].offset;
  const std::string at = trv::Utf16ToUtf8(trv::report::FormatThousands(block));
  const std::string next = trv::Utf16ToUtf8(trv::report::FormatThousands(block + 65'536));
  const auto tail = Tail(log, 4);
  EXPECT_EQ(tail[0], "Format Error occurred at offset " + at + "   (121); tried again in 64 KiB pieces: 1 of 1 "
                     "failed (first at offset " + at + ")");
  EXPECT_EQ(tail[3].rfind("Operation cancelled at offset " + next + "    LBA ", 0), 0u) << tail[3];
  EXPECT_EQ(SavedJson(stopped)["outcome"], "cancelled");
}

TEST(FailingDisk, FailedBlocksAreListedUpToAThousandAndTheSummaryCountsThemAll) {
  // A slow disk keeps its 64 KiB blocks; every other block holds a bad sector,
  // so the failures never run on long enough to end the run.
  nlohmann::json bad = nlohmann::json::array();
  for (int i = 0; i < 1'100; ++i) bad.push_back({{"offset", (2 * i + 1) * 65'536}, {"length", 512}});
  const auto media = nlohmann::json{{"megabytesPerSecond", 0}, {"writeLatencyMicroseconds", 300'000}, {"badAreas", bad}};
  auto run = Play(PcWithDisk1(PlainDisk(1, 2'200 * 65'536 / 512, media)), FormatScript(false));
  const auto log = RunLog(run);
  EXPECT_EQ(CountPrefix(log, "Format Error occurred at offset "), static_cast<std::size_t>(trv::format::kMaxBlockErrorLines));
  EXPECT_EQ(std::count(log.begin(), log.end(),
                       "More blocks failed: they are no longer listed one by one; the summary at the end counts them all."),
            1);
  EXPECT_EQ(Tail(log, 4)[1], "Low-level format finished with errors: 72,089,600 bytes in 1100 areas could not be "
                             "written (first at offset 65,536).");
}

TEST(FailingDisk, AWriteProtectedOrOfflineDiskIsRefusedWithNothingWritten) {
  struct Case {
    const char* name;
    nlohmann::json media;
    nlohmann::json os;
    std::string line;
  };
  const std::string protectedLine = "磁盘处于写保护状态（写保护开关或只读属性），无法写入，未写入任何数据。";
  const nlohmann::json xp = {{"major", 5}, {"minor", 1}, {"build", 2600}, {"csd", "Service Pack 3"}};
  const std::vector<Case> cases = {
      {"write-protect switch", {{"writeProtected", true}}, nullptr, protectedLine},
      {"write-protect switch on XP", {{"writeProtected", true}}, xp, protectedLine},
      {"read-only attribute", {{"readOnly", true}}, nullptr, protectedLine},
      {"offline", {{"offline", true}}, nullptr, "磁盘处于脱机状态，无法写入，未写入任何数据。请先在磁盘管理中将其联机。"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    nlohmann::json patch = nlohmann::json::object();
    if (!c.os.is_null()) patch["os"] = c.os;
    auto run = Play(SmallPc(c.media, patch), FormatScript(false));
    EXPECT_TRUE(Writes(run).empty());
    const auto log = RunLog(run);
    ASSERT_EQ(log.size(), 6u);
    EXPECT_EQ(log[4], "Device capacity: 131,072 sectors");
    EXPECT_EQ(log[5], c.line);
    EXPECT_EQ(run.platform->journal().Count("FlushFileBuffers"), 0u);  // no record: nothing was written
    EXPECT_TRUE(run.platform->FilesWritten(kDefaultRecords).empty());
    const auto& box = run.ui->boxes().back();
    EXPECT_EQ(box.kind, "MessageBox");
    EXPECT_EQ(U8(box.text), c.line);
    EXPECT_TRUE(run.app->FmMain.btRunBenchmarks.enabled());
  }
  // An offline disk on XP, which knows no disk attributes: every write fails
  // with 19, and the first one ends the run.
  nlohmann::json xpPatch = {{"os", xp}};
  auto run = Play(SmallPc({{"offline", true}}, xpPatch), FormatScript(false));
  EXPECT_EQ(Writes(run).size(), 1u);
  const auto tail = Tail(RunLog(run), 4);
  EXPECT_EQ(tail[0], "Format Error occurred at offset 0   (19)");
  EXPECT_EQ(tail[1], "The disk no longer takes writes (write-protected or offline), aborting...");
}
