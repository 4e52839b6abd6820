// The simulated drives answer control requests byte by byte as a Windows
// storage stack does, and refuse what a driver would refuse.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <vector>

#include "platform/records.h"
#include "platform/sim/sim_platform.h"
#include "test_support.h"

using nlohmann::json;
namespace win = trv::win;
namespace rec = trv::rec;

namespace {

struct Pc {
  explicit Pc(json drive, std::uint32_t access = win::GENERIC_READ)
      : sim(trv::test::Scenario({{"drives", json::array({drive})}})) {
    handle = sim.CreateFileW(u"\\\\.\\PhysicalDrive0", access, 3, win::OPEN_EXISTING, 0);
  }
  // Sends a request; returns the bytes returned, or nothing with `error` set.
  std::optional<std::vector<std::uint8_t>> Ask(std::uint32_t code, std::vector<std::uint8_t> in, std::uint32_t outSize) {
    std::vector<std::uint8_t> out(outSize, 0xCC);
    std::uint32_t returned = 0;
    if (!sim.DeviceIoControl(handle, code, in.empty() ? nullptr : in.data(), static_cast<std::uint32_t>(in.size()),
                             out.empty() ? nullptr : out.data(), outSize, &returned)) {
      error = sim.GetLastError();
      return std::nullopt;
    }
    out.resize(returned);
    return out;
  }
  trv::sim::SimPlatform sim;
  win::Handle handle;
  std::uint32_t error = 0;
};

std::vector<std::uint8_t> PropertyQuery(std::uint32_t property, std::uint32_t type = 0) {
  std::vector<std::uint8_t> q(12, 0);
  rec::Put32(q, 0, property);
  rec::Put32(q, 4, type);
  return q;
}

std::string Text(const std::vector<std::uint8_t>& b, std::size_t offset) {
  std::string s;
  while (offset < b.size() && b[offset]) s.push_back(static_cast<char>(b[offset++]));
  return s;
}

std::string ScenarioError(const json& drive) {
  try {
    trv::test::Scenario({{"drives", json::array({drive})}});
  } catch (const std::exception& e) {
    return e.what();
  }
  return "no error";
}

} // namespace

TEST(SimDrive, GeometryAndLengthRecords) {
  Pc pc({{"number", 0}, {"bytesPerSector", 4096}, {"sectors", 1000000}, {"removable", true}});
  const auto g = pc.Ask(0x00070000, {}, 512);
  ASSERT_TRUE(g);
  ASSERT_EQ(g->size(), 24u);
  EXPECT_EQ(rec::I64(*g, 0), 4096000000LL / (255 * 63 * 4096));
  EXPECT_EQ(rec::U32(*g, 8), 11u);  // RemovableMedia
  EXPECT_EQ(rec::U32(*g, 12), 255u);
  EXPECT_EQ(rec::U32(*g, 16), 63u);
  EXPECT_EQ(rec::U32(*g, 20), 4096u);
  EXPECT_FALSE(pc.Ask(0x00070000, {}, 23));
  EXPECT_EQ(pc.error, win::ERROR_INSUFFICIENT_BUFFER);

  const auto l = pc.Ask(0x0007405C, {}, 8);
  ASSERT_TRUE(l);
  EXPECT_EQ(*l, (std::vector<std::uint8_t>{0x00, 0x00, 0x24, 0xF4, 0x00, 0x00, 0x00, 0x00}));  // 4,096,000,000
  EXPECT_FALSE(pc.Ask(0x0007405C, {}, 7));
  EXPECT_EQ(pc.error, win::ERROR_INSUFFICIENT_BUFFER);
}

TEST(SimDrive, PropertyQueriesHonourTheRecordAndTheOutputSize) {
  Pc pc({{"number", 0},
         {"bus", 7},
         {"adapter", {{"maxTransfer", 65536}, {"busMajor", 2}}},
         {"device", {{"vendor", "Kingston"}, {"product", "DataTraveler"}, {"serial", nullptr}}}});
  const auto a = pc.Ask(0x002D1400, PropertyQuery(1), 512);
  ASSERT_TRUE(a);
  ASSERT_EQ(a->size(), 32u);
  EXPECT_EQ(rec::U32(*a, 0), 32u);
  EXPECT_EQ(rec::U32(*a, 4), 32u);
  EXPECT_EQ(rec::U32(*a, 8), 65536u);
  EXPECT_EQ((*a)[24], 7);
  EXPECT_EQ(rec::U16(*a, 26), 2);

  const auto d = pc.Ask(0x002D1400, PropertyQuery(0), 512);
  ASSERT_TRUE(d);
  EXPECT_EQ(rec::U32(*d, 4), d->size());
  EXPECT_EQ(Text(*d, rec::U32(*d, 12)), "Kingston");
  EXPECT_EQ(Text(*d, rec::U32(*d, 16)), "DataTraveler");
  EXPECT_EQ(rec::U32(*d, 20), 0u);  // absent texts have offset 0
  EXPECT_EQ(rec::U32(*d, 24), 0u);
  EXPECT_EQ(rec::U32(*d, 28), 7u);

  // A short output gets the first bytes; the header must fit.
  const auto head = pc.Ask(0x002D1400, PropertyQuery(0), 8);
  ASSERT_TRUE(head);
  EXPECT_EQ(head->size(), 8u);
  EXPECT_EQ(rec::U32(*head, 4), d->size());
  EXPECT_FALSE(pc.Ask(0x002D1400, PropertyQuery(0), 7));
  EXPECT_EQ(pc.error, win::ERROR_INSUFFICIENT_BUFFER);
  // Malformed or unknown queries.
  EXPECT_FALSE(pc.Ask(0x002D1400, std::vector<std::uint8_t>(11, 0), 512));
  EXPECT_EQ(pc.error, win::ERROR_INVALID_PARAMETER);
  EXPECT_FALSE(pc.Ask(0x002D1400, PropertyQuery(0, 2), 512));
  EXPECT_EQ(pc.error, win::ERROR_INVALID_PARAMETER);
  EXPECT_FALSE(pc.Ask(0x002D1400, PropertyQuery(7), 512));
  EXPECT_EQ(pc.error, win::ERROR_NOT_SUPPORTED);
  const auto exists = pc.Ask(0x002D1400, PropertyQuery(0, 1), 512);
  ASSERT_TRUE(exists);
  EXPECT_TRUE(exists->empty());
}

TEST(SimDrive, SmartVersionInquiryAndAccessRules) {
  Pc ata({{"number", 0}, {"bus", 3}, {"slave", true}, {"ata", json::object()}});
  const auto v = ata.Ask(0x00074080, {}, 28);
  ASSERT_TRUE(v);
  EXPECT_EQ(*v, (std::vector<std::uint8_t>{1, 1, 0, 2, 7, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_FALSE(ata.Ask(0x00074080, {}, 23));
  EXPECT_EQ(ata.error, win::ERROR_INSUFFICIENT_BUFFER);
  const auto inq = ata.Ask(0x0004100C, {}, 512);
  ASSERT_TRUE(inq);
  EXPECT_EQ((*inq)[0], 1);               // one bus
  EXPECT_EQ(rec::U32(*inq, 8), 12u);     // its first inquiry record
  EXPECT_EQ((*inq)[13], 1);              // TargetId of the slave
  EXPECT_EQ(Text(*inq, 44).substr(0, 3), "ATA");
  // S.M.A.R.T. commands need a handle that may write.
  EXPECT_FALSE(ata.Ask(0x0007C088, std::vector<std::uint8_t>(32, 0), 528));
  EXPECT_EQ(ata.error, win::ERROR_ACCESS_DENIED);

  Pc usb({{"number", 0}, {"bus", 7}});
  EXPECT_FALSE(usb.Ask(0x00074080, {}, 28));
  EXPECT_EQ(usb.error, win::ERROR_INVALID_FUNCTION);
  EXPECT_FALSE(usb.Ask(0x12345678, {}, 28));
  EXPECT_EQ(usb.error, win::ERROR_INVALID_FUNCTION);
}

TEST(SimDrive, ScenarioFailuresAndRawAnswers) {
  Pc pc({{"number", 0},
         {"fail", {{"geometry", 0}, {"adapter", 1117}}},
         {"device", "28000000 ff000000"},
         {"smartVersion", "01 01 00 ff"}});
  EXPECT_FALSE(pc.Ask(0x00070000, {}, 512));
  EXPECT_EQ(pc.error, 0u);
  EXPECT_FALSE(pc.Ask(0x002D1400, PropertyQuery(1), 512));
  EXPECT_EQ(pc.error, 1117u);
  EXPECT_EQ(pc.Ask(0x002D1400, PropertyQuery(0), 512),
            (std::vector<std::uint8_t>{0x28, 0, 0, 0, 0xFF, 0, 0, 0}));
  EXPECT_EQ(pc.Ask(0x00074080, {}, 28), (std::vector<std::uint8_t>{1, 1, 0, 0xFF}));
}

TEST(SimDrive, BadDriveFieldsAreClearErrors) {
  EXPECT_EQ(ScenarioError({{"number", 0}, {"fail", {{"format", 1}}}}),
            "test scenario: drives[0]: fail: field 'format': unknown request");
  EXPECT_EQ(ScenarioError({{"number", 0}, {"ata", {{"identify", "00 01"}}}}),
            "test scenario: drives[0]: ata: field 'identify': expected 512 bytes, got 2");
  EXPECT_EQ(ScenarioError({{"number", 0}, {"sectors", 1}, {"length", 512}}),
            "test scenario: drives[0]: field 'length': give either sectors or length, not both");
  EXPECT_EQ(ScenarioError({{"number", 0}, {"device", {{"product", "\u4e2d"}}}}),
            "test scenario: drives[0]: device: field 'product': only characters U+0001 to U+00FF fit in a descriptor byte");
  EXPECT_EQ(ScenarioError({{"number", 0}, {"ata", {{"capture", "/nonexistent/disk"}}}}),
            "test scenario: drives[0]: ata: field 'capture': /nonexistent/disk: cannot open the drive capture");
  EXPECT_EQ(ScenarioError({{"number", 0}, {"adapter", {{"maxTransfer", -1}}}}),
            "test scenario: drives[0]: adapter: field 'maxTransfer': value -1 is outside 0..4294967295");
}

TEST(SimDrive, CaptureFilesAreFoundBesideTheScenario) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / "trevasso-sim-drive-test";
  fs::create_directories(dir);
  fs::copy_file(trv::test::TestDataDir() + "/drives/ST9160821AS--3.CLH", dir / "st9160.bin",
                fs::copy_options::overwrite_existing);
  std::ofstream(dir / "pc.json") << R"({"drives": [{"number": 0, "ata": {"capture": "st9160.bin"}}]})";
  const auto sc = trv::sim::LoadScenarioFile((dir / "pc.json").string());
  ASSERT_TRUE(sc.drives[0].ata && sc.drives[0].ata->identify);
  const auto& id = *sc.drives[0].ata->identify;
  EXPECT_EQ(id[54], 'T');  // model words start at byte 54, byte-swapped: "ST"
  EXPECT_EQ(id[55], 'S');
  fs::remove_all(dir);
}
