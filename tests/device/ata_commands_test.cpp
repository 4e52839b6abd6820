// The ATA Security and Sanitize commands as the driver receives them through
// IOCTL_ATA_PASS_THROUGH, byte by byte, and what the program makes of each
// layer of the answer: the request's result, the size handed back, the status.
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "device/ata_commands.h"
#include "device/ata_pass_through_records.h"
#include "device/ata_sanitize.h"
#include "device/ata_security.h"
#include "device/windows_version.h"
#include "platform/records.h"
#include "platform/sim/sim_platform.h"
#include "test_support.h"

namespace {

namespace apt = trv::device::apt;
namespace dev = trv::device;
using Bytes = std::vector<std::uint8_t>;
using Regs = std::array<std::uint8_t, 7>;

constexpr std::size_t Current(std::size_t i) { return apt::kApt.currentTaskFile + i; }
constexpr std::size_t Previous(std::size_t i) { return apt::kApt.previousTaskFile + i; }

// A drive behind the pass-through that ends each command as `answer` says (by
// default: ready, no error) and keeps every record sent. `answer` false fails
// the request with `error`.
struct ScriptedDrive : trv::sim::SimPlatform {
  ScriptedDrive() : SimPlatform(trv::test::Scenario()) {}
  std::function<bool(Bytes&, std::uint32_t&)> answer = [](Bytes& r, std::uint32_t&) {
    r[Current(6)] = 0x50;
    return true;
  };
  std::vector<Bytes> sent;
  std::uint32_t error = 0;
  bool DeviceIoControl(trv::win::Handle h, std::uint32_t code, const void* in, std::uint32_t inSize, void* out,
                       std::uint32_t outSize, std::uint32_t* returned) override {
    if (code != apt::IOCTL_ATA_PASS_THROUGH) return SimPlatform::DeviceIoControl(h, code, in, inSize, out, outSize, returned);
    const auto* b = static_cast<const std::uint8_t*>(in);
    sent.emplace_back(b, b + inSize);
    Bytes record = sent.back();
    std::uint32_t size = inSize;
    if (!answer(record, size)) return false;
    std::copy_n(record.begin(), std::min<std::size_t>(outSize, record.size()), static_cast<std::uint8_t*>(out));
    *returned = size;
    return true;
  }
  std::uint32_t GetLastError() override { return error; }
};

Regs TaskFile(const Bytes& r, std::size_t at) {
  Regs t{};
  std::copy_n(r.begin() + static_cast<std::ptrdiff_t>(at), 7, t.begin());
  return t;
}

TEST(AtaCommands, EachReachesTheDriverAsTheDrivesTakeIt) {
  const dev::AtaPassword pw = dev::PasswordFromText("pw");
  struct Case {
    const char* name;
    std::function<void(ScriptedDrive&)> send;
    std::uint16_t flags;
    std::uint32_t transfer, timeout;
    Regs current, previous;
    int word0;  // the password block's control word; -1: no block
  };
  dev::AtaBlock identify{};
  const Case cases[] = {
      {"set password", [&](ScriptedDrive& d) { dev::SecuritySetPassword(d, 1, pw); }, 0x05, 512, 15,
       {0, 1, 0, 0, 0, 0, 0xF1}, {}, 0},
      {"unlock", [&](ScriptedDrive& d) { dev::SecurityUnlock(d, 1, pw); }, 0x05, 512, 15, {0, 1, 0, 0, 0, 0, 0xF2}, {}, 0},
      {"prepare", [](ScriptedDrive& d) { dev::SecurityErasePrepare(d, 1); }, 0x01, 0, 15, {0, 0, 0, 0, 0, 0, 0xF3}, {}, -1},
      {"erase unit, enhanced", [&](ScriptedDrive& d) { dev::SecurityEraseUnit(d, 1, pw, true, 7200); }, 0x05, 512, 7200,
       {0, 1, 0, 0, 0, 0, 0xF4}, {}, 2},
      // A request waits at most 30 hours.
      {"erase unit, too long", [&](ScriptedDrive& d) { dev::SecurityEraseUnit(d, 1, pw, false, 200000); }, 0x05, 512,
       108000, {0, 1, 0, 0, 0, 0, 0xF4}, {}, 0},
      {"disable password", [&](ScriptedDrive& d) { dev::SecurityDisablePassword(d, 1, pw); }, 0x05, 512, 15,
       {0, 1, 0, 0, 0, 0, 0xF6}, {}, 0},
      {"identify", [&](ScriptedDrive& d) { dev::ReadIdentifyPassThrough(d, 1, identify); }, 0x03, 512, 10,
       {0, 1, 0, 0, 0, 0, 0xEC}, {}, -1},
      // SANITIZE DEVICE: 48-bit; the signature in LBA 31:0 (overwrite: 47:32), FAILURE MODE in COUNT bit 4.
      {"status, clear", [](ScriptedDrive& d) { dev::ReadAtaSanitizeStatus(d, 1, true); }, 0x09, 0, 60,
       {0x00, 0x01, 0, 0, 0, 0x40, 0xB4}, {}, -1},
      {"crypto scramble", [](ScriptedDrive& d) { dev::StartAtaSanitize(d, 1, dev::AtaSanitizeAction::CryptoScramble); },
       0x09, 0, 60, {0x11, 0x10, 0x70, 0x79, 0x72, 0x40, 0xB4}, {0, 0, 0x43, 0, 0, 0, 0}, -1},
      {"block erase", [](ScriptedDrive& d) { dev::StartAtaSanitize(d, 1, dev::AtaSanitizeAction::BlockErase); }, 0x09, 0,
       60, {0x12, 0x10, 0x72, 0x45, 0x6B, 0x40, 0xB4}, {0, 0, 0x42, 0, 0, 0, 0}, -1},
      {"overwrite, one pass of zeros", [](ScriptedDrive& d) { dev::StartAtaSanitize(d, 1, dev::AtaSanitizeAction::Overwrite); },
       0x09, 0, 60, {0x14, 0x11, 0, 0, 0, 0x40, 0xB4}, {0, 0, 0, 0x57, 0x4F, 0, 0}, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedDrive drive;
    c.send(drive);
    ASSERT_EQ(drive.sent.size(), 1u);
    const Bytes& r = drive.sent[0];
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
    EXPECT_EQ(trv::rec::U16(r, apt::kApt.size), c.word0);
    EXPECT_EQ(std::string(r.begin() + static_cast<std::ptrdiff_t>(apt::kApt.size) + 2,
                          r.begin() + static_cast<std::ptrdiff_t>(apt::kApt.size) + 34),
              std::string("pw") + std::string(30, '\0'));
  }
}

TEST(AtaCommands, EveryLayerOfTheAnswerIsChecked) {
  using O = dev::AtaAnswer::Outcome;
  const dev::AtaPassword pw = dev::PasswordFromText("pw");
  ScriptedDrive d;
  d.error = 50;
  d.answer = [](Bytes&, std::uint32_t&) { return false; };
  dev::AtaAnswer a = dev::SecuritySetPassword(d, 1, pw);
  EXPECT_EQ(a.outcome, O::Failed);
  EXPECT_EQ(a.error, 50u);
  // Worked, but less than the record came back; or the status is the command as sent.
  d.answer = [](Bytes&, std::uint32_t& n) { return n = 8, true; };
  EXPECT_EQ(dev::SecuritySetPassword(d, 1, pw).outcome, O::NoRegisters);
  d.answer = [](Bytes&, std::uint32_t&) { return true; };
  EXPECT_EQ(dev::SecuritySetPassword(d, 1, pw).outcome, O::NoRegisters);
  d.answer = [](Bytes& r, std::uint32_t&) { return r[Current(0)] = 0x04, r[Current(6)] = 0x51, true; };
  a = dev::SecurityEraseUnit(d, 1, pw, false, 60);
  EXPECT_TRUE(a.Aborted());
  EXPECT_EQ(a.current.features, 0x04);  // the error register: ABRT

  // IDENTIFY: the block only when all of it came and its checksum holds.
  dev::AtaBlock sent{};
  sent[2 * 128] = 0x21, sent[510] = 0xA5, sent[511] = static_cast<std::uint8_t>(0x100 - 0x21 - 0xA5);
  const auto identifyWith = [&](std::uint8_t last, std::uint32_t moved) {
    d.answer = [&sent, last, moved](Bytes& r, std::uint32_t&) {
      std::copy(sent.begin(), sent.end(), r.begin() + static_cast<std::ptrdiff_t>(apt::kApt.size));
      r.back() = last;
      trv::rec::Put32(r, apt::kDataTransferLength, moved);
      return r[Current(6)] = 0x50, true;
    };
    dev::AtaBlock got{};
    got.fill(0x5A);
    return std::pair{dev::ReadIdentifyPassThrough(d, 1, got), got};
  };
  EXPECT_EQ(identifyWith(sent[511], 512), std::pair(true, sent));
  EXPECT_FALSE(identifyWith(0x00, 512).first);  // checksum broken
  EXPECT_FALSE(identifyWith(sent[511], 256).first);
}

TEST(AtaCommands, SanitizeStatusFlagsComeFromTheHighCount) {
  using S = dev::AtaSanitizeStatus::State;
  struct Case {
    const char* name;
    std::uint8_t status, highCount, lowCount, lba0, lba1;
    bool read;
    S state;
    std::uint16_t progress;
    std::uint8_t reason;
  };
  const Case cases[] = {
      {"idle", 0x50, 0x00, 0, 0, 0, true, S::Idle, 0, 0},
      {"succeeded", 0x50, 0x80, 0, 0, 0, true, S::Succeeded, 0, 0},
      {"in progress", 0x50, 0x40, 0, 0x34, 0x80, true, S::InProgress, 0x8034, 0},
      {"frozen", 0x50, 0x20, 0, 0, 0, true, S::Frozen, 0, 0},
      // The flags in the low COUNT byte are not the flags.
      {"flags in the wrong half", 0x50, 0x00, 0x40, 0x34, 0x80, true, S::Idle, 0, 0},
      // Aborted: LBA 7:0 says why.
      {"failed", 0x51, 0, 0, 1, 0, true, S::Failed, 0, 1},
      {"aborted, frozen", 0x51, 0, 0, 3, 0, true, S::Frozen, 0, 3},
      {"aborted, unsupported", 0x51, 0, 0, 2, 0, true, S::Idle, 0, 2},
      {"no registers", 0xB4, 0x80, 0, 0, 0, false, S::Idle, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedDrive d;
    d.answer = [&c](Bytes& r, std::uint32_t&) {
      r[Current(6)] = c.status, r[Previous(1)] = c.highCount, r[Current(1)] = c.lowCount;
      r[Current(2)] = c.lba0, r[Current(3)] = c.lba1;
      return true;
    };
    dev::AtaAnswer raw;
    const auto status = dev::ReadAtaSanitizeStatus(d, 1, false, &raw);
    ASSERT_EQ(status.has_value(), c.read);
    EXPECT_EQ(raw.previous.count, c.highCount);
    if (!status) continue;
    EXPECT_EQ(status->state, c.state);
    EXPECT_EQ(status->progress, c.progress);
    EXPECT_EQ(status->reason, c.reason);
  }
  EXPECT_EQ(dev::AtaSanitizeReasonText(1), u"the sanitize was unsuccessful");
  EXPECT_EQ(dev::AtaSanitizeReasonText(9), u"no reason given");
}

TEST(AtaSecurity, PasswordsTimeoutsStatesAndTheWindowsAround) {
  const dev::AtaPassword pe = dev::WindowsPePassword();
  EXPECT_EQ(std::string(pe.begin(), pe.begin() + 31), trv::device::atacmd::kWindowsPePassword);
  EXPECT_EQ(pe[31], 0);
  EXPECT_EQ(dev::PasswordFromText(std::string(40, 'x'))[31], 'x');
  ScriptedDrive d;
  const std::string random = dev::RandomPasswordText(d);
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

  // The service pack from szCSDVersion; Windows PE from its registry key.
  for (const auto& [csd, pack] : {std::pair{"Service Pack 2", 2u}, {"Service Pack 12", 12u}, {"", 0u}, {"RC1", 0u}}) {
    trv::sim::SimPlatform sim(trv::test::Scenario({{"os", {{"major", 5}, {"minor", 1}, {"csd", csd}}}}));
    EXPECT_EQ(dev::TrueWindowsVersion(sim).servicePack, pack) << csd;
    EXPECT_FALSE(dev::IsWindowsPe(sim));
  }
  trv::sim::SimPlatform inPe(trv::test::Scenario({{"os", {{"windowsPe", true}}}}));
  EXPECT_TRUE(dev::IsWindowsPe(inPe));
}

} // namespace
