#include <gtest/gtest.h>

#include "test_support.h"

using trv::test::Play;
using trv::test::Scenario;
using trv::test::U8;

TEST(RunFlow, NoDiskFoundEndsWithoutOpeningAnything) {
  for (const char* script : {"", "key DriveList Escape", "close", "key DriveList Enter"}) {
    auto run = Play(Scenario({{"drives", nlohmann::json::array()}}), script);
    EXPECT_EQ(run.exitReason, "application terminated") << script;
    EXPECT_EQ(U8(run.app->FmChoose.StatusBar.simpleText()), "Disks found: 0");
    EXPECT_TRUE(run.app->FmChoose.DriveList.items().empty());
    EXPECT_EQ(run.app->dev.DeviceHandle, trv::win::kInvalidHandle);
    EXPECT_TRUE(run.app->FmMain.Log_Details.lines().empty());
    EXPECT_FALSE(run.app->FmMain.visible());
    for (const auto* e : run.platform->journal().Find("CreateFileW"))
      EXPECT_EQ(e->detail.find("access=0xC0000000"), std::string::npos) << e->detail;
  }
}

TEST(RunFlow, DebugWindowIsClosedBeforeTheSelectionDialogShows) {
  auto run = Play(Scenario(), "close; key DriveList Escape", {u"--debug"});
  const auto& shown = run.ui->formsShown();
  ASSERT_EQ(shown.size(), 3u);
  EXPECT_EQ(shown[0], &run.app->FmMain);   // its show event runs the whole flow
  EXPECT_EQ(shown[1], &run.app->FmDebug);
  EXPECT_EQ(shown[2], &run.app->FmChoose);
  EXPECT_FALSE(run.app->FmDebug.visible());
  EXPECT_TRUE(run.ui->problems().empty());
}
