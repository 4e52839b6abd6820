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

TEST(RunFlow, ChosenDiskIsOpenedExclusivelyAndTitled) {
  // Default PC: four disks; the user picks the second (PhysicalDrive1) and closes the window.
  auto run = Play(Scenario(), "select DriveList 1; click btContinue");
  auto& app = *run.app;
  EXPECT_EQ(run.exitReason, "main window closed");
  EXPECT_EQ(U8(app.FmChoose.StatusBar.simpleText()), "Disks found: 4");
  EXPECT_EQ(app.dev.SelectedDevice, 2);
  EXPECT_EQ(U8(app.dev.DeviceTitle), "[1]  WDC WD5000AAKS-00TMA0    12.01C01    [500.1 GB]");
  EXPECT_EQ(app.FmMain.lbDiskName.caption(), app.dev.DeviceTitle);
  EXPECT_EQ(app.FmMain.StatusBar.panels()[1].text, app.dev.DeviceTitle);
  // The last open of the disk is the window's own, exclusive one.
  std::vector<std::string> opens;
  for (const auto* open : run.platform->journal().Find("CreateFileW"))
    if (open->detail.starts_with("\\\\.\\PhysicalDrive")) opens.push_back(open->detail.substr(0, open->detail.find(" ->")));
  ASSERT_FALSE(opens.empty());
  EXPECT_EQ(opens.back(), "\\\\.\\PhysicalDrive1 access=0xC0000000 share=0 disposition=3 flags=0x0");
  // Closing the main window closed the disk: nothing is left open.
  EXPECT_EQ(run.platform->OpenHandleCount(), 0u);
  EXPECT_EQ(run.platform->journal().entries().back().call, "CloseHandle");
}

TEST(RunFlow, DiskHeldByAnotherProgramEndsWithTheSharingViolation) {
  nlohmann::json patch = nlohmann::json::parse(trv::sim::DefaultScenarioJson());
  patch["drives"][1]["open"] = "inUse";
  auto run = Play(Scenario({{"drives", patch["drives"]}}), "select DriveList 1; click btContinue");
  EXPECT_EQ(run.exitReason, "process ended (code 1)");
  ASSERT_EQ(run.ui->boxes().size(), 1u);
  EXPECT_EQ(U8(run.ui->boxes()[0].text),
            "Error opening device: The process cannot access the file because it is being used by another process.");
  EXPECT_EQ(U8(run.ui->boxes()[0].caption), "Error");
  EXPECT_EQ(run.ui->boxes()[0].flags, 0x10u);
  EXPECT_TRUE(run.ui->Terminated());
  EXPECT_TRUE(run.app->FmMain.Log_Details.lines().empty());
  EXPECT_FALSE(run.app->FmMain.visible());
}

TEST(RunFlow, EachDiskOfTheDefaultPcOpensWithItsDetailsReport) {
  const std::pair<int, const char*> disks[] = {
      {0, "[0]  INTEL SSDSA2CW120G3    4PC10302    [120.03 GB]"},
      {1, "[1]  WDC WD5000AAKS-00TMA0    12.01C01    [500.1 GB]"},
      {2, "[2]  Kingston DataTraveler 2.0    PMAP    [8011.12 MB]"},
  };
  for (const auto& [row, title] : disks) {
    auto run = Play(Scenario(), "select DriveList " + std::to_string(row) + "; click btContinue");
    const auto& m = run.app->FmMain;
    EXPECT_EQ(run.exitReason, "main window closed");
    EXPECT_EQ(U8(m.lbDiskName.caption()), title);
    EXPECT_EQ(U8(m.StatusBar.panels()[0].text), "Trevasso 4.12    ");
    EXPECT_EQ(U8(m.StatusBar.panels()[1].text), title);
    const auto details = trv::test::Lines(m.Log_Details);
    ASSERT_GE(details.size(), 6u);
    EXPECT_EQ(details[3], std::string("设备详细信息") + title);
    // The SATA disks answer IDENTIFY; the USB stick does not pass ATA commands through.
    EXPECT_EQ(details[5], row == 2 ? "详细信息不可用于此设备。" : std::string("模型: ") + (row ? "WDC WD5000AAKS-00TMA0" : "INTEL SSDSA2CW120G3"));
  }
  // The card is too small to be chosen.
  auto card = Play(Scenario(), "select DriveList 3; click btContinue");
  EXPECT_EQ(card.exitReason, "application terminated");
  ASSERT_EQ(card.ui->boxes().size(), 1u);
  EXPECT_EQ(U8(card.ui->boxes()[0].caption), "Cannot access this device");
}
