// The firmware purge lines that end the details report: the method that would
// run on the chosen disk here, or why none would, and a sanitize the drive's
// log says is running or failed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device/purge_scenarios.h"
#include "report/details_lines.h"
#include "report/purge_report.h"
#include "test_support.h"

using nlohmann::json;
using Report = std::vector<std::string>;

namespace {

using trv::test::WithNvmeDataDisk;

// The details memo's last two lines after choosing disk 4 (the list's fifth row).
Report PurgeTail(const trv::sim::Scenario& pc) {
  auto run = trv::test::Play(pc, "select DriveList 4; click btContinue");
  const Report lines = trv::test::Lines(run.app->FmMain.Log_Details);
  return lines.size() < 2 ? lines : Report(lines.end() - 2, lines.end());
}

TEST(PurgeReport, TheMethodThisWindowsBuildWouldRunOrWhyNone) {
  EXPECT_EQ(PurgeTail(WithNvmeDataDisk(22621)),
            (Report{" ", "固件清除: Sanitize, crypto erase; every namespace of the controller (3 namespaces); "
                         "the drive gives no estimate"}));
  // 1607 to 20H2: the format, on this namespace only (FNA bits 0 and 1 clear), or every one.
  EXPECT_EQ(PurgeTail(WithNvmeDataDisk(17763)).back(),
            "固件清除: Format NVM, crypto erase; this namespace only; the drive gives no estimate");
  EXPECT_EQ(PurgeTail(WithNvmeDataDisk(17763, [](json& pc) { pc["drives"][4]["nvme"]["identifyController"]["fna"] = 5; }))
                .back(),
            "固件清除: Format NVM, crypto erase; every namespace of the controller (3 namespaces); "
            "the drive gives no estimate");
  EXPECT_EQ(PurgeTail(WithNvmeDataDisk(10586)), trv::test::PurgeNone("needs Windows 10 1607 or later"));
  EXPECT_EQ(PurgeTail(WithNvmeDataDisk(22621, [](json& pc) {
              pc["drives"][4]["nvme"]["identifyController"]["sanicap"] = 0;
              pc["drives"][4]["nvme"]["identifyController"]["fna"] = 0;
            })),
            trv::test::PurgeNone("the disk offers no sanitize or crypto format"));
}

TEST(PurgeReport, EstimateAndSanitizeStateFromTheLog) {
  using trv::format::PurgeChoice;
  trv::format::PurgeFacts facts;
  facts.busType = 17;
  facts.windows = {true, 10, 0, 22621, true};
  facts.features = trv::device::EraseFeatures{};
  facts.features->nvme = facts.features->sanitizeBlock = true;
  facts.namespaceCount = 1;
  facts.status = trv::device::SanitizeStatus{};
  facts.status->blockEraseTime = 3 * 3600;
  auto lines = [&](trv::report::Language l) {
    return trv::report::PurgeLines(facts, trv::format::PlanPurge(facts, PurgeChoice::Best), l);
  };
  using trv::report::Language;
  const std::u16string blockErase =
      u"Firmware purge: Sanitize, block erase; every namespace of the controller (1 namespace); "
      u"about 3 hours (the drive's estimate)";
  // Succeeded: nothing to say of the state.
  facts.status->sstat = 0x101;
  EXPECT_EQ(lines(Language::English), std::vector<std::u16string>{blockErase});
  // Failed: the purge may run again, and the state is said.
  facts.status->sstat = 3;
  EXPECT_EQ(lines(Language::English),
            (std::vector<std::u16string>{blockErase, u"Sanitize status (log 81h): the last sanitize failed"}));
  EXPECT_EQ(lines(Language::Chinese)[1], u"Sanitize 状态 (日志 81h): 上次 Sanitize 失败");
  // In progress: no purge, and how far it got (SPROG FFFFh - 1 is not yet 100%).
  facts.status->sstat = 2;
  facts.status->sprog = 0xFFFE;
  EXPECT_EQ(lines(Language::English),
            (std::vector<std::u16string>{u"Firmware purge: none here: a sanitize is already in progress on this disk",
                                         u"Sanitize status (log 81h): in progress, 99% done"}));
  facts.status->sprog = 0x6B86;
  EXPECT_EQ(lines(Language::Chinese),
            (std::vector<std::u16string>{u"固件清除: 此处不可用: a sanitize is already in progress on this disk",
                                         u"Sanitize 状态 (日志 81h): 正在进行, 已完成 42%"}));
}

} // namespace
