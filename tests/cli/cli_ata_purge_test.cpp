// `erase N --purge` of a SATA disk and `unlock N` on the simulated PC
// (docs/cli.md, "ATA and SATA disks"; docs/purging.md): each method where
// Windows lets it through, what Windows 10 and a frozen drive refuse before
// anything is sent, and a password a cut-off security erase left, taken away
// once per power cycle.
#include <gtest/gtest.h>

#include <algorithm>

#include "cli/cli_support.h"
#include "format/ata_password_file.h"
#include "format/format_support.h"

using namespace trv::test;
using nlohmann::json;

namespace {

constexpr char kSerial[] = "WD-WCAPW1234567";
const std::string kPasswordFile =
    "C:\\Users\\User\\AppData\\Local\\Trevasso\\records\\ata-password-" + std::string(kSerial) + ".json";

json XpSp3() { return {{"major", 5}, {"minor", 1}, {"build", 2600}, {"csd", "Service Pack 3"}}; }
json VistaSp2() { return {{"major", 6}, {"minor", 0}, {"build", 6002}, {"csd", "Service Pack 2"}}; }
json Windows7() { return {{"major", 6}, {"minor", 1}, {"build", 7601}, {"csd", "Service Pack 1"}}; }
json Windows10() { return {{"major", 10}, {"minor", 0}, {"build", 19045}, {"csd", ""}}; }

// The default PC's data disk (a 500 GB WD hard disk on SATA, its volumes E:
// and F:) with the Security and Sanitize feature sets: crypto scramble, block
// erase and overwrite, an enhanced security erase, each a minute on the PC's
// clock. `ata` is merged over its ATA side, `os` over the PC's Windows.
trv::sim::Scenario AtaPc(const json& os, const json& ata = json::object(), bool pe = false) {
  json disk = json::parse(trv::sim::DefaultScenarioJson())["drives"][1];
  disk["media"] = FastMedia();
  json side = {{"security",
                {{"state", "disabled"}, {"enhanced", true}, {"normalEraseMinutes", 2}, {"enhancedEraseMinutes", 2},
                 {"eraseSeconds", 60}}},
               {"sanitize", {{"crypto", true}, {"block", true}, {"overwrite", true}, {"durationSeconds", 60}}}};
  side.merge_patch(ata);
  disk["ata"].merge_patch(side);
  json o = os;
  o["windowsPe"] = pe;
  return PcWithDisk1(disk, {{"os", o}});
}

std::vector<std::string> OutLines(const CliRun& run) {
  std::vector<std::string> lines;
  std::istringstream in(run.host.out);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The ATA commands the journal names, in order: "SECURITY SET PASSWORD", "SANITIZE ...".
std::vector<std::string> AtaCommands(const CliRun& run, const std::string& part) {
  std::vector<std::string> sent;
  for (const auto& e : run.platform->journal().entries())
    if (e.detail.find("command=0x") != std::string::npos && e.detail.find(part) != std::string::npos)
      sent.push_back(e.detail);
  return sent;
}
std::size_t Sent(const CliRun& run, const std::string& part) { return AtaCommands(run, part).size(); }

// The password file an earlier, cut-off security erase saved for the disk.
void SavePassword(trv::sim::SimPlatform& platform, const std::string& password) {
  trv::format::SavedPassword saved;
  saved.serial = kSerial;
  saved.model = "WDC WD5000AAKS-00TMA0";
  saved.password = password;
  saved.setAt = "2026-12-08T17:05:09Z";
  std::uint32_t error = 0;
  ASSERT_TRUE(trv::format::SavePasswordFile(platform, kDefaultRecords, saved, error)) << error;
}

// A PC whose disk 1 is locked with `password`, and our file for it saved with `saved`.
std::unique_ptr<trv::sim::SimPlatform> LockedPc(const json& os, const std::string& password, const std::string& saved) {
  auto pc = std::make_unique<trv::sim::SimPlatform>(
      AtaPc(os, {{"security", {{"state", "locked"}, {"userPassword", password}}}}));
  SavePassword(*pc, saved);
  return pc;
}

} // namespace

// Windows XP SP3, Vista and PE let every method through: each one insisted on
// runs, proves itself and earns "purged"; a security erase says first where
// its password is kept, and leaves no password and no file behind.
TEST(CliAtaPurge, XpVistaAndPeRunEachMethodTheyAreAskedFor) {
  struct Case {
    json os;
    bool pe;
    std::string method, methodText, command;
  };
  for (const Case& c : std::vector<Case>{
           {XpSp3(), false, "", "Sanitize, crypto scramble", "CRYPTO SCRAMBLE EXT"},
           {XpSp3(), false, "=block", "Sanitize, block erase", "BLOCK ERASE EXT"},
           {XpSp3(), false, "=overwrite", "Sanitize, overwrite (one pass of zeros)", "OVERWRITE EXT"},
           {VistaSp2(), false, "=enhanced-secure-erase", "Security erase, enhanced", "SECURITY ERASE UNIT"},
           {VistaSp2(), false, "=secure-erase", "Security erase", "SECURITY ERASE UNIT"},
           {Windows10(), true, "=secure-erase", "Security erase", "SECURITY ERASE UNIT"}}) {
    const std::string what = c.os["build"].dump() + c.method;
    auto run = Cli(AtaPc(c.os, json::object(), c.pe), "erase 1 --purge" + c.method + " --confirm-serial " + kSerial);
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
      const std::string kind = c.pe ? "(Windows PE's own, AutoATAWindowsString12345678901)" : "(a random one)";
      EXPECT_NE(run.host.err.find("note: the security erase sets a temporary password on disk 1 " + kind +
                                  " and keeps it in " + kPasswordFile +
                                  " until the drive shows it gone. If the erase is cut off, trevasso-cli unlock 1 "
                                  "takes the password away again.\n"),
                std::string::npos)
          << what << '\n' << run.host.err;
      if (c.pe) {
        EXPECT_NE(AtaCommands(run, "SET PASSWORD").at(0).find("AutoATAWindowsString12345678901"), std::string::npos);
      }
      EXPECT_FALSE(run.platform->FileContent(trv::Utf8ToUtf16(kPasswordFile))) << what << ": deleted once proven gone";
    }
    const json disk = Cli(AtaPc(c.os, json::object(), c.pe), "details 1 --json").Json()["purge"];
    EXPECT_EQ(disk["ata_security"]["state"], "disabled") << what;
  }
}

// Windows 10 outside PE offers no security erase (a password could be set and
// the erase refused); a sanitize is tried, the driver refuses it, and nothing
// is lost. A frozen drive is refused with what helps before any command.
TEST(CliAtaPurge, Windows10AndAFrozenDriveRefuseBeforeTheDiskIsTouched) {
  auto secure = Cli(AtaPc(Windows10()), "erase 1 --purge=secure-erase --json --confirm-serial " + std::string(kSerial));
  EXPECT_EQ(secure.code, 13) << secure.host.err;
  EXPECT_EQ(secure.Json()["code"], "purge-security-erase-not-here");
  EXPECT_EQ(Sent(secure, "SECURITY"), 0u);

  auto sanitize = Cli(AtaPc(Windows10()), "erase 1 --purge --confirm-serial " + std::string(kSerial));
  EXPECT_EQ(sanitize.code, 15) << sanitize.host.err;
  const auto lines = OutLines(sanitize);
  ASSERT_GE(lines.size(), 3u) << sanitize.host.out;
  EXPECT_TRUE(lines[0].starts_with("outcome: failed: ")) << lines[0];
  EXPECT_TRUE(lines[0].ends_with(" (command-failed)")) << lines[0];
  EXPECT_EQ(lines[1], "method: Sanitize, crypto scramble, the whole disk");
  EXPECT_EQ(Sent(sanitize, "CRYPTO SCRAMBLE EXT"), 1u);
  EXPECT_TRUE(sanitize.platform->Media(1)->changed.Empty()) << "refused by the driver: nothing lost";

  auto frozen = Cli(AtaPc(VistaSp2(), {{"security", {{"frozenByBios", true}}}}),
                    "erase 1 --purge=secure-erase --confirm-serial " + std::string(kSerial));
  EXPECT_EQ(frozen.code, 13);
  EXPECT_EQ(frozen.host.err,
            "trevasso-cli: not available here: the purge asked for cannot run on this disk: the disk's security "
            "commands are frozen: power the disk off and on without the firmware freezing it, or boot Windows PE on "
            "another PC (purge-frozen). Nothing was sent\n");
  EXPECT_EQ(Sent(frozen, "SECURITY"), 0u);
  EXPECT_EQ(Sent(frozen, "SANITIZE DEVICE"), 0u);
  EXPECT_TRUE(frozen.platform->FilesWritten(kDefaultRecords).empty()) << "no record, no password file";
  const json list = Cli(AtaPc(VistaSp2(), {{"security", {{"frozenByBios", true}}}}), "list --json").Json();
  EXPECT_EQ(list["disks"][1]["purge"]["ata_security"]["frozen"], true);
}

// A disk an erase left locked (its power went; the test saved the file the
// erase had written): list and details say so, unlock takes the password
// away with UNLOCK then DISABLE PASSWORD, and the file goes with it.
TEST(CliAtaPurge, UnlockTakesAwayThePasswordACutOffEraseLeft) {
  auto pc = LockedPc(VistaSp2(), "X1234", "X1234");
  auto list = CliOn(std::move(pc), "list --json");
  const json security = list.Json()["disks"][1]["purge"]["ata_security"];
  EXPECT_EQ(security["state"], "locked");
  EXPECT_EQ(security["saved_password"], true);
  EXPECT_EQ(security["password_file"], kPasswordFile);
  EXPECT_EQ(list.Json()["disks"][1]["purge"]["finishes_erase"], true);
  auto run = CliOn(std::move(list.platform), "unlock 1");
  EXPECT_EQ(run.code, 0) << run.host.err;
  const auto lines = OutLines(run);
  ASSERT_EQ(lines.size(), 3u) << run.host.out;
  EXPECT_EQ(lines[0], "disk 1: locked, with the password this program saved in " + kPasswordFile);
  EXPECT_EQ(lines[1], "outcome: removed (password-removed)");
  EXPECT_EQ(Sent(run, "SECURITY UNLOCK"), 1u);
  EXPECT_EQ(Sent(run, "SECURITY DISABLE PASSWORD"), 1u);
  EXPECT_FALSE(run.platform->FileContent(trv::Utf8ToUtf16(kPasswordFile)));
  // Nothing left to take away: said, and nothing sent.
  auto again = CliOn(std::move(run.platform), "unlock 1 --json");
  EXPECT_EQ(again.code, 4);
  EXPECT_EQ(again.Json()["code"], "no-password-set");
  EXPECT_EQ(Sent(again, "SECURITY"), 0u);
  // A password that is not ours is not touched.
  auto foreign = Cli(AtaPc(VistaSp2(), {{"security", {{"state", "locked"}, {"userPassword", "THEIRS"}}}}), "unlock 1 --json");
  EXPECT_EQ(foreign.code, 4);
  EXPECT_EQ(foreign.Json()["code"], "no-saved-password");
  EXPECT_EQ(Sent(foreign, "SECURITY"), 0u);
}

// Windows 7's driver refuses the Security commands: the first unlock sends
// UNLOCK and is refused (16); the second in the same power cycle sends
// nothing (17); after a power cycle it may be tried again. A password the
// drive refused is never sent again.
TEST(CliAtaPurge, UnlockIsTriedOncePerPowerCycleAndARefusedPasswordNeverAgain) {
  auto first = CliOn(LockedPc(Windows7(), "X1234", "X1234"), "unlock 1 --json");
  EXPECT_EQ(first.code, 16) << first.host.err;
  EXPECT_EQ(first.Json()["outcome"], "failed");
  EXPECT_EQ(first.Json()["code"], "driver-refused");
  EXPECT_EQ(Sent(first, "SECURITY UNLOCK"), 1u);
  auto second = CliOn(std::move(first.platform), "unlock 1 --json");
  EXPECT_EQ(second.code, 17);
  EXPECT_EQ(second.Json()["outcome"], "not-tried");
  EXPECT_EQ(second.Json()["code"], "undo-tried-this-power-cycle");
  EXPECT_EQ(Sent(second, "SECURITY UNLOCK"), 0u);
  second.platform->PowerCycle();
  auto third = CliOn(std::move(second.platform), "unlock 1 --json");
  EXPECT_EQ(third.Json()["code"], "driver-refused") << "a new power cycle, a new try";

  auto wrong = CliOn(LockedPc(VistaSp2(), "X1234", "WRONG"), "unlock 1 --json");
  EXPECT_EQ(wrong.code, 16);
  EXPECT_EQ(wrong.Json()["code"], "password-refused");
  wrong.platform->PowerCycle();
  auto never = CliOn(std::move(wrong.platform), "unlock 1 --json");
  EXPECT_EQ(never.code, 17);
  EXPECT_EQ(never.Json()["code"], "password-refused-before");
  EXPECT_EQ(Sent(never, "SECURITY UNLOCK"), 0u);
}

TEST(CliAtaPurge, UsageErrorsTouchNothing) {
  for (const auto& [args, message] : std::vector<std::pair<std::string, std::string>>{
           {"erase 1 --purge=sanitize --confirm-serial S",
            "--purge takes no method, or =crypto, =block, =overwrite, =secure-erase or =enhanced-secure-erase, not: "
            "--purge=sanitize"},
           {"erase 1 --purge secure-erase --confirm-serial S", "write --purge=secure-erase, not --purge secure-erase"},
           {"unlock", "which disk? give its number"},
           {"unlock 1 --purge", "--purge belongs to erase"},
           {"unlock 1 --confirm-serial S", "--confirm-serial belongs to erase"},
           {"smart 1 --records C:\\R", "--records belongs to erase, unlock, list and details"}}) {
    auto run = Cli(AtaPc(VistaSp2()), args);
    EXPECT_EQ(run.code, 2) << args;
    EXPECT_TRUE(run.host.err.starts_with("trevasso-cli: " + message + "\nusage: ")) << run.host.err;
    EXPECT_EQ(run.platform->journal().Count("CreateFileW"), 0u) << args;
  }
  const std::string help = Cli(AtaPc(VistaSp2()), "--help").host.out;
  for (const char* part : {"trevasso-cli unlock N [--records DIR] [--json]", "\n  16  unlock: ", "\n  17  unlock: "})
    EXPECT_NE(help.find(part), std::string::npos) << part;
}
