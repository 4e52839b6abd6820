// trevasso-cli on Linux: the console program on a simulated PC, for tests and
// demonstrations. It never opens a real disk.
#include "cli/cli_host.h"
#include "cli/sim_cli.h"
#include "platform/text.h"

int main(int argc, char** argv) {
  std::vector<std::u16string> args;
  for (int i = 1; i < argc; ++i) args.push_back(trv::Utf8ToUtf16(argv[i]));
  const auto host = trv::cli::MakeConsoleHost();
  return trv::cli::RunSimCli(std::move(args), *host);
}
