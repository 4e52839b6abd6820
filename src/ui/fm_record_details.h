// "Erase record details": who erases, which asset, under which ticket, asked
// just before the window's confirmation and written into the erase's record.
#pragma once
#include <optional>

#include "format/audit_fields.h"
#include "platform/platform.h"
#include "ui/form.h"
#include "ui/ui_services.h"

namespace trv::ui {

class TFmRecordDetails : public Form {
 public:
  TFmRecordDetails(win::Platform& platform, UiServices& ui);

  Control& lbOperator;
  Edit& edOperator;
  Control& lbAsset;
  Edit& edAsset;
  Control& lbTicket;
  Edit& edTicket;
  Control& btOk;
  Control& btCancel;

  // Shows the form modally with `last` filled in: the fields as entered after
  // OK; none after Cancel or when the form is closed.
  std::optional<format::AuditFields> Ask(const format::AuditFields& last);

  void FormShow() override;
  void btOkClick();

 private:
  win::Platform& platform_;
  UiServices& ui_;
};

} // namespace trv::ui
