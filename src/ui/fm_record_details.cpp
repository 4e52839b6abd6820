#include "ui/fm_record_details.h"

#include "platform/text.h"
#include "ui/vista_funcs.h"

namespace trv::ui {

namespace {
constexpr int kLabelLeft = 12, kEditLeft = 96, kEditWidth = 272, kRowHeight = 30, kFirstRow = 14;

Rect LabelAt(int row) { return {kLabelLeft, kFirstRow + 3 + row * kRowHeight, 80, 16}; }
Rect EditAt(int row) { return {kEditLeft, kFirstRow + row * kRowHeight, kEditWidth, 21}; }
} // namespace

TFmRecordDetails::TFmRecordDetails(win::Platform& platform, UiServices& ui)
    : Form("FmRecordDetails", 380, 146),
      lbOperator(Add(ControlKind::Label, "lbOperator", nullptr, Align::None, LabelAt(0))),
      edOperator(Add<Edit>(ControlKind::Edit, "edOperator", nullptr, Align::None, EditAt(0))),
      lbAsset(Add(ControlKind::Label, "lbAsset", nullptr, Align::None, LabelAt(1))),
      edAsset(Add<Edit>(ControlKind::Edit, "edAsset", nullptr, Align::None, EditAt(1))),
      lbTicket(Add(ControlKind::Label, "lbTicket", nullptr, Align::None, LabelAt(2))),
      edTicket(Add<Edit>(ControlKind::Edit, "edTicket", nullptr, Align::None, EditAt(2))),
      btOk(Add(ControlKind::Button, "btOk", nullptr, Align::None, {196, 108, 80, 26})),
      btCancel(Add(ControlKind::Button, "btCancel", nullptr, Align::None, {288, 108, 80, 26})),
      platform_(platform),
      ui_(ui) {
  SetCaption(u"Erase record details");
  lbOperator.SetCaption(u"Operator:");
  lbAsset.SetCaption(u"Asset:");
  lbTicket.SetCaption(u"Ticket:");
  for (Edit* box : {&edOperator, &edAsset, &edTicket}) box->maxLength = format::kAuditFieldMaxLength;
  btOk.SetCaption(u"OK");
  btOk.defaultButton = true;
  btCancel.SetCaption(u"Cancel");
  btOk.onClick = [this] { btOkClick(); };
  btCancel.onClick = [this] { modalResult = 2; };
  Layout();
}

std::optional<format::AuditFields> TFmRecordDetails::Ask(const format::AuditFields& last) {
  Font f = font();
  SetIconTitleFont(platform_, f);
  ApplyVistaFont(platform_, f);
  SetFont(f);
  edOperator.SetCaption(last.operatorName);
  edAsset.SetCaption(last.asset);
  edTicket.SetCaption(last.ticket);
  if (ui_.ShowModal(*this) != 1) return std::nullopt;
  return format::AuditFields{edOperator.caption(), edAsset.caption(), edTicket.caption()};
}

void TFmRecordDetails::FormShow() { focus = &edOperator; }

void TFmRecordDetails::btOkClick() {
  for (Edit* box : {&edOperator, &edAsset, &edTicket}) {
    if (format::AuditFieldAcceptable(box->caption())) continue;
    // A line break or a tab would forge or break a line of the text record.
    ui_.MessageBox(handle,
                   u"Operator, Asset and Ticket each take at most " + DecimalText(static_cast<std::uint64_t>(format::kAuditFieldMaxLength)) +
                       u" characters and no control characters (tabs, line breaks).",
                   u"Erase record details", win::MB_ICONWARNING | win::MB_OK);
    FocusControl(*box);
    return;
  }
  modalResult = 1;
}

} // namespace trv::ui
