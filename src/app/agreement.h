// The usage agreement: shown modally on a first run; acceptance is remembered in
// a marker file in the user's local application-data folder.
#pragma once
#include <string>

#include "platform/platform.h"
#include "ui/form.h"
#include "ui/ui_services.h"

namespace trv::app {

class TFmAgreement : public ui::Form {
 public:
  TFmAgreement();

  ui::Memo& Text;
  ui::CheckBox& cbAccept;
  ui::Control& btAccept;
  ui::Control& btDecline;

  // Runs while the window is created: reads the marker and, unless it records
  // acceptance, shows the agreement modally. False: the user declined.
  bool FormCreate(win::Platform& platform, ui::UiServices& ui);

  static std::u16string MarkerFolder(win::Platform& platform);
  static std::u16string MarkerPath(win::Platform& platform);
  static constexpr char kMarkerContent[] = "accepted 1\r\n";

 private:
  bool accepted_ = false;
};

} // namespace trv::app
