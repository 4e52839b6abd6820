#include "device/enumeration.h"

#include "platform/text.h"

namespace trv::device {

void EnumerateDevices(DeviceEnv& env, DeviceState& state, ui::StatusBar& status) {
  (void)env;
  status.SetSimpleText(u"Disks found: " + DecimalText(state.DeviceCount));
}

} // namespace trv::device
