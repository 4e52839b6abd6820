#include "app/fatal.h"

#include <cstdlib>

#include "app/app.h"

namespace trv::app {

void FatalError(App& app, const std::u16string& text, const std::u16string& caption) {
  app.ui.MessageBox(0, text, caption, win::MB_ICONERROR | win::MB_OK);
  app.ui.Terminate();
  app.ui.ExitProcess(kExitFailure);
  std::abort();  // a front end whose ExitProcess returned broke its contract
}

void ErrorBoxAndExit(App& app, const std::u16string& text, const std::u16string& caption) {
  app.ui.MessageBox(0, text, caption, win::MB_ICONERROR | win::MB_OK);
  app.ui.ExitProcess(kExitFailure);
  std::abort();  // a front end whose ExitProcess returned broke its contract
}

} // namespace trv::app
