#include "app/fm_main.h"

#include "app/app.h"
#include "app/product.h"
#include "format/purge_plan.h"
#include "report/smart_report.h"
#include "ui/vista_funcs.h"

namespace trv::app {

using ui::Align;
using ui::ControlKind;

TFmMain::TFmMain(App& app)
    : ui::Form("FmMain", 778, 509),
      Panel2(Add(ControlKind::Panel, "Panel2", nullptr, Align::Top, {0, 0, 0, 32})),
      lbDiskName(Add(ControlKind::Label, "lbDiskName", &Panel2, Align::None, {15, 6, 740, 18})),
      StatusBar(Add<ui::StatusBar>(ControlKind::StatusBar, "StatusBar", nullptr, Align::Bottom, {0, 0, 0, 20})),
      Panel10(Add(ControlKind::Panel, "Panel10", nullptr, Align::Client, {}, 10)),
      Panel17(Add(ControlKind::Panel, "Panel17", &Panel10, Align::Bottom, {0, 0, 0, 21})),
      lbCopyright(Add(ControlKind::Label, "lbCopyright", &Panel17, Align::None, {6, 8, 300, 13})),
      pages(Add<ui::PageControl>(ControlKind::PageControl, "pages", &Panel10, Align::Client, {})),
      TabSheet3(Add(ControlKind::TabSheet, "TabSheet3", &pages, Align::Client, {})),
      Panel14(Add(ControlKind::Panel, "Panel14", &TabSheet3, Align::Client, {}, 10)),
      Panel16(Add(ControlKind::Panel, "Panel16", &Panel14, Align::Client, {}, 10)),
      Log_Details(Add<ui::Memo>(ControlKind::Memo, "Log_Details", &Panel16, Align::Client, {})),
      TabSheet1(Add(ControlKind::TabSheet, "TabSheet1", &pages, Align::Client, {})),
      Panel1(Add(ControlKind::Panel, "Panel1", &TabSheet1, Align::Client, {}, 5)),
      Panel5(Add(ControlKind::Panel, "Panel5", &Panel1, Align::Top, {0, 0, 0, 212}, 5)),
      Log_BenchMark(Add<ui::Memo>(ControlKind::Memo, "Log_BenchMark", &Panel5, Align::Client, {})),
      Panel7(Add(ControlKind::Panel, "Panel7", &Panel1, Align::Top, {0, 0, 0, 67}, 10)),
      GroupBox2(Add(ControlKind::GroupBox, "GroupBox2", &Panel7, Align::Client, {})),
      Panel9(Add(ControlKind::Panel, "Panel9", &GroupBox2, Align::Client, {}, 5)),
      pbCurrentTask(Add<ui::ProgressBar>(ControlKind::ProgressBar, "pbCurrentTask", &Panel9, Align::Client, {})),
      // Under the progress box, left of the check boxes (each row 5 pixels
      // from the next) and the buttons (which stay where the S.M.A.R.T. tab
      // has its button): the percentage, the speed with the time left (a row
      // of its own, as wide as the column, so that it never runs under a check
      // box), then the current sector. On the right: the quick wipe; the
      // firmware purge, which excludes it, under it with the read-back box
      // beside it; then the line that says what the purge would run here, or
      // why none can.
      lbCurrentPercent(Add(ControlKind::Label, "lbCurrentPercent", &Panel1, Align::None, {22, 276, 180, 25})),
      lbSpeed(Add(ControlKind::Label, "lbSpeed", &Panel1, Align::None, {22, 306, 340, 25})),
      lbCurrentPosition(Add(ControlKind::Label, "lbCurrentPosition", &Panel1, Align::None, {22, 336, 340, 25})),
      cbQuickWipe(Add<ui::CheckBox>(ControlKind::CheckBox, "cbQuickWipe", &Panel1, Align::None, {370, 274, 365, 17})),
      cbPurge(Add<ui::CheckBox>(ControlKind::CheckBox, "cbPurge", &Panel1, Align::None, {370, 296, 130, 17})),
      cbVerify(Add<ui::CheckBox>(ControlKind::CheckBox, "cbVerify", &Panel1, Align::None, {510, 296, 225, 17})),
      lbPurgeReason(Add(ControlKind::Label, "lbPurgeReason", &Panel1, Align::None, {370, 318, 365, 17})),
      btStop(Add(ControlKind::Button, "btStop", &Panel1, Align::None, {369, 340, 94, 26})),
      btRunBenchmarks(Add(ControlKind::Button, "btRunBenchmarks", &Panel1, Align::None, {546, 340, 169, 26})),
      TabSheet2(Add(ControlKind::TabSheet, "TabSheet2", &pages, Align::Client, {})),
      Panel11(Add(ControlKind::Panel, "Panel11", &TabSheet2, Align::Client, {}, 5)),
      Panel13(Add(ControlKind::Panel, "Panel13", &Panel11, Align::Client, {}, 5)),
      Log_Smart(Add<ui::Memo>(ControlKind::Memo, "Log_Smart", &Panel13, Align::Top, {0, 0, 0, 308})),
      btGetSmart(Add(ControlKind::Button, "btGetSmart", &Panel11, Align::None, {546, 340, 169, 26})),
      app_(app) {
  ui::Font design;
  design.name = u"Tahoma";
  design.height = -12;
  SetFont(design);

  Panel2.whiteBackground = true;
  StatusBar.AddPanel(450);
  StatusBar.AddPanel(450);
  StatusBar.AddPanel(50, true);
  TabSheet3.SetCaption(u"设备详细信息");
  TabSheet1.SetCaption(u"低级格式化");
  TabSheet2.SetCaption(u"S.M.A.R.T.");

  ui::Font courier;
  courier.name = u"Courier New";
  courier.height = -12;
  for (ui::Memo* memo : {&Log_Details, &Log_BenchMark, &Log_Smart}) {
    memo->whiteBackground = true;
    memo->readOnly = true;
    memo->wordWrap = false;
    memo->scrollBars = ui::ScrollBars::Vertical;
  }
  Log_Details.SetFont(courier);
  Log_Smart.SetFont(courier);

  GroupBox2.SetCaption(u"当前任务进度");
  ui::Font big;
  big.name = u"Tahoma";
  big.height = -21;
  for (ui::Control* label : {&lbCurrentPercent, &lbSpeed, &lbCurrentPosition}) label->SetFont(big);
  cbQuickWipe.SetCaption(u"执行快速擦除 （仅删除分区和 MBR）");
  cbPurge.SetCaption(u"Firmware purge");
  cbPurge.SetEnabled(false);  // until the selected disk is known to offer one here
  cbVerify.SetCaption(u"擦除后校验");
  // The reasons are long English sentences: a small font keeps the longest on its row.
  ui::Font note;
  note.name = u"Tahoma";
  note.height = -11;
  lbPurgeReason.SetFont(note);
  btStop.SetCaption(u"停止");
  btStop.SetEnabled(false);
  btRunBenchmarks.SetCaption(u"格式化这个设备");
  btRunBenchmarks.defaultButton = true;
  btGetSmart.SetCaption(u"获取 SMART 数据(&G)");
  btGetSmart.defaultButton = true;

  ui::Font credit;
  credit.name = u"Tahoma";
  credit.height = -11;
  credit.bold = true;
  credit.color = ui::kGrey;
  lbCopyright.SetFont(credit);
  lbCopyright.handCursor = true;

  btRunBenchmarks.onClick = [this] { btRunBenchmarksClick(); };
  cbQuickWipe.onClick = [this] { cbQuickWipeClick(); };
  cbPurge.onClick = [this] { cbPurgeClick(); };
  lbPurgeReason.onClick = [this] { lbPurgeReasonClick(); };
  btStop.onClick = [this] { btStopClick(); };
  btGetSmart.onClick = [this] { btGetSmartClick(); };
  lbCopyright.onClick = [this] { lbCopyrightClick(); };
  lbCopyright.onMouseEnter = [this] { lbCopyrightMouseEnter(); };
  lbCopyright.onMouseLeave = [this] { lbCopyrightMouseLeave(); };
  lbCopyright.onMouseDown = [this](ui::MouseButton b) { lbCopyrightMouseDown(b); };
  lbCopyright.onMouseUp = [this](ui::MouseButton b) { lbCopyrightMouseUp(b); };
  Layout();
}

void TFmMain::FormCreate() {
  pages.SetActivePage(0);
  ui::Font f = font();
  ui::SetIconTitleFont(app_.platform, f);
  ui::ApplyVistaFont(app_.platform, f);
  SetFont(f);
  lbDiskName.SetFontStyle(true, false);
}

void TFmMain::FormClose(ui::CloseAction& action) {
  if (purgeRunning_) {
    // A purge cannot be stopped: the window stays until it has ended.
    SayPurgeMustEnd();
    action = ui::CloseAction::None;
    return;
  }
  if (formatRunning_) {
    // Closing acts as Stop: the current block finishes, the run ends as
    // cancelled and releases the volumes, and only then does the window close,
    // so no write ever goes to a closed handle.
    app_.StopRequested = true;
    closeAfterFormat_ = true;
    action = ui::CloseAction::None;
    return;
  }
  app_.platform.CloseHandle(app_.dev.DeviceHandle);
}

void TFmMain::SetBusy(bool enabled) {
  btRunBenchmarks.SetEnabled(enabled);
  btGetSmart.SetEnabled(enabled);
  cbQuickWipe.SetEnabled(enabled);
  cbPurge.SetEnabled(enabled && PurgeOffered());
  cbVerify.SetEnabled(enabled);
}

void TFmMain::btRunBenchmarksClick() { RunFormat(); }

bool TFmMain::PurgeOffered() const { return purgePlan_ && purgePlan_->Runs(); }

// The quick wipe and the firmware purge exclude each other; the zero fill is
// what runs with neither.
void TFmMain::cbQuickWipeClick() {
  cbQuickWipe.SetChecked(!cbQuickWipe.checked());
  if (cbQuickWipe.checked()) cbPurge.SetChecked(false);
}

void TFmMain::cbPurgeClick() {
  cbPurge.SetChecked(!cbPurge.checked());
  if (cbPurge.checked()) cbQuickWipe.SetChecked(false);
}

void TFmMain::btGetSmartClick() {
  SetBusy(false);
  auto& p = app_.platform;
  report::SmartContext smart{p, app_.dev, Log_Smart, kProductTitle, kProductWebAddress, p.DecimalSeparator()};
  report::ShowSmartData(smart);
  SetBusy(true);
}

void TFmMain::btStopClick() { app_.StopRequested = true; }

void TFmMain::lbCopyrightClick() {
  app_.platform.ShellExecuteW(handle, u"open", kProductWebAddress, u"", u"", win::SW_SHOW);
}

void TFmMain::lbCopyrightMouseEnter() { lbCopyright.SetFontColor(ui::kBlue); }
void TFmMain::lbCopyrightMouseLeave() { lbCopyright.SetFontColor(ui::kGrey); }

void TFmMain::lbCopyrightMouseDown(ui::MouseButton button) {
  if (button == ui::MouseButton::Left) lbCopyright.SetFontColor(ui::kRed);
}

void TFmMain::lbCopyrightMouseUp(ui::MouseButton button) {
  if (button == ui::MouseButton::Left) lbCopyright.SetFontColor(ui::kGrey);
}

} // namespace trv::app
