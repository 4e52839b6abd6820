#include "app/fatal.h"

#include "app/app.h"

namespace trv::app {

void FatalError(App& app, const std::u16string& text, const std::u16string& caption) {
  app.ui.MessageBox(0, text, caption, win::MB_ICONERROR | win::MB_OK);
  app.ui.Terminate();
  app.ui.ExitProcess(kExitFailure);
}

void ErrorBoxAndExit(App& app, const std::u16string& text, const std::u16string& caption) {
  app.ui.MessageBox(0, text, caption, win::MB_ICONERROR | win::MB_OK);
  app.ui.ExitProcess(kExitFailure);
}

} // namespace trv::app
