#include <gtest/gtest.h>

#include "platform/text.h"
#include "test_support.h"

using trv::test::Scenario;
using trv::test::U8;

namespace {

// A machine whose device table is filled by hand, and a user who plays `script`
// in the selection dialog.
struct Dialog {
  explicit Dialog(const std::string& script) : platform(Scenario()), ui(trv::ui::ScriptedUser(script)), app(platform, ui, {}) {
    app.FmChoose.FormCreate();
  }
  void AddDisk(std::uint32_t number, std::u16string model, std::int64_t lba, std::int64_t bus = 11,
               std::int64_t sectorSize = 512) {
    auto& d = app.dev.Devices[static_cast<std::size_t>(++app.dev.DeviceCount)];
    d.DeviceNumber = number;
    d.DevicePath = u"\\\\.\\PhysicalDrive" + trv::DecimalText(number);
    d.IdentifyData = {std::move(model), u"FW1", u"SN" + trv::DecimalText(number), lba, sectorSize, bus, 128, false, 0};
  }
  bool Show() { return app.FmChoose.FillDeviceList(); }

  trv::sim::SimPlatform platform;
  trv::ui::HeadlessUi ui;
  trv::app::App app;
};

constexpr char kTooSmall[] = "This device cannot be accessed because it is smaller than 65535 sectors.  ";

} // namespace

TEST(SelectionDialog, ListsEveryDiskAndPreselectsTheLast) {
  Dialog d("key DriveList Enter");
  d.AddDisk(0, u"  WDC WD5000AAKS-00TMA0 ", 976773168);
  d.AddDisk(2, u"Kingston DataTraveler", 15633408, 7);
  d.AddDisk(5, u"4K disk", 488378646, 201, 4096);
  EXPECT_TRUE(d.Show());
  EXPECT_EQ(d.app.dev.SelectedDevice, 3);
  const auto& rows = d.app.FmChoose.DriveList.items();
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(U8(rows[0][0]), "SATA");
  EXPECT_EQ(U8(rows[0][1]), "WDC WD5000AAKS-00TMA0");
  EXPECT_EQ(U8(rows[0][4]), "976773168");
  EXPECT_EQ(U8(rows[0][5]), "500.1 GB");
  EXPECT_EQ(U8(rows[1][0]), "USB");
  EXPECT_EQ(U8(rows[2][0]), "FLASH");
  EXPECT_EQ(U8(rows[2][5]), "2000.39 GB");  // sectors times the disk's own 4096 bytes
  EXPECT_EQ(d.app.FmChoose.DriveList.focused(), 2);
  EXPECT_TRUE(d.ui.boxes().empty());
}

TEST(SelectionDialog, TooSmallDisksAreRefusedAndTheDialogStays) {
  Dialog e("select DriveList 0; click btContinue; dblclick DriveList 0; select DriveList 1; click btContinue");
  e.AddDisk(0, u"Card", 65534, 12);
  e.AddDisk(1, u"Exactly", 65535, 12);
  EXPECT_TRUE(e.Show());
  EXPECT_EQ(e.app.dev.SelectedDevice, 2);
  ASSERT_EQ(e.ui.boxes().size(), 2u);  // the button and the double-click refuse alike
  for (const auto& box : e.ui.boxes()) {
    EXPECT_EQ(box.kind, "MessageBox");
    EXPECT_EQ(U8(box.text), kTooSmall);
    EXPECT_EQ(U8(box.caption), "Cannot access this device");
    EXPECT_EQ(box.flags, 0x40u);
  }
}

TEST(SelectionDialog, ClickingEmptySpaceDisablesContinueAndEnterDoesNothing) {
  Dialog d("select DriveList none; key DriveList Enter");
  d.AddDisk(0, u"Disk", 976773168);
  EXPECT_FALSE(d.Show());  // the user then closes the dialog
  EXPECT_FALSE(d.app.FmChoose.btContinue.enabled());
  EXPECT_TRUE(d.ui.Terminated());
  EXPECT_EQ(d.app.dev.SelectedDevice, -1);
}

TEST(SelectionDialog, EscapeAndTheCloseButtonEndTheProgram) {
  for (const char* script : {"key DriveList Escape", "close"}) {
    Dialog d(script);
    d.AddDisk(0, u"Disk", 976773168);
    EXPECT_FALSE(d.Show()) << script;
    EXPECT_TRUE(d.ui.Terminated()) << script;
  }
  // After a choice the close that follows does not end the program.
  Dialog chosen("click btContinue");
  chosen.AddDisk(0, u"Disk", 976773168);
  EXPECT_TRUE(chosen.Show());
  EXPECT_FALSE(chosen.ui.Terminated());
}

TEST(SelectionDialog, EmptyListLeavesContinueDisabled) {
  Dialog d("click btContinue; key DriveList Enter");
  EXPECT_FALSE(d.Show());
  EXPECT_EQ(d.ui.problems().size(), 1u);  // the click found the button disabled
  EXPECT_TRUE(d.ui.Terminated());
}

TEST(SelectionDialog, LinksOpenTheConsoleAndTheWebPage) {
  Dialog d("click lbDiskManagement; mouse Label1 down left; click Label1; key DriveList Escape");
  d.AddDisk(0, u"Disk", 976773168);
  d.Show();
  ASSERT_EQ(d.platform.ShellExecuted().size(), 2u);
  EXPECT_EQ(U8(d.platform.ShellExecuted()[0]), "open diskmgmt.msc");
  EXPECT_EQ(d.app.FmChoose.Label1.font().color, trv::ui::kRed);
  EXPECT_EQ(d.app.FmChoose.lbDiskManagement.font().color, trv::ui::kBlue);
  EXPECT_TRUE(d.app.FmChoose.lbDiskManagement.font().underline);
  EXPECT_EQ(d.app.FmChoose.DriveList.theme, u"explorer");
}
