// `erase N --purge` of a SATA disk and `unlock N` on the simulated PC
// (docs/cli.md, "ATA and SATA disks"; docs/purging.md): each method where
// Windows lets it through, what Windows 10 and a frozen drive refuse before
// anything is sent, and a password a cut-off security erase left, taken away
// once per power cycle.
#include <gtest/gtest.h>

#include <algorithm>

#include "cli/cli_support.h"
#include "format/ata_purge_support.h"

using namespace trv::test;
using nlohmann::json;

namespace {

const std::string kPasswordFile = trv::Utf16ToUtf8(kAtaPasswordFile);
const std::string kConfirm = std::string(" --confirm-serial ") + kAtaSerial;

// A 64 MiB SATA disk with the Security and Sanitize feature sets: crypto
// scramble, block erase and overwrite, an enhanced security erase, each a
// minute on the PC's clock; `security` and `sanitize` are merged over them.
trv::sim::Scenario Pc(const json& os, const json& security = json::object(), const json& sanitize = json::object()) {
  json sec = {{"state", "disabled"}, {"enhanced", true}, {"normalEraseMinutes", 2}, {"enhancedEraseMinutes", 2},
              {"eraseSeconds", 60}};
  json san = {{"crypto", true}, {"block", true}, {"overwrite", true}, {"durationSeconds", 60}};
  sec.merge_patch(security);
  san.merge_patch(sanitize);
  return AtaPc(os, AtaDisk(sec, san));
}

std::vector<std::string> OutLines(const CliRun& run) {
  std::vector<std::string> lines;
  std::istringstream in(run.host.out);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// How many ATA commands naming `part` the journal shows from entry `from` on ("SECURITY UNLOCK").
std::size_t Sent(const CliRun& run, const std::string& part, std::size_t from = 0) {
  const auto& entries = run.platform->journal().entries();
  return static_cast<std::size_t>(std::count_if(entries.begin() + static_cast<std::ptrdiff_t>(from), entries.end(), [&](const auto& e) {
    return e.detail.find("command=0x") != std::string::npos && e.detail.find(part) != std::string::npos;
  }));
}
// The commands that change a disk: the Security commands and the sanitize functions.
std::size_t SentChanging(const CliRun& run, std::size_t from = 0) {
  std::size_t n = Sent(run, "SECURITY", from);
  for (const char* function : {"CRYPTO SCRAMBLE EXT", "BLOCK ERASE EXT", "OVERWRITE EXT"}) n += Sent(run, function, from);
  return n;
}

// The program again on the PC `before` ran on; `from`: where this run's journal begins.
CliRun Again(CliRun& before, const std::string& args, std::size_t& from) {
  from = before.platform->journal().entries().size();
  return CliOn(std::move(before.platform), args);
}

// A PC whose disk 1 is locked with `password`, and the file an erase of ours
// saved for it (before the power went) holding `saved`.
std::unique_ptr<trv::sim::SimPlatform> LockedPc(const json& os, const std::string& password, const std::string& saved) {
  auto pc = std::make_unique<trv::sim::SimPlatform>(Pc(os, {{"state", "locked"}, {"userPassword", password}}));
  SaveTestPassword(*pc, saved);
  return pc;
}

} // namespace

// Windows XP SP3, Vista and PE let every method through: each one insisted on
// runs, proves itself and earns "purged"; a security erase says first where
// its password is kept, and leaves no password and no file behind.
TEST(CliAtaPurge, XpVistaAndPeRunEachMethodTheyAreAskedFor) {
  struct Case {
    json os;
    std::string method, methodText, command;
  };
  for (const Case& c : std::vector<Case>{
           {XpSp3(), "", "Sanitize, crypto scramble", "CRYPTO SCRAMBLE EXT"},
           {XpSp3(), "=block", "Sanitize, block erase", "BLOCK ERASE EXT"},
           {XpSp3(), "=overwrite", "Sanitize, overwrite (one pass of zeros)", "OVERWRITE EXT"},
           {Vista(), "=enhanced-secure-erase", "Security erase, enhanced", "SECURITY ERASE UNIT"},
           {Vista(), "=secure-erase", "Security erase", "SECURITY ERASE UNIT"},
           {WindowsPe(), "=secure-erase", "Security erase", "SECURITY ERASE UNIT"}}) {
    const std::string what = c.os["build"].dump() + c.method;
    const bool pe = c.os.contains("windowsPe");
    auto run = Cli(Pc(c.os), "erase 1 --purge" + c.method + kConfirm);
    EXPECT_EQ(run.code, 0) << what << '\n' << run.host.err;
    const auto lines = OutLines(run);
    ASSERT_EQ(lines.size(), 5u) << what << '\n' << run.host.out;
    EXPECT_EQ(lines[0], "outcome: purged") << what;
    EXPECT_EQ(lines[1], "method: " + c.methodText + ", the whole disk") << what;
    EXPECT_EQ(lines[2], "category: Purge") << what;
    EXPECT_EQ(Sent(run, c.command), 1u) << what;
    const bool security = c.command == "SECURITY ERASE UNIT";
    EXPECT_EQ(Sent(run, "SECURITY SET PASSWORD"), security ? 1u : 0u) << what;
    if (security) {
      // Said before the password is set; in PE the one password PE lets through.
      const std::string kind = pe ? "(Windows PE's own, AutoATAWindowsString12345678901)" : "(a random one)";
      EXPECT_NE(run.host.err.find("note: the security erase sets a temporary password on disk 1 " + kind +
                                  " and keeps it in " + kPasswordFile +
                                  " until the drive shows it gone. If the erase is cut off, trevasso-cli unlock 1 "
                                  "takes the password away again.\n"),
                std::string::npos)
          << what << '\n' << run.host.err;
      EXPECT_EQ(PasswordSent(*run.platform, "AutoATAWindowsString12345678901"), pe ? 2u : 0u) << what << ": SET PASSWORD, ERASE UNIT";
      EXPECT_FALSE(run.platform->FileContent(kAtaPasswordFile)) << what << ": deleted once proven gone";
    }
    EXPECT_EQ(Cli(Pc(c.os), "details 1 --json").Json()["purge"]["ata_security"]["state"], "disabled") << what;
  }
}

// Windows 10 outside PE offers no security erase (a password could be set and
// the erase refused); a sanitize is tried, the driver refuses it, and nothing
// is lost. A frozen drive is refused with what helps before any command.
TEST(CliAtaPurge, Windows10AndAFrozenDriveRefuseBeforeTheDiskIsTouched) {
  auto secure = Cli(Pc(Windows10()), "erase 1 --purge=secure-erase --json" + kConfirm);
  EXPECT_EQ(secure.code, 13) << secure.host.err;
  EXPECT_EQ(secure.Json()["code"], "purge-security-erase-not-here");
  EXPECT_EQ(SentChanging(secure), 0u);

  auto sanitize = Cli(Pc(Windows10()), "erase 1 --purge" + kConfirm);
  EXPECT_EQ(sanitize.code, 15) << sanitize.host.err;
  const auto lines = OutLines(sanitize);
  ASSERT_GE(lines.size(), 3u) << sanitize.host.out;
  EXPECT_TRUE(lines[0].starts_with("outcome: failed: ")) << lines[0];
  EXPECT_TRUE(lines[0].ends_with(" (command-failed)")) << lines[0];
  EXPECT_EQ(lines[1], "method: Sanitize, crypto scramble, the whole disk");
  EXPECT_EQ(Sent(sanitize, "CRYPTO SCRAMBLE EXT"), 1u);
  EXPECT_TRUE(sanitize.platform->Media(1)->changed.Empty()) << "refused by the driver: nothing lost";

  auto frozen = Cli(Pc(Vista(), {{"frozenByBios", true}}),
                    "erase 1 --purge=secure-erase" + kConfirm);
  EXPECT_EQ(frozen.code, 13);
  EXPECT_EQ(frozen.host.err,
            "trevasso-cli: not available here: the purge asked for cannot run on this disk: the disk's security "
            "commands are frozen: power the disk off and on without the firmware freezing it, or boot Windows PE on "
            "another PC (purge-frozen). Nothing was sent\n");
  EXPECT_EQ(SentChanging(frozen), 0u);
  EXPECT_TRUE(frozen.platform->FilesWritten(kPurgeRecords).empty()) << "no record, no password file";
  const json list = Cli(Pc(Vista(), {{"frozenByBios", true}}), "list --json").Json();
  EXPECT_EQ(list["disks"][0]["purge"]["ata_security"]["frozen"], true);
}

// A security erase whose power goes half way leaves the drive locked: after
// the power cycle list says so and that our password is saved, unlock takes
// it away with UNLOCK then DISABLE PASSWORD, and the file goes with it.
TEST(CliAtaPurge, UnlockTakesAwayThePasswordACutOffEraseLeft) {
  std::size_t from = 0;
  auto cut = Cli(Pc(Vista(), {{"fault", "power-loss"}, {"cutAt", 0.5}}), "erase 1 --purge=secure-erase" + kConfirm);
  EXPECT_EQ(cut.code, 15) << cut.host.err;
  EXPECT_TRUE(OutLines(cut).at(0).starts_with("outcome: failed: ")) << cut.host.out;
  EXPECT_TRUE(cut.platform->FileContent(kAtaPasswordFile)) << "kept: the drive is out of reach";
  cut.platform->Sleep(120'000);
  cut.platform->PowerCycle();
  auto list = Again(cut, "list --json", from);
  const json purge = list.Json()["disks"][0]["purge"];
  EXPECT_EQ(purge["ata_security"], (json{{"state", "locked"}, {"frozen", false}, {"count_expired", false},
                                         {"saved_password", true}, {"password_file", kPasswordFile}}));
  EXPECT_EQ(purge["finishes_erase"], true);
  EXPECT_EQ(purge["method"], "ata-security-erase-enhanced");
  EXPECT_EQ(SentChanging(list, from), 0u) << "list reads, and sends nothing that changes the disk";
  auto run = Again(list, "unlock 1", from);
  EXPECT_EQ(run.code, 0) << run.host.err;
  const auto lines = OutLines(run);
  ASSERT_EQ(lines.size(), 3u) << run.host.out;
  EXPECT_EQ(lines[0], "disk 1: locked, with the password this program saved in " + kPasswordFile);
  EXPECT_EQ(lines[1], "outcome: removed (password-removed)");
  EXPECT_EQ(Sent(run, "SECURITY UNLOCK", from), 1u);
  EXPECT_EQ(Sent(run, "SECURITY DISABLE PASSWORD", from), 1u);
  EXPECT_FALSE(run.platform->FileContent(kAtaPasswordFile));
  // Nothing left to take away: said, and nothing sent.
  auto again = Again(run, "unlock 1 --json", from);
  EXPECT_EQ(again.code, 4);
  EXPECT_EQ(again.Json()["code"], "no-password-set");
  EXPECT_EQ(SentChanging(again, from), 0u);
  // A password that is not ours is not touched.
  auto foreign = Cli(Pc(Vista(), {{"state", "locked"}, {"userPassword", "THEIRS"}}), "unlock 1 --json");
  EXPECT_EQ(foreign.code, 4);
  EXPECT_EQ(foreign.Json()["code"], "no-saved-password");
  EXPECT_EQ(SentChanging(foreign), 0u);
}

// Windows 7's driver refuses the Security commands: the first unlock sends
// UNLOCK and is refused (16); the second in the same power cycle sends
// nothing (17); after a power cycle it may be tried again. A password the
// drive refused is never sent again.
TEST(CliAtaPurge, UnlockIsTriedOncePerPowerCycleAndARefusedPasswordNeverAgain) {
  std::size_t from = 0;
  auto first = CliOn(LockedPc(Windows7(), "X1234", "X1234"), "unlock 1 --json");
  EXPECT_EQ(first.code, 16) << first.host.err;
  EXPECT_EQ(first.Json()["outcome"], "failed");
  EXPECT_EQ(first.Json()["code"], "driver-refused");
  EXPECT_EQ(Sent(first, "SECURITY UNLOCK"), 1u);
  auto second = Again(first, "unlock 1 --json", from);
  EXPECT_EQ(second.code, 17);
  EXPECT_EQ(second.Json()["outcome"], "not-tried");
  EXPECT_EQ(second.Json()["code"], "undo-tried-this-power-cycle");
  EXPECT_EQ(SentChanging(second, from), 0u);
  second.platform->Sleep(120'000);  // off for two minutes
  second.platform->PowerCycle();
  auto third = Again(second, "unlock 1 --json", from);
  EXPECT_EQ(third.Json()["code"], "driver-refused") << "a new power cycle, a new try";

  auto wrong = CliOn(LockedPc(Vista(), "X1234", "WRONG"), "unlock 1 --json");
  EXPECT_EQ(wrong.code, 16);
  EXPECT_EQ(wrong.Json()["code"], "password-refused");
  wrong.platform->Sleep(120'000);
  wrong.platform->PowerCycle();
  auto never = Again(wrong, "unlock 1 --json", from);
  EXPECT_EQ(never.code, 17);
  EXPECT_EQ(never.Json()["code"], "password-refused-before");
  EXPECT_EQ(SentChanging(never, from), 0u);
}
