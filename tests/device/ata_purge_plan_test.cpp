// Which firmware purge an ATA or SATA disk gets: by Windows (service pack,
// Windows PE), the connection, IDENTIFY's Security and Sanitize words, SANITIZE
// STATUS EXT and a password this program saved; and why none where none fits.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "device/purge_scenarios.h"
#include "format/purge_plan.h"
#include "platform/records.h"
#include "platform/text.h"

namespace {

using trv::format::PlanPurge;
using trv::format::PurgeFacts;
using M = trv::format::PurgeMethod;
using C = trv::format::PurgeChoice;
using S = trv::device::AtaSanitizeStatus::State;

void Word(PurgeFacts& f, int n, std::uint16_t value) { trv::rec::Put16(*f.ataIdentify, 2 * static_cast<std::size_t>(n), value); }

// A SATA hard disk of 500 GB on Vista SP2, where every command passes: Sanitize
// with all three functions (word 59), Security with enhanced erase (words 82, 83,
// 128), estimates of 2 and 4 minutes (words 89, 90), 7200 rpm (word 217).
PurgeFacts Capable() {
  PurgeFacts f;
  f.busType = 11;
  f.windows = {true, 6, 0, 6002, true, 2};
  f.ataIdentify = trv::device::AtaBlock{};
  for (auto [n, v] : {std::pair{59, 0xF000}, {82, 0x0002}, {83, 0x4000}, {89, 1}, {90, 2}, {128, 0x0021}, {217, 7200}})
    Word(f, n, static_cast<std::uint16_t>(v));
  f.ataSanitize = trv::device::AtaSanitizeStatus{};
  f.diskBytes = 500'000'000'000;
  return f;
}
void NoSanitize(PurgeFacts& f) { Word(f, 59, 0), f.ataSanitize.reset(); }
void Windows10(PurgeFacts& f) { f.windows = {true, 10, 0, 19045, true, 0}; }
trv::format::SavedPassword Saved(bool refused = false) {
  trv::format::SavedPassword s;
  s.password = "0123456789ABCDEF0123456789ABCDEF";
  s.refused = refused;
  return s;
}

TEST(AtaPurgePlan, EachRuleAndTheOrderOfPreference) {
  struct Case {
    const char* name;
    std::function<void(PurgeFacts&)> change;
    C choice;
    M method;  // None: refused with `code`
    std::string code;
  };
  const Case cases[] = {
      {"best", {}, C::Best, M::AtaSanitizeCrypto, ""},
      {"usb", [](PurgeFacts& f) { f.busType = 7; }, C::Best, M::None, "purge-usb"},
      {"raid", [](PurgeFacts& f) { f.busType = 8; }, C::Best, M::None, "purge-raid"},
      {"scsi", [](PurgeFacts& f) { f.busType = 1; }, C::Best, M::None, "purge-bus"},
      {"2000", [](PurgeFacts& f) { f.windows = {true, 5, 0, 2195, false, 4}; }, C::Best, M::None, "purge-windows-too-old"},
      {"xp sp1", [](PurgeFacts& f) { f.windows = {true, 5, 1, 2600, false, 1}; }, C::Best, M::None, "purge-windows-too-old"},
      {"xp sp2", [](PurgeFacts& f) { f.windows = {true, 5, 1, 2600, false, 2}; }, C::Best, M::AtaSanitizeCrypto, ""},
      {"2003", [](PurgeFacts& f) { f.windows = {true, 5, 2, 3790, false, 0}; }, C::Best, M::None, "purge-windows-too-old"},
      {"2003 sp1", [](PurgeFacts& f) { f.windows = {true, 5, 2, 3790, false, 1}; }, C::Best, M::AtaSanitizeCrypto, ""},
      {"system disk", [](PurgeFacts& f) { f.systemDisk = true; }, C::Best, M::None, "purge-system-disk"},
      {"identify unread", [](PurgeFacts& f) { f.ataIdentify.reset(); }, C::Best, M::None, "purge-identify-unread"},
      {"in progress", [](PurgeFacts& f) { f.ataSanitize->state = S::InProgress; }, C::Best, M::None,
       "purge-sanitize-in-progress"},
      {"failed before", [](PurgeFacts& f) { f.ataSanitize->state = S::Failed; }, C::Best, M::AtaSanitizeCrypto, ""},
      // Crypto scramble, block erase, overwrite (hard disks), enhanced, normal security erase.
      {"no crypto", [](PurgeFacts& f) { Word(f, 59, 0xD000); }, C::Best, M::AtaSanitizeBlock, ""},
      {"overwrite only", [](PurgeFacts& f) { Word(f, 59, 0x5000); }, C::Best, M::AtaSanitizeOverwrite, ""},
      {"overwrite only, ssd", [](PurgeFacts& f) { Word(f, 59, 0x5000), Word(f, 217, 1); }, C::Best,
       M::AtaSecurityEraseEnhanced, ""},
      {"overwrite insisted, ssd", [](PurgeFacts& f) { Word(f, 217, 1); }, C::Overwrite, M::AtaSanitizeOverwrite, ""},
      {"no sanitize", NoSanitize, C::Best, M::AtaSecurityEraseEnhanced, ""},
      {"no enhanced", [](PurgeFacts& f) { NoSanitize(f), Word(f, 128, 0x0001); }, C::Best, M::AtaSecurityErase, ""},
      {"normal insisted", {}, C::SecureErase, M::AtaSecurityErase, ""},
      {"enhanced not offered", [](PurgeFacts& f) { Word(f, 128, 0x0001); }, C::EnhancedSecureErase, M::None,
       "purge-enhanced-not-offered"},
      {"crypto not offered", [](PurgeFacts& f) { Word(f, 59, 0x9000); }, C::Crypto, M::None, "purge-crypto-not-offered"},
      {"block not offered", [](PurgeFacts& f) { Word(f, 59, 0x3000); }, C::Block, M::None, "purge-block-not-offered"},
      {"nothing offered", [](PurgeFacts& f) { NoSanitize(f), Word(f, 82, 0), Word(f, 128, 0); }, C::Best, M::None,
       "purge-not-offered"},
      // Sanitize frozen: no sanitize; the security erase still runs, else the freeze is the reason.
      {"sanitize frozen", [](PurgeFacts& f) { f.ataSanitize->state = S::Frozen; }, C::Best, M::AtaSecurityEraseEnhanced, ""},
      {"sanitize frozen, no security", [](PurgeFacts& f) { f.ataSanitize->state = S::Frozen, Word(f, 128, 0), Word(f, 82, 0); },
       C::Best, M::None, "purge-sanitize-frozen"},
      // Windows 7 and later: a sanitize is tried; a security erase only in Windows PE, never in IDE mode.
      {"windows 10", Windows10, C::Best, M::AtaSanitizeCrypto, ""},
      {"windows 10, no sanitize", [](PurgeFacts& f) { Windows10(f), NoSanitize(f); }, C::Best, M::None,
       "purge-security-erase-not-here"},
      {"windows 10, frozen", [](PurgeFacts& f) { Windows10(f), NoSanitize(f), Word(f, 128, 0x0029); }, C::Best, M::None,
       "purge-security-erase-not-here"},
      {"windows pe", [](PurgeFacts& f) { Windows10(f), NoSanitize(f), f.windowsPe = true; }, C::Best,
       M::AtaSecurityEraseEnhanced, ""},
      {"windows pe, ide mode", [](PurgeFacts& f) { Windows10(f), NoSanitize(f), f.windowsPe = true, f.busType = 3; },
       C::Best, M::None, "purge-ide-mode"},
      {"frozen", [](PurgeFacts& f) { NoSanitize(f), Word(f, 128, 0x0029); }, C::Best, M::None, "purge-frozen"},
      {"count expired", [](PurgeFacts& f) { NoSanitize(f), Word(f, 128, 0x0033); }, C::Best, M::None, "purge-count-expired"},
      {"erase too long", [](PurgeFacts& f) { Word(f, 89, 0x8000 | 1000); }, C::SecureErase, M::None, "purge-erase-too-long"},
      // Passwords: another's refuses; this program's saved one finishes the erase (never a sanitize on it).
      {"password set", [](PurgeFacts& f) { NoSanitize(f), Word(f, 128, 0x0023); }, C::Best, M::None, "purge-password-set"},
      {"password set, sanitize", [](PurgeFacts& f) { Word(f, 128, 0x0023); }, C::Best, M::AtaSanitizeCrypto, ""},
      {"locked", [](PurgeFacts& f) { Word(f, 128, 0x0027); }, C::Best, M::None, "purge-locked"},
      {"locked, saved", [](PurgeFacts& f) { Word(f, 128, 0x0027), f.savedPassword = Saved(); }, C::Best,
       M::AtaSecurityEraseEnhanced, ""},
      {"locked, saved refused", [](PurgeFacts& f) { Word(f, 128, 0x0027), f.savedPassword = Saved(true); }, C::Best,
       M::None, "purge-locked"},
      {"locked, crypto insisted", [](PurgeFacts& f) { Word(f, 128, 0x0027), f.savedPassword = Saved(); }, C::Crypto,
       M::None, "purge-locked"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PurgeFacts facts = Capable();
    if (c.change) c.change(facts);
    const auto plan = PlanPurge(facts, c.choice);
    EXPECT_EQ(plan.method, c.method);
    EXPECT_EQ(plan.refusal.code, c.code);
    EXPECT_EQ(plan.refusal.text.empty(), c.code.empty());
    EXPECT_EQ(plan.finishesErase, c.method != M::None && facts.savedPassword.has_value());
  }
}

TEST(AtaPurgePlan, EstimateTimeoutPasswordScopeAndTheZeroFill) {
  PurgeFacts f = Capable();
  NoSanitize(f);
  auto plan = PlanPurge(f, C::Best);
  // Word 90: 4 minutes; the timeout from the size: 500 GB at 30 MiB/s and half an hour.
  EXPECT_EQ(plan.estimateSeconds, 240u);
  EXPECT_EQ(plan.timeoutSeconds, 500'000'000'000u / (30u << 20) + 1800u);
  EXPECT_EQ(trv::format::PurgeScopeText(plan) + u"; " + trv::format::PurgeEstimateText(plan),
            u"the whole disk; about 4 minutes (the drive's estimate)");
  f.diskBytes = 0;
  EXPECT_EQ(PlanPurge(f, C::SecureErase).timeoutSeconds, 2u * 120u + 3600u);
  // Finishing an erase in Windows PE: the saved password's kind, not this system's.
  f.windowsPe = true;
  EXPECT_TRUE(PlanPurge(f, C::Best).pePassword);
  Word(f, 128, 0x0027);
  f.savedPassword = Saved();
  EXPECT_FALSE(PlanPurge(f, C::Best).pePassword);
  // A frozen disk is told what works.
  Word(f, 128, 0x0029);
  EXPECT_TRUE(PlanPurge(f, C::Best).refusal.text.ends_with(trv::format::kFrozenHelp));

  // The zero fill: SANITIZE STATUS EXT decides on an ATA disk, not a log 81h.
  f = Capable();
  f.status = trv::device::SanitizeStatus{};
  f.status->sstat = 2;
  for (const auto& [state, code] : {std::pair{S::Idle, ""}, {S::Succeeded, ""}, {S::InProgress, "sanitize-in-progress"},
                                    {S::Failed, "sanitize-failed"}}) {
    f.ataSanitize->state = state;
    EXPECT_EQ(trv::format::ZeroFillRefusal(f).value_or(trv::format::Refusal{}).code, code);
  }
}

// --- read from a simulated PC ---------------------------------------------------

TEST(AtaPurgeFacts, ReadThroughThePassThroughAndPlannedForEachWindows) {
  using nlohmann::json;
  using trv::test::kVista;
  using trv::test::kWindows10;
  struct Case {
    const char* name;
    json os, ata;
    M best;
    std::string code;
    std::vector<std::string> commands;  // IDENTIFY, then SANITIZE STATUS EXT where word 59 offers Sanitize
  };
  const std::vector<std::string> both = {"command=0xEC feature=0x00", "command=0xB4 feature=0x00"};
  const Case cases[] = {
      {"vista", kVista, {}, M::AtaSanitizeCrypto, "", both},
      {"vista, no sanitize", kVista, {{"sanitize", nullptr}}, M::AtaSecurityEraseEnhanced, "", {both[0]}},
      {"xp sp1", {{"major", 5}, {"minor", 1}, {"build", 2600}, {"csd", "Service Pack 1"}}, {}, M::None,
       "purge-windows-too-old", both},
      // Windows 10 fails SANITIZE STATUS EXT in its driver (a sanitize is still tried), freezes
      // the drive's security and lets no security erase through outside Windows PE.
      {"windows 10", kWindows10, {}, M::AtaSanitizeCrypto, "", both},
      {"windows 10, no sanitize", kWindows10, {{"sanitize", nullptr}}, M::None, "purge-security-erase-not-here", {both[0]}},
      {"windows pe", trv::test::kWindowsPe, {{"sanitize", nullptr}}, M::AtaSecurityEraseEnhanced, "", {both[0]}},
      {"sanitize frozen", kVista, {{"sanitize", {{"state", "frozen"}}}, {"security", nullptr}}, M::None,
       "purge-sanitize-frozen", both},
      {"sanitize in progress", kVista, {{"sanitize", {{"state", "in-progress"}, {"progress", 0.5}}}}, M::None,
       "purge-sanitize-in-progress", both},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    trv::test::AtaPurgeDisk disk(trv::test::AtaPurgePc(c.os, c.ata));
    const PurgeFacts facts = trv::format::GatherPurgeFacts(disk.sim, disk.h, 1);
    std::vector<std::string> commands;
    for (const auto* e : disk.sim.journal().Find("DeviceIoControl"))
      if (e->code == 0x0004D02C) commands.push_back(e->detail.substr(e->detail.find("command="), 25));
    EXPECT_EQ(commands, c.commands);
    ASSERT_TRUE(facts.ataIdentify);
    EXPECT_EQ(facts.diskBytes, 20480 * 512);
    EXPECT_FALSE(facts.systemDisk);
    const auto plan = PlanPurge(facts, C::Best);
    EXPECT_EQ(plan.method, c.best);
    EXPECT_EQ(plan.refusal.code, c.code);
    EXPECT_EQ(plan.pePassword, c.os.value("windowsPe", false));
    EXPECT_EQ(trv::format::ZeroFillRefusal(facts).has_value(), c.code == "purge-sanitize-in-progress");
  }
}

} // namespace
