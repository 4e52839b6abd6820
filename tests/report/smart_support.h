// Whole-program runs of the S.M.A.R.T. tab shared by its tests: the disk chosen
// in the selection dialog, the tab's button clicked, then the lines of
// Log_Smart and the ATA commands that reached the disk.
#pragma once
#include <string>
#include <vector>

#include "test_support.h"

namespace trv::test {

using SmartLines = std::vector<std::string>;
using AtaCommandNames = std::vector<std::string>;

inline nlohmann::json Capture(const std::string& file) {
  return {{"capture", TestDataDir() + "/drives/" + file}};
}

inline nlohmann::json Disk(int bus, long long sectors, nlohmann::json ata) {
  nlohmann::json d = {{"number", 0}, {"bus", bus}, {"sectors", sectors}};
  if (!ata.is_null()) d["ata"] = std::move(ata);
  return d;
}

inline nlohmann::json OneDisk(nlohmann::json disk) { return {{"drives", nlohmann::json::array({std::move(disk)})}}; }

// The ATA commands sent on the chosen disk's handle, by name, " failed" added
// to those the drive or its driver refused.
inline AtaCommandNames AtaCommands(const app::HeadlessRun& run) {
  AtaCommandNames out;
  for (const auto* e : run.platform->journal().Find("DeviceIoControl")) {
    if (e->handle != run.app->dev.DeviceHandle) continue;
    const auto feature = e->detail.find(" feature=0x");
    if (feature == std::string::npos) continue;
    const auto from = feature + 14, to = e->detail.find(" -> ", from);
    out.push_back(e->detail.substr(from, to - from) + (e->detail.find(" -> ok") == std::string::npos ? " failed" : ""));
  }
  return out;
}

struct SmartRun {
  app::HeadlessRun run;
  SmartLines lines;           // Log_Smart
  AtaCommandNames commands;  // the ATA commands the clicks sent, after those of the details report
};

// Opens row `row` of the selection list, shows the S.M.A.R.T. tab and clicks its button `clicks` times.
inline SmartRun ClickSmart(const sim::Scenario& scenario, int row = 0, int clicks = 1) {
  std::string script = "select DriveList " + std::to_string(row) + "; click btContinue; tab 2";
  const std::size_t before = AtaCommands(Play(scenario, script)).size();
  for (int i = 0; i < clicks; ++i) script += "; click btGetSmart";
  SmartRun s{Play(scenario, script), {}, {}};
  s.lines = Lines(s.run.app->FmMain.Log_Smart);
  s.commands = AtaCommands(s.run);
  s.commands.erase(s.commands.begin(), s.commands.begin() + static_cast<std::ptrdiff_t>(before));
  return s;
}

// The same on the default PC with `patch` merged in.
inline SmartRun ClickSmart(const nlohmann::json& patch, int row = 0, int clicks = 1) {
  return ClickSmart(Scenario(patch), row, clicks);
}

// The health section of the last report: from its verdict line to the end.
inline SmartLines HealthSection(const SmartLines& lines) {
  for (std::size_t i = lines.size(); i-- > 0;)
    if (lines[i].rfind("健康评估: ", 0) == 0) return SmartLines(lines.begin() + static_cast<std::ptrdiff_t>(i), lines.end());
  return {};
}

} // namespace trv::test
