#include <gtest/gtest.h>

#include "test_support.h"

using trv::test::Play;
using trv::test::Scenario;
using trv::test::U8;

TEST(MainWindow, DesignStateBeforeAnyDiskIsChosen) {
  auto run = Play(Scenario());
  const auto& m = run.app->FmMain;
  EXPECT_EQ(m.pages.activePage(), 0);
  EXPECT_EQ(U8(m.TabSheet3.caption()), "设备详细信息");
  EXPECT_EQ(U8(m.TabSheet1.caption()), "低级格式化");
  EXPECT_EQ(U8(m.TabSheet2.caption()), "S.M.A.R.T.");
  EXPECT_EQ(U8(m.cbQuickWipe.caption()), "执行快速擦除 （仅删除分区和 MBR）");
  EXPECT_FALSE(m.cbQuickWipe.checked());
  // No disk, no purge: the box waits, unchecked and disabled, with nothing beside it.
  EXPECT_EQ(U8(m.cbPurge.caption()), "Firmware purge");
  EXPECT_FALSE(m.cbPurge.checked());
  EXPECT_FALSE(m.cbPurge.enabled());
  EXPECT_TRUE(m.lbPurgeReason.caption().empty());
  EXPECT_FALSE(m.btStop.enabled());
  EXPECT_TRUE(m.btRunBenchmarks.enabled());
  EXPECT_TRUE(m.btGetSmart.enabled());
  EXPECT_EQ(U8(m.btGetSmart.caption()), "获取 SMART 数据(&G)");
  ASSERT_EQ(m.StatusBar.panels().size(), 3u);
  EXPECT_EQ(m.StatusBar.panels()[0].width, 450);
  EXPECT_TRUE(m.StatusBar.panels()[2].rightAligned);
  EXPECT_EQ(U8(m.Log_Details.font().name), "Courier New");
  EXPECT_EQ(U8(m.lbCurrentPercent.font().name), "Tahoma");
  EXPECT_EQ(m.lbCurrentPercent.font().height, -21);
  // Layout at 96 dpi: the check box and buttons sit where designed inside the format tab.
  EXPECT_EQ(m.btRunBenchmarks.placed.width, 169);
  EXPECT_EQ(m.Panel5.placed.height, 212);
  EXPECT_EQ(m.Log_Smart.placed.height, 308);
}

// Every control placed by position on the format tab keeps clear of the others
// and of the progress box above, and stays inside the tab: the purge box sits
// under the quick-wipe box with the read-back box beside it, and the line that
// says what the purge would run has a row of its own above the buttons.
TEST(MainWindow, FormatTabControlsDoNotTouch) {
  auto run = Play(Scenario());
  const auto& m = run.app->FmMain;
  using trv::ui::Rect;
  auto apart = [](const Rect& a, const Rect& b, int gap) {
    return a.left + a.width + gap <= b.left || b.left + b.width + gap <= a.left ||  //
           a.top + a.height + gap <= b.top || b.top + b.height + gap <= a.top;
  };
  const Rect tab = m.Panel1.placed;
  const Rect progress = m.GroupBox2.placed;
  std::vector<const trv::ui::Control*> placed;
  for (const auto* c : m.Panel1.children())
    if (c->align == trv::ui::Align::None) placed.push_back(c);
  ASSERT_EQ(placed.size(), 9u);
  for (const auto* c : placed) {
    const Rect r = c->placed;
    EXPECT_TRUE(r.left >= tab.left && r.top >= tab.top && r.left + r.width <= tab.left + tab.width &&
                r.top + r.height <= tab.top + tab.height)
        << c->name();
    EXPECT_TRUE(apart(r, progress, 5)) << c->name();
    for (const auto* other : placed) {
      if (other == c) continue;
      EXPECT_TRUE(apart(r, other->placed, 5)) << c->name() << " and " << other->name();
    }
  }
  // The two boxes that exclude each other one above the other, left edges in
  // line; the read-back box beside the purge box; all as tall as a check box.
  EXPECT_EQ(m.cbPurge.placed.left, m.cbQuickWipe.placed.left);
  EXPECT_EQ(m.lbPurgeReason.placed.left, m.cbPurge.placed.left);
  EXPECT_EQ(m.cbVerify.placed.top, m.cbPurge.placed.top);
  EXPECT_GT(m.cbPurge.placed.top, m.cbQuickWipe.placed.top + m.cbQuickWipe.placed.height);
  EXPECT_GT(m.lbPurgeReason.placed.top, m.cbPurge.placed.top + m.cbPurge.placed.height);
  EXPECT_LT(m.lbPurgeReason.placed.top + m.lbPurgeReason.placed.height, m.btStop.placed.top);
  EXPECT_EQ(m.cbVerify.placed.height, m.cbQuickWipe.placed.height);
  EXPECT_EQ(m.cbPurge.placed.height, m.cbQuickWipe.placed.height);
  // The progress bar keeps a usable height in its smaller box.
  EXPECT_GE(m.pbCurrentTask.placed.height, 17);
  // The format button sits where the S.M.A.R.T. tab has its button.
  EXPECT_EQ(m.btRunBenchmarks.placed, m.btGetSmart.placed);
}

TEST(MainWindow, WindowFontBecomesCalibriTwoPointsLargerOnVista) {
  auto run = Play(Scenario());
  const auto& f = run.app->FmMain.font();
  EXPECT_EQ(U8(f.name), "Calibri");
  EXPECT_EQ(f.Points(), 11);  // the icon-title font of 9 points plus 2
  EXPECT_TRUE(run.app->FmMain.lbDiskName.font().bold);
  EXPECT_EQ(U8(run.app->FmMain.lbDiskName.font().name), "Calibri");
  EXPECT_EQ(U8(run.app->FmMain.Log_Details.font().name), "Courier New");  // keeps its own font
  EXPECT_EQ(run.platform->LiveGdiObjects(), 0u);  // the icon-title fonts were released when replaced

  auto xp = Play(Scenario({{"os", {{"major", 5}, {"minor", 1}, {"build", 2600}}}}));
  EXPECT_EQ(U8(xp.app->FmMain.font().name), "Microsoft YaHei UI");
  auto noCalibri = Play(Scenario({{"fonts", {"Tahoma"}}}));
  EXPECT_EQ(U8(noCalibri.app->FmMain.font().name), "Microsoft YaHei UI");
  auto noIconFont = Play(Scenario({{"iconTitleFont", false}, {"os", {{"major", 5}}}}));
  EXPECT_EQ(U8(noIconFont.app->FmMain.font().name), "MS Shell Dlg");
  EXPECT_EQ(noIconFont.platform->journal().Count("GetStockObject"), 2u);  // main window and selection dialog
}

TEST(MainWindow, CreditLabelColoursFollowThePointer) {
  trv::ui::HeadlessUi ui{trv::ui::ScriptedUser()};
  trv::sim::SimPlatform platform(Scenario());
  trv::app::App app(platform, ui, {});
  auto& label = app.FmMain.lbCopyright;
  EXPECT_EQ(label.font().color, trv::ui::kGrey);
  label.onMouseEnter();
  EXPECT_EQ(label.font().color, trv::ui::kBlue);
  label.onMouseDown(trv::ui::MouseButton::Right);
  EXPECT_EQ(label.font().color, trv::ui::kBlue);
  label.onMouseDown(trv::ui::MouseButton::Left);
  EXPECT_EQ(label.font().color, trv::ui::kRed);
  label.onMouseUp(trv::ui::MouseButton::Middle);
  EXPECT_EQ(label.font().color, trv::ui::kRed);
  label.onMouseUp(trv::ui::MouseButton::Left);
  EXPECT_EQ(label.font().color, trv::ui::kGrey);
  label.onMouseEnter();
  label.onMouseLeave();
  EXPECT_EQ(label.font().color, trv::ui::kGrey);
  label.onClick();
  ASSERT_EQ(platform.ShellExecuted().size(), 1u);
  EXPECT_EQ(U8(platform.ShellExecuted()[0]), "open https://trevasso.example.org/");
  app.FmMain.btStop.SetEnabled(true);
  app.FmMain.btStop.onClick();
  EXPECT_TRUE(app.StopRequested);
}

TEST(MainWindow, EnterPressesTheDefaultButtonOfTheTabShown) {
  trv::ui::HeadlessUi ui{trv::ui::ScriptedUser()};
  trv::sim::SimPlatform platform(Scenario());
  trv::app::App app(platform, ui, {});
  auto& m = app.FmMain;
  EXPECT_EQ(m.DefaultButton(), nullptr);  // the details tab has none
  m.pages.SetActivePage(1);
  EXPECT_EQ(m.DefaultButton(), &m.btRunBenchmarks);
  m.pages.SetActivePage(2);
  EXPECT_EQ(m.DefaultButton(), &m.btGetSmart);
}
