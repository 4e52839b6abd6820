// The activity log (always written) and the debug log (debug mode only).
#pragma once
#include <string>

namespace trv::app {

struct App;

void AddToLog(App& app, const std::u16string& message);
void AddToDebugLog(App& app, const std::u16string& message);

} // namespace trv::app
