// Disks behind USB bridges: the ATA PASS-THROUGH (16) records that reach the
// bridge, byte by byte, and what the user sees for a bridge that answers, one
// that refuses and one that never answers.
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <vector>

#include "device/ata_any_path.h"
#include "device/sat.h"
#include "device/sat_registers.h"
#include "modern_pc.h"
#include "platform/sim/drive_capture.h"
#include "platform/sim/sim_platform.h"
#include "platform/text.h"
#include "test_support.h"

using nlohmann::json;
using trv::device::AtaBlock;
using trv::test::ModernPc;
namespace win = trv::win;

namespace {

constexpr std::uint32_t kScsiPassThrough = 0x0004D004;
constexpr int kBridge = 2, kStick = 3;  // drive numbers on the modern PC

const trv::sim::DriveCapture& Seagate() {
  static const trv::sim::DriveCapture c =
      trv::sim::LoadDriveCapture(trv::test::TestDataDir() + "/drives/ST9160821AS--3.CLH");
  return c;
}

// One drive of a PC, opened for reading and writing as the run flow opens it.
struct Disk {
  Disk(const trv::sim::Scenario& pc, int number) : sim(pc) {
    handle = sim.CreateFileW(u"\\\\.\\PhysicalDrive" + trv::Utf8ToUtf16(std::to_string(number)), win::GENERIC_READ | win::GENERIC_WRITE,
                             0, win::OPEN_EXISTING, 0);
    sim.journal().Clear();
  }
  std::vector<const trv::sim::JournalEntry*> PassThroughs() {
    std::vector<const trv::sim::JournalEntry*> found;
    for (const auto* e : sim.journal().Find("DeviceIoControl"))
      if (e->code == kScsiPassThrough) found.push_back(e);
    return found;
  }
  trv::sim::SimPlatform sim;
  win::Handle handle;
};

AtaBlock Untouched() {
  AtaBlock b;
  b.fill(0x5A);
  return b;
}

// SCSI_PASS_THROUGH as this program lays it out. 32-bit: Length 44, CdbLength
// 16, SenseInfoLength 32, DataIn 1, 512 bytes in, 5 seconds, data at 80, sense
// at 48, then the CDB. 64-bit: Length 56, the same up to the time-out, four
// bytes of alignment, data at 88 in eight bytes, sense at 56, the CDB, and four
// more bytes of alignment.
constexpr bool k64Bit = sizeof(void*) == 8;
std::vector<std::uint8_t> Record(const std::array<std::uint8_t, 16>& cdb) {
  std::vector<std::uint8_t> r;
  if constexpr (k64Bit)
    r = {56, 0, 0, 0, 0, 0, 16, 32, 1, 0, 0, 0, 0, 2, 0, 0, 5, 0, 0, 0, 0, 0, 0, 0,
         88, 0, 0, 0, 0, 0, 0, 0, 56, 0, 0, 0};
  else
    r = {44, 0, 0, 0, 0, 0, 16, 32, 1, 0, 0, 0, 0, 2, 0, 0, 5, 0, 0, 0, 80, 0, 0, 0, 48, 0, 0, 0};
  for (std::uint8_t b : cdb) r.push_back(b);
  if constexpr (k64Bit) r.insert(r.end(), 4, 0);
  return r;
}

struct Shown {
  trv::app::HeadlessRun run;
  std::vector<std::string> lines;
  std::size_t passThroughs = 0;  // on the opened disk
};

Shown Open(const trv::sim::Scenario& pc, int row) {
  Shown s{trv::test::Play(pc, "select DriveList " + std::to_string(row) + "; click btContinue"), {}, 0};
  s.lines = trv::test::Lines(s.run.app->FmMain.Log_Details);
  for (const auto* e : s.run.platform->journal().Find("DeviceIoControl"))
    if (e->code == kScsiPassThrough && e->handle == s.run.app->dev.DeviceHandle) ++s.passThroughs;
  return s;
}

} // namespace

TEST(Sat, BridgeGetsReadOnlyAtaPassThroughAndAnswersWithTheDrivesBlocks) {
  Disk d(ModernPc(), kBridge);
  AtaBlock identify = Untouched(), smart = Untouched();
  ASSERT_TRUE(trv::device::sat::ReadIdentify(d.sim, d.handle, 0, identify));
  ASSERT_TRUE(trv::device::sat::ReadSmartData(d.sim, d.handle, 0, smart));
  EXPECT_EQ(identify, *Seagate().identify);
  EXPECT_EQ(smart, *Seagate().smartData);

  const auto sent = d.PassThroughs();
  ASSERT_EQ(sent.size(), 2u);
  // ATA PASS-THROUGH (16): PIO data-in (protocol 4), T_DIR in, blocks, count in
  // the sector count field; IDENTIFY DEVICE (EC), then SMART READ DATA (B0, D0,
  // 4F/C2). Nothing else is ever sent.
  EXPECT_EQ(sent[0]->input, Record({0x85, 0x08, 0x0E, 0, 0x00, 0, 1, 0, 1, 0, 0x00, 0, 0x00, 0xA0, 0xEC, 0}));
  EXPECT_EQ(sent[1]->input, Record({0x85, 0x08, 0x0E, 0, 0xD0, 0, 1, 0, 1, 0, 0x4F, 0, 0xC2, 0xA0, 0xB0, 0}));
  EXPECT_NE(sent[0]->detail.find(k64Bit ? "out=600" : "out=592"), std::string::npos) << sent[0]->detail;
}

TEST(Sat, BridgeTakesOnlyTheRecordOfTheProgramsBitness) {
  // A 64-bit program whose record had the 32-bit layout would put the data
  // offset where the bridge reads padding: the bridge refuses a record whose
  // Length is not the caller's SCSI_PASS_THROUGH.
  Disk d(ModernPc(), kBridge);
  const std::size_t own = k64Bit ? 56 : 44, other = k64Bit ? 44 : 56;
  std::vector<std::uint8_t> buffer(700, 0);
  const auto cdb = std::array<std::uint8_t, 16>{0x85, 0x08, 0x0E, 0, 0, 0, 1, 0, 1, 0, 0, 0, 0, 0xA0, 0xEC, 0};
  const auto ours = Record(cdb);
  ASSERT_EQ(ours.size(), own);
  std::copy(ours.begin(), ours.end(), buffer.begin());
  std::uint32_t returned = 0;
  EXPECT_TRUE(d.sim.DeviceIoControl(d.handle, kScsiPassThrough, buffer.data(), static_cast<std::uint32_t>(own),
                                    buffer.data(), 700, &returned));
  std::fill(buffer.begin(), buffer.end(), std::uint8_t{0});
  buffer[0] = static_cast<std::uint8_t>(other);
  EXPECT_FALSE(d.sim.DeviceIoControl(d.handle, kScsiPassThrough, buffer.data(), static_cast<std::uint32_t>(other),
                                     buffer.data(), 700, &returned));
  EXPECT_EQ(d.sim.GetLastError(), win::ERROR_INVALID_PARAMETER);
  const auto sent = d.PassThroughs();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0]->input.size(), own);
}

TEST(Sat, BridgedDiskShowsWhatTheSameDriveShowsOnSata) {
  const auto bridged = Open(ModernPc(), kBridge);
  const auto sata = Open(trv::test::Scenario({{"drives", json::array({{{"number", 0}, {"bus", 11}, {"sectors", 312581808},
      {"ata", {{"capture", trv::test::TestDataDir() + "/drives/ST9160821AS--3.CLH"}}}}})}}), 0);
  ASSERT_GT(bridged.lines.size(), 6u);
  EXPECT_EQ(bridged.lines[5], "模型: ST9160821AS");
  // Everything after the five header lines (whose description comes from the
  // bridge's own USB texts) up to the purge line, which names the connection.
  // On SATA the drive's frozen security (word 128) follows, read through the pass-through.
  EXPECT_EQ(std::vector<std::string>(bridged.lines.begin() + 5, bridged.lines.end() - 1),
            std::vector<std::string>(sata.lines.begin() + 5, sata.lines.end() - 2));
  EXPECT_EQ(bridged.lines.back(), "固件清除: 此处不可用: connected through USB");
  EXPECT_EQ(std::vector<std::string>(sata.lines.end() - 2, sata.lines.end()),
            (std::vector<std::string>{"固件清除: 此处不可用: the system disk", "ATA 安全状态 (字 128): 已冻结"}));
  // IDENTIFY, then READ NATIVE MAX ADDRESS EXT and DEVICE CONFIGURATION IDENTIFY
  // for the sectors past the stated size.
  EXPECT_EQ(bridged.passThroughs, 3u);
  EXPECT_EQ(sata.passThroughs, 0u);

  // The S.M.A.R.T. tab's read: the same data block as the SATA disk gives.
  Disk d(ModernPc(), kBridge);
  AtaBlock smart = Untouched();
  EXPECT_TRUE(trv::device::ReadSmartDataAnyPath(d.sim, d.handle, 0, 7, smart));
  EXPECT_EQ(smart, *Seagate().smartData);
}

TEST(Sat, BridgesThatDoNotAnswerKeepTodaysLinesAfterOneTry) {
  struct Case {
    const char* name;
    int row;
    json sat;  // replaces the bridge's "sat" (null: the drive as the modern PC has it)
  };
  const Case cases[] = {
      {"stick refusing with ILLEGAL REQUEST", kStick, nullptr},
      {"bridge that never answers", kBridge, {{"answer", "hang"}}},
      {"bridge moving half a block", kBridge, {{"answer", "data"}, {"capture", trv::test::TestDataDir() + "/drives/ST9160821AS--3.CLH"}, {"transferred", 256}}},
      {"bridge acknowledging without data", kBridge, {{"answer", "data"}, {"identify", std::string(1024, '0')}}},
      {"bridge whose drive aborts IDENTIFY", kBridge, {{"answer", "data"}}},
  };
  for (const Case& c : cases) {
    auto pc = ModernPc([&](json& j) {
      if (!c.sat.is_null()) j["drives"][c.row]["sat"] = c.sat;
    });
    const auto s = Open(pc, c.row);
    ASSERT_EQ(s.lines.size(), 8u) << c.name;
    EXPECT_EQ(s.lines[5], "详细信息不可用于此设备。") << c.name;
    EXPECT_EQ(s.lines[7], "固件清除: 此处不可用: connected through USB") << c.name;
    EXPECT_EQ(s.passThroughs, 1u) << c.name;

    Disk d(pc, c.row);
    AtaBlock block = Untouched();
    EXPECT_FALSE(trv::device::ReadSmartDataAnyPath(d.sim, d.handle, 0, 7, block)) << c.name;
    EXPECT_EQ(block, Untouched()) << c.name;
    EXPECT_EQ(d.PassThroughs().size(), 1u) << c.name;
  }
}

TEST(Sat, SilentBridgeCostsTheShortTimeoutOnly) {
  Disk d(ModernPc([](json& j) { j["drives"][kBridge]["sat"] = {{"answer", "hang"}}; }), kBridge);
  const std::int64_t before = d.sim.WallClockMilliseconds();
  AtaBlock block = Untouched();
  EXPECT_FALSE(trv::device::sat::ReadIdentify(d.sim, d.handle, 0, block));
  EXPECT_EQ(d.sim.WallClockMilliseconds() - before, 5000);
}

TEST(Sat, OnlyTheUsbBusFallsBackToTheBridge) {
  // The same drive and bridge reported on the SATA bus: the ordinary paths fail
  // and no pass-through is sent.
  Disk d(ModernPc([](json& j) { j["drives"][kBridge]["bus"] = 11; }), kBridge);
  AtaBlock block = Untouched();
  EXPECT_FALSE(trv::device::ReadIdentifyAnyPath(d.sim, d.handle, 0, 11, block));
  EXPECT_FALSE(trv::device::ReadSmartDataAnyPath(d.sim, d.handle, 0, 11, block));
  EXPECT_TRUE(d.PassThroughs().empty());
}

TEST(Sat, AnswersAreJudgedByStatusSenseKeyAndCount) {
  // A good answer: status GOOD, no sense, 512 bytes moved, data at 80 (88 in a
  // 64-bit program, whose sense area starts at 56 instead of 48).
  const std::size_t sense = k64Bit ? 56 : 48, data = sense + 32, full = data + 512, record = k64Bit ? 56 : 44;
  auto good = [&] {
    std::vector<std::uint8_t> a(full, 0);
    a[0] = static_cast<std::uint8_t>(record);
    a[13] = 2;  // DataTransferLength 512
    for (std::size_t i = data; i < full; ++i) a[i] = static_cast<std::uint8_t>(i);
    return a;
  };
  struct Case {
    const char* name;
    std::function<void(std::vector<std::uint8_t>&)> change;
    std::uint32_t returned;
    bool taken;
  };
  const auto n = [](std::size_t v) { return static_cast<std::uint32_t>(v); };
  const Case cases[] = {
      {"good", [](auto&) {}, n(full), true},
      {"recovered error in fixed sense", [&](auto& a) { a[7] = 18; a[sense] = 0x70; a[sense + 2] = 0x01; }, n(full), true},
      {"CHECK CONDITION", [](auto& a) { a[2] = 0x02; }, n(full), false},
      {"ILLEGAL REQUEST in descriptor sense", [&](auto& a) { a[7] = 8; a[sense] = 0x72; a[sense + 1] = 0x05; }, n(full), false},
      {"sense key past the reported sense length", [&](auto& a) { a[7] = 2; a[sense] = 0x70; a[sense + 2] = 0x05; }, n(full), true},
      {"sense length past the sense area", [&](auto& a) { a[7] = 255; a[sense] = 0x70; a[sense + 2] = 0x0B; }, n(full), false},
      {"half a block moved", [](auto& a) { a[13] = 1; }, n(data + 256), false},
      {"count says 512, bytes returned fewer", [](auto&) {}, n(full - 1), false},
      {"count past the buffer", [](auto&) {}, n(full + 1), false},
      {"record only", [](auto&) {}, n(record), false},
  };
  for (const Case& c : cases) {
    auto answer = good();
    c.change(answer);
    AtaBlock block = Untouched();
    EXPECT_EQ(trv::device::sat::TakeBlock(answer, c.returned, block), c.taken) << c.name;
    if (c.taken) EXPECT_EQ(block[0], static_cast<std::uint8_t>(data)) << c.name;
    else EXPECT_EQ(block, Untouched()) << c.name;
  }
}

namespace {

using trv::device::sat::AtaCommand;
using trv::device::sat::AtaRegisters;
using trv::device::sat::RegisterAnswer;

AtaCommand SmartReturnStatus() {
  AtaCommand c;
  c.command = 0xB0, c.features = 0xDA, c.lba = 0xC24F00;
  return c;
}

// The registers one simulated bridge hands back for one command.
struct RegisterReply {
  RegisterAnswer answer;
  AtaRegisters regs;
  std::vector<std::uint8_t> sent;  // the record that reached the bridge
};
RegisterReply SendTo(const trv::sim::Scenario& pc, int number, const AtaCommand& c) {
  Disk d(pc, number);
  RegisterReply reply{RegisterAnswer::Failed, {}, {}};
  reply.regs.error = 0x5A;  // untouched unless registers came back
  reply.answer = trv::device::sat::SendNonData(d.sim, d.handle, c, reply.regs);
  const auto sent = d.PassThroughs();
  if (sent.size() == 1) reply.sent = sent[0]->input;
  return reply;
}

} // namespace

TEST(SatRegisters, BridgeReturnsTheDrivesRegistersForANonDataCommand) {
  // Non-data (protocol 3), CK_COND, no transfer; the 28-bit LBA's bits 27..24 in
  // the device register. The data fields of the record are empty.
  AtaCommand c = SmartReturnStatus();
  c.lba = 0x0BC24F00;
  const auto good = SendTo(ModernPc(), kBridge, c);
  ASSERT_EQ(good.answer, RegisterAnswer::Registers);
  auto record = Record({0x85, 0x06, 0x20, 0, 0xDA, 0, 0, 0, 0x00, 0, 0x4F, 0, 0xC2, 0xAB, 0xB0, 0});
  record[8] = 2, record[13] = 0;                           // DataIn unspecified, no transfer
  std::fill(record.begin() + (k64Bit ? 24 : 20), record.begin() + (k64Bit ? 32 : 24), std::uint8_t{0});  // no data offset
  EXPECT_EQ(good.sent, record);
  EXPECT_EQ(good.regs.lbaMid, 0x4F);
  EXPECT_EQ(good.regs.lbaHigh, 0xC2);
  EXPECT_EQ(good.regs.status, 0x50);
  EXPECT_FALSE(good.regs.extended);

  const auto failing = SendTo(ModernPc([](json& j) { j["drives"][kBridge]["sat"]["status"] = "failing"; }), kBridge,
                              SmartReturnStatus());
  ASSERT_EQ(failing.answer, RegisterAnswer::Registers);
  EXPECT_EQ(failing.regs.lbaMid, 0xF4);
  EXPECT_EQ(failing.regs.lbaHigh, 0x2C);

  // A 48-bit command: EXTEND, each register's upper byte before its lower one.
  // The simulated drive knows no such command and aborts it: ABRT, ERR.
  AtaCommand ext;
  ext.command = 0x42, ext.features = 0x1234, ext.count = 0xABCD, ext.lba = 0x123456789ABC, ext.device = 0x40;
  ext.extended = true;
  const auto aborted = SendTo(ModernPc(), kBridge, ext);
  ASSERT_EQ(aborted.answer, RegisterAnswer::Registers);
  ASSERT_GE(aborted.sent.size(), std::size_t{(k64Bit ? 36u : 28u) + 16u});
  const std::vector<std::uint8_t> cdb(aborted.sent.begin() + (k64Bit ? 36 : 28), aborted.sent.begin() + (k64Bit ? 52 : 44));
  EXPECT_EQ(cdb, (std::vector<std::uint8_t>{0x85, 0x07, 0x20, 0x12, 0x34, 0xAB, 0xCD, 0x56, 0xBC, 0x34, 0x9A, 0x12,
                                            0x78, 0x40, 0x42, 0}));
  EXPECT_TRUE(aborted.regs.extended);
  EXPECT_EQ(aborted.regs.error, 0x04);
  EXPECT_EQ(aborted.regs.status, 0x51);
}

TEST(SatRegisters, BridgesWithoutRegistersAreToldApartFromFailures) {
  const auto none = SendTo(ModernPc([](json& j) { j["drives"][kBridge]["sat"]["registers"] = false; }), kBridge,
                           SmartReturnStatus());
  EXPECT_EQ(none.answer, RegisterAnswer::NoRegisters);
  EXPECT_EQ(none.regs.error, 0x5A);
  EXPECT_EQ(SendTo(ModernPc(), kStick, SmartReturnStatus()).answer, RegisterAnswer::Failed);
  EXPECT_EQ(SendTo(ModernPc([](json& j) { j["drives"][kBridge]["sat"] = {{"answer", "hang"}}; }), kBridge,
                   SmartReturnStatus()).answer,
            RegisterAnswer::Failed);
}

TEST(SatRegisters, SenseDataIsReadWithinItsLengthsAndFormats) {
  const std::size_t sense = k64Bit ? 56 : 48, full = sense + 32, record = k64Bit ? 56 : 44;
  // CHECK CONDITION, descriptor sense: RECOVERED ERROR, 00h/1Dh, then the ATA
  // Return descriptor (09h, 12 more bytes) of a good SMART RETURN STATUS.
  const std::vector<std::uint8_t> descriptorSense = {0x72, 0x01, 0x00, 0x1D, 0, 0, 0, 14,
                                                     0x09, 0x0C, 0x00, 0x00, 0, 0x01, 0, 0x02, 0, 0x4F, 0, 0xC2, 0xA0, 0x50};
  auto answer = [&](std::uint8_t status, const std::vector<std::uint8_t>& s) {
    std::vector<std::uint8_t> a(full, 0);
    a[0] = static_cast<std::uint8_t>(record);
    a[2] = status;
    a[7] = static_cast<std::uint8_t>(s.size());
    std::copy(s.begin(), s.end(), a.begin() + static_cast<std::ptrdiff_t>(sense));
    return a;
  };
  auto with = [&](std::function<void(std::vector<std::uint8_t>&)> change) {
    auto s = descriptorSense;
    change(s);
    return s;
  };
  // Fixed format: error, status, device, count(7:0) in bytes 3..6, EXTEND and
  // the "upper bytes not zero" flags in byte 8, LBA(7:0..23:16) in 9..11.
  const std::vector<std::uint8_t> fixedSense = {0x70, 0, 0x01, 0x00, 0x50, 0xA0, 0x01, 10, 0x00, 0x02, 0x4F, 0xC2, 0x00, 0x1D};
  auto fixedWith = [&](std::uint8_t flags) {
    auto s = fixedSense;
    s[8] = flags;
    return s;
  };
  struct Case {
    const char* name;
    std::vector<std::uint8_t> answer;
    std::uint32_t returned;
    RegisterAnswer result;
  };
  const auto n = [](std::size_t v) { return static_cast<std::uint32_t>(v); };
  const Case cases[] = {
      {"ATA Return descriptor", answer(2, descriptorSense), n(full), RegisterAnswer::Registers},
      {"after another descriptor", answer(2, with([](auto& s) {
         s.insert(s.begin() + 8, {0x00, 0x02, 0, 0});  // an information descriptor first
         s[7] = 18;
       })), n(full), RegisterAnswer::Registers},
      {"descriptor of the wrong size", answer(2, with([](auto& s) { s[9] = 0x0A; })), n(full), RegisterAnswer::NoRegisters},
      {"another descriptor only", answer(2, with([](auto& s) { s[8] = 0x01; })), n(full), RegisterAnswer::NoRegisters},
      {"descriptor cut by the additional length", answer(2, with([](auto& s) { s[7] = 10; })), n(full), RegisterAnswer::NoRegisters},
      {"descriptor cut by the sense length", answer(2, std::vector<std::uint8_t>(descriptorSense.begin(), descriptorSense.end() - 1)),
       n(full), RegisterAnswer::NoRegisters},
      {"sense past the bytes returned", answer(2, descriptorSense), n(sense + 10), RegisterAnswer::Failed},
      {"aborted, registers with ERR", answer(2, with([](auto& s) { s[1] = 0x0B; s[11] = 0x04; s[21] = 0x51; })), n(full), RegisterAnswer::Registers},
      {"aborted, no descriptor", answer(2, with([](auto& s) { s[1] = 0x0B; s[8] = 0x01; })), n(full), RegisterAnswer::Failed},
      {"ILLEGAL REQUEST", answer(2, {0x70, 0, 0x05, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x20, 0}), n(full), RegisterAnswer::Failed},
      {"fixed format, 28-bit", answer(2, fixedSense), n(full), RegisterAnswer::Registers},
      {"fixed format, 48-bit, upper bytes zero", answer(2, fixedWith(0x80)), n(full), RegisterAnswer::Registers},
      {"fixed format, 48-bit, upper bytes lost", answer(2, fixedWith(0xA0)), n(full), RegisterAnswer::NoRegisters},
      {"fixed format without 00h/1Dh", answer(2, [&] { auto s = fixedSense; s[13] = 0; return s; }()), n(full), RegisterAnswer::NoRegisters},
      {"GOOD: CK_COND ignored", answer(0, {}), n(full), RegisterAnswer::NoRegisters},
      {"BUSY", answer(8, {}), n(full), RegisterAnswer::Failed},
      {"CHECK CONDITION without sense", answer(2, {}), n(full), RegisterAnswer::Failed},
      {"record cut short", answer(2, descriptorSense), n(record - 1), RegisterAnswer::Failed},
      {"count past the buffer", answer(2, descriptorSense), n(full + 1), RegisterAnswer::Failed},
  };
  for (const Case& c : cases) {
    AtaRegisters regs;
    regs.error = 0x5A;
    EXPECT_EQ(trv::device::sat::TakeRegisters(c.answer, c.returned, regs), c.result) << c.name;
    if (c.result != RegisterAnswer::Registers) {
      EXPECT_EQ(regs.error, 0x5A) << c.name;
      continue;
    }
    EXPECT_EQ(regs.lbaMid, 0x4F) << c.name;
    EXPECT_EQ(regs.lbaHigh, 0xC2) << c.name;
    EXPECT_EQ(regs.count, 0x01) << c.name;
    EXPECT_EQ(regs.lbaLow, 0x02) << c.name;
  }
}
