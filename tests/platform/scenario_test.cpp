#include <gtest/gtest.h>

#include "platform/sim/scenario.h"

using trv::sim::ParseScenario;
using trv::sim::ScenarioError;

namespace {
std::string ErrorOf(const std::string& json) {
  try {
    ParseScenario(json, "pc.json");
  } catch (const ScenarioError& e) {
    return e.what();
  }
  return "no error";
}
} // namespace

TEST(Scenario, BadFilesGetErrorsNamingFileFieldAndFault) {
  EXPECT_EQ(ErrorOf(R"({"os": {"major": "six"}})"), "pc.json: os: field 'major': expected an integer, got \"six\"");
  EXPECT_EQ(ErrorOf(R"({"colour": 1})"), "pc.json: field 'colour': unknown field");
  EXPECT_EQ(ErrorOf(R"({"wow64": "maybe"})"), "pc.json: field 'wow64': expected true, false, \"absent\" or \"fails\"");
  EXPECT_EQ(ErrorOf(R"({"clock": {"start": "yesterday"}})"),
            "pc.json: clock: field 'start': expected a local time like \"2026-12-08 17:05:09\", got \"yesterday\"");
  EXPECT_EQ(ErrorOf(R"({"timer": {"periodMicroseconds": 0}})"),
            "pc.json: timer: field 'periodMicroseconds': value 0 is outside 1..10000000");
  EXPECT_EQ(ErrorOf(R"({"os": {"major": -1}})"), "pc.json: os: field 'major': value -1 is outside 0..4294967295");
  EXPECT_EQ(ErrorOf("[1, 2]"), "pc.json: expected a JSON object");
  EXPECT_NE(ErrorOf("{\"name\": ").find("pc.json: not valid JSON"), std::string::npos);
  EXPECT_NE(ErrorOf(R"({"os": {"major": 1e400}})").find("pc.json: not valid JSON"), std::string::npos);
  EXPECT_EQ(ErrorOf(R"({"drives": [{"number": 1}, {"number": 1}]})"),
            "pc.json: drives[1]: field 'number': drive 1 is listed twice");
  EXPECT_EQ(ErrorOf(R"({"drives": [{"number": 256}]})"), "pc.json: drives[0]: field 'number': value 256 is outside 0..255");
  EXPECT_EQ(ErrorOf(R"({"ansiCodePage": 437})"), "pc.json: field 'ansiCodePage': expected 936 or 1252");
}

TEST(Scenario, MissingFileIsAClearError) {
  try {
    trv::sim::LoadScenarioFile("/nonexistent/pc.json");
    FAIL();
  } catch (const ScenarioError& e) {
    EXPECT_STREQ(e.what(), "/nonexistent/pc.json: cannot open the scenario file");
  }
}

TEST(Scenario, BuiltInDefaultParses) {
  const auto sc = trv::sim::DefaultScenario();
  EXPECT_EQ(sc.osMajor, 6u);
  EXPECT_EQ(sc.platformId, 2u);
  EXPECT_EQ(sc.ansiCodePage, 936u);  // a Chinese Windows
}
