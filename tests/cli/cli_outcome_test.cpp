// What an erase's record and the console say a run did not do: a quick wipe
// is no sanitization, a read-back asked for is stopped or never runs, a
// stopped run does not tell the user to partition the disk.
#include <gtest/gtest.h>

#include "cli/cli_support.h"
#include "cli/console_erase.h"
#include "format/format_support.h"

using namespace trv::test;
using nlohmann::json;

namespace {

constexpr char kReminder[] = "Remember to create new partitions.";
const std::string kFullVerify = "erase 1 --full --verify --confirm-serial S1 --json";

// The saved record's two files: the JSON document and the text's lines.
struct Saved {
  json record;
  std::vector<std::string> text;
};

Saved SavedRecord(const CliRun& run) {
  const auto files = run.platform->FilesWritten(kDefaultRecords);
  EXPECT_EQ(files.size(), 2u);
  if (files.size() != 2) return {};
  Saved saved{json::parse(*run.platform->FileContent(files[0])), {}};
  std::istringstream text(*run.platform->FileContent(files[1]));
  for (std::string line; std::getline(text, line);) saved.text.push_back(line.substr(0, line.find('\r')));
  return saved;
}

bool EndsWith(const std::string& text, const std::string& end) { return text.ends_with(end); }

} // namespace

TEST(CliOutcome, AQuickWipeSaysFirstThatItIsNoSanitizationAndWhichRangesAloneItWrote) {
  auto run = Cli(SmallPc(), "erase 1 --quick --confirm-serial S1");
  ASSERT_EQ(run.code, 0) << run.host.err;
  // The two areas SmallPc's 64 MiB disk gets from a quick wipe (the first test of cli_test.cpp's erases).
  const std::string note = "A quick wipe is not a sanitization: only bytes 0 to 10,240,000 and 66,060,288 to 67,108,864 "
                           "were written; the rest of the disk still holds its data.";
  EXPECT_EQ(run.host.out.rfind("outcome: completed\nnote: " + note + "\n", 0), 0u) << run.host.out;
  const Saved saved = SavedRecord(run);
  ASSERT_GE(saved.text.size(), 3u);
  EXPECT_EQ(saved.text[0], "Erase record");
  EXPECT_EQ(saved.text[2], note);
  EXPECT_EQ(saved.record["sanitization"], false);
  EXPECT_EQ(saved.record["sanitization_note"], note);
  EXPECT_EQ(saved.record["verify_requested"], false);
  EXPECT_TRUE(saved.record["verify"].is_null());

  // A full zero fill that wrote every byte is one, and carries no note.
  auto full = Cli(SmallPc(), "erase 1 --full --confirm-serial S1");
  ASSERT_EQ(full.code, 0) << full.host.err;
  EXPECT_EQ(full.host.out.find("note: "), std::string::npos);
  EXPECT_EQ(SavedRecord(full).record["sanitization"], true);
}

TEST(CliOutcome, AReadBackStoppedOrLostAfterACompleteWriteHasItsOwnOutcome) {
  // Every pump of a whole run, none of them pressed; Ctrl+C comes a few blocks before its end, in the read-back.
  const int pumps = Cli(SmallPc(), kFullVerify, 1'000'000).host.calls;
  auto stopped = Cli(SmallPc(), kFullVerify, pumps - 3);
  EXPECT_EQ(stopped.code, 12) << stopped.host.err;
  const json record = stopped.Json();
  EXPECT_EQ(record["outcome"], "erased-verify-cancelled");
  EXPECT_EQ(record["written"], (json{{{"begin", 0}, {"end", 67'108'864}}}));
  EXPECT_EQ(record["flush_ok"], true);
  EXPECT_EQ(record["verify_requested"], true);
  EXPECT_EQ(record["verify"]["outcome"], "cancelled");
  EXPECT_TRUE(record["verify"]["reason"].is_null());
  EXPECT_EQ(SavedRecord(stopped).record, record);
  // Everything was written: the disk is to be partitioned anew.
  EXPECT_EQ(record["log"].back().get<std::string>().ends_with(kReminder), true);

  // The disk goes away in the read-back: every byte was written all the same, but a
  // disk that vanished needs looking at, as any other that went away (8).
  auto lost = Cli(SmallPc({{"unplugOnRead", {{"offset", 3 * 1'048'576}}}}), kFullVerify);
  EXPECT_EQ(lost.code, 8) << lost.host.err;
  EXPECT_EQ(lost.Json()["outcome"], "erased-verify-terminated");
  EXPECT_EQ(lost.Json()["verify"]["outcome"], "terminated");
}

TEST(CliOutcome, AReadBackAskedForThatNeverRanSaysWhyAndAStoppedRunNamesNoPartitions) {
  auto stopped = Cli(SmallPc(), kFullVerify, 6);  // Ctrl+C as the writing's fifth block begins
  EXPECT_EQ(stopped.code, 7) << stopped.host.err;
  const Saved saved = SavedRecord(stopped);
  EXPECT_EQ(saved.record["outcome"], "cancelled");
  EXPECT_EQ(saved.record["verify_requested"], true);
  EXPECT_EQ(saved.record["verify"]["outcome"], "not-run");
  EXPECT_EQ(saved.record["verify"]["reason"], "erase-cancelled");
  EXPECT_NE(std::find(saved.text.begin(), saved.text.end(),
                      "Verify:             not run (asked for; the erase was cancelled before its end)"),
            saved.text.end());
  // Neither the record nor the console's log tells the user to partition a half-written disk.
  const std::string last = saved.record["log"].back();
  EXPECT_NE(last.find("Operation cancelled at offset 327,680"), std::string::npos) << last;
  EXPECT_EQ(saved.text.back(), last);
  EXPECT_EQ(stopped.host.err.find(kReminder), std::string::npos) << stopped.host.err;

  auto gone = Cli(SmallPc({{"unplugAt", {{"offset", 3'145'728}}}}), kFullVerify);
  EXPECT_EQ(gone.code, 8) << gone.host.err;
  EXPECT_EQ(gone.Json()["verify"]["reason"], "erase-terminated");
  EXPECT_FALSE(EndsWith(gone.Json()["log"].back(), kReminder));
}

TEST(CliOutcome, TheSessionEndingInTheReadBackIsNeverRecordedAsCompleted) {
  // The read at kHang takes the cancel and goes on for two minutes; the session
  // ends as it hangs, and the record is saved from the run's copy, in which the
  // writing had ended: the read-back was cut short, not passed.
  constexpr std::int64_t kHang = 8'323'072;
  CliRun r;
  r.platform = std::make_unique<trv::sim::SimPlatform>(SmallPc(
      {{"hangingReads", {{{"offset", kHang}, {"length", 512}, {"milliseconds", 120'000}, {"ignoresCancel", true}}}}}));
  r.platform->SetHangWait([&](bool) {
    if (r.host.erasing && !r.host.erasing->Ending()) r.host.erasing->EndNow([](std::uint32_t) {});
  });
  r.code = trv::cli::RunCli(*r.platform, r.host, Args(kFullVerify));
  EXPECT_EQ(r.code, 12) << r.host.err;
  const json record = r.Json();
  EXPECT_EQ(record["outcome"], "erased-verify-cancelled");
  EXPECT_EQ(record["verify"]["outcome"], "cancelled");
  EXPECT_EQ(record["verify"]["reason"], "session-ended");
  EXPECT_EQ(record["sanitization"], true) << "every byte was written and flushed";
  const auto text = SavedRecord(r).text;
  EXPECT_NE(std::find(text.begin(), text.end(),
                      "Verify:             cancelled (asked for; the session ended, or the console was closed, after "
                      "the writing)"),
            text.end());
}
