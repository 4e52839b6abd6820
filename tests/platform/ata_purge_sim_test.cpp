// The simulated PC's ATA Security and Sanitize feature sets, driven with raw
// IOCTL_ATA_PASS_THROUGH records as the program sends them: the state machines,
// each Windows' driver rules, ERASE UNIT on the PC's clock and its faults, a
// power cycle, the live IDENTIFY words and the journal.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "device/ata_commands.h"
#include "device/ata_pass_through_records.h"
#include "platform/records.h"
#include "platform/sim/sim_platform.h"
#include "test_support.h"

using nlohmann::json;
namespace win = trv::win;
namespace rec = trv::rec;
namespace apt = trv::device::apt;
namespace atacmd = trv::device::atacmd;

namespace {

constexpr std::int64_t kSectors = 20480;  // a 10 MiB disk
constexpr std::uint8_t kSetPassword = 0xF1, kUnlock = 0xF2, kPrepare = 0xF3, kEraseUnit = 0xF4, kFreeze = 0xF5,
                       kDisable = 0xF6, kSanitize = 0xB4;

json Os(std::uint32_t major, std::uint32_t minor, const char* csd = "", json more = json::object()) {
  json os = {{"major", major}, {"minor", minor}, {"build", 2600}, {"csd", csd}, {"windowsPe", false}};
  os.merge_patch(more);
  return os;
}
const json kXpSp2 = Os(5, 1, "Service Pack 2");

// Disk 1, SATA, IDENTIFY with its integrity signature; `ata` adds security, sanitize, ...
json Drive(json ata, int bus = 11) {
  ata["identify"] = trv::test::IdentifyHex({{83, 0x4000}, {255, 0x00A5}});
  return {{"number", 1}, {"bus", bus}, {"sectors", kSectors}, {"ata", ata}};
}

struct Answer {
  std::uint32_t error = 0;  // the request's; 0: it worked
  std::uint8_t previous[8]{}, current[8]{};
  std::vector<std::uint8_t> data;
  bool Aborted() const { return error == 0 && (current[6] & 1); }
  bool Done() const { return error == 0 && current[6] == 0x50; }
  std::uint8_t Reason() const { return current[2]; }
  std::uint16_t Count() const { return static_cast<std::uint16_t>(current[1] | previous[1] << 8); }
  std::uint16_t Progress() const { return static_cast<std::uint16_t>(current[2] | current[3] << 8); }
};

struct Pc {
  explicit Pc(json drive, json os = kXpSp2)
      : sim(trv::test::Scenario({{"os", os}, {"drives", json::array({drive})}, {"volumes", json::array()}})) {
    Open();
  }
  void Open() { h = sim.CreateFileW(u"\\\\.\\PhysicalDrive1", win::GENERIC_READ | win::GENERIC_WRITE, 3, win::OPEN_EXISTING, 0); }
  // One command; `block`: PIO data-out, `in`: PIO data-in of 512 bytes.
  Answer Send(std::uint8_t command, std::uint16_t feature = 0, std::uint16_t count = 0, std::uint64_t lba = 0,
              const std::vector<std::uint8_t>& block = {}, bool in = false, std::uint32_t timeout = 10) {
    const bool data = in || !block.empty();
    std::vector<std::uint8_t> b(apt::kApt.size + (data ? 512 : 0), 0);
    const auto flags = static_cast<std::uint16_t>(apt::ATA_FLAGS_DRDY_REQUIRED | (in ? apt::ATA_FLAGS_DATA_IN : 0) |
                                                  (block.empty() ? 0 : apt::ATA_FLAGS_DATA_OUT) |
                                                  (command == kSanitize ? apt::ATA_FLAGS_48BIT_COMMAND : 0));
    rec::Put16(b, apt::kLength, static_cast<std::uint16_t>(apt::kApt.size));
    rec::Put16(b, apt::kAtaFlags, flags);
    rec::Put32(b, apt::kDataTransferLength, data ? 512 : 0);
    rec::Put32(b, apt::kTimeOutValue, timeout);
    rec::PutLE(b, apt::kApt.dataBufferOffset, apt::kApt.dataBufferOffsetSize, data ? apt::kApt.size : 0);
    const std::uint8_t cur[] = {static_cast<std::uint8_t>(feature), static_cast<std::uint8_t>(count),
                                static_cast<std::uint8_t>(lba), static_cast<std::uint8_t>(lba >> 8),
                                static_cast<std::uint8_t>(lba >> 16), 0x40, command};
    const std::uint8_t prev[] = {static_cast<std::uint8_t>(feature >> 8), static_cast<std::uint8_t>(count >> 8),
                                 static_cast<std::uint8_t>(lba >> 24), static_cast<std::uint8_t>(lba >> 32),
                                 static_cast<std::uint8_t>(lba >> 40)};
    std::memcpy(b.data() + apt::kApt.currentTaskFile, cur, sizeof cur);
    std::memcpy(b.data() + apt::kApt.previousTaskFile, prev, sizeof prev);
    std::copy(block.begin(), block.end(), b.begin() + static_cast<std::ptrdiff_t>(apt::kApt.size));
    std::uint32_t returned = 0;
    Answer a;
    if (!sim.DeviceIoControl(h, apt::IOCTL_ATA_PASS_THROUGH, b.data(), static_cast<std::uint32_t>(b.size()), b.data(),
                             static_cast<std::uint32_t>(b.size()), &returned)) {
      a.error = sim.GetLastError();
      return a;
    }
    std::memcpy(a.previous, b.data() + apt::kApt.previousTaskFile, 8);
    std::memcpy(a.current, b.data() + apt::kApt.currentTaskFile, 8);
    if (returned == b.size() && in) a.data.assign(b.begin() + static_cast<std::ptrdiff_t>(apt::kApt.size), b.end());
    return a;
  }
  Answer Security(std::uint8_t command, const std::string& password, std::uint16_t control = 0, std::uint32_t timeout = 10) {
    std::vector<std::uint8_t> block(512, 0);
    rec::Put16(block, 0, control);
    std::memcpy(block.data() + 2, password.data(), std::min<std::size_t>(password.size(), 32));
    return Send(command, 0, 0, 0, block, false, timeout);
  }
  Answer Sanitize(std::uint16_t feature, std::uint64_t lba = 0, std::uint16_t count = atacmd::kSanitizeFailureMode) {
    return Send(kSanitize, feature, count, lba);
  }
  std::uint16_t Word(std::size_t n) {
    const Answer a = Send(atacmd::kIdentifyDevice, 0, 0, 0, {}, true);
    return a.data.size() == 512 ? rec::U16(a.data, 2 * n) : 0xDEAD;
  }
  // The first byte of sector `lba`; nothing, with `error`, when the read fails.
  std::optional<std::uint8_t> Byte(std::int64_t lba) {
    std::vector<std::uint8_t> s(512);
    std::uint32_t read = 0;
    if (sim.SetFilePointerEx(h, lba * 512, nullptr, win::FILE_BEGIN) && sim.ReadFile(h, s.data(), 512, &read)) return s[0];
    error = sim.GetLastError();
    return std::nullopt;
  }
  std::vector<std::string> Lines(const std::string& call) {
    std::vector<std::string> out;
    for (const auto* e : sim.journal().Find(call)) out.push_back(e->detail);
    return out;
  }
  bool Journaled(const std::string& call, const std::string& text) {
    const auto lines = Lines(call);
    return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return l.find(text) != std::string::npos; });
  }
  trv::sim::SimPlatform sim;
  win::Handle h = win::kInvalidHandle;
  std::uint32_t error = 0;
};

std::string ScenarioError(const json& drive, const json& os = kXpSp2) {
  try {
    trv::test::Scenario({{"os", os}, {"drives", json::array({drive})}});
    return "no error";
  } catch (const std::exception& e) {
    return e.what();
  }
}

} // namespace

TEST(AtaSecuritySim, PasswordsPrepareFreezeAttemptsAndTheLiveIdentify) {
  Pc pc(Drive({{"security", {{"masterPassword", "MASTER"}, {"normalEraseMinutes", 1000}}}}));
  EXPECT_EQ(pc.Word(128), 0x0021);  // supported, enhanced erase
  EXPECT_EQ(pc.Word(82) & 2, 2);
  EXPECT_EQ(pc.Word(89), 0x8000 | 500);  // in units of 2 minutes, the extended format
  EXPECT_TRUE(pc.Security(kEraseUnit, "x").Aborted());  // nothing to erase with
  EXPECT_TRUE(pc.Security(kSetPassword, "secret").Done());
  EXPECT_EQ(pc.Word(128), 0x0023);
  EXPECT_EQ(pc.Word(85) & 2, 2);
  // ERASE UNIT counts only directly after PREPARE.
  EXPECT_TRUE(pc.Security(kEraseUnit, "secret").Aborted());
  EXPECT_TRUE(pc.Send(kPrepare).Done());
  pc.Word(0);
  EXPECT_TRUE(pc.Security(kEraseUnit, "secret").Aborted());
  EXPECT_TRUE(pc.Send(kFreeze).Done());
  EXPECT_EQ(pc.Word(128), 0x002B);
  EXPECT_TRUE(pc.Security(kDisable, "secret").Aborted());
  EXPECT_TRUE(pc.Security(kSetPassword, "other").Aborted());

  // Power on with a password: locked, media refused, five misses expire the count.
  pc.sim.PowerCycle();
  EXPECT_EQ(pc.Word(128), 0x0027);
  EXPECT_FALSE(pc.Byte(0));
  EXPECT_EQ(pc.error, win::ERROR_IO_DEVICE);
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(pc.Security(kUnlock, "wrong" + std::to_string(i)).Aborted());
  EXPECT_TRUE(pc.Security(kUnlock, "secret").Done());
  EXPECT_EQ(pc.Byte(0), 1);
  pc.sim.PowerCycle();
  for (int i = 0; i < 5; ++i) pc.Security(kUnlock, "miss" + std::to_string(i));
  EXPECT_EQ(pc.Word(128), 0x0037);
  EXPECT_TRUE(pc.Security(kUnlock, "secret").Aborted());
  pc.sim.PowerCycle();
  EXPECT_EQ(pc.Word(128), 0x0027);
  EXPECT_TRUE(pc.Security(kUnlock, "MASTER", atacmd::kPasswordMaster).Done());  // level high: the master unlocks
  EXPECT_TRUE(pc.Security(kDisable, "secret").Done());
  EXPECT_EQ(pc.Word(128), 0x0021);

  // The SMART_RCV_DRIVE_DATA path the scan uses sends the same live block, its checksum kept.
  std::vector<std::uint8_t> in(32, 0), out(528, 0);
  rec::Put32(in, 0, 512);
  in[9] = 0xA0;
  in[10] = 0xEC;
  std::uint32_t returned = 0;
  ASSERT_TRUE(pc.sim.DeviceIoControl(pc.h, 0x0007C088, in.data(), 32, out.data(), 528, &returned));
  EXPECT_EQ(rec::U16(out, 16 + 2 * 128), 0x0021);
  std::uint8_t sum = 0;
  for (std::size_t i = 16; i < 528; ++i) sum = static_cast<std::uint8_t>(sum + out[i]);
  EXPECT_EQ(out[16 + 510], 0xA5);
  EXPECT_EQ(sum, 0);

  EXPECT_TRUE(pc.Journaled("DeviceIoControl", "command=0xF1 feature=0x00 SECURITY SET PASSWORD password=secret"));
  EXPECT_TRUE(pc.Journaled("DeviceIoControl", "SECURITY UNLOCK password=MASTER identifier=master"));
  EXPECT_TRUE(pc.Journaled("AtaSecurity", "PhysicalDrive1 SEC5 -> SEC6 (freeze lock)"));
  EXPECT_TRUE(pc.Journaled("AtaSecurity", "PhysicalDrive1 SEC4 -> SEC4 (unlock, count expired)"));
  EXPECT_EQ(pc.Lines("PowerCycle").size(), 3u);
}

TEST(AtaSecuritySim, EraseUnitTakesItsTimeAndLeavesWhatItShould) {
  struct Case {
    const char* name;
    json security;
    std::uint16_t control;
    bool zeros, changed;
  };
  const Case cases[] = {
      {"normal", {{"eraseSeconds", 120}}, 0, true, true},
      {"enhanced, random pattern", {{"eraseSeconds", 120}, {"enhancedPattern", "random"}}, atacmd::kPasswordEnhanced, false, true},
      {"lying drive", {{"eraseSeconds", 120}, {"fault", "lies"}}, 0, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Pc pc(Drive({{"security", c.security}}));
    ASSERT_TRUE(pc.Security(kSetPassword, "pw").Done());
    ASSERT_TRUE(pc.Send(kPrepare).Done());
    const std::int64_t before = pc.sim.clock().NowUs();
    EXPECT_TRUE(pc.Security(kEraseUnit, "pw", c.control, 3600).Done());
    EXPECT_GE(pc.sim.clock().NowUs() - before, 120'000'000);
    EXPECT_EQ(pc.Word(128) & 0x6, 0);  // no password, not locked
    const auto first = pc.Byte(kSectors - 1);
    ASSERT_TRUE(first);
    EXPECT_EQ(*first == 0, c.zeros);
    EXPECT_EQ(*first != trv::sim::PatternByte((kSectors - 1) * 512), c.changed);
  }
  // A drive locked at power-on: PREPARE and ERASE UNIT with the master password.
  Pc locked(Drive({{"security", {{"state", "locked"}, {"userPassword", "u"}, {"masterPassword", "m"}}}}));
  EXPECT_TRUE(locked.Send(kPrepare).Done());
  EXPECT_TRUE(locked.Security(kEraseUnit, "m", atacmd::kPasswordMaster, 3600).Done());
  EXPECT_EQ(locked.Byte(5), 0);
  EXPECT_TRUE(locked.Journaled("AtaSecurity", "PhysicalDrive1 SEC4 -> SEC1 (erase unit)"));
}

TEST(AtaSecuritySim, EraseUnitCutOffByItsTimeoutOrByAPowerLoss) {
  Pc timeout(Drive({{"security", {{"eraseSeconds", 600}}}}));
  timeout.Security(kSetPassword, "pw");
  timeout.Send(kPrepare);
  const std::int64_t before = timeout.sim.clock().NowUs();
  EXPECT_EQ(timeout.Security(kEraseUnit, "pw", 0, 60).error, win::ERROR_SEM_TIMEOUT);
  EXPECT_LT(timeout.sim.clock().NowUs() - before, 61'000'000);
  EXPECT_EQ(timeout.Word(128) & 0x6, 0x6);  // the reset left it locked
  EXPECT_FALSE(timeout.Byte(0));
  EXPECT_TRUE(timeout.Security(kUnlock, "pw").Done());
  EXPECT_EQ(timeout.Byte(kSectors / 10 - 1), 0);  // a tenth erased
  EXPECT_EQ(timeout.Byte(kSectors / 10 + 1), trv::sim::PatternByte((kSectors / 10 + 1) * 512));

  Pc power(Drive({{"security", {{"eraseSeconds", 600}, {"fault", "power-loss"}, {"cutAt", 0.25}}}}));
  power.Security(kSetPassword, "pw");
  power.Send(kPrepare);
  std::int64_t counter = 0;
  EXPECT_EQ(power.Security(kEraseUnit, "pw", 0, 3600).error, win::ERROR_DEVICE_NOT_CONNECTED);
  EXPECT_EQ(power.Send(atacmd::kIdentifyDevice, 0, 0, 0, {}, true).error, win::ERROR_DEVICE_NOT_CONNECTED);
  EXPECT_FALSE(power.Byte(0));
  EXPECT_EQ(power.error, win::ERROR_DEVICE_NOT_CONNECTED);
  power.sim.PowerCycle();
  power.sim.QueryPerformanceCounter(&counter);
  EXPECT_LT(counter, 3579545);  // a new boot: less than a second counted
  EXPECT_EQ(power.Word(128) & 0x6, 0x6);
  EXPECT_TRUE(power.Security(kUnlock, "pw").Done());
  EXPECT_EQ(power.Byte(kSectors / 4 - 1), 0);
  EXPECT_NE(power.Byte(kSectors / 4 + 1), 0);
  EXPECT_EQ(power.Lines("AtaPowerLost").size(), 1u);
}

TEST(AtaSanitizeSim, OperationsStatusFreezeFailureAndPowerCycle) {
  Pc pc(Drive({{"sanitize", {{"durationSeconds", 60}}}}));
  EXPECT_EQ(pc.Word(59) & 0xF000, 0xF000);
  EXPECT_EQ(pc.Sanitize(atacmd::kCryptoScrambleExt, atacmd::kBlockEraseSignature).Reason(), atacmd::kReasonUnsupported);
  EXPECT_TRUE(pc.Sanitize(atacmd::kBlockEraseExt, atacmd::kBlockEraseSignature).Done());
  EXPECT_FALSE(pc.Byte(0));
  EXPECT_EQ(pc.error, win::ERROR_NOT_READY);
  pc.sim.Sleep(30'000);
  Answer status = pc.Sanitize(atacmd::kSanitizeStatusExt, 0, 0);
  EXPECT_EQ(status.Count(), atacmd::kSanitizeInProgress);
  EXPECT_EQ(status.previous[1], 0x40);  // COUNT 15:8 in the previous task file
  EXPECT_NEAR(status.Progress(), 32768, 100);
  pc.sim.PowerCycle();  // SD2 goes on
  pc.sim.Sleep(31'000);
  EXPECT_EQ(pc.Sanitize(atacmd::kSanitizeStatusExt, 0, 0).Count(), atacmd::kSanitizeCompletedWithoutError);
  EXPECT_EQ(pc.Byte(100), 0);
  EXPECT_TRUE(pc.Journaled("AtaSanitize", "PhysicalDrive1 SD2 -> SD4"));

  // OVERWRITE's signature lies in LBA 47:32; crypto scramble leaves new content.
  EXPECT_TRUE(pc.Sanitize(atacmd::kCryptoScrambleExt, atacmd::kCryptoScrambleSignature).Done());
  pc.sim.Sleep(61'000);
  EXPECT_NE(pc.Byte(100), 0);
  EXPECT_TRUE(pc.Sanitize(atacmd::kOverwriteExt, atacmd::kOverwriteSignature << 32).Done());

  // Freeze and antifreeze last until the next power-on.
  Pc frozen(Drive({{"sanitize", json::object()}}));
  EXPECT_TRUE(frozen.Sanitize(atacmd::kSanitizeFreezeLockExt, atacmd::kFreezeLockSignature).Done());
  EXPECT_EQ(frozen.Sanitize(atacmd::kBlockEraseExt, atacmd::kBlockEraseSignature).Reason(), atacmd::kReasonFrozen);
  EXPECT_EQ(frozen.Sanitize(atacmd::kSanitizeStatusExt, 0, 0).Count(), atacmd::kSanitizeFrozen);
  frozen.sim.PowerCycle();
  EXPECT_TRUE(frozen.Sanitize(atacmd::kSanitizeAntifreezeLockExt, atacmd::kAntifreezeSignature).Done());
  EXPECT_EQ(frozen.Sanitize(atacmd::kSanitizeFreezeLockExt, atacmd::kFreezeLockSignature).Reason(), atacmd::kReasonAntifreeze);

  // A failed sanitize is left with CLEAR only when it ran with FAILURE MODE = 1.
  for (const std::uint16_t mode : {std::uint16_t{atacmd::kSanitizeFailureMode}, std::uint16_t{0}}) {
    Pc failing(Drive({{"sanitize", {{"fault", "fails"}, {"durationSeconds", 10}}}}));
    failing.Sanitize(atacmd::kBlockEraseExt, atacmd::kBlockEraseSignature, mode);
    failing.sim.Sleep(11'000);
    failing.sim.PowerCycle();  // SD3 stays
    const Answer failed = failing.Sanitize(atacmd::kSanitizeStatusExt, 0, 0);
    EXPECT_TRUE(failed.Aborted());
    EXPECT_EQ(failed.current[0], 0x04);
    EXPECT_EQ(failed.Reason(), atacmd::kReasonUnsuccessful);
    EXPECT_EQ(failing.Sanitize(atacmd::kSanitizeStatusExt, 0, atacmd::kSanitizeClearFailure).Done(), mode != 0);
    EXPECT_EQ(failing.Byte(0), 1);  // nothing erased
  }
  // Stuck: progress stops; in progress at power-on: reads wait for it.
  Pc stuck(Drive({{"sanitize", {{"fault", "stuck"}, {"stuckAt", 0.5}, {"durationSeconds", 10}}}}));
  stuck.Sanitize(atacmd::kBlockEraseExt, atacmd::kBlockEraseSignature);
  stuck.sim.Sleep(3'600'000);
  EXPECT_EQ(stuck.Sanitize(atacmd::kSanitizeStatusExt, 0, 0).Progress(), 32768);
  Pc running(Drive({{"sanitize", {{"state", "in-progress"}, {"progress", 0.9}, {"action", "crypto"}, {"durationSeconds", 100}}}}));
  EXPECT_FALSE(running.Byte(0));
  running.sim.Sleep(11'000);
  EXPECT_NE(running.Byte(0), trv::sim::PatternByte(0));
}

TEST(AtaPurgeSim, WhatEachWindowsDriverLetsThrough) {
  const std::string pe = atacmd::kWindowsPePassword;
  const json pe10 = Os(10, 0, "", {{"windowsPe", true}});
  struct Case {
    const char* name;
    json os;
    int bus;
    std::uint32_t setPassword, setPePassword, prepare, sanitize;  // 0: reaches the drive
    bool frozen;  // by the driver at start
  };
  const Case cases[] = {
      {"XP SP1", Os(5, 1, "Service Pack 1"), 11, 1, 1, 1, 1, false},
      {"Server 2003", Os(5, 2), 11, 1, 1, 1, 1, false},
      {"Server 2003 SP1", Os(5, 2, "Service Pack 1"), 11, 0, 0, 0, 0, false},
      {"XP SP2", kXpSp2, 11, 0, 0, 0, 0, false},
      {"Vista", Os(6, 0, "Service Pack 2"), 11, 0, 0, 0, 0, false},
      {"7", Os(6, 1, "Service Pack 1"), 11, 50, 50, 50, 50, true},
      {"7 passing sanitize", Os(6, 1, "", {{"win7Sanitize", "passes"}, {"ataFilterError", 87}}), 11, 87, 87, 87, 0, true},
      {"10", Os(10, 0), 11, 50, 50, 50, 50, true},
      {"PE 10", pe10, 11, 50, 0, 0, 0, false},
      {"PE 10 in IDE mode", pe10, 3, 50, 50, 50, 0, false},
      {"PE 7", Os(6, 1, "", {{"windowsPe", true}}), 11, 50, 50, 0, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Pc pc(Drive({{"security", json::object()}, {"sanitize", json::object()}}, c.bus), c.os);
    EXPECT_EQ((pc.Word(128) & 8) != 0, c.frozen);
    EXPECT_EQ(pc.Send(kPrepare).error, c.prepare);
    EXPECT_EQ(pc.Security(kSetPassword, "random").error, c.setPassword);
    EXPECT_EQ(pc.Security(kSetPassword, pe).error, c.setPePassword);
    EXPECT_EQ(pc.Sanitize(atacmd::kSanitizeStatusExt, 0, 0).error, c.sanitize);
    EXPECT_EQ(pc.Send(0xF8).error, 0u);  // READ NATIVE MAX ADDRESS answers as before
  }
  // PE 10, the password right then wrong: the driver refuses the wrong one before the drive sees it.
  Pc pc(Drive({{"security", json::object()}}), pe10);
  ASSERT_TRUE(pc.Security(kSetPassword, pe).Done());
  pc.Send(kPrepare);
  EXPECT_EQ(pc.Security(kEraseUnit, "AutoATAWindowsString1234567890X", 0, 3600).error, 50u);
  EXPECT_TRUE(pc.Security(kEraseUnit, pe, 0, 3600).Done());  // the refused one never reached the drive
  // A driver that refuses ERASE UNIT after SET PASSWORD went through.
  Pc refusing(Drive({{"security", json::object()}, {"driverRefuses", json::array({"0xF4"})}}));
  ASSERT_TRUE(refusing.Security(kSetPassword, "pw").Done());
  refusing.Send(kPrepare);
  EXPECT_EQ(refusing.Security(kEraseUnit, "pw", 0, 3600).error, 50u);
  EXPECT_EQ(refusing.Word(128) & 2, 2);  // the password stays
}

TEST(AtaPurgeSim, BadScenarioValuesNameTheirField) {
  const std::pair<json, std::string> cases[] = {
      {Drive({{"security", {{"state", "locked"}}}}), "'userPassword'"},
      {Drive({{"security", {{"attemptsLeft", 9}}}}), "'attemptsLeft'"},
      {Drive({{"security", {{"fault", "melts"}}}}), "'fault': expected \"none\", \"lies\" or \"power-loss\""},
      {Drive({{"security", {{"userPassword", std::string(33, 'x')}, {"state", "unlocked"}}}}), "at most 32 bytes"},
      {Drive({{"security", {{"cutAt", 1.5}}}}), "'cutAt'"},
      {Drive({{"sanitize", {{"progress", 0.5}}}}), "'progress': only with state \"in-progress\""},
      {Drive({{"sanitize", {{"crypto", false}, {"block", false}, {"overwrite", false}}}}), "'crypto'"},
      {Drive({{"driverRefuses", json::array({"F4"})}}), "'driverRefuses'"},
      {{{"number", 1}, {"ata", {{"security", json::object()}}}}, "'security': needs an IDENTIFY block"},
  };
  for (const auto& [drive, text] : cases) EXPECT_NE(ScenarioError(drive).find(text), std::string::npos) << ScenarioError(drive);
  EXPECT_NE(ScenarioError(Drive({}), Os(6, 1, "", {{"ataFilterError", 5}})).find("'ataFilterError'"), std::string::npos);
  EXPECT_NE(ScenarioError(Drive({}), Os(6, 1, "", {{"win7Sanitize", "maybe"}})).find("'win7Sanitize'"), std::string::npos);
}
