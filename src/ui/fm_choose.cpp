#include "ui/fm_choose.h"

#include "app/product.h"
#include "platform/text.h"
#include "report/number_text.h"
#include "ui/vista_funcs.h"

namespace trv::ui {

namespace {
constexpr char16_t kTooSmallText[] = u"This device cannot be accessed because it is smaller than 65535 sectors.  ";
constexpr char16_t kTooSmallCaption[] = u"Cannot access this device";
constexpr std::int64_t kSmallestUsableSectors = 65535;
} // namespace

TFmChoose::TFmChoose(win::Platform& platform, UiServices& ui, device::DeviceState& devices)
    : Form("FmChoose", 767, 356),
      Panel4(Add(ControlKind::Panel, "Panel4", nullptr, Align::Top, {0, 0, 0, 44})),
      lbProgramName(Add(ControlKind::Label, "lbProgramName", &Panel4, Align::None, {25, 12, 200, 16})),
      Label1(Add(ControlKind::Label, "Label1", &Panel4, Align::None, {572, 12, 124, 16})),
      Panel5(Add(ControlKind::Panel, "Panel5", nullptr, Align::Top, {0, 0, 0, 2})),
      Panel1(Add(ControlKind::Panel, "Panel1", nullptr, Align::Client, {}, 10)),
      Panel3(Add(ControlKind::Panel, "Panel3", &Panel1, Align::Bottom, {0, 0, 0, 69})),
      lbDiskManagement(Add(ControlKind::Label, "lbDiskManagement", &Panel3, Align::None, {515, 0, 196, 16})),
      lbCopyright(Add(ControlKind::Label, "lbCopyright", &Panel3, Align::None, {9, 34, 300, 16})),
      Label2(Add(ControlKind::Label, "Label2", &Panel3, Align::None, {317, 34, 250, 16})),
      btContinue(Add(ControlKind::Button, "btContinue", &Panel3, Align::None, {576, 27, 135, 26})),
      Panel2(Add(ControlKind::Panel, "Panel2", &Panel1, Align::Client, {}, 10)),
      DriveList(Add<ListView>(ControlKind::ListView, "DriveList", &Panel2, Align::Client, {})),
      StatusBar(Add<ui::StatusBar>(ControlKind::StatusBar, "StatusBar", nullptr, Align::Bottom, {0, 0, 0, 20})),
      platform_(platform),
      ui_(ui),
      devices_(devices) {
  Font f;
  f.name = u"Tahoma";
  f.height = -12;
  SetFont(f);
  Panel4.whiteBackground = true;
  Label1.whiteBackground = true;
  Label1.rightAligned = true;
  Label1.handCursor = true;
  Label1.SetCaption(app::kProductWebLinkText);
  lbDiskManagement.handCursor = true;
  lbDiskManagement.SetCaption(u"打开磁盘管理控制台");
  Label2.SetCaption(u"请选择一个设备");
  btContinue.SetCaption(u"继续 >>>");
  btContinue.defaultButton = true;
  btContinue.SetEnabled(false);
  DriveList.readOnly = true;
  DriveList.columns = {{u"总线", 78}, {u"模型", 170}, {u"固件", 90}, {u"序列号", 160}, {u"LBA", 117}, {u"容量", 0}};

  DriveList.onClick = [this] { DriveListClick(); };
  DriveList.onDblClick = [this] { DriveListDblClick(); };
  DriveList.onKeyDown = [this](int& key) { DriveListKeyDown(key); };
  btContinue.onClick = [this] { btContinueClick(); };
  lbDiskManagement.onClick = [this] { lbDiskManagementClick(); };
  Label1.onClick = [this] { Label1Click(); };
  Label1.onMouseDown = [this](MouseButton b) { Label1MouseDown(b); };
  Label1.onMouseUp = [this](MouseButton b) { Label1MouseUp(b); };
  Layout();
}

bool TFmChoose::FillDeviceList() {
  const char16_t sep = platform_.DecimalSeparator();
  for (std::int64_t i = 1; i <= devices_.DeviceCount && i <= device::kDeviceTableSlots; ++i) {
    const auto& id = devices_.Devices[static_cast<std::size_t>(i)].IdentifyData;
    DriveList.AddItem({device::GetBusTypeName(id.BusType), TrimControl(id.Model), id.FW, id.SN, DecimalText(id.LBA),
                       report::CapacityToStr(report::CapacityBytes(id.LBA, id.SectorSize), sep)});
  }
  ui_.ShowModal(*this);
  return DeviceChosen;
}

void TFmChoose::FormCreate() {
  Font f = font();
  SetIconTitleFont(platform_, f);
  ApplyVistaFont(platform_, f);
  SetFont(f);
  ApplyExplorerTheme(platform_, DriveList);
  Label1.SetFontColor(kBlue);
  lbCopyright.SetFontColor(kGrey);
  lbDiskManagement.SetFontColor(kBlue);
  lbDiskManagement.SetFontStyle(false, true);
  handPointCursor = platform_.LoadCursorW(win::IDC_HAND);
}

void TFmChoose::FormShow() {
  focus = &DriveList;
  if (!DriveList.items().empty()) {
    btContinue.SetEnabled(true);
    const int last = static_cast<int>(DriveList.items().size()) - 1;
    DriveList.Select(last);
    DriveList.SetFocusedItem(last);
  }
}

void TFmChoose::FormClose(CloseAction& action) {
  (void)action;
  if (!DeviceChosen) ui_.Terminate();
}

void TFmChoose::DriveListClick() { btContinue.SetEnabled(DriveList.selected() >= 0); }

void TFmChoose::DriveListDblClick() {
  if (DriveList.selected() >= 0) btContinueClick();
}

void TFmChoose::DriveListKeyDown(int& key) {
  if (key == win::VK_ESCAPE) ui_.Terminate();
}

void TFmChoose::btContinueClick() {
  const int k = DriveList.selected();
  if (k < 0 || k + 1 > devices_.DeviceCount) return;  // nothing chosen: Enter does nothing
  const auto& entry = devices_.Devices[static_cast<std::size_t>(k + 1)];
  if (entry.IdentifyData.LBA < kSmallestUsableSectors) {
    // Owned by this dialog, so that the dialog cannot be used while the box is up.
    ui_.MessageBox(handle, kTooSmallText, kTooSmallCaption, win::MB_ICONINFORMATION | win::MB_OK);
    return;
  }
  DeviceChosen = true;
  devices_.SelectedDevice = k + 1;
  modalResult = 1;  // closes the dialog
}

void TFmChoose::lbDiskManagementClick() {
  platform_.ShellExecuteW(0, u"open", u"diskmgmt.msc", u"", u"", win::SW_SHOWNORMAL);
}

void TFmChoose::Label1Click() {
  platform_.ShellExecuteW(handle, u"open", app::kProductWebAddress, u"", u"", win::SW_SHOW);
}

void TFmChoose::Label1MouseDown(MouseButton button) {
  if (button == MouseButton::Left) Label1.SetFontColor(kRed);
}

void TFmChoose::Label1MouseUp(MouseButton button) {
  if (button == MouseButton::Left) Label1.SetFontColor(kBlue);
}

} // namespace trv::ui
