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

TEST(Scenario, BadVolumesAndPageFilesAreClearErrors) {
  EXPECT_EQ(ErrorOf(R"({"volumes": [{"letter": "E"}]})"),
            "pc.json: volumes[0]: field 'deviceNumber': missing (give deviceNumber, extents or both)");
  EXPECT_EQ(ErrorOf(R"({"volumes": [{"guid": "5c1e", "deviceNumber": 1}]})"),
            "pc.json: volumes[0]: field 'guid': expected {xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}");
  EXPECT_EQ(ErrorOf(R"({"volumes": [{"deviceNumber": 1, "guid": "{11111111-2222-3333-4444-555555555555}"},
                                    {"deviceNumber": 2, "guid": "{11111111-2222-3333-4444-555555555555}"}]})"),
            "pc.json: volumes[1]: field 'guid': two volumes have this GUID");
  EXPECT_EQ(ErrorOf(R"({"volumes": [{"letter": "E", "deviceNumber": 1}, {"letter": "e", "deviceNumber": 2}]})"),
            "pc.json: volumes[1]: field 'letter': two volumes have this root");
  EXPECT_EQ(ErrorOf(R"({"volumes": [{"deviceNumber": 1, "mountFolders": ["C:\\Data"]}]})"),
            "pc.json: volumes[0]: field 'mountFolders': expected folder paths such as \"C:\\\\Mount\\\\Data\\\\\"");
  EXPECT_EQ(ErrorOf(R"({"volumes": [{"deviceNumber": 1, "mountFolders": "C:\\Data\\"}]})"),
            "pc.json: volumes[0]: field 'mountFolders': expected a list of folder paths");
  EXPECT_EQ(ErrorOf(R"({"volumes": [{"extents": {"disk": 1}}]})"), "pc.json: volumes[0]: field 'extents': expected a list of extents");
  EXPECT_EQ(ErrorOf(R"({"volumes": [{"extents": [{"offset": 0}]}]})"), "pc.json: volumes[0]: extents[0]: field 'disk': missing");
  EXPECT_EQ(ErrorOf(R"({"volumes": [{"extents": [{"disk": 1, "size": 5}]}]})"),
            "pc.json: volumes[0]: extents[0]: field 'size': unknown field");
  EXPECT_EQ(ErrorOf(R"({"volumes": [{"deviceNumber": 1, "fail": {"extent": 1}}]})"),
            "pc.json: volumes[0]: fail: field 'extent': unknown request");
  EXPECT_EQ(ErrorOf(R"({"pagingFiles": "C:\\pagefile.sys"})"), "pc.json: field 'pagingFiles': expected a list of texts, or null");
  EXPECT_EQ(ErrorOf(R"({"existingPageFiles": [1]})"), "pc.json: field 'existingPageFiles': expected a list of texts, or null");
  EXPECT_EQ(ErrorOf(R"({"systemDirectory": "Windows"})"),
            "pc.json: field 'systemDirectory': expected a folder path such as \"C:\\\\Windows\\\\system32\"");
  EXPECT_EQ(ErrorOf(R"({"volumeSearchFails": -1})"), "pc.json: field 'volumeSearchFails': value -1 is outside 0..4294967295");
  // Without a letter, a GUID or a folder, a volume is still a volume.
  const auto pc = ParseScenario(R"({"volumes": [{"deviceNumber": 1}, {"extents": [{"disk": 1}, {"disk": 2}]}]})", "pc.json");
  ASSERT_EQ(pc.volumes.size(), 2u);
  EXPECT_NE(pc.volumes[0].guid, pc.volumes[1].guid);
  EXPECT_TRUE(pc.volumes[0].root.empty());
  EXPECT_FALSE(pc.volumes[1].deviceNumber.has_value());
  EXPECT_EQ(pc.volumes[1].extents.size(), 2u);
}
