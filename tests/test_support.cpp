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

} // namespace trv::test
