// What makes an erase provable: the disk is still the one the user chose
// before anything is written, and the read-back finds every written byte zero
// or says exactly how much is not.
#include <gtest/gtest.h>

#include "format_support.h"

using namespace trv::test;
using trv::sim::ByteRange;
using trv::ui::ProgressState;

namespace {

constexpr std::int64_t kDisk1Bytes = 500'107'862'016;  // the default PC's data disk
constexpr std::int64_t kMiB = 1'048'576;

const nlohmann::json kFast = FastMedia();

std::vector<std::string> Tail(const std::vector<std::string>& lines, std::size_t n) {
  return {lines.end() - static_cast<std::ptrdiff_t>(std::min(n, lines.size())), lines.end()};
}

std::string VerifyScript(bool quickWipe, const std::string& during = "") {
  std::string script = FormatScript(quickWipe, during);
  script.insert(script.find("click btRunBenchmarks"), "check cbVerify; ");
  return script;
}

// The byte ranges a run read back, merged.
std::vector<ByteRange> ReadRanges(const trv::app::HeadlessRun& run) {
  std::vector<ByteRange> out;
  for (const auto& r : Writes(run, "ReadFile")) {
    if (!out.empty() && out.back().end == r.offset) out.back().end += r.size;
    else out.push_back({r.offset, r.offset + r.size});
  }
  return out;
}

} // namespace

TEST(SameDisk, ADiskSwappedAfterTheScanIsRefusedWithNothingWritten) {
  nlohmann::json disk = PlainDisk(1, 131'072, kFast);
  disk["swap"] = {{"afterOpens", 1}, {"drive", PlainDisk(1, 262'144, kFast)}};
  disk["swap"]["drive"]["device"]["serial"] = "OTHER-7";
  disk["swap"]["drive"]["device"]["product"] = "Stick";
  auto run = Play(PcWithDisk1(disk), VerifyScript(true));
  const auto& m = run.app->FmMain;

  EXPECT_EQ(run.platform->journal().Count("WriteFile"), 0u);
  EXPECT_TRUE(Writes(run, "ReadFile").empty());
  EXPECT_TRUE(run.platform->Media(1)->changed.Empty());
  EXPECT_EQ(run.platform->journal().Count("DriveSwapped"), 1u);
  // No volume was locked or dismounted, and the disk was not asked to re-read its table.
  for (std::size_t v = 0; v < 5; ++v) EXPECT_FALSE(run.platform->VolumeDismounted(v)) << v;
  EXPECT_EQ(run.platform->journal().Find("DeviceIoControl code=0x70140").size(), 0u);
  EXPECT_TRUE(run.platform->FilesWritten(u"C:\\Users\\User\\AppData\\Local\\Trevasso\\records").empty());

  const auto tail = Tail(RunLog(run), 3);
  EXPECT_EQ(tail[0], "磁盘已更换：这个编号上的磁盘不是所选的磁盘，未写入任何数据。");
  EXPECT_EQ(tail[1], "所选磁盘：ACME TestDisk 1，序列号 S1，67,108,864 字节");
  EXPECT_EQ(tail[2], "现在的磁盘：ACME Stick，序列号 OTHER-7，134,217,728 字节");
  ASSERT_EQ(run.ui->boxes().size(), 2u);  // the confirmation, then the refusal
  const auto& box = run.ui->boxes()[1];
  EXPECT_EQ(trv::Utf16ToUtf8(box.caption), "磁盘已更换");
  EXPECT_EQ(trv::Utf16ToUtf8(box.text),
            "所选的磁盘已被更换，未写入任何数据。\r\n\r\n所选磁盘：ACME TestDisk 1，序列号 S1，67,108,864 字节\r\n"
            "现在的磁盘：ACME Stick，序列号 OTHER-7，134,217,728 字节");
  EXPECT_EQ(box.flags, trv::win::MB_ICONERROR | trv::win::MB_OK);
  EXPECT_TRUE(m.btRunBenchmarks.enabled());
  EXPECT_FALSE(m.btStop.enabled());

  // Each of model, serial and capacity alone is enough to refuse; a disk that
  // agrees on all three is taken as the same one.
  for (const char* change : {"product", "serial", "capacity", "none"}) {
    nlohmann::json again = PlainDisk(1, 131'072, kFast);
    nlohmann::json next = PlainDisk(1, 131'072, kFast);
    if (std::string(change) == "capacity") next["sectors"] = 131'073;
    else if (std::string(change) != "none") next["device"][change] = "Changed";
    again["swap"] = {{"afterOpens", 1}, {"drive", next}};
    auto r = Play(PcWithDisk1(again), FormatScript(true));
    EXPECT_EQ(r.platform->journal().Count("WriteFile") == 0, std::string(change) != "none") << change;
  }
}

TEST(SameDisk, ADiskThatNoLongerAnswersIsRefusedToo) {
  nlohmann::json disk = PlainDisk(1, 131'072, kFast);
  nlohmann::json next = PlainDisk(1, 131'072, kFast);
  next["fail"] = {{"length", 21}};
  disk["swap"] = {{"afterOpens", 1}, {"drive", next}};
  // The length query fails at the open's details report and again at the check.
  auto run = Play(PcWithDisk1(disk), FormatScript(true));
  EXPECT_EQ(run.platform->journal().Count("WriteFile"), 0u);
  EXPECT_EQ(Tail(RunLog(run), 1)[0], "现在的磁盘：无法识别");
}

TEST(SameDisk, ACancelledCheckIsAStopNeverAReplacedDisk) {
  // Every request to the disk's own handle ends as cancelled (995), as a Stop's
  // cancel would end the identity check: the run stops, no "replaced" box.
  auto run = trv::app::RunHeadlessOn(std::make_unique<IdentityCheckCancelled>(SmallPc()), FormatScript(true));
  EXPECT_EQ(run.platform->journal().Count("WriteFile"), 0u);
  EXPECT_EQ(Tail(RunLog(run), 1)[0], "擦除已停止：检查磁盘的请求被取消，未写入任何数据。");
  ASSERT_EQ(run.ui->boxes().size(), 1u);  // the confirmation only
  EXPECT_TRUE(run.app->FmMain.btRunBenchmarks.enabled());
}

TEST(ReadBack, AVerifiedQuickWipeReadsBackBothAreasAndPasses) {
  auto run = Play(Scenario(), VerifyScript(true));
  const auto& m = run.app->FmMain;
  const std::vector<ByteRange> areas = {{0, 10'240'000}, {kDisk1Bytes - kMiB, kDisk1Bytes}};
  EXPECT_EQ(ZeroRanges(run, 1), areas);
  EXPECT_EQ(ReadRanges(run), areas);
  const auto log = RunLog(run);
  const auto tail = Tail(log, 5);
  EXPECT_EQ(tail[0], "擦除后校验：读回已写入的 11,288,576 字节... ");
  EXPECT_EQ(tail[1], "校验平均速度: " + trv::Utf16ToUtf8(m.lbSpeed.caption()));
  EXPECT_EQ(tail[2], "校验通过");
  EXPECT_EQ(tail[4], "Remember to create new partitions.");
  EXPECT_NE(std::find(log.begin(), log.end(), "Low-level format is complete."), log.end());
  EXPECT_EQ(m.pbCurrentTask.position(), 100);
  EXPECT_EQ(m.pbCurrentTask.state(), ProgressState::Paused);
  EXPECT_EQ(trv::Utf16ToUtf8(m.lbCurrentPercent.caption()), "100% complete");
  EXPECT_EQ(trv::Utf16ToUtf8(m.lbCurrentPosition.caption()), "Current sector: 976,773,168");
  EXPECT_TRUE(m.cbVerify.enabled());
  EXPECT_FALSE(m.btStop.enabled());

  // Unticked (the default), nothing is read back.
  auto plain = Play(Scenario(), FormatScript(true));
  EXPECT_FALSE(plain.app->FmMain.cbVerify.checked());
  EXPECT_TRUE(Writes(plain, "ReadFile").empty());
}

TEST(ReadBack, AVerifiedFullFillReadsOnTheWritesOwnSchedule) {
  auto run = Play(SmallPc(), VerifyScript(false));
  const auto writes = Writes(run);
  const auto reads = Writes(run, "ReadFile");
  ASSERT_EQ(reads.size(), writes.size());
  for (std::size_t i = 0; i < reads.size(); ++i) {
    EXPECT_EQ(reads[i].offset, writes[i].offset) << i;
    EXPECT_EQ(reads[i].size, writes[i].size) << i;
  }
  EXPECT_EQ(ReadRanges(run), (std::vector<ByteRange>{{0, 64 * kMiB}}));
  EXPECT_EQ(Tail(RunLog(run), 3)[0], "校验通过");
}

TEST(ReadBack, ACacheThatLiesIsCaughtWithTheExactCountAndTheBarInError) {
  // Two lying areas: 3 blocks and a sector in the first MiB, and one sector
  // far out; the writes all "succeed".
  const nlohmann::json media = FastMedia(
      {{"lyingAreas", {{{"offset", 1'048'576}, {"length", 3 * 65'536 + 512}}, {{"offset", 40 * kMiB}, {"length", 512}}}}});
  auto run = Play(SmallPc(media), VerifyScript(false));
  const auto& m = run.app->FmMain;
  const auto log = RunLog(run);
  EXPECT_NE(std::find(log.begin(), log.end(), "Low-level format is complete."), log.end());
  const auto tail = Tail(log, 4);
  EXPECT_EQ(tail[1], "校验失败：2 个区域共 197,632 字节未能读回为零（首个位于偏移 1,048,576）");
  EXPECT_EQ(m.pbCurrentTask.state(), ProgressState::Error);
  EXPECT_NE(std::find(log.begin(), log.end(), "校验发现非零数据：偏移 1,048,576 起的 65,536 字节中有 65,536 字节不为零"),
            log.end());
  EXPECT_EQ(std::find(log.begin(), log.end(), "校验通过"), log.end());
}

TEST(ReadBack, UnreadableAreasCountTheirFailing64KiBPiecesOnly) {
  const nlohmann::json media = FastMedia({{"readErrors", {{{"offset", 5 * kMiB + 1024}, {"length", 512}}}}});
  auto run = Play(SmallPc(media), VerifyScript(false));
  const auto tail = Tail(RunLog(run), 4);
  EXPECT_EQ(tail[1], "校验失败：1 个区域共 65,536 字节未能读回为零（首个位于偏移 5,242,880）");
  EXPECT_EQ(run.app->FmMain.pbCurrentTask.state(), ProgressState::Error);
}

TEST(ReadBack, StopAndUnplugEndTheReadBackLikeTheRun) {
  // Pump 1 comes before the first write, one more as each block begins, one
  // before the first read: the Stop lands as the read-back's fourth block begins.
  const std::size_t blocks = Writes(Play(Scenario(), FormatScript(true))).size();
  auto stopped = Play(Scenario(), VerifyScript(true, "wait " + std::to_string(blocks + 6) + "; click btStop"));
  EXPECT_EQ(Writes(stopped, "ReadFile").size(), 4u);
  auto tail = Tail(RunLog(stopped), 4);
  EXPECT_EQ(tail[1].rfind("校验已取消，停止于偏移 ", 0), 0u) << tail[1];
  EXPECT_FALSE(stopped.app->StopRequested);
  EXPECT_EQ(stopped.app->FmMain.pbCurrentTask.state(), ProgressState::Paused);
  EXPECT_FALSE(stopped.app->FmMain.btStop.enabled());

  // A Stop as the read-back's last block begins comes too late to stop anything: it passes.
  const std::size_t reads = Writes(Play(Scenario(), VerifyScript(true)), "ReadFile").size();
  auto late = Play(Scenario(), VerifyScript(true, "wait " + std::to_string(blocks + 2 + reads) + "; click btStop"));
  EXPECT_EQ(Writes(late, "ReadFile").size(), reads);
  EXPECT_EQ(Tail(RunLog(late), 5)[2], "校验通过");
  EXPECT_FALSE(late.app->StopRequested);

  const nlohmann::json media = FastMedia({{"unplugOnRead", {{"offset", 3 * kMiB}}}});
  auto unplugged = Play(SmallPc(media), VerifyScript(false));
  tail = Tail(RunLog(unplugged), 6);
  EXPECT_EQ(tail[0].rfind("校验读取错误，偏移 ", 0), 0u) << tail[0];
  EXPECT_EQ(tail[1], "设备已拔出，校验中止...");
  EXPECT_EQ(tail[3].rfind("校验终止于偏移 ", 0), 0u) << tail[3];
  EXPECT_EQ(unplugged.app->FmMain.pbCurrentTask.state(), ProgressState::Paused);
}

namespace {

constexpr char16_t kRecords[] = u"C:\\Users\\User\\AppData\\Local\\Trevasso\\records";

// The JSON record a run saved, after checking the log's last line names its text twin.
nlohmann::json SavedRecord(const trv::app::HeadlessRun& run) {
  const auto files = run.platform->FilesWritten(kRecords);
  EXPECT_EQ(files.size(), 2u);
  if (files.size() != 2) return nullptr;
  const std::string text = trv::Utf16ToUtf8(files[1]);
  EXPECT_EQ(RecordLine(run), std::string(kRecordSavedPrefix) + text);
  EXPECT_EQ(text.substr(text.size() - 4), ".txt");
  return nlohmann::json::parse(*run.platform->FileContent(files[0]));
}

nlohmann::json Ranges(const std::vector<std::pair<std::int64_t, std::int64_t>>& ranges) {
  nlohmann::json out = nlohmann::json::array();
  for (const auto& [b, e] : ranges) out.push_back({{"begin", b}, {"end", e}});
  return out;
}

} // namespace

TEST(EraseRecord, EveryWayARunEndsLeavesARecordWithItsOutcomeAndRanges) {
  const std::int64_t size = 64 * kMiB;
  // Stop as the read-back's third block from its end begins: after every byte was written and flushed.
  const auto pc = [&](const nlohmann::json& media) { return PcWithDisk1(PlainDisk(1, size / 512, media)); };
  const auto whole = Play(pc(kFast), VerifyScript(false));
  const std::size_t pumps = Writes(whole).size() + Writes(whole, "ReadFile").size();
  struct Case {
    const char* name;
    nlohmann::json media;
    std::string script;
    const char* outcome;
    nlohmann::json written, unwritten;
  };
  const std::vector<Case> cases = {
      {"verified", kFast, VerifyScript(false), "completed", Ranges({{0, size}}), Ranges({})},
      {"bad area", FastMedia({{"badAreas", {{{"offset", 5 * kMiB + 512}, {"length", 512}}}}}), FormatScript(false),
       "completed-with-errors", Ranges({{0, 5 * kMiB}, {5 * kMiB + 65'536, size}}), Ranges({{5 * kMiB, 5 * kMiB + 65'536}})},
      {"stop", kFast, FormatScript(false, "wait 6; click btStop"), "cancelled", Ranges({{0, 5 * 65'536}}), Ranges({})},
      {"unplug", FastMedia({{"unplugAt", {{"offset", 196'608}}}}), FormatScript(false), "terminated",
       Ranges({{0, 196'608}}), Ranges({})},
      {"lying cache", FastMedia({{"lyingAreas", {{{"offset", 0}, {"length", 4096}}}}}), VerifyScript(false), "verify-failed",
       Ranges({{0, size}}), Ranges({})},
      {"read-back stopped", kFast, VerifyScript(false, "wait " + std::to_string(pumps - 1) + "; click btStop"),
       "erased-verify-cancelled", Ranges({{0, size}}), Ranges({})},
      {"unplugged in the read-back", FastMedia({{"unplugOnRead", {{"offset", 3 * kMiB}}}}), VerifyScript(false),
       "erased-verify-terminated", Ranges({{0, size}}), Ranges({})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto run = Play(PcWithDisk1(PlainDisk(1, size / 512, c.media)), c.script);
    const nlohmann::json record = SavedRecord(run);
    ASSERT_TRUE(record.is_object());
    EXPECT_EQ(record["outcome"], c.outcome);
    EXPECT_EQ(record["method"], "full-zero-fill");
    EXPECT_EQ(record["written"], c.written);
    EXPECT_EQ(record["unwritten"], c.unwritten);
    EXPECT_EQ(record["disk"]["serial"], "S1");
    EXPECT_EQ(record["disk"]["capacity_bytes"], size);
    EXPECT_EQ(record["computer"], "TREVASSO-PC");
    // The record's log is the run's, time stamps and all, up to the reminder.
    const auto shown = Lines(run.app->FmMain.Log_BenchMark);
    ASSERT_FALSE(record["log"].empty());
    ASSERT_GE(shown.size(), record["log"].size() + 1);
    EXPECT_EQ(record["log"].back(), shown[shown.size() - 2]);
    EXPECT_NE(record["log"][1].get<std::string>().find("================"), std::string::npos);
    // Only a run that went to its end tells the user to partition the disk anew.
    const std::string word = c.outcome;
    EXPECT_EQ(record["log"].back().get<std::string>().ends_with("Remember to create new partitions."),
              word != "cancelled" && word != "terminated");
    EXPECT_EQ(record["verify_requested"], c.script.find("cbVerify") != std::string::npos);
  }
}

TEST(EraseRecord, AQuickWipesRecordSaysFirstThatItIsNoSanitization) {
  auto run = Play(PcWithDisk1(PlainDisk(1, 131'072, kFast)), FormatScript(true));
  const nlohmann::json record = SavedRecord(run);
  ASSERT_TRUE(record.is_object());
  EXPECT_EQ(record["outcome"], "completed");
  EXPECT_EQ(record["sanitization"], false);
  const std::string note = record["sanitization_note"];
  EXPECT_EQ(note.rfind("A quick wipe is not a sanitization: only bytes 0 to 10,240,000 and ", 0), 0u) << note;
  const auto files = run.platform->FilesWritten(kRecords);
  ASSERT_EQ(files.size(), 2u);
  const std::string text = *run.platform->FileContent(files[1]);
  EXPECT_EQ(text.rfind("Erase record\r\n\r\n" + note + "\r\n", 0), 0u) << text;
  // The window's own lines stay: a complete run still ends with the reminder.
  EXPECT_EQ(RunLog(run).back(), "Remember to create new partitions.");
}

TEST(EraseRecord, ARecordThatCannotBeSavedIsLoggedAndShown) {
  const std::string folder = trv::Utf16ToUtf8(kRecords);
  auto run = Play(PcWithDisk1(PlainDisk(1, 131'072, kFast), {{"readOnlyFolders", {folder}}}), FormatScript(true));
  EXPECT_TRUE(run.platform->FilesWritten(kRecords).empty());
  const auto log = Messages(run.app->FmMain.Log_BenchMark);
  EXPECT_EQ(log.back().rfind("擦除记录未能保存：" + folder, 0), 0u) << log.back();
  EXPECT_NE(log.back().find("   (5) "), std::string::npos) << log.back();
  ASSERT_EQ(run.ui->boxes().size(), 2u);
  EXPECT_EQ(trv::Utf16ToUtf8(run.ui->boxes()[1].caption), "擦除记录");
  EXPECT_EQ(run.ui->boxes()[1].flags, trv::win::MB_ICONERROR | trv::win::MB_OK);

  // A run refused before its first write leaves no record at all.
  auto refused = Play(Scenario({{"volumes", {{{"letter", "E"}, {"deviceNumber", 1}, {"fail", {{"lock", 5}}}}}}}),
                      FormatScript(true));
  EXPECT_TRUE(refused.platform->FilesWritten(kRecords).empty());
  EXPECT_EQ(RecordLine(refused), "");
}

TEST(EraseProof, ADiskStatingMoreThanWindowsShowsIsNeverRecordedAsCompleted) {
  // The data disk states 976,773,168 sectors in its IDENTIFY data; Windows shows
  // 2,096 fewer, as behind a bridge that cuts the capacity.
  nlohmann::json disk = nlohmann::json::parse(trv::sim::DefaultScenarioJson())["drives"][1];
  disk["sectors"] = 976'771'072;
  disk["media"] = {{"megabytesPerSecond", 100000}};
  auto run = Play(PcWithDisk1(disk), FormatScript(true));
  constexpr std::int64_t kShown = 500'106'788'864, kStated = 500'107'862'016;
  const auto details = Messages(run.app->FmMain.Log_Details);
  EXPECT_NE(std::find(details.begin(), details.end(), "Windows 显示的容量: 500,106,788,864 bytes"), details.end());
  EXPECT_NE(std::find(details.begin(), details.end(), "设备报告的容量比 Windows 显示的多 1,073,152 bytes：擦除无法写到最后这一部分。"),
            details.end());
  ASSERT_GE(run.ui->boxes().size(), 1u);
  const std::string confirmation = trv::Utf16ToUtf8(run.ui->boxes()[0].text);
  EXPECT_NE(confirmation.find("\r\n\r\nWindows shows 500,106,788,864 bytes of this disk, but the drive states "
                              "500,107,862,016 bytes: the last 1,073,152 bytes cannot be reached and will not be erased."),
            std::string::npos) << confirmation;
  const auto log = RunLog(run);
  EXPECT_NE(std::find(log.begin(), log.end(),
                      "The disk is not completely erased: the drive states 500,107,862,016 bytes, but Windows shows only "
                      "500,106,788,864; bytes from offset 500,106,788,864 to 500,107,862,016 could not be reached."),
            log.end());
  EXPECT_EQ(std::find(log.begin(), log.end(), "Low-level format is complete."), log.end()) << "never said complete";
  // The quick wipe's last MiB is the last MiB Windows shows.
  EXPECT_EQ(ZeroRanges(run, 1), (std::vector<trv::sim::ByteRange>{{0, 10'240'000}, {kShown - 1'048'576, kShown}}));
  const nlohmann::json record = SavedRecord(run);
  ASSERT_TRUE(record.is_object());
  EXPECT_EQ(record["outcome"], "completed-with-errors");
  ASSERT_FALSE(record["unwritten"].empty());
  EXPECT_EQ(record["unwritten"].back(), (nlohmann::json{{"begin", kShown}, {"end", kStated}}));
  EXPECT_EQ(run.app->FmMain.pbCurrentTask.state(), trv::ui::ProgressState::Error);

  // A disk whose Windows size is all it states says nothing more.
  auto plain = Play(Scenario(), FormatScript(true));
  EXPECT_EQ(trv::Utf16ToUtf8(plain.ui->boxes()[0].text).find("Windows shows"), std::string::npos);
  EXPECT_EQ(SavedRecord(plain)["outcome"], "completed");
}

TEST(EraseRecord, TheWindowsRecordCarriesItsIdTheProgramsHashAndWhyNoFirmwareEraseWasUsed) {
  // The default PC's data disk: a WD Caviar Blue offering ATA Security (details 1 shows it).
  const auto first = SavedRecord(Play(Scenario(), FormatScript(true)));
  EXPECT_EQ(first["firmware_erase"]["offered"], nlohmann::json({"ata-security-erase"}));
  EXPECT_EQ(first["firmware_erase"]["code"], "overwrite-only-version");
  EXPECT_EQ(first["program_file"]["path"], "C:\\Program Files\\Trevasso\\trevasso.exe");
  EXPECT_EQ(first["program_file"]["sha256"].get<std::string>().size(), 64u);
  EXPECT_EQ(first["record_id"].get<std::string>().size(), 36u);
  // The simulated PC's random source repeats itself: the same run, the same id.
  EXPECT_EQ(SavedRecord(Play(Scenario(), FormatScript(true)))["record_id"], first["record_id"]);
}
