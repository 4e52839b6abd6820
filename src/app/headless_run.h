// One whole run of the program on a simulated PC with a scripted user: what
// tests and the headless command use.
#pragma once
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/app.h"
#include "platform/sim/sim_platform.h"
#include "ui/headless/headless_ui.h"

namespace trv::app {

struct HeadlessRun {
  std::unique_ptr<sim::SimPlatform> platform;
  std::unique_ptr<ui::HeadlessUi> ui;
  std::unique_ptr<App> app;
  std::string exitReason;  // "main window closed", "application terminated", "process ended (code N)", ...
  int exitCode = 0;

  // Everything the windows show at the end, the boxes shown, and the exit reason.
  std::string Report() const;
  // Every call made through the platform seam, one line each: the call and its
  // detail (for ATA requests the command, feature register and command name).
  std::string JournalText() const;
};

// Runs the program once. `arguments` are the program's own command line.
HeadlessRun RunHeadless(sim::Scenario scenario, const std::string& script,
                        std::vector<std::u16string> arguments = {}, std::filesystem::path stateFolder = {});
// The same on a given simulated PC (one whose answers a test has changed).
HeadlessRun RunHeadlessOn(std::unique_ptr<sim::SimPlatform> platform, const std::string& script,
                          std::vector<std::u16string> arguments = {});

} // namespace trv::app
