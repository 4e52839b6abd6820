// The simulated PC's NVMe firmware erase, through the seam as the program
// meets it: IOCTL_STORAGE_REINITIALIZE_MEDIA by Windows build, the sanitize
// state machine and its log (81h), the faults, the namespaces of one
// subsystem, and what the medium holds afterwards.
#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "device/nvme_sanitize.h"
#include "platform/records.h"
#include "platform/sim/sim_platform.h"
#include "platform/text.h"
#include "test_support.h"

using nlohmann::json;
namespace win = trv::win;
namespace rec = trv::rec;
using trv::device::SanitizeMethod;
using trv::device::SanitizeStatus;

namespace {

constexpr std::uint32_t kReinitialize = 0x002D9640;
constexpr std::int64_t kSectors = 4096;  // a 2 MiB disk

// An NVMe disk `number` (bus 17) offering crypto and block sanitize and crypto format.
json NvmeDrive(std::uint32_t number, const json& sanitize = json::object(), const json& nvme = json::object()) {
  json n = {{"identifyController", {{"sanicap", 3}, {"fna", 4}}}, {"identifyNamespace", {{"size", kSectors}}},
            {"sanitize", sanitize.is_null() ? json::object() : sanitize}};
  if (nvme.is_object()) n.merge_patch(nvme);
  return {{"number", number}, {"bus", 17}, {"sectors", kSectors}, {"nvme", n}};
}

json Windows(std::uint32_t major, std::uint32_t build) { return {{"major", major}, {"minor", 0}, {"build", build}, {"csd", ""}}; }

struct Pc {
  explicit Pc(json drives, json os = Windows(10, 22621))
      : sim(trv::test::Scenario({{"os", os}, {"drives", drives}, {"volumes", json::array()}})) {}

  win::Handle Open(std::uint32_t number, std::uint32_t access = win::GENERIC_READ | win::GENERIC_WRITE) {
    return sim.CreateFileW(u"\\\\.\\PhysicalDrive" + trv::Utf8ToUtf16(std::to_string(number)), access, 3,
                           win::OPEN_EXISTING, 0);
  }
  // The request on disk `number`: 0 when it succeeds, else the error it leaves.
  std::uint32_t Reinitialize(std::uint32_t number, std::vector<std::uint8_t> input,
                             std::uint32_t access = win::GENERIC_READ | win::GENERIC_WRITE) {
    const win::Handle h = Open(number, access);
    std::uint32_t returned = 0;
    const bool ok = sim.DeviceIoControl(h, kReinitialize, input.empty() ? nullptr : input.data(),
                                        static_cast<std::uint32_t>(input.size()), nullptr, 0, &returned);
    const std::uint32_t error = ok ? 0 : sim.GetLastError();
    sim.CloseHandle(h);
    return error;
  }
  std::optional<SanitizeStatus> Status(std::uint32_t number) {
    const win::Handle h = Open(number);
    SanitizeStatus s;
    const bool ok = trv::device::ReadNvmeSanitizeStatus(sim, h, s);
    sim.CloseHandle(h);
    return ok ? std::optional(s) : std::nullopt;
  }
  // Sector `lba` of disk `number`; nothing, with `error` set, when the read fails.
  std::optional<std::vector<std::uint8_t>> Sector(std::uint32_t number, std::int64_t lba) {
    const win::Handle h = Open(number, win::GENERIC_READ);
    std::vector<std::uint8_t> data(512);
    std::uint32_t read = 0;
    const bool ok = sim.SetFilePointerEx(h, lba * 512, nullptr, win::FILE_BEGIN) &&
                    sim.ReadFile(h, data.data(), 512, &read);
    error = ok ? 0 : sim.GetLastError();
    sim.CloseHandle(h);
    return ok ? std::optional(data) : std::nullopt;
  }
  void Seconds(std::uint32_t s) { sim.Sleep(s * 1000); }
  // The last NVMe command the drive ran, as the journal names it; "" for none.
  std::string LastCommand() {
    const auto found = sim.journal().Find("NvmeCommand");
    return found.empty() ? "" : found.back()->detail;
  }

  trv::sim::SimPlatform sim;
  std::uint32_t error = 0;
};

std::vector<std::uint8_t> Input(SanitizeMethod method, std::uint32_t timeout = 0) {
  const auto a = trv::device::ReinitializeMediaInput(timeout, method, false);
  return {a.begin(), a.end()};
}

std::vector<std::uint8_t> Fill(std::uint8_t byte) { return std::vector<std::uint8_t>(512, byte); }

std::string ScenarioError(const json& drives) {
  try {
    trv::test::Scenario({{"drives", drives}});
  } catch (const std::exception& e) {
    return e.what();
  }
  return "no error";
}

} // namespace

TEST(SimSanitize, WhatEachWindowsBuildPassesOn) {
  const std::string format = "PhysicalDrive1 Format NVM SES=2 (crypto erase) nsid=1";
  const std::string crypto = "PhysicalDrive1 Sanitize SANACT=4 (crypto erase)";
  const std::string block = "PhysicalDrive1 Sanitize SANACT=2 (block erase)";
  std::vector<std::uint8_t> shortInput = Input(SanitizeMethod::CryptoErase);
  shortInput.resize(12);
  std::vector<std::uint8_t> version8 = Input(SanitizeMethod::CryptoErase);
  version8[0] = 8;
  std::vector<std::uint8_t> overwrite = Input(SanitizeMethod::CryptoErase);
  overwrite[12] = 3;
  json usb = NvmeDrive(1);
  usb["bus"] = 7;
  struct Case {
    const char* name;
    json os;
    json drive;
    std::vector<std::uint8_t> input;
    std::uint32_t error;
    std::string command;  // what the drive ran, "" for nothing
    std::uint32_t access = win::GENERIC_READ | win::GENERIC_WRITE;
  };
  const Case cases[] = {
      {"Windows 7", Windows(6, 7601), NvmeDrive(1), {}, win::ERROR_INVALID_FUNCTION, ""},
      {"Windows 10 1511", Windows(10, 10586), NvmeDrive(1), {}, win::ERROR_INVALID_FUNCTION, ""},
      {"behind USB", Windows(10, 22621), usb, {}, win::ERROR_INVALID_FUNCTION, ""},
      {"a SATA disk", Windows(10, 22621), {{"number", 1}}, {}, win::ERROR_INVALID_FUNCTION, ""},
      {"read-only handle", Windows(10, 17763), NvmeDrive(1), {}, win::ERROR_ACCESS_DENIED, "", win::GENERIC_READ},
      {"1607 formats", Windows(10, 14393), NvmeDrive(1), {}, 0, format},
      {"1809 ignores the input", Windows(10, 17763), NvmeDrive(1), Input(SanitizeMethod::BlockErase), 0, format},
      {"1809 without FNA crypto", Windows(10, 17763), NvmeDrive(1, {}, {{"identifyController", {{"fna", 0}}}}), {},
       win::ERROR_NOT_SUPPORTED, ""},
      {"1809 answered with a sanitize", Windows(10, 17763), NvmeDrive(1, {{"noInputRuns", "sanitize-crypto"}}), {}, 0,
       crypto},
      {"22H2 without input formats", Windows(10, 22621), NvmeDrive(1), {}, 0, format},
      {"21H1 default is crypto", Windows(10, 19043), NvmeDrive(1), Input(SanitizeMethod::Default), 0, crypto},
      {"22H2 crypto", Windows(10, 22621), NvmeDrive(1), Input(SanitizeMethod::CryptoErase), 0, crypto},
      {"22H2 block", Windows(10, 22621), NvmeDrive(1), Input(SanitizeMethod::BlockErase), 0, block},
      {"block not offered", Windows(10, 22621), NvmeDrive(1, {}, {{"identifyController", {{"sanicap", 1}}}}),
       Input(SanitizeMethod::BlockErase), win::ERROR_NOT_SUPPORTED, ""},
      {"crypto not offered", Windows(10, 22621), NvmeDrive(1, {}, {{"identifyController", {{"sanicap", 2}}}}),
       Input(SanitizeMethod::CryptoErase), win::ERROR_NOT_SUPPORTED, ""},
      {"short input", Windows(10, 22621), NvmeDrive(1), shortInput, win::ERROR_INVALID_PARAMETER, ""},
      {"wrong version", Windows(10, 22621), NvmeDrive(1), version8, win::ERROR_INVALID_PARAMETER, ""},
      {"unknown method", Windows(10, 22621), NvmeDrive(1), overwrite, win::ERROR_INVALID_PARAMETER, ""},
      {"drive refuses", Windows(10, 22621), NvmeDrive(1, {{"fault", "not-supported"}}), Input(SanitizeMethod::Default),
       win::ERROR_NOT_SUPPORTED, ""},
  };
  for (const Case& c : cases) {
    Pc pc(json::array({c.drive}), c.os);
    EXPECT_EQ(pc.Reinitialize(1, c.input, c.access), c.error) << c.name;
    EXPECT_EQ(pc.LastCommand(), c.command) << c.name;
    // Nothing changes on a refusal; a crypto erase leaves new content.
    EXPECT_EQ(pc.sim.Media(1)->changed.Empty(), c.command.empty()) << c.name;
  }
}

TEST(SimSanitize, TheJournalShowsTheRequestAndItsInput) {
  Pc pc(json::array({NvmeDrive(1)}));
  pc.Reinitialize(1, Input(SanitizeMethod::CryptoErase, 120));
  pc.Reinitialize(1, {});
  std::vector<std::string> sent;
  for (const auto* e : pc.sim.journal().Find("DeviceIoControl"))
    if (e->code == kReinitialize) sent.push_back(e->detail.substr(e->detail.find("IOCTL_")));
  EXPECT_EQ(sent, (std::vector<std::string>{
                      "IOCTL_STORAGE_REINITIALIZE_MEDIA version=16 size=16 timeout=120 method=crypto disallowExit=0 -> ok returned=0",
                      "IOCTL_STORAGE_REINITIALIZE_MEDIA no input -> ok returned=0"}));
}

TEST(SimSanitize, ASanitizeRunsOnThePcsClockAndBlocksOtherRequests) {
  Pc pc(json::array({NvmeDrive(1, {{"durationSeconds", 100}, {"requestWaits", false},
                                   {"estimates", {{"crypto", 100}, {"block", 300}}}})}));
  const auto before = pc.Sector(1, 7);
  ASSERT_TRUE(before);
  ASSERT_EQ(pc.Reinitialize(1, Input(SanitizeMethod::CryptoErase)), 0u);
  pc.Seconds(25);
  auto s = pc.Status(1);
  ASSERT_TRUE(s);
  EXPECT_EQ(s->StateOf(), SanitizeStatus::State::InProgress);
  EXPECT_EQ(s->sprog, 16384);  // a quarter of 65,536
  EXPECT_FALSE(s->GlobalDataErased());
  EXPECT_EQ(s->cryptoEraseTime, 100u);
  EXPECT_EQ(s->blockEraseTime, 300u);
  EXPECT_EQ(s->overwriteTime, trv::device::kNoEstimate);
  // Sanitize In Progress: reads, other NVMe queries and a second sanitize.
  EXPECT_FALSE(pc.Sector(1, 7));
  EXPECT_EQ(pc.error, win::ERROR_NOT_READY);
  trv::device::NvmeIdentifyBlock id{};
  const win::Handle h = pc.Open(1);
  EXPECT_FALSE(trv::device::ReadNvmeIdentifyController(pc.sim, h, id));
  EXPECT_EQ(pc.sim.GetLastError(), win::ERROR_NOT_READY);
  pc.sim.CloseHandle(h);
  EXPECT_EQ(pc.Reinitialize(1, Input(SanitizeMethod::BlockErase)), win::ERROR_NOT_READY);

  pc.Seconds(75);
  s = pc.Status(1);
  EXPECT_EQ(s->sstat, 0x101);  // succeeded, Global Data Erased
  EXPECT_EQ(s->sprog, 0xFFFF);
  EXPECT_EQ(s->ActionRun(), trv::device::kSanactCryptoErase);
  const auto after = pc.Sector(1, 7);
  ASSERT_TRUE(after);
  EXPECT_NE(*after, *before);
  EXPECT_NE(*after, Fill(0));
  EXPECT_EQ(pc.Sector(1, 7), after);  // the new content stays what it is
}

TEST(SimSanitize, AWaitingRequestTakesTheSanitizesTime) {
  Pc pc(json::array({NvmeDrive(1, {{"durationSeconds", 90}})}));
  const std::int64_t start = pc.sim.clock().NowUs();
  ASSERT_EQ(pc.Reinitialize(1, Input(SanitizeMethod::BlockErase)), 0u);
  EXPECT_EQ(pc.sim.clock().NowUs() - start, 90'000'000);
  EXPECT_EQ(pc.Status(1)->sstat, 0x101);
  EXPECT_EQ(pc.Status(1)->ActionRun(), trv::device::kSanactBlockErase);
  EXPECT_EQ(pc.Sector(1, kSectors - 1), Fill(0));
}

TEST(SimSanitize, Faults) {
  struct Case {
    const char* name;
    json sanitize;
    std::uint32_t timeout;
    std::uint32_t error;           // of the waiting request
    std::int64_t waitedSeconds;
    std::optional<std::uint16_t> sstat;  // none: the log cannot be read
    std::uint16_t sprog;
    bool erased;
  };
  const Case cases[] = {
      {"ends failed", {{"fault", "ends-failed"}}, 0, win::ERROR_IO_DEVICE, 60, 3, 0xFFFF, false},
      {"lies", {{"fault", "lies"}}, 0, 0, 60, 0x101, 0xFFFF, false},
      {"stuck, the request's timeout", {{"fault", "stuck"}, {"stuckAt", 0.25}}, 45, win::ERROR_SEM_TIMEOUT, 45, 2,
       16384, false},
      {"stuck, no timeout", {{"fault", "stuck"}, {"stuckAt", 0.25}}, 0, win::ERROR_SEM_TIMEOUT, 120, 2, 16384, false},
      {"status log unreadable", {{"statusLog", false}}, 0, 0, 60, std::nullopt, 0, true},
  };
  for (const Case& c : cases) {
    Pc pc(json::array({NvmeDrive(1, c.sanitize)}));
    const std::int64_t start = pc.sim.clock().NowUs();
    EXPECT_EQ(pc.Reinitialize(1, Input(SanitizeMethod::BlockErase, c.timeout)), c.error) << c.name;
    EXPECT_EQ(pc.sim.clock().NowUs() - start, c.waitedSeconds * 1'000'000) << c.name;
    const auto s = pc.Status(1);
    EXPECT_EQ(s.has_value(), c.sstat.has_value()) << c.name;
    if (s && c.sstat) {
      EXPECT_EQ(s->sstat, *c.sstat) << c.name;
      EXPECT_EQ(s->sprog, c.sprog) << c.name;
      EXPECT_EQ(s->ActionRun(), trv::device::kSanactBlockErase) << c.name;
    }
    if (c.sstat == 2) continue;  // still sanitizing: the disk answers nothing else
    EXPECT_EQ(pc.Sector(1, 0) == Fill(0), c.erased) << c.name;
  }
}

TEST(SimSanitize, PowerLostMidSanitizeTakesTheWholeSubsystem) {
  const json power = {{"fault", "power-loss"}, {"stuckAt", 0.5}, {"durationSeconds", 100}};
  Pc pc(json::array({NvmeDrive(1, power, {{"subsystem", "ctrl0"}}),
                     NvmeDrive(2, power, {{"subsystem", "ctrl0"}, {"namespaceId", 2}})}));
  const win::Handle kept = pc.Open(2);
  EXPECT_EQ(pc.Reinitialize(1, Input(SanitizeMethod::CryptoErase)), win::ERROR_DEVICE_NOT_CONNECTED);
  std::uint32_t returned = 0;
  std::vector<std::uint8_t> out(64);
  EXPECT_FALSE(pc.sim.DeviceIoControl(kept, 0x002D1400, out.data(), 12, out.data(), 64, &returned));
  EXPECT_EQ(pc.sim.GetLastError(), win::ERROR_DEVICE_NOT_CONNECTED);
  for (std::uint32_t n : {1u, 2u}) {
    EXPECT_EQ(pc.Open(n), win::kInvalidHandle);
    EXPECT_EQ(pc.sim.GetLastError(), win::ERROR_FILE_NOT_FOUND);
  }
  // The next start: the scenario gives the sanitize in progress where it was,
  // and the drive finishes it.
  Pc next(json::array({NvmeDrive(1, {{"state", "in-progress"}, {"progress", 0.5}, {"lastAction", "block"},
                                     {"durationSeconds", 100}})}));
  EXPECT_EQ(next.Status(1)->sprog, 32768);
  EXPECT_FALSE(next.Sector(1, 0));
  next.Seconds(50);
  EXPECT_EQ(next.Status(1)->sstat, 0x101);
  EXPECT_EQ(next.Sector(1, 0), Fill(0));
}

TEST(SimSanitize, NamespacesOfOneSubsystemShareTheSanitize) {
  const json slow = {{"durationSeconds", 10}, {"requestWaits", false}};
  Pc pc(json::array({NvmeDrive(1, slow, {{"subsystem", "ctrl0"}}),
                     NvmeDrive(2, slow, {{"subsystem", "ctrl0"}, {"namespaceId", 2}}), NvmeDrive(3, slow)}));
  ASSERT_EQ(pc.Reinitialize(1, Input(SanitizeMethod::BlockErase)), 0u);
  EXPECT_EQ(pc.Status(2)->StateOf(), SanitizeStatus::State::InProgress);
  EXPECT_FALSE(pc.Sector(2, 0));
  EXPECT_EQ(pc.Status(3)->StateOf(), SanitizeStatus::State::Never);
  EXPECT_EQ(pc.Reinitialize(2, Input(SanitizeMethod::CryptoErase)), win::ERROR_NOT_READY);
  EXPECT_EQ(pc.Reinitialize(3, Input(SanitizeMethod::CryptoErase)), 0u);
  pc.Seconds(10);
  for (std::uint32_t n : {1u, 2u}) EXPECT_EQ(pc.Sector(n, 9), Fill(0)) << n;
  EXPECT_NE(pc.Sector(3, 9), Fill(0));
}

TEST(SimSanitize, WhatTheMediumHoldsAfterwards) {
  struct Case {
    const char* name;
    json nvme;
    std::vector<std::uint8_t> input;
    std::optional<std::uint8_t> every;  // every byte of both disks; none: new pseudo-random content
    bool otherNamespaceToo;
  };
  const json zeros = {{"identifyNamespace", {{"dlfeat", 1}}}}, ones = {{"identifyNamespace", {{"dlfeat", 2}}}};
  const json allNamespaces = {{"identifyController", {{"fna", 5}}}};
  const Case cases[] = {
      {"block erase", {}, Input(SanitizeMethod::BlockErase), 0, true},
      {"block erase, deallocated reads FFh", ones, Input(SanitizeMethod::BlockErase), 0xFF, true},
      {"crypto erase", zeros, Input(SanitizeMethod::CryptoErase), std::nullopt, true},
      {"crypto format of one namespace", {}, {}, std::nullopt, false},
      {"crypto format, deallocated reads zeros", zeros, {}, 0, false},
      {"crypto format of every namespace", allNamespaces, {}, std::nullopt, true},
  };
  for (const Case& c : cases) {
    json nvme = c.nvme;
    nvme["subsystem"] = "ctrl0";
    json other = nvme;
    other["namespaceId"] = 2;
    Pc pc(json::array({NvmeDrive(1, {}, nvme), NvmeDrive(2, {}, other)}));
    const auto old = pc.Sector(1, 100);
    ASSERT_EQ(pc.Reinitialize(1, c.input), 0u) << c.name;
    for (std::int64_t lba : {std::int64_t{0}, std::int64_t{100}, kSectors - 1}) {
      const auto now = pc.Sector(1, lba);
      ASSERT_TRUE(now) << c.name;
      if (c.every) EXPECT_EQ(*now, Fill(*c.every)) << c.name << " " << lba;
      else EXPECT_TRUE(*now != Fill(0) && *now != Fill(now->at(0))) << c.name << " " << lba;
    }
    if (!c.every) {
      EXPECT_NE(pc.Sector(1, 100), old) << c.name;
    }
    EXPECT_EQ(!pc.sim.Media(2)->changed.Empty(), c.otherNamespaceToo) << c.name;
  }
  // Each crypto erase brings content of its own.
  Pc pc(json::array({NvmeDrive(1)}));
  pc.Reinitialize(1, Input(SanitizeMethod::CryptoErase));
  const auto first = pc.Sector(1, 5);
  pc.Reinitialize(1, Input(SanitizeMethod::CryptoErase));
  EXPECT_NE(pc.Sector(1, 5), first);
}

TEST(SimSanitize, BadSanitizeFieldsAreClearErrors) {
  const std::string at = "test scenario: drives[0]: nvme: sanitize: ";
  const std::pair<json, std::string> cases[] = {
      {{{"state", "done"}}, at + "field 'state': expected \"never\", \"succeeded\", \"in-progress\" or \"failed\""},
      {{{"state", "in-progress"}}, at + "field 'lastAction': state \"in-progress\" needs the sanitize that runs: "
                                        "\"block\", \"overwrite\" or \"crypto\""},
      {{{"progress", 0.5}}, at + "field 'progress': only with state \"in-progress\""},
      {{{"stuckAt", 1}}, at + "field 'stuckAt': expected a fraction from 0 up to (not including) 1"},
      {{{"fault", "flaky"}},
       at + "field 'fault': expected \"none\", \"not-supported\", \"ends-failed\", \"lies\", \"stuck\" or \"power-loss\""},
      {{{"estimates", {{"sanitize", 5}}}}, at + "estimates: field 'sanitize': unknown field"},
      {{{"requestWait", true}}, at + "field 'requestWait': unknown field"},
  };
  for (const auto& [sanitize, error] : cases) EXPECT_EQ(ScenarioError(json::array({NvmeDrive(0, sanitize)})), error);
  EXPECT_EQ(ScenarioError(json::array({NvmeDrive(0, {}, {{"subsystem", "c"}}),
                                       NvmeDrive(1, {{"durationSeconds", 5}}, {{"subsystem", "c"}})})),
            "test scenario: drives[1]: nvme: field 'sanitize': differs from that of drives[0], of the same subsystem \"c\"");
}

TEST(SimSanitize, GetVersionExWMayBeShimmedWhereRtlGetVersionIsNot) {
  json os = Windows(10, 22621);
  os["shimmedAs"] = {{"major", 6}, {"minor", 2}, {"build", 9200}};
  Pc pc(json::array(), os);
  std::vector<std::uint8_t> info(rec::kOsVersionInfoSize, 0);
  rec::Put32(info, 0, rec::kOsVersionInfoSize);
  ASSERT_TRUE(pc.sim.GetVersionExW(info));
  EXPECT_EQ(rec::U32(info, 4) * 100000 + rec::U32(info, 12), 609200u);
  ASSERT_TRUE(pc.sim.RtlGetVersion(info));
  EXPECT_EQ(rec::U32(info, 4) * 100000 + rec::U32(info, 12), 1022621u);
}
