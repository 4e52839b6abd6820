// The modern PC and the scenario fields of NVMe drives and USB bridges.
#include <gtest/gtest.h>

#include "device/device_records.h"
#include "platform/sim/built_in_pcs.h"
#include "platform/text.h"

using trv::sim::ScenarioError;

namespace {
std::string ErrorOf(const std::string& drive) {
  try {
    trv::sim::ParseScenario(R"({"drives": [)" + drive + "]}", "pc.json");
  } catch (const ScenarioError& e) {
    return e.what();
  }
  return "no error";
}
} // namespace

TEST(ModernPc, BuiltInPcsByName) {
  const auto modern = trv::sim::BuiltInScenario("modern");
  EXPECT_EQ(modern.osMajor, 10u);
  EXPECT_EQ(modern.osBuild, 19045u);
  ASSERT_EQ(modern.drives.size(), 4u);
  EXPECT_TRUE(modern.drives[0].nvme && modern.drives[0].protocolQueries);
  EXPECT_EQ(modern.drives[2].sat.mode, trv::sim::SatMode::Answer);
  EXPECT_EQ(modern.drives[3].sat.mode, trv::sim::SatMode::Refuse);
  EXPECT_EQ(trv::sim::BuiltInScenario("default").osMajor, 6u);
  EXPECT_THROW(trv::sim::BuiltInScenario("vista"), ScenarioError);
  // Windows 7 knows no protocol-specific queries, whatever the drive.
  EXPECT_FALSE(trv::sim::ParseScenario(R"({"drives": [{"number": 0, "nvme": {}}]})", "pc.json").drives[0].protocolQueries);
}

TEST(ModernPc, NvmeAndBridgeFieldsAreChecked) {
  EXPECT_EQ(ErrorOf(R"({"number": 0, "nvme": {"healthLog": "00 01"}})"),
            "pc.json: drives[0]: nvme: field 'healthLog': expected 512 bytes, got 2");
  EXPECT_EQ(ErrorOf(R"({"number": 0, "nvme": {"identifyNamespace": {"formats": [{"data": 1000}]}}})"),
            "pc.json: drives[0]: nvme: identifyNamespace: formats[0]: field 'data': expected a power of two");
  EXPECT_EQ(ErrorOf(R"({"number": 0, "nvme": {"identifyController": {"firmware": "123456789"}}})"),
            "pc.json: drives[0]: nvme: identifyController: field 'firmware': longer than 8 characters");
  EXPECT_EQ(ErrorOf(R"({"number": 0, "sat": {"answer": "sometimes"}})"),
            "pc.json: drives[0]: sat: field 'answer': expected \"data\", \"illegalRequest\" or \"hang\", got \"sometimes\"");
  EXPECT_EQ(ErrorOf(R"({"number": 0, "fail": {"scsiPassThrough": 5, "protocolQuery": 50}})"), "no error");
}

TEST(ModernPc, BusTypesOfWindows10) {
  EXPECT_EQ(trv::Utf16ToUtf8(trv::device::GetBusTypeName(16)), "UNKNOWN");
  EXPECT_EQ(trv::Utf16ToUtf8(trv::device::GetBusTypeName(17)), "NVMe");
  EXPECT_EQ(trv::Utf16ToUtf8(trv::device::GetBusTypeName(18)), "SCM");
  EXPECT_EQ(trv::Utf16ToUtf8(trv::device::GetBusTypeName(19)), "UFS");
  EXPECT_EQ(trv::Utf16ToUtf8(trv::device::GetBusTypeName(20)), "UNKNOWN");
}
