// Which firmware purge a disk gets, by Windows build, bus, capabilities and
// Sanitize Status log, and the words people read about it.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "device/purge_scenarios.h"
#include "format/purge_plan.h"
#include "platform/sim/sim_platform.h"
#include "platform/text.h"

namespace {

using trv::format::PlanPurge;
using trv::format::PurgeChoice;
using trv::format::PurgeFacts;
using trv::format::PurgeMethod;
using M = PurgeMethod;
using C = PurgeChoice;

const std::map<std::string, std::u16string> kTexts = {
    {"", u""},
    {"purge-bus", u"only disks on an ATA, SATA or NVMe connection can be purged"},
    {"purge-raid", u"behind a RAID controller, which passes no erase command to its disks"},
    {"purge-usb", u"connected through USB"},
    {"purge-windows-too-old", u"needs Windows 10 1607 or later"},
    {"purge-system-disk", u"the system disk"},
    {"purge-capabilities-unread", u"the disk's capabilities could not be read"},
    {"purge-sanitize-in-progress", u"a sanitize is already in progress on this disk"},
    {"purge-not-offered", u"the disk offers no sanitize or crypto format"},
    {"purge-block-needs-21h1", u"block erase needs Windows 10 21H1 or later"},
    {"purge-crypto-not-offered", u"the disk offers no crypto erase"},
    {"purge-block-not-offered", u"the disk offers no block erase"},
};

// An NVMe data disk on Windows 11 (22621) that offers everything: Sanitize
// crypto and block (SANICAP 3), Format NVM with crypto erase (FNA 04h), one
// namespace, never sanitized, no estimates in its log.
PurgeFacts Capable() {
  PurgeFacts f;
  f.busType = 17;
  f.windows = {true, 10, 0, 22621, true};
  f.features = trv::device::EraseFeatures{};
  f.features->nvme = f.features->formatNvm = true;
  f.features->fna = 0x4;
  f.features->cryptoEraseOnFormat = f.features->sanitizeCrypto = f.features->sanitizeBlock = true;
  f.namespaceCount = 1;
  f.status = trv::device::SanitizeStatus{};
  return f;
}

// What the drive offers: FNA bit 2 (crypto format), SANICAP bits 0 (crypto) and 1 (block).
void Offers(PurgeFacts& f, bool format, bool crypto, bool block) {
  f.features->cryptoEraseOnFormat = format, f.features->sanitizeCrypto = crypto, f.features->sanitizeBlock = block;
}

struct Case {
  const char* name;
  void (*change)(PurgeFacts&);
  PurgeChoice choice;
  PurgeMethod method;  // None: refused with `code`
  std::string code;
};

TEST(PurgePlan, EachRuleInItsOrder) {
  const Case cases[] = {
      {"scsi", [](PurgeFacts& f) { f.busType = 1; }, C::Best, M::None, "purge-bus"},
      {"raid", [](PurgeFacts& f) { f.busType = 8; }, C::Best, M::None, "purge-raid"},
      {"usb", [](PurgeFacts& f) { f.busType = 7; }, C::Best, M::None, "purge-usb"},
      {"xp", [](PurgeFacts& f) { f.windows = {true, 5, 1, 2600, false}; }, C::Best, M::None, "purge-windows-too-old"},
      {"10586", [](PurgeFacts& f) { f.windows.build = 10586; }, C::Best, M::None, "purge-windows-too-old"},
      {"version unknown", [](PurgeFacts& f) { f.windows = {}; }, C::Best, M::None, "purge-windows-too-old"},
      {"system disk", [](PurgeFacts& f) { f.systemDisk = true, f.features.reset(); }, C::Best, M::None, "purge-system-disk"},
      {"capabilities unread", [](PurgeFacts& f) { f.features.reset(); }, C::Best, M::None, "purge-capabilities-unread"},
      {"in progress", [](PurgeFacts& f) { f.status->sstat = 2; }, C::Best, M::None, "purge-sanitize-in-progress"},
      // A drive busy sanitizing answers its log alone: the sanitize is the reason given.
      {"in progress, unread", [](PurgeFacts& f) { f.status->sstat = 2, f.features.reset(); }, C::Best, M::None,
       "purge-sanitize-in-progress"},
      {"failed before", [](PurgeFacts& f) { f.status->sstat = 3; }, C::Best, M::NvmeSanitizeCrypto, ""},
      // 1607 to 20H2: no input, Format NVM crypto, where FNA bit 2 or SANICAP bit 0 says crypto.
      {"14393", [](PurgeFacts& f) { f.windows.build = 14393; }, C::Best, M::NvmeFormatCrypto, ""},
      {"17763 sanicap crypto", [](PurgeFacts& f) { f.windows.build = 17763, Offers(f, false, true, false); }, C::Best,
       M::NvmeFormatCrypto, ""},
      {"17763 block only", [](PurgeFacts& f) { f.windows.build = 17763, Offers(f, false, false, true); }, C::Best,
       M::None, "purge-not-offered"},
      {"19042 crypto", [](PurgeFacts& f) { f.windows.build = 19042; }, C::Crypto, M::NvmeFormatCrypto, ""},
      {"19042 block", [](PurgeFacts& f) { f.windows.build = 19042; }, C::Block, M::None, "purge-block-needs-21h1"},
      // 21H1 and later: Sanitize, crypto before block before the format.
      {"19043", [](PurgeFacts& f) { f.windows.build = 19043; }, C::Best, M::NvmeSanitizeCrypto, ""},
      {"block only", [](PurgeFacts& f) { Offers(f, false, false, true); }, C::Best, M::NvmeSanitizeBlock, ""},
      {"fna bit 2 only", [](PurgeFacts& f) { Offers(f, true, false, false); }, C::Best, M::NvmeFormatCrypto, ""},
      {"nothing", [](PurgeFacts& f) { Offers(f, false, false, false); }, C::Best, M::None, "purge-not-offered"},
      {"crypto, fna only", [](PurgeFacts& f) { Offers(f, true, false, true); }, C::Crypto, M::NvmeFormatCrypto, ""},
      {"crypto, block only", [](PurgeFacts& f) { Offers(f, false, false, true); }, C::Crypto, M::None,
       "purge-crypto-not-offered"},
      {"block", [](PurgeFacts&) {}, C::Block, M::NvmeSanitizeBlock, ""},
      {"block, crypto only", [](PurgeFacts& f) { Offers(f, true, true, false); }, C::Block, M::None,
       "purge-block-not-offered"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PurgeFacts facts = Capable();
    c.change(facts);
    const auto plan = PlanPurge(facts, c.choice);
    EXPECT_EQ(plan.method, c.method);
    EXPECT_EQ(plan.refusal.code, c.code);
    EXPECT_EQ(trv::Utf16ToUtf8(plan.refusal.text), trv::Utf16ToUtf8(kTexts.at(c.code)));
    EXPECT_EQ(plan.windowsBuild, facts.windows.build);
    // Only a sanitize carries the 21H1 input, with its method.
    const bool sanitize = c.method == M::NvmeSanitizeCrypto || c.method == M::NvmeSanitizeBlock;
    EXPECT_EQ(plan.sanitizeInput, sanitize);
    EXPECT_EQ(plan.sanitizeMethod, c.method == M::NvmeSanitizeCrypto  ? trv::device::SanitizeMethod::CryptoErase
                                   : c.method == M::NvmeSanitizeBlock ? trv::device::SanitizeMethod::BlockErase
                                                                      : trv::device::SanitizeMethod::Default);
  }
}

TEST(PurgePlan, ScopeAndEstimateFromFnaNnAndTheLog) {
  PurgeFacts f = Capable();
  f.namespaceCount = 8;
  f.status->cryptoEraseTime = 120;
  f.status->blockEraseTime = 5400;
  // A sanitize reaches every namespace whatever FNA says; its timeout is twice
  // the drive's estimate and half an hour more.
  auto plan = PlanPurge(f, C::Crypto);
  EXPECT_TRUE(plan.allNamespaces);
  EXPECT_EQ(plan.timeoutSeconds, 2u * 120u + 1800u);
  f.status->cryptoEraseTime = 0xFFFFFFF0u;
  EXPECT_EQ(PlanPurge(f, C::Crypto).timeoutSeconds, 0xFFFFFFFEu);
  f.status->cryptoEraseTime = 120;
  EXPECT_EQ(trv::format::PurgeScopeText(plan), u"every namespace of the controller (8 namespaces)");
  EXPECT_EQ(trv::format::PurgeEstimateText(plan), u"about 2 minutes (the drive's estimate)");
  EXPECT_EQ(trv::format::PurgeEstimateText(PlanPurge(f, C::Block)), u"about 90 minutes (the drive's estimate)");
  // FFFFFFFFh: no estimate, the driver's own timeout.
  f.status->cryptoEraseTime = trv::device::kNoEstimate;
  plan = PlanPurge(f, C::Crypto);
  EXPECT_EQ(plan.timeoutSeconds, 0u);
  EXPECT_EQ(trv::format::PurgeEstimateText(plan), u"the drive gives no estimate");

  // The format: every namespace when FNA bit 0 or 1 says so; never an estimate.
  f.status->cryptoEraseTime = 30;
  f.windows.build = 17763;
  f.namespaceCount = 1;
  for (const auto& [fna, scope] : {std::pair{0x4, u"this namespace only"},
                                   {0x5, u"every namespace of the controller (1 namespace)"},
                                   {0x6, u"every namespace of the controller (1 namespace)"}}) {
    f.features->fna = static_cast<std::uint8_t>(fna);
    plan = PlanPurge(f, C::Best);
    EXPECT_EQ(trv::format::PurgeScopeText(plan), scope) << fna;
    EXPECT_FALSE(plan.estimateSeconds);
    EXPECT_EQ(plan.timeoutSeconds, 0u);
  }
}

// --- the facts as read from a simulated PC ------------------------------------------

PurgeFacts FactsOf(trv::sim::SimPlatform& sim, std::uint32_t number) {
  const trv::win::Handle h = sim.CreateFileW(u"\\\\.\\PhysicalDrive" + trv::DecimalText(number), trv::win::GENERIC_READ,
                                             trv::win::FILE_SHARE_READ | trv::win::FILE_SHARE_WRITE,
                                             trv::win::OPEN_EXISTING, 0);
  PurgeFacts facts = trv::format::GatherPurgeFacts(sim, h, number);
  sim.CloseHandle(h);
  return facts;
}

TEST(PurgeFacts, ReadFromTheDiskTheSystemAndItsVolumes) {
  trv::sim::SimPlatform sim(trv::test::WithNvmeDataDisk());
  const PurgeFacts system = FactsOf(sim, 0);
  EXPECT_EQ(system.busType, 17);
  EXPECT_TRUE(system.systemDisk);

  const PurgeFacts data = FactsOf(sim, 4);
  EXPECT_FALSE(data.systemDisk);
  EXPECT_TRUE(data.windows.fromRtl);
  EXPECT_EQ(data.windows.build, 19045u);
  ASSERT_TRUE(data.features);
  EXPECT_EQ(data.features->sanicap, 3u);
  EXPECT_EQ(data.namespaceCount, 3u);

  // Nothing NVMe is asked of a disk on another bus: the adapter descriptor alone.
  sim.journal().Clear();
  EXPECT_EQ(FactsOf(sim, 2).busType, 7);
  std::vector<std::uint32_t> queries;  // the PropertyId of each storage query
  for (const auto* e : sim.journal().Find("DeviceIoControl"))
    if (e->code == 0x002D1400 && !e->input.empty()) queries.push_back(e->input[0]);
  EXPECT_EQ(queries, std::vector<std::uint32_t>{1});
}

PurgeFacts DataDiskFacts(const nlohmann::json& sanitize) {
  trv::sim::SimPlatform sim(trv::test::WithNvmeDataDisk(22621, [&](nlohmann::json& pc) {
    pc["drives"][4]["nvme"]["sanitize"] = sanitize;
  }));
  return FactsOf(sim, 4);
}

TEST(PurgeFacts, TheSanitizeStatusLogDecidesEstimateAndRefusals) {
  PurgeFacts f = DataDiskFacts({{"estimates", {{"crypto", 10}, {"block", nullptr}}}});
  EXPECT_EQ(trv::format::PurgeEstimateText(PlanPurge(f, C::Crypto)), u"about 10 seconds (the drive's estimate)");
  EXPECT_FALSE(PlanPurge(f, C::Block).estimateSeconds);
  EXPECT_FALSE(trv::format::ZeroFillRefusal(f));

  // Halfway through a block erase a power cut interrupted: no purge, no fill.
  f = DataDiskFacts({{"state", "in-progress"}, {"progress", 0.5}, {"lastAction", "block"}});
  EXPECT_FALSE(f.features);  // busy sanitizing: only the log answers
  EXPECT_EQ(PlanPurge(f, C::Best).refusal.code, "purge-sanitize-in-progress");
  EXPECT_EQ(trv::format::ZeroFillRefusal(f),
            (trv::format::Refusal{"sanitize-in-progress",
                                  u"a sanitize is in progress on this disk: it must end before the disk can be written"}));

  // Failed: a purge may run again; a fill may not.
  f = DataDiskFacts({{"state", "failed"}, {"lastAction", "crypto"}});
  EXPECT_EQ(PlanPurge(f, C::Best).method, M::NvmeSanitizeCrypto);
  EXPECT_EQ(trv::format::ZeroFillRefusal(f),
            (trv::format::Refusal{"sanitize-failed", u"the disk's last sanitize failed: purge it again before writing to it"}));

  // The log cannot be read: the capabilities still decide, with no estimate, and the fill goes on.
  f = DataDiskFacts({{"statusLog", false}, {"estimates", {{"crypto", 10}}}});
  EXPECT_FALSE(f.status);
  EXPECT_EQ(PlanPurge(f, C::Best).method, M::NvmeSanitizeCrypto);
  EXPECT_FALSE(PlanPurge(f, C::Best).estimateSeconds);
  EXPECT_FALSE(trv::format::ZeroFillRefusal(f));
}

} // namespace
