// The format tab's firmware purge of a SATA disk, played by the scripted user
// (docs/headless.md): the box's reason where Windows lets no method through,
// a security erase's confirmation with its password and file, and the
// question after the scan about a disk an erase left with a password.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/headless_run.h"
#include "app/purge_tab.h"
#include "format/ata_purge_support.h"
#include "platform/sim/sim_platform.h"
#include "platform/text.h"
#include "test_support.h"

using trv::test::U8;
using nlohmann::json;

namespace {

const std::string kPasswordFile = trv::Utf16ToUtf8(trv::test::kAtaPasswordFile);

// A PC whose only disk (row 0) is a 64 MiB SATA disk with the Security
// feature set, an enhanced erase of a minute, no Sanitize; `security` merged over it.
trv::sim::Scenario Pc(const json& os, const json& security = json::object()) {
  json sec = {{"state", "disabled"}, {"enhanced", true}, {"enhancedEraseMinutes", 2}, {"normalEraseMinutes", 2},
              {"eraseSeconds", 60}};
  sec.merge_patch(security);
  return trv::test::AtaPc(os, trv::test::AtaDisk(sec, nullptr));
}

// Disk 1 locked with the password an erase of ours saved before the power went.
std::unique_ptr<trv::sim::SimPlatform> StrandedPc() {
  auto pc = std::make_unique<trv::sim::SimPlatform>(Pc(trv::test::Vista(), {{"state", "locked"}, {"userPassword", "X1234"}}));
  trv::test::SaveTestPassword(*pc, "X1234");
  return pc;
}

std::size_t Sent(const trv::app::HeadlessRun& run, const std::string& part) {
  std::size_t n = 0;
  for (const auto& e : run.platform->journal().entries())
    n += e.detail.find("command=0x") != std::string::npos && e.detail.find(part) != std::string::npos;
  return n;
}

constexpr char kOpenDisk1[] = "select DriveList 0; click btContinue; tab 1; ";

} // namespace

// Beside the box: why none runs on Windows 10 and for a frozen drive (with
// what helps); on Vista the method, and a security erase's confirmation names
// the temporary password and the file it is kept in.
TEST(AtaPurgeWindow, TheBoxSaysWhyNoneRunsAndTheConfirmationNamesThePassword) {
  struct Case {
    const char* what;
    trv::sim::Scenario pc;
    const char* beside;
  };
  const Case cases[] = {
      {"Windows 10, security erase only", Pc(trv::test::Windows10()),
       "Not available: Windows 7 and later let a security erase through only in Windows PE"},
      {"Vista, frozen by the BIOS", Pc(trv::test::Vista(), {{"frozenByBios", true}}),
       "Not available: the disk's security commands are frozen: power the disk off and on without the firmware "
       "freezing it, or boot Windows PE on another PC"},
      {"Vista", Pc(trv::test::Vista()), "Method: Security erase, enhanced"},
  };
  for (const Case& c : cases) {
    auto run = trv::test::Play(c.pc, std::string(kOpenDisk1) + "check cbPurge; click btRunBenchmarks; click btOk; answer Cancel");
    const auto& m = run.app->FmMain;
    EXPECT_EQ(U8(m.lbPurgeReason.caption()), c.beside) << c.what;
    EXPECT_EQ(m.cbPurge.enabled(), std::string(c.beside).starts_with("Method: ")) << c.what;
    EXPECT_EQ(Sent(run, "SECURITY"), 0u) << c.what << ": reading what the disk offers sends nothing";
    if (!m.cbPurge.enabled()) continue;
    ASSERT_EQ(run.ui->boxes().size(), 1u);
    const std::string text = U8(run.ui->boxes()[0].text);
    for (const std::string& part : std::vector<std::string>{
             "\r\nMethod: Security erase, enhanced\r\nScope: the whole disk\r\n",
             "\r\n\r\nA temporary password (a random one) is set on the drive for the erase and kept in " + kPasswordFile +
                 " until the drive shows it gone. If the erase is cut off, this program offers to finish it or to take "
                 "the password away when it next starts.",
             "keep the computer on until it ends: a security erase cut off leaves the drive locked with its password."})
      EXPECT_NE(text.find(part), std::string::npos) << part << "\n" << text;
  }
}

// The frozen drive's reason is longer than its row: a click on it shows it whole.
TEST(AtaPurgeWindow, AClickOnTheReasonShowsItWhole) {
  auto run = trv::test::Play(Pc(trv::test::Vista(), {{"frozenByBios", true}}), std::string(kOpenDisk1) + "click lbPurgeReason");
  ASSERT_EQ(run.ui->boxes().size(), 1u);
  EXPECT_EQ(U8(run.ui->boxes()[0].text),
            "No firmware purge can run on this disk here:\r\n\r\nthe disk's security commands are frozen: power the "
            "disk off and on without the firmware freezing it, or boot Windows PE on another PC.");
}

// After the scan the locked disk with our saved password is asked about:
// No takes the password away (UNLOCK, DISABLE PASSWORD) and says so, Cancel
// leaves it, and either way the selection follows.
TEST(AtaPurgeWindow, ADiskLeftLockedIsAskedAboutAfterTheScan) {
  auto remove = trv::app::RunHeadlessOn(StrandedPc(), "answer No; answer OK; select DriveList 0; click btContinue");
  ASSERT_GE(remove.ui->boxes().size(), 2u);
  const auto& ask = remove.ui->boxes()[0];
  EXPECT_EQ(ask.kind, "TaskDialog");
  EXPECT_EQ(U8(ask.caption), U8(trv::app::kStrandedCaption));
  EXPECT_EQ(U8(ask.instruction), U8(trv::app::kStrandedInstruction));
  EXPECT_TRUE(U8(ask.text).starts_with("Disk 1: ")) << U8(ask.text);
  EXPECT_NE(U8(ask.text).find("\r\nState: locked\r\nPassword file: " + kPasswordFile + " (set "),
            std::string::npos)
      << U8(ask.text);
  EXPECT_EQ(U8(remove.ui->boxes()[1].caption), "Password removed");
  EXPECT_EQ(Sent(remove, "SECURITY UNLOCK"), 1u);
  EXPECT_EQ(Sent(remove, "SECURITY DISABLE PASSWORD"), 1u);
  EXPECT_FALSE(remove.platform->FileContent(trv::Utf8ToUtf16(kPasswordFile)));
  EXPECT_EQ(remove.exitReason, "main window closed");
  EXPECT_EQ(U8(remove.app->FmMain.lbPurgeReason.caption()), "Method: Security erase, enhanced");

  auto leave = trv::app::RunHeadlessOn(StrandedPc(), "answer Cancel; select DriveList 0; click btContinue; tab 1");
  EXPECT_EQ(leave.ui->boxes().size(), 1u);
  EXPECT_EQ(Sent(leave, "SECURITY"), 0u);
  EXPECT_TRUE(leave.platform->FileContent(trv::Utf8ToUtf16(kPasswordFile)));
  // Chosen all the same, the disk's erase is finished with the saved password.
  EXPECT_EQ(U8(leave.app->FmMain.lbPurgeReason.caption()), "Method: Security erase, enhanced");
}

// Yes finishes the erase: the locked disk becomes the chosen one, the format
// tab's purge asks its questions and its confirmation (which names the saved
// password), then PREPARE and ERASE UNIT with the saved password and no new
// one; the drive ends with no password and the file is deleted. An enhanced
// erase of a drive that could not be sampled before is not proven: unverified.
TEST(AtaPurgeWindow, FinishingTheEraseSendsItWithTheSavedPassword) {
  auto run = trv::app::RunHeadlessOn(StrandedPc(), "answer Yes; click btOk; answer Yes");
  const auto& m = run.app->FmMain;
  ASSERT_GE(run.ui->boxes().size(), 2u);
  const std::string confirm = U8(run.ui->boxes()[1].text);
  EXPECT_NE(confirm.find("\r\n\r\nThe drive is locked with the password this program saved in " + kPasswordFile +
                         ": the erase is finished with it, and no new password is set."),
            std::string::npos)
      << confirm;
  EXPECT_EQ(Sent(run, "SECURITY SET PASSWORD"), 0u);
  EXPECT_EQ(Sent(run, "SECURITY ERASE PREPARE"), 1u);
  EXPECT_EQ(Sent(run, "SECURITY ERASE UNIT"), 1u);
  EXPECT_EQ(U8(m.lbSpeed.caption()), "Purge: purge unverified");
  EXPECT_FALSE(run.platform->FileContent(trv::Utf8ToUtf16(kPasswordFile)));
  EXPECT_TRUE(run.ui->problems().empty());
}
