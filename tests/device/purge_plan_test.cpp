// Which firmware purge a disk gets, by Windows build, bus, capabilities and
// Sanitize Status log, and the words people read about it.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "format/purge_plan.h"
#include "platform/text.h"

namespace {

using trv::format::PlanPurge;
using trv::format::PurgeChoice;
using trv::format::PurgeFacts;
using trv::format::PurgeMethod;
using State = trv::device::SanitizeStatus::State;

// An NVMe data disk on Windows 11 (22621) that offers everything: Sanitize
// crypto and block (SANICAP 3), Format NVM with crypto erase (FNA bit 2), one
// namespace, never sanitized, no estimates in its log.
PurgeFacts Capable() {
  PurgeFacts f;
  f.deviceNumber = 1;
  f.busType = 17;
  f.windows = {true, 10, 0, 22621, true};
  trv::device::EraseFeatures e;
  e.nvme = e.formatNvm = true;
  e.fna = 0x4;
  e.cryptoEraseOnFormat = true;
  e.sanicap = 0x3;
  e.sanitizeCrypto = e.sanitizeBlock = true;
  f.features = e;
  f.namespaceCount = 1;
  f.status = trv::device::SanitizeStatus{};
  return f;
}

void Build(PurgeFacts& f, std::uint32_t build) { f.windows.build = build; }
void NoSanitize(PurgeFacts& f) { f.features->sanitizeCrypto = f.features->sanitizeBlock = false, f.features->sanicap = 0; }
void NoFormatCrypto(PurgeFacts& f) { f.features->cryptoEraseOnFormat = false, f.features->fna = 0; }
void OnlySanicap(PurgeFacts& f, bool crypto, bool block) {
  NoFormatCrypto(f);
  f.features->sanitizeCrypto = crypto, f.features->sanitizeBlock = block;
}

struct Case {
  const char* name;
  std::function<void(PurgeFacts&)> change;
  PurgeChoice choice;
  PurgeMethod method;      // None: refused with `code` and `text`
  std::string code;
  std::u16string text;
};

const char16_t kNotOffered[] = u"the disk offers no sanitize or crypto format";

const std::vector<Case>& Cases() {
  static const std::vector<Case> cases = {
      // Who may be purged at all, in the order the rules ask.
      {"sata", [](PurgeFacts& f) { f.busType = 11; }, PurgeChoice::Best, PurgeMethod::None, "purge-not-nvme",
       u"only NVMe disks can be purged by this version"},
      {"sata on XP", [](PurgeFacts& f) { f.busType = 3, f.windows = {true, 5, 1, 2600, false}; }, PurgeChoice::Best,
       PurgeMethod::None, "purge-not-nvme", u"only NVMe disks can be purged by this version"},
      {"usb", [](PurgeFacts& f) { f.busType = 7; }, PurgeChoice::Best, PurgeMethod::None, "purge-usb",
       u"connected through USB"},
      {"xp", [](PurgeFacts& f) { f.windows = {true, 5, 1, 2600, false}; }, PurgeChoice::Best, PurgeMethod::None,
       "purge-windows-too-old", u"needs Windows 10 1607 or later"},
      {"10586", [](PurgeFacts& f) { Build(f, 10586); }, PurgeChoice::Best, PurgeMethod::None, "purge-windows-too-old",
       u"needs Windows 10 1607 or later"},
      {"version unknown", [](PurgeFacts& f) { f.windows = {}; }, PurgeChoice::Best, PurgeMethod::None,
       "purge-windows-too-old", u"needs Windows 10 1607 or later"},
      {"system disk", [](PurgeFacts& f) { f.systemDisk = true; }, PurgeChoice::Best, PurgeMethod::None,
       "purge-system-disk", u"the system disk"},
      {"system disk before capabilities", [](PurgeFacts& f) { f.systemDisk = true, f.features.reset(); },
       PurgeChoice::Best, PurgeMethod::None, "purge-system-disk", u"the system disk"},
      {"capabilities unread", [](PurgeFacts& f) { f.features.reset(); }, PurgeChoice::Best, PurgeMethod::None,
       "purge-capabilities-unread", u"the disk's capabilities could not be read"},
      {"in progress", [](PurgeFacts& f) { f.status->sstat = 2; }, PurgeChoice::Best, PurgeMethod::None,
       "purge-sanitize-in-progress", u"a sanitize is already in progress on this disk"},
      {"failed before may purge again", [](PurgeFacts& f) { f.status->sstat = 3; }, PurgeChoice::Best,
       PurgeMethod::NvmeSanitizeCrypto, "", u""},
      {"log unreadable", [](PurgeFacts& f) { f.status.reset(); }, PurgeChoice::Best, PurgeMethod::NvmeSanitizeCrypto,
       "", u""},

      // 1607 to 20H2: the request carries no input and runs Format NVM crypto.
      {"14393", [](PurgeFacts& f) { Build(f, 14393); }, PurgeChoice::Best, PurgeMethod::NvmeFormatCrypto, "", u""},
      {"17763 sanicap crypto only", [](PurgeFacts& f) { Build(f, 17763), OnlySanicap(f, true, false); },
       PurgeChoice::Best, PurgeMethod::NvmeFormatCrypto, "", u""},
      {"17763 block only", [](PurgeFacts& f) { Build(f, 17763), OnlySanicap(f, false, true); }, PurgeChoice::Best,
       PurgeMethod::None, "purge-not-offered", kNotOffered},
      {"19042 crypto insisted", [](PurgeFacts& f) { Build(f, 19042); }, PurgeChoice::Crypto,
       PurgeMethod::NvmeFormatCrypto, "", u""},
      {"19042 block insisted", [](PurgeFacts& f) { Build(f, 19042); }, PurgeChoice::Block, PurgeMethod::None,
       "purge-block-needs-21h1", u"block erase needs Windows 10 21H1 or later"},

      // 21H1 and later: Sanitize with its input, crypto before block before the format.
      {"19043", [](PurgeFacts& f) { Build(f, 19043); }, PurgeChoice::Best, PurgeMethod::NvmeSanitizeCrypto, "", u""},
      {"block only", [](PurgeFacts& f) { OnlySanicap(f, false, true); }, PurgeChoice::Best,
       PurgeMethod::NvmeSanitizeBlock, "", u""},
      {"format crypto only", NoSanitize, PurgeChoice::Best, PurgeMethod::NvmeFormatCrypto, "", u""},
      {"nothing offered", [](PurgeFacts& f) { NoSanitize(f), NoFormatCrypto(f); }, PurgeChoice::Best,
       PurgeMethod::None, "purge-not-offered", kNotOffered},
      {"crypto insisted", [](PurgeFacts&) {}, PurgeChoice::Crypto, PurgeMethod::NvmeSanitizeCrypto, "", u""},
      {"crypto insisted, format only", NoSanitize, PurgeChoice::Crypto, PurgeMethod::NvmeFormatCrypto, "", u""},
      {"crypto insisted, block only", [](PurgeFacts& f) { OnlySanicap(f, false, true); }, PurgeChoice::Crypto,
       PurgeMethod::None, "purge-crypto-not-offered", u"the disk offers no crypto erase"},
      {"block insisted", [](PurgeFacts&) {}, PurgeChoice::Block, PurgeMethod::NvmeSanitizeBlock, "", u""},
      {"block insisted, crypto only", [](PurgeFacts& f) { OnlySanicap(f, true, false); }, PurgeChoice::Block,
       PurgeMethod::None, "purge-block-not-offered", u"the disk offers no block erase"},
      // The decoded bits, not the raw fields, decide: FNA bit 2 without SANICAP.
      {"fna bit 2 alone on 19043", [](PurgeFacts& f) { Build(f, 19043), NoSanitize(f); }, PurgeChoice::Block,
       PurgeMethod::None, "purge-block-not-offered", u"the disk offers no block erase"},
  };
  return cases;
}

TEST(PurgePlan, EachRuleInItsOrder) {
  for (const Case& c : Cases()) {
    SCOPED_TRACE(c.name);
    PurgeFacts facts = Capable();
    c.change(facts);
    const auto plan = PlanPurge(facts, c.choice);
    EXPECT_EQ(plan.method, c.method);
    EXPECT_EQ(plan.Runs(), c.method != PurgeMethod::None);
    EXPECT_EQ(plan.refusal.code, c.code);
    EXPECT_EQ(trv::Utf16ToUtf8(plan.refusal.text), trv::Utf16ToUtf8(c.text));
    EXPECT_EQ(plan.windowsBuild, facts.windows.build);
    // Only a sanitize carries the 21H1 input, with its method.
    const bool sanitize = c.method == PurgeMethod::NvmeSanitizeCrypto || c.method == PurgeMethod::NvmeSanitizeBlock;
    EXPECT_EQ(plan.sanitizeInput, sanitize);
    if (sanitize) {
      EXPECT_EQ(plan.sanitizeMethod, c.method == PurgeMethod::NvmeSanitizeCrypto
                                         ? trv::device::SanitizeMethod::CryptoErase
                                         : trv::device::SanitizeMethod::BlockErase);
    }
  }
}

TEST(PurgePlan, ScopeAndEstimateFromFnaNnAndTheLog) {
  PurgeFacts f = Capable();
  f.namespaceCount = 8;
  f.status->cryptoEraseTime = 120;
  f.status->blockEraseTime = 5400;
  // A sanitize reaches every namespace whatever FNA says; its timeout is the drive's estimate.
  auto plan = PlanPurge(f, PurgeChoice::Crypto);
  EXPECT_TRUE(plan.allNamespaces);
  EXPECT_EQ(plan.namespaceCount, 8u);
  EXPECT_EQ(plan.timeoutSeconds, 120u);
  EXPECT_EQ(plan.estimateSeconds, 120u);
  EXPECT_EQ(trv::format::PurgeScopeText(plan), u"every namespace of the controller (8 namespaces)");
  EXPECT_EQ(trv::format::PurgeEstimateText(plan), u"about 2 minutes (the drive's estimate)");
  plan = PlanPurge(f, PurgeChoice::Block);
  EXPECT_EQ(plan.timeoutSeconds, 5400u);
  EXPECT_EQ(trv::format::PurgeEstimateText(plan), u"about 90 minutes (the drive's estimate)");

  // FFFFFFFFh: no estimate, the driver's own timeout.
  f.status->cryptoEraseTime = trv::device::kNoEstimate;
  plan = PlanPurge(f, PurgeChoice::Crypto);
  EXPECT_EQ(plan.timeoutSeconds, 0u);
  EXPECT_FALSE(plan.estimateSeconds);
  EXPECT_EQ(trv::format::PurgeEstimateText(plan), u"the drive gives no estimate");

  // The format: every namespace when FNA bit 0 or 1 says so; no estimate, even with the log's.
  f.status->cryptoEraseTime = 30;
  Build(f, 17763);
  for (const auto& [fna, all] : {std::pair{0x4, false}, {0x5, true}, {0x6, true}, {0x7, true}}) {
    f.features->fna = static_cast<std::uint8_t>(fna);
    plan = PlanPurge(f, PurgeChoice::Best);
    EXPECT_EQ(plan.allNamespaces, all) << fna;
    EXPECT_FALSE(plan.estimateSeconds);
    EXPECT_EQ(plan.timeoutSeconds, 0u);
  }
  f.namespaceCount = 1;
  EXPECT_EQ(trv::format::PurgeScopeText(PlanPurge(f, PurgeChoice::Best)), u"every namespace of the controller (1 namespace)");
  f.features->fna = 0x4;
  EXPECT_EQ(trv::format::PurgeScopeText(PlanPurge(f, PurgeChoice::Best)), u"this namespace only");
}

TEST(PurgePlan, ZeroFillRefusedWhileSanitizeRunsOrAfterItFailed) {
  PurgeFacts f = Capable();
  EXPECT_FALSE(trv::format::ZeroFillRefusal(f));
  f.status->sstat = 0x102;  // in progress, Global Data Erased from an earlier one
  ASSERT_TRUE(trv::format::ZeroFillRefusal(f));
  EXPECT_EQ(trv::format::ZeroFillRefusal(f)->code, "sanitize-in-progress");
  EXPECT_EQ(trv::format::ZeroFillRefusal(f)->text,
            u"a sanitize is in progress on this disk: it must end before the disk can be written");
  f.status->sstat = 3;
  EXPECT_EQ(trv::format::ZeroFillRefusal(f),
            (trv::format::Refusal{"sanitize-failed", u"the disk's last sanitize failed: purge it again before writing to it"}));
  f.status.reset();  // unreadable log: nothing to say against the fill
  EXPECT_FALSE(trv::format::ZeroFillRefusal(f));
}

} // namespace

#include "modern_pc.h"
#include "platform/sim/sim_platform.h"

namespace {

// The modern PC (Windows 10 22H2, build 19045) with a second NVMe disk, 4,
// that holds no volume: the system disk's drive without Windows on it.
trv::sim::Scenario WithNvmeDataDisk() {
  return trv::test::ModernPc([](nlohmann::json& pc) {
    nlohmann::json disk = pc["drives"][0];
    disk["number"] = 4;
    disk["nvme"]["identifyController"]["namespaces"] = 3;
    pc["drives"].push_back(disk);
  });
}

PurgeFacts FactsOf(trv::sim::SimPlatform& sim, std::uint32_t number) {
  const trv::win::Handle h = sim.CreateFileW(u"\\\\.\\PhysicalDrive" + trv::DecimalText(number), trv::win::GENERIC_READ,
                                             trv::win::FILE_SHARE_READ | trv::win::FILE_SHARE_WRITE,
                                             trv::win::OPEN_EXISTING, 0);
  PurgeFacts facts = trv::format::GatherPurgeFacts(sim, h, number);
  sim.CloseHandle(h);
  return facts;
}

TEST(PurgeFacts, ReadFromTheDiskTheSystemAndItsVolumes) {
  trv::sim::SimPlatform sim(WithNvmeDataDisk());
  const PurgeFacts system = FactsOf(sim, 0);
  EXPECT_EQ(system.busType, 17);
  EXPECT_TRUE(system.systemDisk);
  EXPECT_EQ(PlanPurge(system, PurgeChoice::Best).refusal.code, "purge-system-disk");

  const PurgeFacts data = FactsOf(sim, 4);
  EXPECT_FALSE(data.systemDisk);
  EXPECT_TRUE(data.windows.known && data.windows.fromRtl);
  EXPECT_EQ(data.windows.build, 19045u);
  ASSERT_TRUE(data.features);
  EXPECT_EQ(data.features->sanicap, 3u);
  EXPECT_EQ(data.namespaceCount, 3u);
  const auto plan = PlanPurge(data, PurgeChoice::Best);
  EXPECT_EQ(plan.method, PurgeMethod::NvmeSanitizeCrypto);
  EXPECT_EQ(trv::format::PurgeScopeText(plan), u"every namespace of the controller (3 namespaces)");

  // Nothing NVMe is asked of a disk on another bus.
  sim.journal().Clear();
  const PurgeFacts usb = FactsOf(sim, 2);
  EXPECT_EQ(usb.busType, 7);
  EXPECT_FALSE(usb.features);
  std::vector<std::uint32_t> queries;  // the PropertyId of each storage query
  for (const auto* e : sim.journal().Find("DeviceIoControl"))
    if (e->code == 0x002D1400 && e->input.size() >= 4) queries.push_back(e->input[0]);
  EXPECT_EQ(queries, std::vector<std::uint32_t>{1});  // the adapter descriptor alone
  EXPECT_EQ(PlanPurge(usb, PurgeChoice::Best).refusal.code, "purge-usb");
}

} // namespace
