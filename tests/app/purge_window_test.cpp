// The format tab's firmware purge on simulated PCs, played by the scripted
// user: where the purge box is offered and why not elsewhere, the two boxes
// that exclude each other, the confirmation, and purges that end purged,
// unverified or failed, with Stop disabled and a close that waits meanwhile.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/purge_tab.h"
#include "modern_pc.h"
#include "test_support.h"

using trv::test::Messages;
using trv::test::U8;

namespace {

// A small NVMe data disk (64 MiB, PhysicalDrive4, row 4 of the list) beside
// the modern PC's own disks (build 19045): Sanitize crypto and block erase and
// a crypto format offered, the drive's crypto estimate two minutes.
nlohmann::json NvmeDataDisk() {
  nlohmann::json disk = trv::test::ModernPcJson()["drives"][0];
  disk["number"] = 4;
  disk["label"] = "data disk: a small NVMe SSD";
  disk["sectors"] = 131072;
  disk["media"] = {{"megabytesPerSecond", 100000}};
  disk["device"] = {{"vendor", "NVMe"}, {"product", "Samsung SSD 980"}, {"revision", "3B4QFXO7"},
                    {"serial", "0025_38B5_21B0_3D4E."}};
  auto& nvme = disk["nvme"];
  nvme["identifyController"]["model"] = "Samsung SSD 980 1TB";
  nvme["identifyController"]["serial"] = "S64ANS0T512345X";
  nvme["identifyNamespace"]["size"] = nvme["identifyNamespace"]["capacity"] = 131072;
  nvme["identifyNamespace"]["utilization"] = 131072;
  nvme["sanitize"] = {{"estimates", {{"crypto", 120}, {"block", 600}}}, {"durationSeconds", 60}};
  return disk;
}

// The modern PC with that disk, changed as a case needs.
trv::sim::Scenario PurgePc(const std::function<void(nlohmann::json& pc, nlohmann::json& disk)>& change = {}) {
  return trv::test::ModernPc([&](nlohmann::json& pc) {
    pc["drives"].push_back(NvmeDataDisk());
    if (change) change(pc, pc["drives"].back());
  });
}

constexpr char kOpenDisk4[] = "select DriveList 4; click btContinue; tab 1; ";
constexpr char kConfirmPurge[] = "check cbPurge; click btRunBenchmarks; click btOk; answer ";

std::vector<std::string> Journal(const trv::app::HeadlessRun& run) {
  std::vector<std::string> out;
  for (const auto& e : run.platform->journal().entries()) out.push_back(e.call + " " + e.detail);
  return out;
}

std::size_t CountContaining(const std::vector<std::string>& lines, const std::string& part) {
  return static_cast<std::size_t>(
      std::count_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.find(part) != std::string::npos; }));
}

} // namespace

// The box is enabled only where the plan runs a method, and says beside it
// which one runs, or exactly why none can.
TEST(PurgeWindow, OfferedOnAModernNvmeDataDiskAndRefusedElsewhereWithItsReason) {
  struct Case {
    const char* what;
    trv::sim::Scenario pc;
    int row;
    const char* beside;
  };
  const Case cases[] = {
      {"NVMe data disk, build 19045", PurgePc(), 4, "Method: Sanitize, crypto erase"},
      {"NVMe system disk", PurgePc(), 0, "Not available: the system disk"},
      // A security erase and no sanitize: Windows 10 passes neither outside Windows PE.
      {"SATA disk", PurgePc(), 1, "Not available: Windows 7 and later let a security erase through only in Windows PE"},
      {"disk behind a USB bridge", PurgePc(), 2, "Not available: connected through USB"},
      {"NVMe data disk on Windows XP",
       PurgePc([](nlohmann::json& pc, nlohmann::json&) { pc["os"] = {{"major", 5}, {"minor", 1}, {"build", 2600}}; }), 4,
       "Not available: needs Windows 10 1607 or later"},
      // While it sanitizes the drive answers nothing but its status log, which
      // says why before the unread capabilities could.
      {"NVMe data disk, a sanitize under way",
       PurgePc([](nlohmann::json&, nlohmann::json& d) {
         d["nvme"]["sanitize"].update({{"state", "in-progress"}, {"lastAction", "crypto"}});
       }),
       4, "Not available: a sanitize is already in progress on this disk"},
      {"NVMe data disk without sanitize or crypto format, build 17763",
       PurgePc([](nlohmann::json& pc, nlohmann::json& d) {
         pc["os"]["build"] = 17763;
         d["nvme"]["identifyController"]["sanicap"] = "0x00000000";
         d["nvme"]["identifyController"]["fna"] = "0x00";
       }),
       4, "Not available: the disk offers no sanitize or crypto format"},
  };
  for (const Case& c : cases) {
    auto run = trv::test::Play(c.pc, "select DriveList " + std::to_string(c.row) + "; click btContinue; tab 1");
    const auto& m = run.app->FmMain;
    EXPECT_EQ(run.exitReason, "main window closed") << c.what;
    EXPECT_EQ(U8(m.lbPurgeReason.caption()), c.beside) << c.what;
    EXPECT_EQ(m.cbPurge.enabled(), std::string(c.beside).starts_with("Method: ")) << c.what;
    EXPECT_FALSE(m.cbPurge.checked()) << c.what;
    // Reading what the disk offers sends nothing that changes it.
    EXPECT_EQ(CountContaining(Journal(run), "REINITIALIZE_MEDIA"), 0u) << c.what;
    EXPECT_EQ(run.platform->journal().Count("WriteFile"), 0u) << c.what;
  }
}

TEST(PurgeWindow, QuickWipeAndPurgeExcludeEachOtherAndTheFillStaysTheDefault) {
  auto run = trv::test::Play(PurgePc(), std::string(kOpenDisk4) +
                                            "check cbQuickWipe; check cbPurge; check cbQuickWipe");
  const auto& m = run.app->FmMain;
  EXPECT_TRUE(run.ui->problems().empty());
  EXPECT_TRUE(m.cbQuickWipe.checked());
  EXPECT_FALSE(m.cbPurge.checked());  // the quick wipe, checked last, took it away
  auto purge = trv::test::Play(PurgePc(), std::string(kOpenDisk4) + "check cbQuickWipe; check cbPurge");
  EXPECT_FALSE(purge.app->FmMain.cbQuickWipe.checked());
  EXPECT_TRUE(purge.app->FmMain.cbPurge.checked());
  // A disabled purge box cannot be checked.
  auto sata = trv::test::Play(PurgePc(), "select DriveList 1; click btContinue; tab 1; check cbPurge");
  EXPECT_FALSE(sata.app->FmMain.cbPurge.checked());
  ASSERT_EQ(sata.ui->problems().size(), 1u);
  EXPECT_EQ(sata.ui->problems()[0], "\"check cbPurge\": cbPurge is disabled");
}

// The confirmation names the disk, the method, its scope and the drive's
// estimate, and says that a purge cannot be undone or stopped; Cancel sends nothing.
TEST(PurgeWindow, TheConfirmationNamesDiskMethodScopeAndEstimate) {
  auto run = trv::test::Play(PurgePc(), std::string(kOpenDisk4) + kConfirmPurge + "Cancel");
  ASSERT_EQ(run.ui->boxes().size(), 1u);
  const auto& box = run.ui->boxes()[0];
  EXPECT_EQ(box.kind, "TaskDialog");
  EXPECT_EQ(U8(box.caption), "Warning");
  EXPECT_EQ(U8(box.instruction), "All data on the selected device will be purged by its firmware");
  // The disk as the drive names itself (Identify Controller) and as Windows
  // does; its 131,072 sectors of 512 bytes; the estimate is the log's crypto time.
  EXPECT_EQ(U8(box.text),
            "Are you absolutely sure you want to irreversibly destroy all data on this device?\r\n\r\n"
            "Disk 4: Samsung SSD 980 1TB, serial S64ANS0T512345X (Windows shows NVMe Samsung SSD 980, serial "
            "0025_38B5_21B0_3D4E.), 67,108,864 bytes\r\n"
            "Method: Sanitize, crypto erase\r\n"
            "Scope: every namespace of the controller (1 namespace)\r\n"
            "Estimate: about 2 minutes (the drive's estimate)\r\n\r\n"
            "A purge cannot be undone or stopped. Once it has begun, keep the computer on until it ends: the drive "
            "goes on purging after a restart.");
  EXPECT_EQ(box.answer, 2);
  EXPECT_EQ(CountContaining(Journal(run), "REINITIALIZE_MEDIA"), 0u);
  EXPECT_TRUE(run.app->FmMain.cbPurge.checked());
  EXPECT_TRUE(run.app->FmMain.cbPurge.enabled());
  EXPECT_TRUE(run.ui->problems().empty());
}

// A confirmed purge on the disk's firmware: Stop stays disabled and says why,
// a close asks to wait and the window stays, a log-off is refused with the
// purge's own reason, the elapsed time runs against the drive's estimate, and
// the drive's proven sanitize ends as "purged". The request waits for the
// drive (a minute on the PC's clock): the window answers meanwhile, one idle
// turn per 100 ms (waithang).
TEST(PurgeWindow, APurgeEndsPurgedWithStopDisabledAndACloseThatWaits) {
  auto run = trv::test::Play(PurgePc(), std::string(kOpenDisk4) + kConfirmPurge +
                                            "Yes; waithang 10; click btStop; waithang 10; close; waithang 10; "
                                            "read lbPurgeReason; waithang 10; read lbCurrentPosition; waithang 10; "
                                            "shutdown");
  const auto& m = run.app->FmMain;
  EXPECT_EQ(run.exitReason, "main window closed");  // by the user, once the purge had ended
  EXPECT_EQ(run.ui->problems(), (std::vector<std::string>{"\"click btStop\": btStop is disabled"}));
  ASSERT_EQ(run.ui->boxes().size(), 2u);
  EXPECT_EQ(run.ui->boxes()[0].answer, 6);
  const auto& wait = run.ui->boxes()[1];
  EXPECT_EQ(U8(wait.caption), "Purge in progress");
  EXPECT_EQ(wait.flags, 0x30u);
  EXPECT_EQ(U8(wait.text), U8(trv::app::kPurgeCloseText));
  ASSERT_EQ(run.ui->readings().size(), 2u);
  EXPECT_EQ(run.ui->readings()[0], "lbPurgeReason: Stop is disabled: a purge cannot be stopped.");
  EXPECT_TRUE(run.ui->readings()[1].starts_with("lbCurrentPosition: Elapsed 0:00:")) << run.ui->readings()[1];
  EXPECT_TRUE(run.ui->readings()[1].ends_with(", est. 0:02:00")) << run.ui->readings()[1];
  EXPECT_EQ(run.ui->sessionEnds(), (std::vector<std::string>{"refused"}));
  EXPECT_EQ(run.ui->shutdownBlocks(),
            (std::vector<std::string>{"FmMain: " + U8(trv::app::kPurgeRunningReason), "FmMain: -"}));
  // One request, with the input 21H1 takes: Sanitize, crypto erase, twice the drive's estimate and 30 minutes as its timeout.
  const auto journal = Journal(run);
  EXPECT_EQ(CountContaining(journal, "IOCTL_STORAGE_REINITIALIZE_MEDIA"), 1u);
  // The computer is kept from sleeping from before the request until the drive has ended.
  const auto at = [&](const std::string& text) {
    return std::find_if(journal.begin(), journal.end(), [&](const std::string& line) { return line.find(text) != std::string::npos; }) -
           journal.begin();
  };
  EXPECT_LT(at("SetThreadExecutionState 0x80000001"), at("IOCTL_STORAGE_REINITIALIZE_MEDIA"));
  EXPECT_GT(at("SetThreadExecutionState 0x80000000"), at("IOCTL_STORAGE_REINITIALIZE_MEDIA"));
  EXPECT_LT(at("SetThreadExecutionState 0x80000000"), static_cast<std::ptrdiff_t>(journal.size()));
  EXPECT_EQ(CountContaining(journal, "IOCTL_STORAGE_REINITIALIZE_MEDIA version=16 size=16 timeout=2040 method=crypto "
                                     "disallowExit=0"),
            1u);
  // Afterwards: the outcome, the bar at its end, the controls back, the purge offered again.
  EXPECT_EQ(U8(m.lbSpeed.caption()), "Purge: purged");
  EXPECT_EQ(m.pbCurrentTask.position(), 100);
  EXPECT_EQ(m.pbCurrentTask.state(), trv::ui::ProgressState::Paused);
  EXPECT_FALSE(m.btStop.enabled());
  EXPECT_TRUE(m.btRunBenchmarks.enabled());
  EXPECT_TRUE(m.cbPurge.enabled());
  EXPECT_EQ(U8(m.lbPurgeReason.caption()), "Method: Sanitize, crypto erase");
  const auto log = Messages(m.Log_BenchMark);
  EXPECT_EQ(CountContaining(log, "purged"), 1u);
}

// A purge that does not prove itself never says "purged": a drive that
// reports success and changes nothing ends "failed", one whose status log
// cannot be read "purge unverified"; each with a box that says so.
TEST(PurgeWindow, ALyingDriveShowsFailedAndAnUnreadableStatusUnverified) {
  struct Case {
    const char* what;
    nlohmann::json sanitize;
    const char* outcome;
    const char* caption;
  };
  const Case cases[] = {
      {"lies", {{"fault", "lies"}}, "Purge: failed", "Purge failed"},
      {"status log unreadable", {{"statusLog", false}}, "Purge: purge unverified", "Purge unverified"},
  };
  for (const Case& c : cases) {
    auto run = trv::test::Play(PurgePc([&](nlohmann::json&, nlohmann::json& d) { d["nvme"]["sanitize"].update(c.sanitize); }),
                               std::string(kOpenDisk4) + kConfirmPurge + "Yes");
    const auto& m = run.app->FmMain;
    EXPECT_EQ(U8(m.lbSpeed.caption()), c.outcome) << c.what;
    EXPECT_EQ(m.pbCurrentTask.state(), trv::ui::ProgressState::Error) << c.what;
    ASSERT_EQ(run.ui->boxes().size(), 2u) << c.what;
    EXPECT_EQ(U8(run.ui->boxes()[1].caption), c.caption) << c.what;
    EXPECT_EQ(CountContaining(Messages(m.Log_BenchMark), "purged"), 0u) << c.what;
    EXPECT_TRUE(run.ui->problems().empty()) << c.what;
  }
}
