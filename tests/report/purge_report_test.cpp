// The firmware purge lines that end the details report: the method that would
// run on the chosen disk here, or why none would, and a sanitize the drive's
// log says is running or failed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device/purge_scenarios.h"
#include "report/details_lines.h"
#include "platform/records.h"
#include "report/purge_report.h"
#include "test_support.h"

using nlohmann::json;
using Report = std::vector<std::string>;

namespace {

using trv::test::WithNvmeDataDisk;

// The details memo's last `n` lines after choosing disk 4 (the list's fifth row).
Report PurgeTail(const trv::sim::Scenario& pc, std::size_t n = 2) {
  auto run = trv::test::Play(pc, "select DriveList 4; click btContinue");
  const Report lines = trv::test::Lines(run.app->FmMain.Log_Details);
  return lines.size() < n ? lines : Report(lines.end() - static_cast<std::ptrdiff_t>(n), lines.end());
}

TEST(PurgeReport, TheMethodThisWindowsBuildWouldRunOrWhyNone) {
  EXPECT_EQ(PurgeTail(WithNvmeDataDisk(22621)),
            (Report{" ", "固件清除: Sanitize, crypto erase; every namespace of the controller (3 namespaces); "
                         "the drive gives no estimate"}));
  // 1607 to 20H2: the format, on this namespace only (FNA bits 0 and 1 clear).
  EXPECT_EQ(PurgeTail(WithNvmeDataDisk(17763)).back(),
            "固件清除: Format NVM, crypto erase; this namespace only; the drive gives no estimate");
  EXPECT_EQ(PurgeTail(WithNvmeDataDisk(10586)), trv::test::PurgeNone("needs Windows 10 1607 or later"));
  // A quarter through a crypto sanitize a power cut interrupted, the drive answers its log and little else.
  EXPECT_EQ(PurgeTail(WithNvmeDataDisk(22621,
                                       [](json& pc) {
                                         pc["drives"][4]["nvme"]["sanitize"] = {
                                             {"state", "in-progress"}, {"progress", 0.25}, {"lastAction", "crypto"}};
                                       }),
                      3),
            (Report{" ", "固件清除: 此处不可用: a sanitize is already in progress on this disk",
                    "Sanitize 状态 (日志 81h): 正在进行, 已完成 25%"}));
}

TEST(PurgeReport, InEnglishWithTheEstimateAndAFailedSanitize) {
  trv::format::PurgeFacts facts;
  facts.busType = 17;
  facts.windows = {true, 10, 0, 22621, true};
  facts.features = trv::device::EraseFeatures{};
  facts.features->nvme = facts.features->sanitizeBlock = true;
  facts.namespaceCount = 1;
  facts.status = trv::device::SanitizeStatus{};
  facts.status->blockEraseTime = 3 * 3600;
  facts.status->sstat = 3;  // failed: a purge may run again, and the state is said
  const auto plan = trv::format::PlanPurge(facts, trv::format::PurgeChoice::Best);
  EXPECT_EQ(trv::report::PurgeLines(facts, plan, trv::report::Language::English),
            (std::vector<std::u16string>{u"Firmware purge: Sanitize, block erase; every namespace of the controller "
                                         u"(1 namespace); about 3 hours (the drive's estimate)",
                                         u"Sanitize status (log 81h): the last sanitize failed"}));
  EXPECT_EQ(trv::report::PurgeLines(facts, plan)[1], u"Sanitize 状态 (日志 81h): 上次 Sanitize 失败");
  facts.status->sstat = 0x101;  // succeeded: nothing to say of the state
  EXPECT_EQ(trv::report::PurgeLines(facts, plan).size(), 1u);
}

TEST(PurgeReport, AnAtaDiskWithItsSecurityAndSanitizeState) {
  using S = trv::device::AtaSanitizeStatus::State;
  using trv::report::Language;
  trv::format::PurgeFacts facts;
  facts.busType = 11;
  facts.windows = {true, 6, 0, 6002, true, 2};
  facts.ataIdentify = trv::device::AtaBlock{};
  auto word = [&](int n, std::uint16_t v) { trv::rec::Put16(*facts.ataIdentify, 2 * static_cast<std::size_t>(n), v); };
  word(128, 0x0029);  // security frozen, Sanitize (word 59) in progress
  word(59, 0x3000);
  facts.ataSanitize = trv::device::AtaSanitizeStatus{};
  facts.ataSanitize->state = S::InProgress;
  facts.ataSanitize->progress = 0x8000;
  const auto plan = [&] { return trv::format::PlanPurge(facts, trv::format::PurgeChoice::Best); };
  EXPECT_EQ(trv::report::PurgeLines(facts, plan(), Language::English),
            (std::vector<std::u16string>{u"Firmware purge: none here: a sanitize is already in progress on this disk",
                                         u"ATA security (word 128): frozen",
                                         u"Sanitize status (SANITIZE STATUS EXT): in progress, 50% done"}));
  EXPECT_EQ(trv::report::PurgeLines(facts, plan())[1], u"ATA 安全状态 (字 128): 已冻结");
  // Failed, with the drive's reason; the security erase offered, the state of an idle drive unsaid.
  facts.ataSanitize->state = S::Failed;
  facts.ataSanitize->reason = 1;
  word(128, 0x0021);
  word(59, 0);
  word(90, 2);
  EXPECT_EQ(trv::report::PurgeLines(facts, plan(), Language::English),
            (std::vector<std::u16string>{
                u"Firmware purge: Security erase, enhanced; the whole disk; about 4 minutes (the drive's estimate)",
                u"Sanitize status (SANITIZE STATUS EXT): the last sanitize failed: the sanitize was unsuccessful"}));
  facts.ataSanitize->state = S::Idle;
  EXPECT_EQ(trv::report::PurgeLines(facts, plan()).size(), 1u);
}

} // namespace
