// Binding of the setup API library. The program calls none of its entry points;
// it only insists that the library and the names below load, as a check that
// the system is complete.
#pragma once
#include <array>
#include <string_view>

#include "platform/platform.h"

namespace trv::app {

class SetupApiBinding {
 public:
  static constexpr std::array<std::string_view, 4> kEntryPoints = {
      "SetupDiGetClassDevsW", "SetupDiEnumDeviceInterfaces", "SetupDiGetDeviceInterfaceDetailW",
      "SetupDiDestroyDeviceInfoList"};

  // Loads on the first call only; every call counts. Returns Loaded().
  bool Load(win::Platform& platform);
  bool Loaded() const { return library_ != 0; }
  int loadCount() const { return loadCount_; }
  win::ProcAddress entry(std::size_t i) const { return entries_[i]; }

 private:
  int loadCount_ = 0;
  win::Module library_ = 0;
  std::array<win::ProcAddress, kEntryPoints.size()> entries_{};
};

} // namespace trv::app
