#include "test_support.h"

#include <regex>

#include "platform/text.h"

namespace trv::test {

namespace {
const std::regex kStamp(R"(^\d{4}/\d{1,2}/\d{1,2}( \d{1,2}:\d{2}:\d{2})?   )");
}

sim::Scenario Scenario(const nlohmann::json& patch) {
  nlohmann::json base = nlohmann::json::parse(sim::DefaultScenarioJson());
  base["agreementAccepted"] = true;
  base.merge_patch(patch);
  return sim::ParseScenario(base.dump(), "test scenario");
}

app::HeadlessRun Play(const sim::Scenario& scenario, const std::string& script, std::vector<std::u16string> args) {
  return app::RunHeadless(scenario, script, std::move(args));
}

std::vector<std::string> Lines(const ui::Memo& memo) {
  std::vector<std::string> out;
  for (const auto& l : memo.lines()) out.push_back(Utf16ToUtf8(l));
  return out;
}

std::vector<std::string> Messages(const ui::Memo& memo) {
  std::vector<std::string> out;
  for (const auto& l : Lines(memo)) out.push_back(std::regex_replace(l, kStamp, ""));
  return out;
}

bool HasTimeStamp(const std::string& line) { return std::regex_search(line, kStamp); }

std::string U8(const std::u16string& s) { return Utf16ToUtf8(s); }

std::string TestDataDir() { return TREVASSO_TESTDATA_DIR; }

std::string HexText(const std::vector<std::uint8_t>& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string hex;
  for (std::uint8_t b : bytes) {
    hex.push_back(digits[b >> 4]);
    hex.push_back(digits[b & 15]);
  }
  return hex;
}

std::string IdentifyHex(const std::vector<std::pair<int, std::uint16_t>>& words) {
  std::vector<std::uint8_t> block(512, 0);
  for (auto [n, v] : words) {
    block.at(2 * static_cast<std::size_t>(n)) = static_cast<std::uint8_t>(v & 0xFF);
    block.at(2 * static_cast<std::size_t>(n) + 1) = static_cast<std::uint8_t>(v >> 8);
  }
  return HexText(block);
}

} // namespace trv::test
