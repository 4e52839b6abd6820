#include "app/logs.h"

#include "app/app.h"

namespace trv::app {

namespace {
std::u16string LogLine(App& app, const std::u16string& message) {
  return app.platform.DateTimeText() + u"   " + message;
}
} // namespace

void AddToLog(App& app, const std::u16string& message) { app.FmMain.Log_BenchMark.AddLine(LogLine(app, message)); }

void AddToDebugLog(App& app, const std::u16string& message) {
  if (!app.DebugMode) return;
  app.FmDebug.Memo1.AddLine(LogLine(app, message));
}

} // namespace trv::app
