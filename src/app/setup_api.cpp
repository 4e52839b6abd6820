#include "app/setup_api.h"

namespace trv::app {

bool SetupApiBinding::Load(win::Platform& platform) {
  ++loadCount_;
  if (loadCount_ != 1) return Loaded();
  library_ = platform.LoadLibraryW(u"SetupApi.dll");
  if (library_ == 0) return false;
  for (std::size_t i = 0; i < kEntryPoints.size(); ++i) {
    entries_[i] = platform.GetProcAddress(library_, kEntryPoints[i]);
    if (entries_[i] == 0) {
      // One missing name makes the whole binding count as not loaded.
      platform.FreeLibrary(library_);
      library_ = 0;
      entries_.fill(0);
      return false;
    }
  }
  return true;
}

} // namespace trv::app
