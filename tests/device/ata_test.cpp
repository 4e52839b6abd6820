// The ATA transport against the simulated drivers: the records that reach the
// driver, byte by byte, and what the program makes of each kind of answer.
#include <gtest/gtest.h>

#include <cstring>

#include "device/ata.h"
#include "platform/sim/drive_capture.h"
#include "platform/sim/sim_platform.h"
#include "test_support.h"

using nlohmann::json;
using trv::device::AtaBlock;
namespace win = trv::win;

namespace {

const std::string kCapture = trv::test::TestDataDir() + "/drives/ST9160821AS--3.CLH";

constexpr std::uint32_t kVersion = 0x00074080, kSend = 0x0007C084, kReceive = 0x0007C088, kMiniport = 0x0004D008;

// One ATA disk at number 0, opened for reading and writing as the run flow does.
struct AtaDisk {
  explicit AtaDisk(const json& fields = json::object(), std::uint32_t access = win::GENERIC_READ | win::GENERIC_WRITE)
      : sim(Make(fields)) {
    handle = sim.CreateFileW(u"\\\\.\\PhysicalDrive0", access, 0, win::OPEN_EXISTING, 0);
    sim.journal().Clear();
  }
  static trv::sim::Scenario Make(const json& fields) {
    json disk = {{"number", 0}, {"bus", 3}, {"ata", {{"capture", kCapture}}}};
    disk.merge_patch(fields);
    return trv::test::Scenario({{"drives", json::array({disk})}});
  }
  // Each control request that reached the drive: code, input size, output size and input bytes.
  std::vector<const trv::sim::JournalEntry*> Requests() { return sim.journal().Find("DeviceIoControl"); }
  std::vector<std::uint32_t> Codes() {
    std::vector<std::uint32_t> codes;
    for (const auto* e : Requests()) codes.push_back(e->code);
    return codes;
  }
  trv::sim::SimPlatform sim;
  win::Handle handle;
};

const trv::sim::DriveCapture& Capture() {
  static const trv::sim::DriveCapture c = trv::sim::LoadDriveCapture(kCapture);
  return c;
}

AtaBlock Untouched() {
  AtaBlock b;
  b.fill(0x5A);
  return b;
}

// SENDCMDINPARAMS bytes: cBufferSize, the seven registers and a zero, bDriveNumber, zeros.
std::vector<std::uint8_t> CommandRecord(std::uint32_t bufferSize, std::vector<std::uint8_t> regs, std::uint8_t driveNumber,
                                        std::size_t length) {
  std::vector<std::uint8_t> r(length, 0);
  std::memcpy(r.data(), &bufferSize, 4);  // little-endian host
  std::copy(regs.begin(), regs.end(), r.begin() + 4);
  r[12] = driveNumber;
  return r;
}

} // namespace

TEST(AtaTransport, RecordsCarryTheDriveNumberAndDriveHead) {
  for (const std::uint8_t drive : {std::uint8_t{0}, std::uint8_t{1}}) {
    const std::uint8_t head = drive ? 0xB0 : 0xA0;
    SCOPED_TRACE(drive);
    AtaDisk disk(json{{"slave", drive == 1}});
    AtaBlock block = Untouched();
    auto& p = disk.sim;
    ASSERT_TRUE(trv::device::ReadIdentify(p, disk.handle, drive, block));
    ASSERT_TRUE(trv::device::ReadSmartData(p, disk.handle, drive, block));
    ASSERT_TRUE(trv::device::SmartEnable(p, disk.handle, drive));
    ASSERT_TRUE(trv::device::SmartDisable(p, disk.handle, drive));
    const auto r = disk.Requests();
    ASSERT_EQ(disk.Codes(), (std::vector<std::uint32_t>{kVersion, kReceive, kReceive, kSend, kSend}));
    EXPECT_NE(r[0]->detail.find("in=0 out=28 "), std::string::npos);
    // IDENTIFY on the S.M.A.R.T. path: the whole 33-byte record, drive number always 0.
    EXPECT_NE(r[1]->detail.find("in=33 out=528 "), std::string::npos);
    EXPECT_EQ(r[1]->input, CommandRecord(512, {0x00, 0x01, 0x01, 0x00, 0x00, head, 0xEC}, 0, 33));
    EXPECT_NE(r[2]->detail.find("in=32 out=1039 "), std::string::npos);
    EXPECT_EQ(r[2]->input, CommandRecord(512, {0xD0, 0x01, 0x01, 0x4F, 0xC2, head, 0xB0}, drive, 32));
    EXPECT_NE(r[3]->detail.find("in=32 out=527 "), std::string::npos);
    EXPECT_EQ(r[3]->input, CommandRecord(0, {0xD8, 0x01, 0x01, 0x4F, 0xC2, head, 0xB0}, drive, 32));
    EXPECT_EQ(r[4]->input, CommandRecord(0, {0xD9, 0x01, 0x01, 0x4F, 0xC2, head, 0xB0}, drive, 32));

    // The miniport path: SRB_IO_CONTROL, then the IDENTIFY record with the drive's number.
    AtaDisk miniport(json{{"slave", drive == 1}, {"fail", {{"smartVersion", 1}}}});
    ASSERT_TRUE(trv::device::ReadIdentify(miniport.sim, miniport.handle, drive, block));
    ASSERT_EQ(miniport.Codes(), (std::vector<std::uint32_t>{kVersion, kMiniport}));
    const auto& in = miniport.Requests()[1]->input;
    EXPECT_NE(miniport.Requests()[1]->detail.find("in=572 out=572 "), std::string::npos);
    std::vector<std::uint8_t> expected = {0x1C, 0, 0, 0, 'S', 'C', 'S', 'I', 'D', 'I', 'S', 'K', 120, 0, 0, 0,
                                          0x01, 0x05, 0x1B, 0, 0, 0, 0, 0, 0x20, 0x02, 0, 0};
    const auto command = CommandRecord(512, {0x00, 0x01, 0x01, 0x00, 0x00, head, 0xEC}, drive, 572 - 28);
    expected.insert(expected.end(), command.begin(), command.end());
    EXPECT_EQ(in, expected);
  }
}

TEST(AtaTransport, BlocksArriveAsTheDriveSentThem) {
  AtaDisk disk;
  AtaBlock identify = Untouched(), smart = Untouched();
  ASSERT_TRUE(trv::device::ReadIdentify(disk.sim, disk.handle, 0, identify));
  EXPECT_EQ(identify, *Capture().identify);
  ASSERT_TRUE(trv::device::ReadSmartData(disk.sim, disk.handle, 0, smart));
  EXPECT_EQ(smart, *Capture().smartData);
}

TEST(AtaTransport, SmartDataNeedsTheWholeAnswer) {
  // 520 bytes: less than the SENDCMDOUTPARAMS record with its 512 bytes. Its
  // last 512 bytes would be the block shifted by 8 (the table read from the
  // wrong bytes): a short answer is a failed read of its own, the block stays
  // untouched, and the second path gets its try.
  AtaDisk short8(json{{"ata", {{"answerBytes", {{"smartReceive", 520}}}}}});
  AtaBlock block = Untouched();
  EXPECT_FALSE(trv::device::ReadSmartData(short8.sim, short8.handle, 0, block));
  EXPECT_EQ(block, Untouched());
  EXPECT_EQ(short8.Codes(), (std::vector<std::uint32_t>{kReceive, kSend}));
  const auto checked = trv::device::ReadSmartDataChecked(short8.sim, short8.handle, 0, block);
  EXPECT_EQ(checked.outcome, trv::device::SmartRead::Outcome::Short);
  EXPECT_EQ(checked.bytes, 520u);
  // 528 bytes, the whole answer, is the block.
  AtaDisk whole(json{{"ata", {{"answerBytes", {{"smartReceive", 528}}}}}});
  ASSERT_TRUE(trv::device::ReadSmartData(whole.sim, whole.handle, 0, block));
  EXPECT_EQ(block, *Capture().smartData);

  // 511 bytes are too few: the second try goes through SMART_SEND_DRIVE_COMMAND.
  AtaDisk vendor(json{{"ata", {{"answerBytes", {{"smartReceive", 511}}}, {"sendCarriesReads", true}}}});
  block = Untouched();
  ASSERT_TRUE(trv::device::ReadSmartData(vendor.sim, vendor.handle, 0, block));
  EXPECT_EQ(block, *Capture().smartData);
  EXPECT_EQ(vendor.Codes(), (std::vector<std::uint32_t>{kReceive, kSend}));
  EXPECT_EQ(vendor.Requests()[1]->input, vendor.Requests()[0]->input);

  // The stock driver refuses the second try: failure, and the block is not touched.
  AtaDisk stock(json{{"ata", {{"answerBytes", {{"smartReceive", 511}}}}}});
  block = Untouched();
  EXPECT_FALSE(trv::device::ReadSmartData(stock.sim, stock.handle, 0, block));
  EXPECT_EQ(block, Untouched());
}

TEST(AtaTransport, IdentifyFallsBackToTheMiniport) {
  // Without SMART_GET_VERSION no SMART_RCV_DRIVE_DATA is sent at all.
  AtaDisk noVersion(json{{"fail", {{"smartVersion", 1}}}});
  AtaBlock block = Untouched();
  ASSERT_TRUE(trv::device::ReadIdentify(noVersion.sim, noVersion.handle, 0, block));
  EXPECT_EQ(noVersion.Codes(), (std::vector<std::uint32_t>{kVersion, kMiniport}));
  EXPECT_EQ(block, *Capture().identify);

  AtaDisk noReceive(json{{"fail", {{"smartReceive", 50}}}});
  block = Untouched();
  ASSERT_TRUE(trv::device::ReadIdentify(noReceive.sim, noReceive.handle, 0, block));
  EXPECT_EQ(noReceive.Codes(), (std::vector<std::uint32_t>{kVersion, kReceive, kMiniport}));
  EXPECT_EQ(block, *Capture().identify);

  // A driver that reports less than the record and its 512 bytes has not read
  // the block: the miniport path is tried, and a short answer there too fails.
  for (int bytes : {16, 527}) {
    AtaDisk cut(json{{"ata", {{"answerBytes", {{"smartReceive", bytes}}}}}});
    block = Untouched();
    ASSERT_TRUE(trv::device::ReadIdentify(cut.sim, cut.handle, 0, block)) << bytes;
    EXPECT_EQ(cut.Codes(), (std::vector<std::uint32_t>{kVersion, kReceive, kMiniport})) << bytes;
    EXPECT_EQ(block, *Capture().identify) << bytes;
  }
  AtaDisk bothCut(json{{"ata", {{"answerBytes", {{"smartReceive", 16}, {"miniport", 28}}}}}});
  block = Untouched();
  EXPECT_FALSE(trv::device::ReadIdentify(bothCut.sim, bothCut.handle, 0, block));
  EXPECT_EQ(block, Untouched());
}

TEST(AtaTransport, MiniportAnswerMustHoldHeaderAndRecord) {
  for (int bytes : {555, 556, 572}) {
    AtaDisk disk(json{{"fail", {{"smartVersion", 1}}}, {"ata", {{"answerBytes", {{"miniport", bytes}}}}}});
    AtaBlock block = Untouched();
    const bool ok = trv::device::ReadIdentify(disk.sim, disk.handle, 0, block);
    EXPECT_EQ(ok, bytes >= 556) << bytes;
    EXPECT_EQ(block, ok ? *Capture().identify : Untouched()) << bytes;
  }
  AtaDisk failing(json{{"fail", {{"smartVersion", 1}, {"miniport", 1}}}});
  AtaBlock block = Untouched();
  EXPECT_FALSE(trv::device::ReadIdentify(failing.sim, failing.handle, 0, block));
  EXPECT_EQ(block, Untouched());
}

TEST(AtaTransport, FailedIdentifyCommandsAndRefusedSmartCommands) {
  // One failure is absorbed by the miniport path; two make the first read fail.
  AtaDisk once(json{{"ata", {{"identifyFailures", 1}}}});
  AtaBlock block = Untouched();
  EXPECT_TRUE(trv::device::ReadIdentify(once.sim, once.handle, 0, block));
  AtaDisk twice(json{{"ata", {{"identifyFailures", 2}}}});
  block = Untouched();
  EXPECT_FALSE(trv::device::ReadIdentify(twice.sim, twice.handle, 0, block));
  EXPECT_EQ(block, Untouched());
  EXPECT_TRUE(trv::device::ReadIdentify(twice.sim, twice.handle, 0, block));

  AtaDisk refusing(json{{"ata", {{"smartEnable", false}, {"smartDisable", false}}}});
  EXPECT_FALSE(trv::device::SmartEnable(refusing.sim, refusing.handle, 0));
  EXPECT_FALSE(trv::device::SmartDisable(refusing.sim, refusing.handle, 0));

  // A read-only handle and a disk without ATA pass-through get nowhere.
  AtaDisk readOnly(json::object(), win::GENERIC_READ);
  block = Untouched();
  EXPECT_FALSE(trv::device::ReadIdentify(readOnly.sim, readOnly.handle, 0, block));
  EXPECT_FALSE(trv::device::SmartEnable(readOnly.sim, readOnly.handle, 0));
  AtaDisk usb(json{{"bus", 7}, {"ata", nullptr}});
  EXPECT_FALSE(trv::device::ReadIdentify(usb.sim, usb.handle, 0, block));
  EXPECT_FALSE(trv::device::ReadSmartData(usb.sim, usb.handle, 0, block));
  EXPECT_EQ(block, Untouched());
}
