// Ending the program after a failure the user has to be told about.
#pragma once
#include <string>

namespace trv::app {

struct App;

inline constexpr unsigned kExitFailure = 1;

// Error box (icon, OK), then asks the application to terminate and ends the process.
[[noreturn]] void FatalError(App& app, const std::u16string& text, const std::u16string& caption);
// Error box, then ends the process at once without asking the application first.
[[noreturn]] void ErrorBoxAndExit(App& app, const std::u16string& text, const std::u16string& caption);

} // namespace trv::app
