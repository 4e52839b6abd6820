// A write that does not return, on the simulated PC: the window keeps
// answering while it hangs (the scripted user acts in the hang's idle turns),
// and Stop, closing the window or the end of the session cancel it.
#include <gtest/gtest.h>

#include "format_support.h"

using namespace trv::test;

namespace {

constexpr std::int64_t kMiB = 1'048'576;
constexpr std::int64_t kHang = 46'071'808;  // the start of a 4 MiB block

// Disk 1, 64 MiB; every write from kHang on hangs until it is cancelled.
trv::sim::Scenario HangingDisk() {
  const nlohmann::json media = {{"megabytesPerSecond", 100000},
                                {"hangingAreas", {{{"offset", kHang}, {"length", 64 * kMiB - kHang}, {"forever", true}}}}};
  return PcWithDisk1(PlainDisk(1, 64 * kMiB / 512, media));
}

// The journal's cancels and failed disk writes, in order.
std::vector<std::string> CancelsAndFailedWrites(const trv::app::HeadlessRun& run) {
  std::vector<std::string> out;
  for (const auto& e : run.platform->journal().entries())
    if (e.call == "CancelSynchronousIo" || (e.call == "WriteFile" && e.detail.find("failed") != std::string::npos))
      out.push_back(e.call + " " + e.detail);
  return out;
}

const std::vector<std::string> kCancelledHang = {"CancelSynchronousIo -> ok",
                                                 "WriteFile offset=46071808 4194304 bytes -> failed error=995"};

std::vector<std::string> Tail(const std::vector<std::string>& lines, std::size_t n) {
  return {lines.end() - static_cast<std::ptrdiff_t>(std::min(n, lines.size())), lines.end()};
}

} // namespace

TEST(HangingWrite, TheWindowAnswersWhileAWriteHangsAndStopCancelsIt) {
  // Half a second into the hang the user clicks Stop; once the write has been
  // with the disk for five seconds, far longer than a healthy one, it is cancelled.
  auto run = Play(HangingDisk(), FormatScript(false, "waithang 5; click btStop"));
  EXPECT_TRUE(run.ui->problems().empty()) << run.ui->problems()[0];
  EXPECT_EQ(CancelsAndFailedWrites(run), kCancelledHang);
  const auto writes = Writes(run);
  ASSERT_FALSE(writes.empty());
  EXPECT_EQ(writes.back().offset, kHang);  // nothing written after the cancelled one
  const auto tail = Tail(RunLog(run), 3);
  EXPECT_EQ(tail[0], "The write did not return and was cancelled at offset 46,071,808");
  EXPECT_EQ(tail[1].rfind("Average speed: ", 0), 0u) << tail[1];
  EXPECT_EQ(tail[2], "Operation cancelled at offset 46,071,808    LBA 89,984");
  ExpectEndsWithoutReminder(run, tail[2]);
  EXPECT_EQ(SavedJson(run)["outcome"], "cancelled");
  EXPECT_EQ(run.platform->Media(1)->zero.List(), (std::vector<trv::sim::ByteRange>{{0, kHang}}));
  auto& m = run.app->FmMain;
  EXPECT_FALSE(m.btStop.enabled());
  EXPECT_TRUE(m.btRunBenchmarks.enabled());
  EXPECT_EQ(m.pbCurrentTask.state(), trv::ui::ProgressState::Paused);
  EXPECT_FALSE(run.app->StopRequested);
  // Cancelled once it had hung for five seconds (idle turns of 100 ms on the PC's clock).
  EXPECT_GE(run.platform->clock().NowUs(), 5'000'000);
  EXPECT_LT(run.platform->clock().NowUs(), 6'000'000);
  EXPECT_FALSE(run.platform->Hanging());
}

TEST(HangingWrite, ClosingTheWindowOrEndingTheSessionWhileAWriteHangsSavesTheRecordAndEnds) {
  // Closing acts as Stop: the write is cancelled, the run ends cancelled with
  // its record, and then the window closes (the action after it is never played).
  auto closed = Play(HangingDisk(), FormatScript(false, "waithang 3; close; tab 0"));
  EXPECT_EQ(CancelsAndFailedWrites(closed), kCancelledHang);
  EXPECT_EQ(closed.ui->user().Remaining(), 1u);
  EXPECT_EQ(closed.exitReason, "main window closed");
  EXPECT_EQ(SavedJson(closed)["outcome"], "cancelled");
  EXPECT_EQ(Tail(RunLog(closed), 1)[0], "Operation cancelled at offset 46,071,808    LBA 89,984");

  // Windows ends the session: the write is cancelled at once, and the record
  // is saved at the worker's next pump, before the process ends.
  auto ended = Play(HangingDisk(), FormatScript(false, "waithang 3; shutdown force"));
  EXPECT_EQ(ended.ui->sessionEnds(), std::vector<std::string>{"ended"});
  EXPECT_EQ(CancelsAndFailedWrites(ended), kCancelledHang);
  const auto record = SavedJson(ended);
  EXPECT_EQ(record["outcome"], "cancelled");
  bool sessionLine = false;
  for (const auto& line : record["log"]) sessionLine = sessionLine || line.get<std::string>().find("Windows 正在结束会话") != std::string::npos;
  EXPECT_TRUE(sessionLine);

  // A user with nothing left to do closes the window once the write has hung
  // for a minute; having hung that long, it is cancelled at once.
  auto left = Play(HangingDisk(), FormatScript(false));
  EXPECT_EQ(CancelsAndFailedWrites(left), kCancelledHang);
  EXPECT_EQ(SavedJson(left)["outcome"], "cancelled");
  EXPECT_EQ(left.exitReason, "main window closed");
  EXPECT_GE(left.platform->clock().NowUs(), 60'000'000);
  EXPECT_LT(left.platform->clock().NowUs(), 61'000'000);
}

TEST(HangingWrite, AHangOfFixedLengthEndsOnItsOwnOrIsCancelledBetweenPiecesAndForeverHasNoLength) {
  // A hang of eight seconds without a user in it: the block fails with its
  // error then, and so does its piece that is tried again; nothing is cancelled.
  const nlohmann::json media = {{"megabytesPerSecond", 100000},
                                {"hangingAreas", {{{"offset", kHang}, {"length", 512}, {"milliseconds", 8000}}}}};
  auto run = Play(PcWithDisk1(PlainDisk(1, 64 * kMiB / 512, media)), FormatScript(false));
  EXPECT_EQ(CancelsAndFailedWrites(run),
            (std::vector<std::string>{"WriteFile offset=46071808 4194304 bytes -> failed error=121",
                                      "WriteFile offset=46071808 65536 bytes -> failed error=121"}));
  EXPECT_EQ(SavedJson(run)["outcome"], "completed-with-errors");

  // Stop half a second into the hang of the piece tried again, cancelled once
  // it has hung for five: the block's line, then the cancelled piece, which
  // counts as neither written nor failed.
  auto stopped = Play(PcWithDisk1(PlainDisk(1, 64 * kMiB / 512, media)), FormatScript(false, "waithang 85; click btStop"));
  EXPECT_EQ(CancelsAndFailedWrites(stopped),
            (std::vector<std::string>{"WriteFile offset=46071808 4194304 bytes -> failed error=121",
                                      "CancelSynchronousIo -> ok",
                                      "WriteFile offset=46071808 65536 bytes -> failed error=995"}));
  const auto tail = Tail(RunLog(stopped), 4);
  EXPECT_EQ(tail[0], "Format Error occurred at offset 46,071,808   (121)");
  EXPECT_EQ(tail[1], "The write did not return and was cancelled at offset 46,071,808");
  EXPECT_EQ(tail[3], "Operation cancelled at offset 46,071,808    LBA 89,984");
  const auto record = SavedJson(stopped);
  EXPECT_EQ(record["outcome"], "cancelled");
  EXPECT_EQ(stopped.app->FmMain.pbCurrentTask.state(), trv::ui::ProgressState::Paused) << "nothing failed";

  nlohmann::json both = {{"hangingAreas", {{{"offset", 0}, {"forever", true}, {"milliseconds", 5}}}}};
  EXPECT_THROW(PcWithDisk1(PlainDisk(1, 131072, both)), trv::sim::ScenarioError);
}

TEST(HangingWrite, OnWindowsXpTheWindowAnswersAndSaysOnceThatItCannotCancel) {
  // Windows XP cannot cancel a request: Stop is taken in when the eight-second
  // hang ends on its own, and the log says why it took so long, once.
  const nlohmann::json xp = {{"major", 5}, {"minor", 1}, {"build", 2600}, {"csd", "Service Pack 3"}};
  const nlohmann::json media = {{"megabytesPerSecond", 100000},
                                {"hangingAreas", {{{"offset", kHang}, {"length", 64 * kMiB - kHang}, {"milliseconds", 8000}}}}};
  auto run = Play(PcWithDisk1(PlainDisk(1, 64 * kMiB / 512, media), {{"os", xp}}),
                  FormatScript(false, "waithang 5; click btStop; waithang 3; click lbCopyright"));
  EXPECT_TRUE(run.ui->problems().empty()) << run.ui->problems()[0];
  EXPECT_EQ(CancelsAndFailedWrites(run),
            (std::vector<std::string>{"CancelSynchronousIo -> failed error=127",
                                      "WriteFile offset=46071808 4194304 bytes -> failed error=121"}));
  EXPECT_EQ(run.platform->ShellExecuted().size(), 1u) << "the window answered a click while the write hung";
  const auto log = RunLog(run);
  EXPECT_EQ(std::count(log.begin(), log.end(),
                       "This Windows cannot cancel a disk request: the run stops when the request returns."),
            1);
  EXPECT_EQ(Tail(log, 3)[0], "Format Error occurred at offset 46,071,808   (121)");
  EXPECT_EQ(Tail(log, 3)[2], "Operation cancelled at offset 46,071,808    LBA 89,984");
  EXPECT_EQ(SavedJson(run)["outcome"], "cancelled");
}

TEST(HangingWrite, AReadThatHangsInTheReadBackIsCancelledByStopToo) {
  // The read-back runs on the worker as the zero fill does.
  const nlohmann::json media = {{"megabytesPerSecond", 100000},
                                {"hangingReads", {{{"offset", kHang}, {"length", 512}, {"forever", true}}}}};
  std::string script = FormatScript(false, "waithang 5; click btStop");
  script.insert(script.find("click btRunBenchmarks"), "check cbVerify; ");
  auto run = Play(PcWithDisk1(PlainDisk(1, 64 * kMiB / 512, media)), script);
  EXPECT_EQ(run.platform->journal().Count("CancelSynchronousIo"), 1u);
  const auto tail = Tail(RunLog(run), 5);
  EXPECT_EQ(tail[0], "校验读取未返回，已取消，偏移 46,071,808");
  EXPECT_EQ(tail[2], "校验已取消，停止于偏移 46,071,808    LBA 89,984");
  const auto record = SavedJson(run);
  EXPECT_EQ(record["verify"]["outcome"], "cancelled");
  EXPECT_EQ(record["verify"]["unreadable_bytes"], 0) << "a cancelled read is no unreadable byte";
  EXPECT_EQ(record["unwritten_bytes"], 0);
}

namespace {

// The built-in PC's data disk, cut by 2,096 sectors as a bridge may show it,
// whose write at kHang takes the cancel but goes on for two minutes (a driver
// that ends it only at its timeout).
trv::sim::Scenario DiskIgnoringTheCancel() {
  nlohmann::json disk = nlohmann::json::parse(trv::sim::DefaultScenarioJson())["drives"][1];
  disk["sectors"] = 976'771'072;
  disk["media"] = {{"megabytesPerSecond", 100000},
                   {"hangingAreas", {{{"offset", kHang}, {"length", 512}, {"milliseconds", 120'000}, {"ignoresCancel", true}}}}};
  return PcWithDisk1(disk);
}

} // namespace

TEST(HangingWrite, ASessionEndedWhileAWriteIgnoresTheCancelSavesTheRecordFromTheRunsCopy) {
  auto run = Play(DiskIgnoringTheCancel(), FormatScript(false, "waithang 3; shutdown force"));
  EXPECT_EQ(run.ui->sessionEnds(), std::vector<std::string>{"ended"});
  // The cancel was taken, and changed nothing: the write ended at its own timeout.
  EXPECT_EQ(CancelsAndFailedWrites(run), (std::vector<std::string>{"CancelSynchronousIo -> ok",
                                                                   "WriteFile offset=46071808 4194304 bytes -> failed error=121"}));
  const auto record = SavedJson(run);  // one record, saved as the session ended
  EXPECT_EQ(record["outcome"], "cancelled");
  EXPECT_EQ(record["pending_offset"], kHang);
  EXPECT_EQ(record["written"], (nlohmann::json{{{"begin", 0}, {"end", kHang}}}));
  // Saved before the run's end, it names the bytes past Windows' size all the same.
  EXPECT_EQ(record["unwritten"], (nlohmann::json{{{"begin", 500'106'788'864}, {"end", 500'107'862'016}}}));
  std::vector<std::string> log;
  for (const auto& line : record["log"]) log.push_back(line.get<std::string>().substr(line.get<std::string>().find("   ") + 3));
  EXPECT_EQ(Tail(log, 3), (std::vector<std::string>{
                              "Windows 正在结束会话：擦除在此停止，先保存擦除记录。",
                              "A write to the disk had not returned when the session ended: offset 46,071,808.",
                              "The disk is not completely erased: the drive states 500,107,862,016 bytes, but Windows "
                              "shows only 500,106,788,864; bytes from offset 500,106,788,864 to 500,107,862,016 could not be reached."}));
}

TEST(HangingWrite, ASlowingStickTakesStopWithoutACancelAndItsBlocksShrinkAgain) {
  // A 2 GiB stick whose cache takes the first GiB at once; then 15 MB/s, so
  // that the 32 MiB block at the first GiB takes over two seconds.
  constexpr std::int64_t kCache = 1024 * kMiB;
  const nlohmann::json media = {{"megabytesPerSecond", 100000},
                                {"slowsTo", {{"offset", kCache}, {"megabytesPerSecond", 15}}}};
  const auto stick = PcWithDisk1(PlainDisk(1, 2048 * kMiB / 512, media));
  // Stop a second into that block: the write is healthy, so Stop waits for it.
  auto stopped = Play(stick, FormatScript(false, "waithang 10; click btStop"));
  EXPECT_EQ(CancelsAndFailedWrites(stopped), std::vector<std::string>{});
  // Taken in as the next block begins, which is written still, as after any Stop.
  const auto writes = Writes(stopped);
  ASSERT_GE(writes.size(), 2u);
  const Write slow = writes[writes.size() - 2];
  EXPECT_GE(slow.offset, kCache);
  EXPECT_EQ(slow.size, 32 * kMiB);
  const std::int64_t end = writes.back().offset + writes.back().size;
  const auto tail = Tail(RunLog(stopped), 2);
  EXPECT_EQ(tail[1].rfind("Operation cancelled at offset " + trv::Utf16ToUtf8(trv::report::FormatThousands(end)) + " ", 0), 0u)
      << tail[1];
  EXPECT_EQ(SavedJson(stopped)["written"], (nlohmann::json{{{"begin", 0}, {"end", end}}}));

  // Left alone, the blocks halve while one takes longer than a second: 32 MiB
  // (2.2 s), 16 MiB (1.1 s), then 8 MiB (0.56 s) stays.
  auto whole = Play(stick, FormatScript(false));
  std::vector<std::int64_t> sizes;
  for (const auto& w : Writes(whole))
    if (w.offset >= kCache && sizes.size() < 4) sizes.push_back(w.size);
  EXPECT_EQ(sizes, (std::vector<std::int64_t>{32 * kMiB, 16 * kMiB, 8 * kMiB, 8 * kMiB}));
  EXPECT_EQ(SavedJson(whole)["outcome"], "completed");
}
