// The device selection dialog: lists the disks found and lets the user pick one.
#pragma once
#include <cstdint>

#include "device/device_records.h"
#include "platform/platform.h"
#include "ui/form.h"
#include "ui/ui_services.h"

namespace trv::ui {

class TFmChoose : public Form {
 public:
  TFmChoose(win::Platform& platform, UiServices& ui, device::DeviceState& devices);

  Control& Panel4;
  Control& lbProgramName;
  Control& Label1;
  Control& Panel5;
  Control& Panel1;
  Control& Panel3;
  Control& lbDiskManagement;
  Control& lbCopyright;
  Control& Label2;
  Control& btContinue;
  Control& Panel2;
  ListView& DriveList;
  ui::StatusBar& StatusBar;

  bool DeviceChosen = false;
  std::uintptr_t handPointCursor = 0;

  // Fills the list from the device table, shows the dialog modally and returns
  // whether a disk was accepted (then SelectedDevice names it).
  bool FillDeviceList();

  void FormCreate();
  void FormShow() override;
  void FormClose(CloseAction& action) override;
  void DriveListClick();
  void DriveListDblClick();
  void DriveListKeyDown(int& key);
  void btContinueClick();
  void lbDiskManagementClick();
  void Label1Click();
  void Label1MouseDown(MouseButton button);
  void Label1MouseUp(MouseButton button);

 private:
  win::Platform& platform_;
  UiServices& ui_;
  device::DeviceState& devices_;
};

} // namespace trv::ui
