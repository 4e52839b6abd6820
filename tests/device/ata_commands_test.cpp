// The ATA Security and Sanitize commands against a simulated drive: the records
// as the driver gets them, byte by byte; what the program makes of each layer of
// the answer (the request's result, the registers handed back, the status); the
// drive's state machines on the PC's clock; and the security erase's timeout.
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "device/ata_commands.h"
#include "device/ata_pass_through_records.h"
#include "device/ata_sanitize.h"
#include "device/ata_security.h"
#include "device/purge_scenarios.h"
#include "device/windows_version.h"
#include "platform/records.h"

namespace {

namespace apt = trv::device::apt;
namespace dev = trv::device;
using trv::test::AtaPurgeDisk;
using trv::test::AtaPurgePc;
using trv::test::kVista;
using O = dev::AtaAnswer::Outcome;
using S = dev::AtaSanitizeStatus::State;
using Regs = std::array<std::uint8_t, 7>;

Regs TaskFile(const std::vector<std::uint8_t>& r, std::size_t at) {
  Regs t{};
  std::copy_n(r.begin() + static_cast<std::ptrdiff_t>(at), 7, t.begin());
  return t;
}

TEST(AtaCommands, EachReachesTheDriverAsTheDrivesTakeIt) {
  const dev::AtaPassword pw = dev::PasswordFromText("pw");
  dev::AtaBlock identify{};
  struct Case {
    const char* name;
    std::function<void(AtaPurgeDisk&)> send;
    std::uint16_t flags;
    std::uint32_t transfer, timeout;
    Regs current, previous;
    int word0;  // the password block's control word; -1: no block
  };
  const Case cases[] = {
      {"set password", [&](AtaPurgeDisk& d) { dev::SecuritySetPassword(d.sim, d.h, pw); }, 0x05, 512, 15,
       {0, 1, 0, 0, 0, 0, 0xF1}, {}, 0},
      {"unlock", [&](AtaPurgeDisk& d) { dev::SecurityUnlock(d.sim, d.h, pw); }, 0x05, 512, 15, {0, 1, 0, 0, 0, 0, 0xF2}, {}, 0},
      {"prepare", [](AtaPurgeDisk& d) { dev::SecurityErasePrepare(d.sim, d.h); }, 0x01, 0, 15, {0, 0, 0, 0, 0, 0, 0xF3}, {}, -1},
      {"erase unit, enhanced", [&](AtaPurgeDisk& d) { dev::SecurityEraseUnit(d.sim, d.h, pw, true, 7200); }, 0x05, 512,
       7200, {0, 1, 0, 0, 0, 0, 0xF4}, {}, 2},
      // A request waits at most 30 hours.
      {"erase unit, too long", [&](AtaPurgeDisk& d) { dev::SecurityEraseUnit(d.sim, d.h, pw, false, 200000); }, 0x05, 512,
       108000, {0, 1, 0, 0, 0, 0, 0xF4}, {}, 0},
      {"disable password", [&](AtaPurgeDisk& d) { dev::SecurityDisablePassword(d.sim, d.h, pw); }, 0x05, 512, 15,
       {0, 1, 0, 0, 0, 0, 0xF6}, {}, 0},
      {"identify", [&](AtaPurgeDisk& d) { dev::ReadIdentifyPassThrough(d.sim, d.h, identify); }, 0x03, 512, 10,
       {0, 1, 0, 0, 0, 0, 0xEC}, {}, -1},
      // SANITIZE DEVICE, 48-bit: the signature in LBA 31:0 (overwrite: 47:32), FAILURE MODE in COUNT bit 4.
      {"status, clear", [](AtaPurgeDisk& d) { dev::ReadAtaSanitizeStatus(d.sim, d.h, true); }, 0x09, 0, 60,
       {0x00, 0x01, 0, 0, 0, 0x40, 0xB4}, {}, -1},
      {"crypto scramble", [](AtaPurgeDisk& d) { dev::StartAtaSanitize(d.sim, d.h, dev::AtaSanitizeAction::CryptoScramble); },
       0x09, 0, 60, {0x11, 0x10, 0x70, 0x79, 0x72, 0x40, 0xB4}, {0, 0, 0x43, 0, 0, 0, 0}, -1},
      {"block erase", [](AtaPurgeDisk& d) { dev::StartAtaSanitize(d.sim, d.h, dev::AtaSanitizeAction::BlockErase); }, 0x09,
       0, 60, {0x12, 0x10, 0x72, 0x45, 0x6B, 0x40, 0xB4}, {0, 0, 0x42, 0, 0, 0, 0}, -1},
      {"overwrite, one pass of zeros",
       [](AtaPurgeDisk& d) { dev::StartAtaSanitize(d.sim, d.h, dev::AtaSanitizeAction::Overwrite); }, 0x09, 0, 60,
       {0x14, 0x11, 0, 0, 0, 0x40, 0xB4}, {0, 0, 0, 0x57, 0x4F, 0, 0}, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    AtaPurgeDisk disk(AtaPurgePc(kVista));
    c.send(disk);
    const auto sent = disk.Sent();
    ASSERT_EQ(sent.size(), 1u);
    const auto& r = sent[0];
    ASSERT_EQ(r.size(), apt::kApt.size + c.transfer);
    EXPECT_EQ(trv::rec::U16(r, apt::kLength), apt::kApt.size);
    EXPECT_EQ(trv::rec::U16(r, apt::kAtaFlags), c.flags);
    EXPECT_EQ(trv::rec::U32(r, apt::kDataTransferLength), c.transfer);
    EXPECT_EQ(trv::rec::U32(r, apt::kTimeOutValue), c.timeout);
    EXPECT_EQ(trv::rec::GetLE(r, apt::kApt.dataBufferOffset, apt::kApt.dataBufferOffsetSize),
              c.transfer ? apt::kApt.size : 0u);
    EXPECT_EQ(TaskFile(r, apt::kApt.currentTaskFile), c.current);
    EXPECT_EQ(TaskFile(r, apt::kApt.previousTaskFile), c.previous);
    if (c.word0 < 0) continue;
    // The block right after the record: control word, then the password as given, zero-padded.
    const auto block = r.begin() + static_cast<std::ptrdiff_t>(apt::kApt.size);
    EXPECT_EQ(trv::rec::U16(r, apt::kApt.size), c.word0);
    EXPECT_EQ(std::string(block + 2, block + 34), std::string("pw") + std::string(30, '\0'));
  }
}

TEST(AtaCommands, EachLayerOfTheAnswerAndTheDrivesStates) {
  const dev::AtaPassword pw = dev::PasswordFromText("0123456789abcdef0123456789abcdef");
  auto now = [](AtaPurgeDisk& d) {
    dev::AtaBlock b{};
    EXPECT_TRUE(dev::ReadIdentifyPassThrough(d.sim, d.h, b));
    return dev::AtaEraseFeatures(b);
  };
  // Vista passes everything: SET PASSWORD, a wrong UNLOCK aborted (ABRT), PREPARE
  // and ERASE UNIT; then IDENTIFY shows the password gone.
  AtaPurgeDisk disk(AtaPurgePc(kVista));
  EXPECT_EQ(dev::SecuritySetPassword(disk.sim, disk.h, pw).outcome, O::Registers);
  EXPECT_TRUE(now(disk).securityEnabled);
  const auto wrong = dev::SecurityUnlock(disk.sim, disk.h, dev::PasswordFromText("wrong"));
  EXPECT_TRUE(wrong.Aborted());
  EXPECT_EQ(wrong.current.features, 0x04);
  EXPECT_FALSE(dev::SecurityErasePrepare(disk.sim, disk.h).Aborted());
  const auto erased = dev::SecurityEraseUnit(disk.sim, disk.h, pw, true, 3840);
  EXPECT_EQ(erased.outcome, O::Registers);
  EXPECT_FALSE(erased.Aborted());
  EXPECT_EQ(dev::SecurityStateOf(now(disk)), dev::SecurityState::Disabled);

  // A sanitize in progress on the PC's clock (its progress in LBA 15:0, its flags
  // in COUNT 15:8), then done; one that fails is cleared with CLEAR, as FAILURE MODE allows.
  EXPECT_FALSE(dev::StartAtaSanitize(disk.sim, disk.h, dev::AtaSanitizeAction::Overwrite).Aborted());
  disk.sim.Sleep(30'000);
  const auto half = dev::ReadAtaSanitizeStatus(disk.sim, disk.h, false);
  EXPECT_EQ(half->state, S::InProgress);
  EXPECT_NEAR(half->progress, 0x8000, 0x800);
  disk.sim.Sleep(31'000);
  EXPECT_EQ(dev::ReadAtaSanitizeStatus(disk.sim, disk.h, false)->state, S::Succeeded);
  AtaPurgeDisk failing(AtaPurgePc(kVista, {{"sanitize", {{"fault", "fails"}}}}));
  EXPECT_FALSE(dev::StartAtaSanitize(failing.sim, failing.h, dev::AtaSanitizeAction::CryptoScramble).Aborted());
  failing.sim.Sleep(61'000);
  const auto failed = dev::ReadAtaSanitizeStatus(failing.sim, failing.h, false);
  EXPECT_EQ(failed->state, S::Failed);
  EXPECT_EQ(dev::AtaSanitizeReasonText(failed->reason), u"the sanitize was unsuccessful");
  EXPECT_EQ(dev::ReadAtaSanitizeStatus(failing.sim, failing.h, true)->state, S::Idle);

  // Windows 10 fails a security command in the driver; a driver that hands the
  // task file back as sent gives no registers, whatever it says.
  AtaPurgeDisk blocked(AtaPurgePc(trv::test::kWindows10));
  const auto refused = dev::SecuritySetPassword(blocked.sim, blocked.h, pw);
  EXPECT_EQ(refused.outcome, O::Failed);
  EXPECT_EQ(refused.error, 50u);
  AtaPurgeDisk silent(AtaPurgePc(kVista, {{"nativeMaxAnswer", "noRegisters"}}));
  EXPECT_EQ(dev::SecuritySetPassword(silent.sim, silent.h, pw).outcome, O::NoRegisters);
  EXPECT_FALSE(dev::ReadAtaSanitizeStatus(silent.sim, silent.h, false));
}

TEST(AtaSecurity, PasswordsTimeoutStatesAndServicePack) {
  const dev::AtaPassword pe = dev::WindowsPePassword();
  EXPECT_EQ(std::string(pe.begin(), pe.end()), std::string(dev::atacmd::kWindowsPePassword) + '\0');
  AtaPurgeDisk disk(AtaPurgePc(kVista));
  const std::string random = dev::RandomPasswordText(disk.sim);
  EXPECT_EQ(random.size(), 32u);
  EXPECT_EQ(random.find_first_not_of("0123456789ABCDEF"), std::string::npos);

  // max(2 x estimate + 60 min, size / 30 MiB/s + 30 min), at most 108,000 s; none past that.
  const std::int64_t tb = 1'000'000'000'000;
  for (const auto& [minutes, bytes, timeout] : {std::tuple{0u, std::int64_t{0}, 1800}, {2u, 0, 3840}, {0u, tb, 33589},
                                                {1000u, 0, 108000}, {1800u, 0, 108000}, {1801u, 0, -1}}) {
    const auto got = dev::SecurityEraseTimeout({minutes > 0, false, minutes}, bytes);
    EXPECT_EQ(got ? static_cast<int>(*got) : -1, timeout) << minutes << " min, " << bytes << " bytes";
  }
  // Word 128: supported, enabled, locked, frozen.
  for (const auto& [word, state] : {std::pair{0x0000, "not-supported"}, {0x0021, "disabled"}, {0x0009, "frozen"},
                                    {0x0007, "locked"}, {0x0003, "unlocked"}, {0x000B, "unlocked-frozen"}}) {
    dev::AtaBlock b{};
    trv::rec::Put16(b, 2 * 128, static_cast<std::uint16_t>(word));
    EXPECT_EQ(dev::SecurityStateWord(dev::SecurityStateOf(dev::AtaEraseFeatures(b))), state) << word;
  }
  for (const auto& [csd, pack] : {std::pair{"Service Pack 2", 2u}, {"Service Pack 12", 12u}, {"", 0u}, {"RC1", 0u}}) {
    trv::sim::SimPlatform sim(trv::test::Scenario({{"os", {{"major", 5}, {"minor", 1}, {"csd", csd}}}}));
    EXPECT_EQ(dev::TrueWindowsVersion(sim).servicePack, pack) << csd;
  }
}

} // namespace
