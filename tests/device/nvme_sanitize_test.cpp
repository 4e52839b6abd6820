// The Sanitize Status log as the drive lays it out, the request input as
// Windows 10 21H1 reads it, and the Windows build the purge rests on.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "device/nvme_sanitize.h"
#include "device/windows_version.h"
#include "modern_pc.h"
#include "platform/sim/sim_platform.h"

namespace {

using trv::device::SanitizeStatus;

void Put32(trv::device::NvmeLogBlock& b, std::size_t at, std::uint32_t v) {
  for (std::size_t i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

TEST(NvmeSanitize, StatusLogFieldsAtTheirOffsets) {
  trv::device::NvmeLogBlock log{};
  log.fill(0xEE);  // bytes past 31 are not the status's
  // SPROG 0x6B86 (42%), SSTAT 0x0102: in progress, Global Data Erased from the last one.
  log[0] = 0x86, log[1] = 0x6B, log[2] = 0x02, log[3] = 0x01;
  Put32(log, 4, 0x00000204);  // SCDW10: crypto erase (SANACT 4), AUSE bit 9
  const std::uint32_t times[6] = {0xFFFFFFFF, 5400, 120, 1, 0, 0xFFFFFFFE};
  for (std::size_t i = 0; i < 6; ++i) Put32(log, 8 + 4 * i, times[i]);
  const SanitizeStatus s = trv::device::ParseSanitizeStatus(log);
  EXPECT_EQ(s.sprog, 0x6B86);
  EXPECT_EQ(s.StateOf(), SanitizeStatus::State::InProgress);
  EXPECT_TRUE(s.GlobalDataErased());
  EXPECT_EQ(s.ActionRun(), trv::device::kSanactCryptoErase);
  EXPECT_EQ(s.overwriteTime, trv::device::kNoEstimate);
  EXPECT_EQ(s.blockEraseTime, 5400u);
  EXPECT_EQ(s.cryptoEraseTime, 120u);
  EXPECT_EQ(s.overwriteNoDeallocateTime, 1u);
  EXPECT_EQ(s.blockEraseNoDeallocateTime, 0u);
  EXPECT_EQ(s.cryptoEraseNoDeallocateTime, 0xFFFFFFFEu);

  // SSTAT bits 2:0 alone decide the state; 5 to 7 are none the standard defines.
  const std::pair<std::uint16_t, const char*> states[] = {
      {0x0000, "never"}, {0x0101, "succeeded"}, {0x00FB, "failed"}, {0x0004, "succeeded-no-deallocate"}, {0x0007, "other"}};
  for (const auto& [sstat, word] : states) {
    SanitizeStatus t;
    t.sstat = sstat;
    EXPECT_STREQ(trv::device::SanitizeStateWord(t.StateOf()), word) << sstat;
  }
}

TEST(NvmeSanitize, ReinitializeMediaInputBytes) {
  using trv::device::SanitizeMethod;
  // Version 16, Size 16, TimeoutInSeconds, then SanitizeMethod bits 3:0 and
  // DisallowUnrestrictedSanitizeExit bit 4, little-endian.
  EXPECT_EQ(trv::device::ReinitializeMediaInput(120, SanitizeMethod::CryptoErase, false),
            (std::array<std::uint8_t, 16>{16, 0, 0, 0, 16, 0, 0, 0, 120, 0, 0, 0, 2, 0, 0, 0}));
  EXPECT_EQ(trv::device::ReinitializeMediaInput(0x01020304, SanitizeMethod::BlockErase, true),
            (std::array<std::uint8_t, 16>{16, 0, 0, 0, 16, 0, 0, 0, 4, 3, 2, 1, 0x11, 0, 0, 0}));
  EXPECT_EQ(trv::device::ReinitializeMediaInput(0, SanitizeMethod::Default, false)[12], 0);
}

// RtlGetVersion left out, as where ntdll lacks it or the call fails.
class NoRtlPlatform : public trv::sim::SimPlatform {
 public:
  using SimPlatform::SimPlatform;
  bool RtlGetVersion(std::span<std::uint8_t>) override { return false; }
};

TEST(WindowsVersion, RtlGetVersionFirstThenGetVersionExW) {
  // Windows 10 22H2 telling a program without a manifest entry that it is Windows 8.
  const auto shimmed = [](nlohmann::json& pc) { pc["os"]["shimmedAs"] = {{"major", 6}, {"minor", 2}, {"build", 9200}}; };
  trv::sim::SimPlatform p(trv::test::ModernPc(shimmed));
  auto v = trv::device::TrueWindowsVersion(p);
  EXPECT_TRUE(v.known && v.fromRtl);
  EXPECT_EQ(std::vector<std::uint32_t>({v.major, v.minor, v.build}), std::vector<std::uint32_t>({10, 0, 19045}));

  NoRtlPlatform noRtl(trv::test::ModernPc(shimmed));  // what GetVersionExW says
  v = trv::device::TrueWindowsVersion(noRtl);
  EXPECT_TRUE(v.known);
  EXPECT_FALSE(v.fromRtl);
  EXPECT_EQ(std::vector<std::uint32_t>({v.major, v.minor, v.build}), std::vector<std::uint32_t>({6, 2, 9200}));

  // Neither answers: unknown, so nothing that depends on the build is offered.
  NoRtlPlatform none(trv::test::ModernPc([](nlohmann::json& pc) { pc["os"]["getVersionFails"] = true; }));
  EXPECT_FALSE(trv::device::TrueWindowsVersion(none).known);
}

} // namespace
