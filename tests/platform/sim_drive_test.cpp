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
  EXPECT_EQ(ScenarioError({{"number", 0}, {"sectors", 1LL << 60}, {"bytesPerSector", 4096}}),
            "test scenario: drives[0]: field 'sectors': sectors times bytesPerSector does not fit in 64 bits");
}

TEST(SimDrive, CaptureFilesAreFoundBesideTheScenario) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / "trevasso-sim-drive-test";
  fs::create_directories(dir);
  // Copy the bytes, not the file: the test data is read-only, and a read-only
  // copy could not be removed afterwards on Windows.
  std::ifstream source(trv::test::TestDataDir() + "/drives/ST9160821AS--3.CLH", std::ios::binary);
  std::ofstream(dir / "st9160.bin", std::ios::binary) << source.rdbuf();
  std::ofstream(dir / "pc.json") << R"({"drives": [{"number": 0, "ata": {"capture": "st9160.bin"}}]})";
  const auto sc = trv::sim::LoadScenarioFile((dir / "pc.json").string());
  ASSERT_TRUE(sc.drives[0].ata && sc.drives[0].ata->identify);
  const auto& id = *sc.drives[0].ata->identify;
  EXPECT_EQ(id[54], 'T');  // model words start at byte 54, byte-swapped: "ST"
  EXPECT_EQ(id[55], 'S');
  fs::remove_all(dir);
}

namespace {

// SENDCMDINPARAMS of 32 bytes at the start of a record of `size` bytes.
std::vector<std::uint8_t> Command(std::vector<std::uint8_t> regs, std::uint32_t bufferSize = 512, std::uint8_t driveNumber = 0,
                                  std::size_t size = 32) {
  std::vector<std::uint8_t> r(size, 0);
  rec::Put32(r, 0, bufferSize);
  std::copy(regs.begin(), regs.end(), r.begin() + 4);
  r[12] = driveNumber;
  return r;
}

std::vector<std::uint8_t> Miniport(std::vector<std::uint8_t> command, const char* signature = "SCSIDISK",
                                   std::uint32_t header = 28, std::uint32_t code = 0x1B0501, std::uint32_t length = 544) {
  std::vector<std::uint8_t> r(28, 0);
  rec::Put32(r, 0, header);
  std::copy(signature, signature + 8, r.begin() + 4);
  rec::Put32(r, 12, 120);
  rec::Put32(r, 16, code);
  rec::Put32(r, 24, length);
  command.resize(544, 0);
  r.insert(r.end(), command.begin(), command.end());
  return r;
}

const std::vector<std::uint8_t> kIdentify = {0, 1, 1, 0, 0, 0xA0, 0xEC};
const std::vector<std::uint8_t> kReadData = {0xD0, 1, 1, 0x4F, 0xC2, 0xA0, 0xB0};

} // namespace

TEST(SimDrive, AtaDriversReadTheRecordsTheyAreSent) {
  const std::string capture = trv::test::TestDataDir() + "/drives/ST9160821AS--3.CLH";
  Pc pc({{"number", 0}, {"bus", 3}, {"ata", {{"capture", capture}}}}, win::GENERIC_READ | win::GENERIC_WRITE);
  const std::uint32_t receive = 0x0007C088, send = 0x0007C084, miniport = 0x0004D008;
  const auto good = pc.Ask(receive, Command(kIdentify), 528);
  ASSERT_TRUE(good);
  ASSERT_EQ(good->size(), 528u);
  EXPECT_EQ(rec::U32(*good, 0), 512u);
  EXPECT_EQ((*good)[16 + 54], 'T');  // the model, "ST…", byte-swapped

  struct Refused {
    std::uint32_t code;
    std::vector<std::uint8_t> in;
    std::uint32_t outSize;
    std::uint32_t error;
  };
  for (const Refused& r : {
           Refused{receive, Command(kIdentify, 512, 0, 31), 528, 87},               // record too short
           Refused{receive, Command(kIdentify), 527, 122},                           // no room for the answer
           Refused{receive, Command(kIdentify, 256), 528, 87},                       // cBufferSize
           Refused{receive, Command({0, 1, 1, 0, 0, 0xB0, 0xEC}), 528, 87},          // selects the absent slave
           Refused{receive, Command({0, 1, 1, 0, 0, 0x00, 0xEC}), 528, 87},          // drive/head without A0
           Refused{receive, Command({0, 1, 1, 0, 0, 0xA0, 0x25}), 528, 87},          // not IDENTIFY or SMART
           Refused{receive, Command({0xD0, 1, 1, 0, 0, 0xA0, 0xB0}), 528, 87},       // SMART without 4F C2
           Refused{receive, Command(kReadData, 512, 2), 528, 87},                    // bDriveNumber
           Refused{send, Command({0xD8, 1, 1, 0x4F, 0xC2, 0xA0, 0xB0}, 512), 527, 87},  // ENABLE expects no data
           Refused{send, Command(kReadData), 1039, 87},                              // the class driver sends no reads
           Refused{send, Command({0xDA, 1, 1, 0x4F, 0xC2, 0xA0, 0xB0}, 512), 527, 87},  // RETURN STATUS: 0 or 8
           Refused{send, Command({0xDA, 1, 1, 0x4F, 0xC2, 0xA0, 0xB0}, 8), 23, 122},    // no room for IDEREGS
           Refused{miniport, Miniport(Command(kIdentify), "SCSIDISK", 24), 572, 87},
           Refused{miniport, Miniport(Command(kIdentify), "SCSIDISX"), 572, 87},
           Refused{miniport, Miniport(Command(kIdentify), "SCSIDISK", 28, 0x1B0502), 572, 87},
           Refused{miniport, Miniport(Command(kIdentify), "SCSIDISK", 28, 0x1B0501, 600), 572, 87},
           Refused{miniport, Miniport(Command(kIdentify)), 571, 87},
           Refused{miniport, Miniport(Command(kIdentify, 512, 1)), 572, 87},  // drive number of the absent slave
           Refused{miniport, Miniport(Command(kReadData)), 572, 87},
       }) {
    EXPECT_FALSE(pc.Ask(r.code, r.in, r.outSize)) << std::hex << r.code;
    EXPECT_EQ(pc.error, r.error) << std::hex << r.code;
  }
  EXPECT_TRUE(pc.Ask(send, Command({0xD8, 1, 1, 0x4F, 0xC2, 0xA0, 0xB0}, 0), 527));

  // One buffer for request and answer, as the miniport request is sent: the
  // answer comes back in it and the journal keeps the request as sent.
  std::vector<std::uint8_t> buffer = Miniport(Command(kIdentify));
  std::uint32_t returned = 0;
  ASSERT_TRUE(pc.sim.DeviceIoControl(pc.handle, miniport, buffer.data(), 572, buffer.data(), 572, &returned));
  EXPECT_EQ(returned, 572u);
  EXPECT_EQ(std::string(buffer.begin() + 4, buffer.begin() + 12), "SCSIDISK");
  EXPECT_EQ(buffer[44 + 54], 'T');
  const auto& sent = pc.sim.journal().entries().back().input;
  EXPECT_EQ(sent, Miniport(Command(kIdentify)));
}

TEST(SimDrive, SmartSwitchFollowsInIdentifyAndGatesTheReads) {
  // The ST9160821AS starts with S.M.A.R.T. on (word 85 = 0x3469).
  const std::string capture = trv::test::TestDataDir() + "/drives/ST9160821AS--3.CLH";
  Pc pc({{"number", 0}, {"bus", 3}, {"ata", {{"capture", capture}}}}, win::GENERIC_READ | win::GENERIC_WRITE);
  const std::uint32_t receive = 0x0007C088, send = 0x0007C084;
  auto identify = [&] {
    auto a = pc.Ask(receive, Command(kIdentify), 528);
    EXPECT_TRUE(a);
    return a ? std::vector<std::uint8_t>(a->begin() + 16, a->end()) : std::vector<std::uint8_t>(512, 0);
  };
  auto sum = [](const std::vector<std::uint8_t>& b) {
    unsigned s = 0;
    for (auto v : b) s += v;
    return s & 0xFF;
  };
  const auto before = identify();
  EXPECT_EQ(rec::U16(before, 170), 0x3469);
  ASSERT_EQ(before[510], 0xA5);
  EXPECT_EQ(sum(before), 0u);

  ASSERT_TRUE(pc.Ask(send, Command({0xD9, 1, 1, 0x4F, 0xC2, 0xA0, 0xB0}, 0), 527));  // DISABLE
  auto off = identify();
  EXPECT_EQ(rec::U16(off, 170), 0x3468);
  EXPECT_EQ(sum(off), 0u);  // the integrity byte follows
  // With S.M.A.R.T. off the drive aborts the reads; IDENTIFY still answers.
  EXPECT_FALSE(pc.Ask(receive, Command(kReadData), 528));
  EXPECT_EQ(pc.error, 1117u);  // ERROR_IO_DEVICE
  EXPECT_FALSE(pc.Ask(receive, Command({0xD1, 1, 1, 0x4F, 0xC2, 0xA0, 0xB0}), 528));
  EXPECT_FALSE(pc.Ask(send, Command({0xDA, 1, 1, 0x4F, 0xC2, 0xA0, 0xB0}, 0), 527));  // RETURN STATUS too
  EXPECT_EQ(pc.error, 1117u);

  ASSERT_TRUE(pc.Ask(send, Command({0xD8, 1, 1, 0x4F, 0xC2, 0xA0, 0xB0}, 0), 527));  // ENABLE
  EXPECT_EQ(identify(), before);
  EXPECT_TRUE(pc.Ask(receive, Command(kReadData), 528));
}

TEST(SimDrive, ReturnStatusHandsTheCylinderRegistersBack) {
  // The 16-byte header says 8 bytes follow: the IDEREGS of the finished command,
  // cylinder low and high at 3 and 4 (4Fh/C2h good, F4h/2Ch failing), or zeros
  // from a driver that does not pass them back.
  const std::string capture = trv::test::TestDataDir() + "/drives/ST9160821AS--3.CLH";
  const std::pair<const char*, std::pair<int, int>> cases[] = {
      {"good", {0x4F, 0xC2}}, {"failing", {0xF4, 0x2C}}, {"silent", {0, 0}}};
  for (const auto& [status, registers] : cases) {
    Pc pc({{"number", 0}, {"bus", 3}, {"ata", {{"capture", capture}, {"status", status}}}},
          win::GENERIC_READ | win::GENERIC_WRITE);
    const auto answer = pc.Ask(0x0007C084, Command({0xDA, 1, 1, 0x4F, 0xC2, 0xA0, 0xB0}, 8), 527);
    ASSERT_TRUE(answer) << status;
    ASSERT_EQ(answer->size(), 24u) << status;
    EXPECT_EQ(rec::U32(*answer, 0), 8u);
    EXPECT_EQ((*answer)[16 + 3], registers.first) << status;
    EXPECT_EQ((*answer)[16 + 4], registers.second) << status;
  }
  // The captures' SMST section (1: good) gives the status when the scenario does not.
  Pc captured({{"number", 0}, {"bus", 3}, {"ata", {{"capture", capture}}}}, win::GENERIC_READ | win::GENERIC_WRITE);
  const auto answer = captured.Ask(0x0007C084, Command({0xDA, 1, 1, 0x4F, 0xC2, 0xA0, 0xB0}, 0), 527);
  ASSERT_TRUE(answer);
  EXPECT_EQ((*answer)[16 + 3], 0x4F);
}

TEST(SimDrive, JournalNamesTheAtaCommandOfEachRequest) {
  const std::string capture = trv::test::TestDataDir() + "/drives/ST9160821AS--3.CLH";
  Pc pc({{"number", 0}, {"bus", 3}, {"ata", {{"capture", capture}}}}, win::GENERIC_READ | win::GENERIC_WRITE);
  const std::uint32_t receive = 0x0007C088, send = 0x0007C084, miniport = 0x0004D008;
  pc.Ask(receive, Command({0xD1, 1, 1, 0x4F, 0xC2, 0xA0, 0xB0}), 528);
  pc.Ask(send, Command({0xDA, 1, 1, 0x4F, 0xC2, 0xA0, 0xB0}, 0), 527);
  pc.Ask(send, Command({0x00, 1, 1, 0, 0, 0xA0, 0xEF}, 0), 527);
  pc.Ask(miniport, Miniport(Command(kIdentify)), 572);
  pc.Ask(receive, Command(kReadData, 512, 0, 31), 528);  // too short to hold a command
  pc.Ask(0x00074080, {}, 28);
  std::vector<std::string> details;
  for (const auto* e : pc.sim.journal().Find("DeviceIoControl")) details.push_back(e->detail);
  EXPECT_EQ(details, (std::vector<std::string>{
                         "code=0x7C088 in=32 out=528 command=0xB0 feature=0xD1 SMART READ THRESHOLDS -> ok returned=528",
                         "code=0x7C084 in=32 out=527 command=0xB0 feature=0xDA SMART RETURN STATUS -> ok returned=24",
                         "code=0x7C084 in=32 out=527 command=0xEF feature=0x00 (other command) -> failed error=87",
                         "code=0x4D008 in=572 out=572 command=0xEC feature=0x00 IDENTIFY DEVICE -> ok returned=572",
                         "code=0x7C088 in=31 out=528 -> failed error=87",
                         "code=0x74080 in=0 out=28 -> ok returned=24",
                     }));
}
