#include "app/fm_debug.h"

namespace trv::app {

TFmDebug::TFmDebug()
    : ui::Form("FmDebug", 635, 337),
      Memo1(Add<ui::Memo>(ui::ControlKind::Memo, "Memo1", nullptr, ui::Align::Client, {})) {
  SetCaption(u"Debug");
  ui::Font font;
  font.name = u"Tahoma";
  font.height = -11;  // 8 points
  SetFont(font);
  Memo1.wordWrap = false;
  Memo1.scrollBars = ui::ScrollBars::Both;  // long trace lines must stay readable
  Memo1.AddLine(u"调试窗口");
}

} // namespace trv::app
