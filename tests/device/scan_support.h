// Runs of the program on PCs with chosen drives, and the debug trace of its scan.
#pragma once
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "test_support.h"

namespace trv::test {

// The default PC with exactly these drives, run in debug mode until the
// selection dialog closes.
inline app::HeadlessRun Scan(const nlohmann::json& drives, const std::string& script = "") {
  return Play(Scenario({{"drives", drives}}), script, {u"--debug"});
}

// The debug lines of the scan, from the first "Trying device" line to the last line.
inline std::vector<std::string> ScanTrace(const app::HeadlessRun& run) {
  std::vector<std::string> lines = Messages(run.app->FmDebug.Memo1);
  std::size_t first = 0;
  while (first < lines.size() && lines[first].rfind("Trying device ", 0) != 0) ++first;
  return {lines.begin() + static_cast<std::ptrdiff_t>(first), lines.end()};
}

// The lines of one drive number: its "Trying device" line and what follows up to the next one.
inline std::vector<std::string> DiskTrace(const app::HeadlessRun& run, int number) {
  const std::string start = "Trying device \\\\.\\PhysicalDrive" + std::to_string(number);
  std::vector<std::string> out;
  for (const auto& line : ScanTrace(run)) {
    if (line.rfind("Trying device ", 0) == 0) {
      if (!out.empty()) break;
      if (line != start) continue;
    }
    if (line == start || !out.empty()) out.push_back(line);
  }
  return out;
}

} // namespace trv::test
