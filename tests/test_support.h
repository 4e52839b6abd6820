// Helpers for whole-program tests: scenarios built from the default PC with
// changes, and runs with a scripted user.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "app/headless_run.h"
#include "platform/sim/scenario.h"

namespace trv::test {

// The default PC with `patch` merged in (RFC 7386), agreement already accepted.
sim::Scenario Scenario(const nlohmann::json& patch = nlohmann::json::object());
app::HeadlessRun Play(const sim::Scenario& scenario, const std::string& script = "",
                     std::vector<std::u16string> args = {});
// Memo lines as UTF-8, and the same with the "date time   " stamp removed.
std::vector<std::string> Lines(const ui::Memo& memo);
std::vector<std::string> Messages(const ui::Memo& memo);
// True when `line` starts with a time stamp of the simulated locale and three blanks.
bool HasTimeStamp(const std::string& line);
std::string U8(const std::u16string& s);
std::string TestDataDir();
// Bytes as the hex text a scenario takes.
std::string HexText(const std::vector<std::uint8_t>& bytes);
// A 512-byte IDENTIFY block with the given words set and the rest zero, as scenario hex.
std::string IdentifyHex(const std::vector<std::pair<int, std::uint16_t>>& words);

} // namespace trv::test
