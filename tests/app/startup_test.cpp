#include <gtest/gtest.h>

#include <algorithm>

#include "app/logs.h"
#include "test_support.h"

using trv::test::Lines;
using trv::test::Messages;
using trv::test::Play;
using trv::test::Scenario;

TEST(StartUp, NoDiskRunShowsWarningsCaptionsAndEndsInTheSelectionDialog) {
  auto run = Play(Scenario({{"drives", nlohmann::json::array()}}));
  auto& app = *run.app;
  EXPECT_EQ(run.exitReason, "application terminated");
  EXPECT_EQ(Messages(app.FmMain.Log_BenchMark),
            (std::vector<std::string>{" * * * * *  WARNING!!! * * * * * ", "低级格式化过程中",
                                      "所有数据将不可逆转地擦除 ！支持:Win XP, Vista x32/x64, 7 x32/x64, 2003, 2008, 2008R2"}));
  for (const auto& line : Lines(app.FmMain.Log_BenchMark)) EXPECT_TRUE(trv::test::HasTimeStamp(line)) << line;
  EXPECT_EQ(trv::test::U8(app.FmMain.caption()), "Trevasso 4.12    ");
  EXPECT_EQ(trv::test::U8(app.FmMain.StatusBar.panels()[0].text), "Trevasso 4.12    ");
  EXPECT_EQ(trv::test::U8(run.ui->applicationTitle()), "Trevasso 4.12    ");
  EXPECT_EQ(trv::test::U8(app.FmChoose.caption()), "Device Selection - Trevasso 4.12    ");
  EXPECT_EQ(trv::test::U8(app.FmChoose.lbProgramName.caption()), "TREVASSO 4.12    ");
  EXPECT_EQ(trv::test::U8(app.FmChoose.StatusBar.simpleText()), "Disks found: 0");
  EXPECT_FALSE(app.FmMain.visible());
  // Without --debug nothing reaches the debug memo.
  EXPECT_EQ(Lines(app.FmDebug.Memo1), (std::vector<std::string>{"调试窗口"}));
  EXPECT_EQ(run.platform->OpenHandleCount(), 0u);
}

TEST(StartUp, DebugSwitchInAnyCaseTracesTheEnvironment) {
  for (const char16_t* sw : {u"--debug", u"--DEBUG", u"--DeBuG"}) {
    auto run = Play(Scenario(), "close", {sw});
    const auto memo = Lines(run.app->FmDebug.Memo1);
    ASSERT_GE(memo.size(), 6u);
    EXPECT_EQ(memo[0], "调试窗口");
    for (std::size_t i = 1; i < memo.size(); ++i) EXPECT_TRUE(trv::test::HasTimeStamp(memo[i])) << memo[i];
    const auto msg = Messages(run.app->FmDebug.Memo1);
    EXPECT_EQ(msg[1], "Debug mode activated");
    EXPECT_EQ(msg[2], "Program Path: C:\\Program Files\\Trevasso\\");
    EXPECT_EQ(msg[3], "Platform: 6.1.7601   Service Pack 1  (64 bit)");
    EXPECT_EQ(msg[4], "Program Version: Trevasso 4.12    ");
    EXPECT_EQ(msg[5], "Iterating through devices...");
    EXPECT_TRUE(run.app->DebugMode);
  }
}

TEST(StartUp, DebugOnlyCountsAsTheFirstArgument) {
  for (auto args : {std::vector<std::u16string>{u"-debug"}, std::vector<std::u16string>{u"x", u"--debug"},
                    std::vector<std::u16string>{u"--debug "}}) {
    auto run = Play(Scenario(), "", args);
    EXPECT_FALSE(run.app->DebugMode);
    EXPECT_EQ(Lines(run.app->FmDebug.Memo1), (std::vector<std::string>{"调试窗口"}));
  }
}

TEST(StartUp, PlatformLineAndProgramPathEdgeCases) {
  auto run = Play(Scenario({{"os", {{"major", 5}, {"minor", 1}, {"build", 2600}, {"csd", ""}}},
                           {"wow64", "absent"},
                           {"programPath", "C:\\trevasso.exe"}}),
                 "", {u"--debug"});
  const auto msg = Messages(run.app->FmDebug.Memo1);
  EXPECT_EQ(msg[2], "Program Path: C:\\");
  EXPECT_EQ(msg[3], "Platform: 5.1.2600     (32 bit)");
  auto no = Play(Scenario({{"wow64", false}}), "", {u"--debug"});
  EXPECT_EQ(Messages(no.app->FmDebug.Memo1)[3], "Platform: 6.1.7601   Service Pack 1  (32 bit)");
}

struct FailureCase {
  const char* name;
  nlohmann::json patch;
  const char* text;
  const char* caption;
};

class StartUpFailure : public testing::TestWithParam<FailureCase> {};

TEST_P(StartUpFailure, EndsWithTheErrorBox) {
  const auto& c = GetParam();
  auto run = Play(Scenario(c.patch));
  EXPECT_EQ(run.exitReason, "process ended (code 1)");
  ASSERT_EQ(run.ui->boxes().size(), 1u);
  const auto& box = run.ui->boxes()[0];
  EXPECT_EQ(box.kind, "MessageBox");
  EXPECT_EQ(trv::test::U8(box.text), c.text);
  EXPECT_EQ(trv::test::U8(box.caption), c.caption);
  EXPECT_EQ(box.flags, 0x10u);
  // No disk was scanned and the activity log never got its warning lines.
  EXPECT_TRUE(run.app->FmMain.Log_BenchMark.lines().empty());
  EXPECT_TRUE(run.ui->formsShown().size() <= 1);
}

INSTANTIATE_TEST_SUITE_P(
    Table, StartUpFailure,
    testing::Values(
        FailureCase{"NotNt", {{"os", {{"platformId", 1}}}},
                    "Only the following versions of Windows are supported: 2003, 2008, XP, Vista, 7", "Error"},
        FailureCase{"FrequencyFails", {{"performanceCounter", {{"frequencyFails", true}}}}, "Timer error", "Timer"},
        FailureCase{"FrequencyLow", {{"performanceCounter", {{"frequency", 999999}}}}, "Unknown error.", "Timer"},
        FailureCase{"FrequencyHigh", {{"performanceCounter", {{"frequency", 4000000001LL}}}}, "Unknown error.", "Timer"},
        FailureCase{"CounterFails", {{"performanceCounter", {{"failOnRead", 1}}}}, "Timer error", "Timer"},
        FailureCase{"CounterZeroMidAttempt", {{"performanceCounter", {{"zeroOnRead", 3}}}}, "Timer error", "Timer"},
        FailureCase{"TimerNeverPasses", {{"timer", {{"badAttempts", 3}}}}, "Unknown error.", "Timer"},
        FailureCase{"TimerNeverFires", {{"timer", {{"neverFires", true}}}}, "Unknown error.", "Timer"},
        FailureCase{"TimerNotCreated", {{"timer", {{"createFails", true}}}}, "Unknown error.", "Timer"},
        FailureCase{"TimerDrifts", {{"timer", {{"periodMicroseconds", 1250}}}}, "Unknown error.", "Timer"},
        // A system that throttles hidden programs' timers but offers no way out.
        FailureCase{"TimerThrottledWithoutOptOut", {{"timer", {{"throttledWhileHidden", true}}}}, "Unknown error.",
                    "Timer"},
        FailureCase{"NoSetupApi", {{"setupApi", "missing"}}, "Error #01704", "Error"},
        FailureCase{"SetupApiIncomplete", {{"setupApi", "missingEntryPoint"}}, "Error #01704", "Error"},
        FailureCase{"Wow64CallFails", {{"wow64", "fails"}}, "Bad process handle", "Trevasso 4.12"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(StartUp, FrequencyBoundsAreAccepted) {
  for (long long f : {1000000LL, 4000000000LL}) {
    auto run = Play(Scenario({{"performanceCounter", {{"frequency", f}}}}));
    EXPECT_EQ(run.exitReason, "application terminated") << f;
    EXPECT_TRUE(run.ui->boxes().empty());
  }
}

TEST(StartUp, TimerSelfTestStopsAtTheFirstPass) {
  for (int bad : {0, 1, 2}) {
    auto run = Play(Scenario({{"timer", {{"badAttempts", bad}}}}));
    EXPECT_EQ(run.exitReason, "application terminated");
    EXPECT_EQ(run.platform->journal().Count("timeSetEvent"), static_cast<std::size_t>(bad + 1));
    EXPECT_EQ(run.platform->journal().Count("timeKillEvent"), static_cast<std::size_t>(bad + 1));
  }
}

TEST(StartUp, OnWindows11TheTimerKeepsItsResolutionWhileNoWindowShows) {
  // Windows 11 runs a hidden program's timers at the coarse period unless it opted out.
  const auto windows11 = Scenario({{"os", {{"major", 10}, {"minor", 0}, {"build", 22631}, {"csd", ""}}},
                                   {"timer", {{"throttledWhileHidden", true}}}});
  auto run = Play(windows11);
  EXPECT_EQ(run.exitReason, "application terminated");
  EXPECT_TRUE(run.ui->boxes().empty());
  EXPECT_EQ(run.platform->journal().Count("timeSetEvent"), 1u) << "the first attempt passes";
  const auto& entries = run.platform->journal().entries();
  const auto call = [&](const std::string& name) {
    return std::find_if(entries.begin(), entries.end(), [&](const auto& e) { return e.call == name; });
  };
  ASSERT_NE(call("SetProcessInformation"), entries.end());
  EXPECT_LT(call("SetProcessInformation"), call("timeSetEvent")) << "opted out before the timer checks";
  EXPECT_EQ(call("SetProcessInformation")->detail, "class=4 size=12 control=0x4 state=0x0 -> ok");

  // Windows 10 before 11 refuses the request; its timers are not throttled, so
  // the refusal is of no account.
  auto windows10 = Play(Scenario({{"os", {{"major", 10}, {"minor", 0}, {"build", 19045}, {"csd", ""}}}}));
  EXPECT_EQ(windows10.exitReason, "application terminated");
  EXPECT_EQ(windows10.platform->journal().Find("SetProcessInformation").at(0)->detail,
            "class=4 size=12 control=0x4 state=0x0 -> failed");
}

TEST(StartUp, IncompleteSetupApiIsReleased) {
  auto run = Play(Scenario({{"setupApi", "missingEntryPoint"}}));
  EXPECT_EQ(run.platform->journal().Count("FreeLibrary"), 1u);
  EXPECT_FALSE(run.app->setupApi.Loaded());
}

TEST(ActivityLog, MessagesAreTakenAsTheyAre) {
  trv::ui::HeadlessUi ui{trv::ui::ScriptedUser()};
  trv::sim::SimPlatform platform(Scenario());
  trv::app::App app(platform, ui, {});
  trv::app::AddToLog(app, u" ");
  trv::app::AddToLog(app, u"  two leading blanks");
  trv::app::AddToDebugLog(app, u"not in debug mode");
  const auto lines = Lines(app.FmMain.Log_BenchMark);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "2026/12/8 17:05:09    ");  // the stamp, three blanks and the message's one
  EXPECT_EQ(lines[1], "2026/12/8 17:05:09     two leading blanks");
  EXPECT_EQ(Lines(app.FmDebug.Memo1), (std::vector<std::string>{"调试窗口"}));
}
