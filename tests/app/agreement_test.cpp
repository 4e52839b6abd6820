#include <gtest/gtest.h>

#include <filesystem>

#include "test_support.h"

using trv::test::Scenario;

namespace {
trv::sim::Scenario FirstRun() { return Scenario({{"agreementAccepted", false}}); }
} // namespace

TEST(Agreement, FirstRunShowsItAndAcceptanceIsRemembered) {
  const auto dir = std::filesystem::temp_directory_path() / ("trevasso-agreement-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
  std::filesystem::remove_all(dir);
  {
    auto run = trv::app::RunHeadless(FirstRun(), "accept", {}, dir.string());
    EXPECT_EQ(run.ui->formsShown().front(), &run.app->FmAgreement);
    EXPECT_EQ(run.exitReason, "application terminated");  // went on to the (empty) selection dialog
    EXPECT_EQ(run.platform->FileContent(u"C:\\Users\\User\\AppData\\Local\\Trevasso\\agreement.txt"), "accepted 1\r\n");
  }
  {
    // A second run on the same machine state goes straight to start-up.
    auto run = trv::app::RunHeadless(FirstRun(), "", {}, dir.string());
    ASSERT_FALSE(run.ui->formsShown().empty());
    EXPECT_NE(run.ui->formsShown().front(), &run.app->FmAgreement);
    EXPECT_EQ(run.app->FmMain.Log_BenchMark.lines().size(), 3u);
  }
  std::filesystem::remove_all(dir);
}

TEST(Agreement, DecliningOrClosingEndsTheProgramBeforeStartUp) {
  for (const char* script : {"decline", "close", "", "click btAccept; close"}) {
    auto run = trv::test::Play(FirstRun(), script);
    EXPECT_EQ(run.exitReason, "agreement declined") << script;
    EXPECT_EQ(run.ui->formsShown().size(), 1u);
    EXPECT_FALSE(run.platform->FileContent(u"C:\\Users\\User\\AppData\\Local\\Trevasso\\agreement.txt"));
    EXPECT_TRUE(run.app->FmMain.Log_BenchMark.lines().empty());
    EXPECT_EQ(run.platform->journal().Count("QueryPerformanceFrequency"), 0u);
  }
}

TEST(Agreement, AcceptIsOnlyPossibleAfterTickingTheBox) {
  auto run = trv::test::Play(FirstRun(), "click btAccept; check cbAccept; click btAccept");
  EXPECT_EQ(run.ui->problems().size(), 1u);  // the first click found the button disabled
  EXPECT_EQ(run.exitReason, "application terminated");
}
