// Start-up: the debug switch, the environment trace, the platform and timer
// checks, captions, the setup API check, the device scan and the warning lines.
#pragma once

namespace trv::app {

struct App;

void StartUp(App& app);
bool IsWow64(App& app);

} // namespace trv::app
