#include "cli/sim_cli.h"

#include <fstream>

#include "cli/cli_app.h"
#include "platform/sim/built_in_pcs.h"
#include "platform/sim/scenario.h"
#include "platform/sim/sim_platform.h"
#include "platform/text.h"

namespace trv::cli {

int RunSimCli(std::vector<std::u16string> args, CliHost& host) {
  std::string scenarioPath, pc = "default", state, report;
  std::size_t i = 0;
  for (; i < args.size(); ++i) {
    const std::u16string& a = args[i];
    const bool takesValue = a == u"--scenario" || a == u"--pc" || a == u"--state" || a == u"--report";
    if (!takesValue) break;
    if (i + 1 >= args.size()) {
      host.Err(u"trevasso-cli: " + a + u" needs a value\n");
      return kExitUsage;
    }
    const std::string value = Utf16ToUtf8(args[++i]);
    if (a == u"--scenario") scenarioPath = value;
    else if (a == u"--pc") pc = value;
    else if (a == u"--state") state = value;
    else report = value;
  }
  args.erase(args.begin(), args.begin() + static_cast<std::ptrdiff_t>(i));
  try {
    sim::Scenario scenario = scenarioPath.empty() ? sim::BuiltInScenario(pc) : sim::LoadScenarioFile(scenarioPath);
    sim::SimPlatform platform(std::move(scenario), state);
    const int code = RunCli(platform, host, args);
    if (!report.empty()) std::ofstream(report, std::ios::binary) << platform.DiskChanges();
    return code;
  } catch (const std::exception& e) {
    host.Err(u"trevasso-cli: " + Utf8ToUtf16(e.what()) + u"\n");
    return kExitUsage;
  }
}

} // namespace trv::cli
