// What the device layer needs from the program around it: the platform, the
// debug log, and the error box that ends the program.
#pragma once
#include <functional>
#include <string>

#include "platform/platform.h"

namespace trv::device {

struct DeviceEnv {
  win::Platform& platform;
  std::function<void(const std::u16string&)> debugLog;
  // Shows an error box with this text and caption and ends the program; never returns.
  std::function<void(const std::u16string& text, const std::u16string& caption)> errorAndExit;
};

} // namespace trv::device
