// The console program on a simulated PC, for tests: a console host that keeps
// what was written and can press Ctrl+C at a given pump of the erase, and runs
// of the program with a command line.
#pragma once
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/cli_app.h"
#include "cli/cli_host.h"
#include "platform/sim/sim_platform.h"
#include "platform/text.h"

namespace trv::test {

class FakeHost : public cli::CliHost {
 public:
  void Out(std::u16string_view t) override { out += Utf16ToUtf8(t); }
  void Err(std::u16string_view t) override { err += Utf16ToUtf8(t); }
  bool ErrIsConsole() override { return console; }
  bool Interrupted() override { return stoppable && interruptAtCall > 0 && ++calls >= interruptAtCall; }
  void SetErasing(cli::ConsoleErase* erase) override {
    stoppable = erase != nullptr;
    erasing = erase;
  }
  bool stoppable = false;
  cli::ConsoleErase* erasing = nullptr;
  std::string out, err;
  bool console = false;
  int interruptAtCall = 0, calls = 0;
};

struct CliRun {
  int code = -1;
  FakeHost host;
  std::unique_ptr<sim::SimPlatform> platform;
  nlohmann::json Json() const { return nlohmann::json::parse(host.out); }
};

inline std::vector<std::u16string> Args(const std::string& line) {
  std::vector<std::u16string> out;
  std::istringstream in(line);
  for (std::string a; in >> a;) out.push_back(Utf8ToUtf16(a));
  return out;
}

inline CliRun CliOn(std::unique_ptr<sim::SimPlatform> platform, std::vector<std::u16string> args,
                    int interruptAt = 0, bool console = false) {
  CliRun r;
  r.platform = std::move(platform);
  r.host.interruptAtCall = interruptAt;
  r.host.console = console;
  r.code = cli::RunCli(*r.platform, r.host, args);
  return r;
}

inline CliRun CliOn(std::unique_ptr<sim::SimPlatform> platform, const std::string& args) {
  return CliOn(std::move(platform), Args(args));
}

inline CliRun Cli(const sim::Scenario& scenario, const std::string& args, int interruptAt = 0, bool console = false) {
  return CliOn(std::make_unique<sim::SimPlatform>(scenario), Args(args), interruptAt, console);
}

} // namespace trv::test
