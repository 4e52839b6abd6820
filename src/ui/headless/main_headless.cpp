// trevasso-headless: the program on a simulated PC with a scripted user. Prints
// every window's contents, the boxes shown and how the run ended.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>

#include "app/headless_run.h"
#include "platform/sim/built_in_pcs.h"
#include "platform/sim/scenario.h"
#include "platform/text.h"
#include "ui/headless/scripted_user.h"

namespace {

void Usage() {
  std::fputs(
      "usage: trevasso-headless [--scenario FILE | --pc default|modern] [--script ACTIONS | --script-file FILE]\n"
      "                         [--journal] [--state DIR] [program arguments...]\n"
      "Runs the program on a simulated PC; see docs/headless.md.\n",
      stderr);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error(path + ": cannot open");
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

} // namespace

int main(int argc, char** argv) {
  std::string scenarioPath, script, state, pc = "default";
  bool journal = false;
  std::vector<std::u16string> programArgs;
  try {
    for (int i = 1; i < argc; ++i) {
      const std::string a = argv[i];
      auto value = [&]() -> std::string {
        if (i + 1 >= argc) throw std::runtime_error(a + " needs a value");
        return argv[++i];
      };
      if (a == "--scenario") scenarioPath = value();
      else if (a == "--pc") pc = value();
      else if (a == "--script") script += value() + "\n";
      else if (a == "--script-file") script += ReadFile(value()) + "\n";
      else if (a == "--state") state = value();
      else if (a == "--journal") journal = true;
      else if (a == "--help" || a == "-h") {
        Usage();
        return 0;
      } else {
        programArgs.push_back(trv::Utf8ToUtf16(a));
      }
    }
    trv::sim::Scenario scenario =
        scenarioPath.empty() ? trv::sim::BuiltInScenario(pc) : trv::sim::LoadScenarioFile(scenarioPath);
    trv::app::HeadlessRun run = trv::app::RunHeadless(std::move(scenario), script, programArgs, state);
    std::string out = run.Report();
    if (journal) out += run.JournalText();
    std::fwrite(out.data(), 1, out.size(), stdout);
    return run.exitCode;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "trevasso-headless: %s\n", e.what());
    return 2;
  }
}
