// The debug window: one editable memo that receives the debug log.
#pragma once
#include "ui/form.h"

namespace trv::app {

class TFmDebug : public ui::Form {
 public:
  TFmDebug();
  ui::Memo& Memo1;
};

} // namespace trv::app
