// The two files a user hands the simulated PC: a scenario (JSON) and a drive
// capture (tagged sections). The same bytes go to both readers; each may only
// refuse them with its own error.
#include <string>
#include <vector>

#include "answer_platform.h"
#include "fuzz_targets.h"
#include "platform/sim/drive_capture.h"
#include "platform/sim/scenario.h"

namespace trv::fuzz {

int InputFiles(const std::uint8_t* data, std::size_t size) {
  try {
    const sim::DriveCapture c = sim::ParseDriveCapture(std::vector<std::uint8_t>(data, data + size), "capture");
    Require(!c.smartStatus || c.smartStatus->size() <= size, "a section lies inside the file");
  } catch (const std::runtime_error&) {
  }
  try {
    // Capture files named by the scenario are looked up in a folder that does not exist.
    const sim::Scenario s = sim::ParseScenario(std::string(data, data + size), "/nonexistent/fuzz.json");
    Require(s.drives.size() <= size, "every drive comes from the text");
    sim::SimPlatform pc(s);
    (void)pc;
  } catch (const sim::ScenarioError&) {
  }
  return 0;
}

} // namespace trv::fuzz
