// The firmware purge of ATA and SATA disks through the erase command on the
// simulated PC: each sanitize and security erase on the Windows that lets it
// through, every way the drive, the driver or the power can fail it, the
// password that must never strand a drive, and the record each run leaves.
#include <gtest/gtest.h>

#include <cctype>

#include "ata_purge_support.h"
#include "device/ata_commands.h"
#include "device/ata_sanitize.h"
#include "format/ata_password_undo.h"

using nlohmann::json;
using trv::format::PurgeChoice;
using namespace trv;
using namespace trv::test;

namespace {

const json kNoFeature = nullptr;
constexpr std::uint16_t kPasswordEnabled = 1 << 1, kLocked = 1 << 2;

std::string Name(const char* text) {
  std::string name;
  for (const char* c = text; *c; ++c) name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
  return name;
}

bool AllZero(const std::vector<std::uint8_t>& sector) {
  return !sector.empty() && std::all_of(sector.begin(), sector.end(), [](std::uint8_t b) { return b == 0; });
}

// --- Sanitize ------------------------------------------------------------------------

struct SanitizeCase {
  const char* name;
  json os;
  json sanitize;
  PurgeChoice choice;
  const char* feature;      // the SANITIZE DEVICE function the journal shows
  const char* method;
  const char* outcome;
  const char* failureCode;  // null: none
  const char* sample;
};
void PrintTo(const SanitizeCase& c, std::ostream* os) { *os << c.name; }

const SanitizeCase kSanitizeRuns[] = {
    {"crypto in Windows PE", WindowsPe(), json::object(), PurgeChoice::Best, "feature=0x11",
     "ata-sanitize-crypto-scramble", "purged", nullptr, "held"},
    {"block on Vista", Vista(), json::object(), PurgeChoice::Block, "feature=0x12", "ata-sanitize-block-erase", "purged",
     nullptr, "held"},
    {"overwrite on XP SP3", XpSp3(), json::object(), PurgeChoice::Overwrite, "feature=0x14", "ata-sanitize-overwrite",
     "purged", nullptr, "held"},
    {"Windows 7 passes it", Windows7("passes"), json::object(), PurgeChoice::Best, "feature=0x11",
     "ata-sanitize-crypto-scramble", "purged", nullptr, "held"},
    // The drive ends in SD3: cleared (FAILURE MODE was set) and reported.
    {"fails", Vista(), {{"fault", "fails"}}, PurgeChoice::Block, "feature=0x12", "ata-sanitize-block-erase", "failed",
     "status-failed", "failed"},
    // Says it succeeded and changed nothing: never purged.
    {"lies, crypto", Vista(), {{"fault", "lies"}}, PurgeChoice::Crypto, "feature=0x11", "ata-sanitize-crypto-scramble",
     "failed", "sample-unchanged", "failed"},
    {"lies, block", Vista(), {{"fault", "lies"}}, PurgeChoice::Block, "feature=0x12", "ata-sanitize-block-erase",
     "failed", "sample-not-erased", "failed"},
    // Progress stops for good: the watchdog says stalled after an hour (no estimate).
    {"stuck", Vista(), {{"fault", "stuck"}}, PurgeChoice::Block, "feature=0x12", "ata-sanitize-block-erase", "failed",
     "stalled", "not-run"},
    // The storage driver fails B4h: nothing reached the drive, nothing is lost.
    {"Windows 10 refuses it", Windows10(), json::object(), PurgeChoice::Block, "feature=0x12",
     "ata-sanitize-block-erase", "failed", "command-failed", "failed"},
    {"Windows 7 rejects it", Windows7("rejected"), json::object(), PurgeChoice::Crypto, "feature=0x11",
     "ata-sanitize-crypto-scramble", "failed", "command-failed", "failed"},
};

class AtaSanitizeRuns : public testing::TestWithParam<SanitizeCase> {};

TEST_P(AtaSanitizeRuns, SendsFailureModeOneAndRecordsWhatProvesTheOutcome) {
  const SanitizeCase& c = GetParam();
  PurgeEngine e(AtaPc(c.os, AtaDisk(kNoFeature, c.sanitize)));
  const auto before = e.Sector(1, 0);
  ASSERT_FALSE(AllZero(before));
  const auto result = e.Erase(c.choice);
  ASSERT_FALSE(result.purgeRefusal) << result.purgeRefusal->code;
  ASSERT_TRUE(result.purge);
  const auto started = AtaCommands(e.platform, "0xB4");
  std::size_t functions = 0;
  for (const std::string& line : started) functions += line.find(c.feature) != std::string::npos ? 1 : 0;
  EXPECT_EQ(functions, 1u) << testing::PrintToString(started);
  EXPECT_EQ(AtaCommands(e.platform, "0xF1").size(), 0u);
  const auto records = e.Records();
  ASSERT_EQ(records.size(), 1u);
  const json& r = records[0];
  const json& purge = r["purge"];
  EXPECT_EQ(r["method"], c.method);
  EXPECT_EQ(purge["outcome"], c.outcome);
  EXPECT_EQ(purge["failure_code"], c.failureCode ? json(c.failureCode) : json(nullptr)) << purge["reason"];
  EXPECT_EQ(purge["sample"]["result"], c.sample);
  EXPECT_EQ(purge["request"]["ioctl"], "IOCTL_ATA_PASS_THROUGH");
  EXPECT_EQ(purge["ata"]["parameters"]["failure_mode"], 1);
  const bool purged = std::string(c.outcome) == "purged";
  EXPECT_EQ(r["nist_category"], purged ? json("Purge") : json(nullptr));
  EXPECT_EQ(e.DiskWrites(), 0u);
  const std::string code = c.failureCode ? c.failureCode : "";
  if (purged) {
    EXPECT_EQ(purge["ata"]["sanitize_status_after"]["state"], "succeeded");
    EXPECT_TRUE(e.Logged("Purge in progress: "));
    if (std::string(c.method) == "ata-sanitize-crypto-scramble") {
      EXPECT_NE(e.Sector(1, 0), before);
    } else {
      EXPECT_TRUE(AllZero(e.Sector(1, 0)));
    }
  } else if (code == "status-failed") {
    EXPECT_EQ(purge["ata"]["sanitize_status_after"]["state"], "failed");
    EXPECT_EQ(purge["ata"]["failure_cleared"], true);
    EXPECT_TRUE(e.Logged("The failed state was cleared"));
    const auto now = device::ReadAtaSanitizeStatus(e.platform, e.handle, false);
    ASSERT_TRUE(now);
    EXPECT_NE(now->state, device::AtaSanitizeStatus::State::Failed);
  } else if (code == "command-failed") {
    EXPECT_EQ(purge["ata"]["command"]["answer"], "driver-refused");
    EXPECT_EQ(purge["ata"]["command"]["error_code"], 50);
    EXPECT_NE(purge["reason"].get<std::string>().find("nothing was erased"), std::string::npos);
    EXPECT_EQ(e.Sector(1, 0), before);  // nothing lost
  } else if (code == "stalled") {
    EXPECT_TRUE(e.Logged("The purge stalled"));
  }
}

INSTANTIATE_TEST_SUITE_P(AtaPurge, AtaSanitizeRuns, testing::ValuesIn(kSanitizeRuns),
                         [](const testing::TestParamInfo<SanitizeCase>& info) { return Name(info.param.name); });

// --- Security erase that ends well -----------------------------------------------------

struct SecurityCase {
  const char* name;
  json os;
  json security;
  PurgeChoice choice;
  const char* method;
  bool pe;  // Windows PE's fixed password
};
void PrintTo(const SecurityCase& c, std::ostream* os) { *os << c.name; }

const SecurityCase kSecurityRuns[] = {
    {"best on XP SP3", XpSp3(), json::object(), PurgeChoice::Best, "ata-security-erase-enhanced", false},
    {"normal insisted on XP SP3", XpSp3(), json::object(), PurgeChoice::SecureErase, "ata-security-erase", false},
    {"enhanced on Vista, new content", Vista(), {{"enhancedPattern", "random"}}, PurgeChoice::EnhancedSecureErase,
     "ata-security-erase-enhanced", false},
    {"Windows PE", WindowsPe(), json::object(), PurgeChoice::SecureErase, "ata-security-erase", true},
};

class AtaSecurityRuns : public testing::TestWithParam<SecurityCase> {};

TEST_P(AtaSecurityRuns, SavesThePasswordFirstAndLeavesTheDriveWithoutOne) {
  const SecurityCase& c = GetParam();
  PurgeEngine e(AtaPc(c.os, AtaDisk(c.security, kNoFeature)));
  const auto before = e.Sector(1, 0);
  const auto result = e.Erase(c.choice);
  ASSERT_FALSE(result.purgeRefusal) << result.purgeRefusal->code;
  ASSERT_TRUE(result.purge);
  const auto records = e.Records();
  ASSERT_EQ(records.size(), 1u);
  const json& purge = records[0]["purge"];
  EXPECT_EQ(purge["method"], c.method);
  EXPECT_EQ(purge["outcome"], "purged") << purge["reason"];
  EXPECT_EQ(records[0]["nist_category"], "Purge");
  EXPECT_EQ(purge["ata"]["parameters"]["password"], c.pe ? "windows-pe" : "random");
  EXPECT_EQ(purge["ata"]["password_set"], true);
  EXPECT_EQ(purge["ata"]["password_file"], U8(kAtaPasswordFile));
  EXPECT_EQ(purge["ata"]["password_file_removed"], true);
  EXPECT_EQ(purge["ata"]["password_undo"], nullptr);
  EXPECT_EQ(Word128(e) & (kPasswordEnabled | kLocked), 0);
  EXPECT_FALSE(e.platform.FileContent(kAtaPasswordFile));

  // The password went to the drive once, after its file was written and flushed;
  // PREPARE directly before ERASE UNIT.
  const auto& entries = e.platform.journal().entries();
  std::size_t written = entries.size(), flushed = entries.size(), set = entries.size(), prepare = entries.size(),
              unit = entries.size();
  std::string password;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const std::string& d = entries[i].detail;
    if (d.find("ata-password-") != std::string::npos && d.find("disposition=2") != std::string::npos)
      written = i;
    if (entries[i].call == "FlushFileBuffers" && written < i && flushed == entries.size()) flushed = i;
    if (d.find("command=0xF1") != std::string::npos) {
      set = i;
      password = d.substr(d.find("password=") + 9);
    }
    if (d.find("command=0xF3") != std::string::npos) prepare = i;
    if (d.find("command=0xF4") != std::string::npos) unit = i;
  }
  ASSERT_LT(flushed, set);
  EXPECT_LT(set, prepare);
  ASSERT_LT(prepare, unit);
  for (std::size_t i = prepare + 1; i < unit; ++i) EXPECT_NE(entries[i].call, "DeviceIoControl") << entries[i].detail;
  EXPECT_EQ(AtaCommands(e.platform, "0xF1").size(), 1u);
  EXPECT_EQ(AtaCommands(e.platform, "0xF4").size(), 1u);
  if (c.pe) {
    EXPECT_EQ(password.substr(0, 31), device::atacmd::kWindowsPePassword);
  } else {
    EXPECT_EQ(password.find(device::atacmd::kWindowsPePassword), std::string::npos);
    EXPECT_GE(password.size(), 32u);
  }
  // The record names the file, never the password.
  for (const auto& f : e.platform.FilesWritten(kPurgeRecords))
    EXPECT_EQ(e.platform.FileContent(f)->find(password.substr(0, 31)), std::string::npos) << U8(f);
  EXPECT_NE(e.Sector(1, 0), before);
}

INSTANTIATE_TEST_SUITE_P(AtaPurge, AtaSecurityRuns, testing::ValuesIn(kSecurityRuns),
                         [](const testing::TestParamInfo<SecurityCase>& info) { return Name(info.param.name); });

// --- Refused before any command -----------------------------------------------------

TEST(AtaPurgeRefusals, NoCommandGoesToAFrozenDriveOrWithoutTheSavedPassword) {
  {  // Frozen by the BIOS at power-on: refused with the help, before anything is sent.
    PurgeEngine e(AtaPc(XpSp3(), AtaDisk({{"frozenByBios", true}}, kNoFeature)));
    for (PurgeChoice choice : {PurgeChoice::Best, PurgeChoice::SecureErase}) {
      const auto result = e.Erase(choice);
      ASSERT_TRUE(result.purgeRefusal);
      EXPECT_EQ(result.purgeRefusal->code, "purge-frozen");
      EXPECT_NE(result.purgeRefusal->text.find(format::kFrozenHelp), std::u16string::npos);
    }
    EXPECT_EQ(ChangingCommands(e.platform), 0u);
  }
  {  // The password file cannot be written: no SET PASSWORD, no record, the drive as it was.
    json pc = {{"os", XpSp3()},
               {"drives", json::array({AtaDisk(json::object(), kNoFeature)})},
               {"volumes", json::array()},
               {"readOnlyFolders", json::array({U8(kAtaPasswordFile)})}};
    PurgeEngine e(Scenario(pc));
    const auto before = e.Sector(1, 0);
    const auto result = e.Erase(PurgeChoice::SecureErase);
    ASSERT_TRUE(result.purgeRefusal);
    EXPECT_EQ(result.purgeRefusal->code, "password-file-failed");
    EXPECT_FALSE(result.purge);
    EXPECT_EQ(ChangingCommands(e.platform), 0u);
    EXPECT_EQ(Word128(e) & kPasswordEnabled, 0);
    EXPECT_EQ(e.Sector(1, 0), before);
    EXPECT_TRUE(e.Records().empty());
  }
  {  // The session ends just before SET PASSWORD: nothing sent, and no password file left behind.
    PurgeEngine e(AtaPc(XpSp3(), AtaDisk(json::object(), kNoFeature)));
    e.endSessionAtPump = 1;
    const auto result = e.Erase(PurgeChoice::SecureErase);
    ASSERT_TRUE(result.purge);
    EXPECT_EQ(result.purge->failureCode, "interrupted");
    EXPECT_FALSE(result.purge->sent);
    EXPECT_EQ(ChangingCommands(e.platform), 0u);
    EXPECT_FALSE(e.platform.FileContent(kAtaPasswordFile));
  }
}

// --- Security erase faults: the password is taken off again ------------------------

struct FaultCase {
  const char* name;
  json security;
  json extra;  // more ATA fields
  const char* failureCode;
  const char* undo;        // the undo's outcome code
  bool passwordLeft;       // the drive keeps the password (and its file stays)
};
void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.name; }

const FaultCase kFaults[] = {
    // SET PASSWORD went through, the driver refuses ERASE UNIT: DISABLE PASSWORD takes it off.
    {"driver refuses ERASE UNIT", json::object(), {{"driverRefuses", {"0xF4"}}}, "command-failed", "password-removed",
     false},
    // ERASE UNIT outlasts its timeout: the port resets the drive, which comes back locked.
    {"ERASE UNIT times out", {{"eraseSeconds", 20000}}, json::object(), "command-failed", "password-removed", false},
    // Says it erased, takes the password off, and erased nothing.
    {"lies", {{"fault", "lies"}}, json::object(), "sample-not-erased", nullptr, false},
    // The power goes mid-erase: the drive is gone, its password and its file stay.
    {"power loss", {{"fault", "power-loss"}}, json::object(), "command-failed", "drive-unreachable", true},
};

class AtaSecurityFaults : public testing::TestWithParam<FaultCase> {};

TEST_P(AtaSecurityFaults, NeverPurgedAndTheDriveIsNotStranded) {
  const FaultCase& c = GetParam();
  PurgeEngine e(AtaPc(XpSp3(), AtaDisk(c.security, kNoFeature, c.extra)));
  const auto result = e.Erase(PurgeChoice::SecureErase);
  ASSERT_TRUE(result.purge);
  const auto records = e.Records();
  ASSERT_EQ(records.size(), 1u);
  const json& purge = records[0]["purge"];
  EXPECT_EQ(purge["outcome"], "failed");
  EXPECT_EQ(purge["failure_code"], c.failureCode) << purge["reason"];
  EXPECT_EQ(purge["ata"]["password_undo"], c.undo ? json(c.undo) : json(nullptr));
  EXPECT_EQ(purge["ata"]["password_file_removed"], !c.passwordLeft);
  EXPECT_EQ(e.platform.FileContent(kAtaPasswordFile).has_value(), c.passwordLeft);
  // The undo is tried once at most: one UNLOCK/DISABLE each.
  EXPECT_LE(AtaCommands(e.platform, "0xF6").size(), 1u);
  EXPECT_LE(AtaCommands(e.platform, "0xF2").size(), 1u);
  if (!c.passwordLeft) {
    EXPECT_EQ(Word128(e) & (kPasswordEnabled | kLocked), 0);
    return;
  }
  EXPECT_TRUE(e.Logged(U8(kAtaPasswordFile)));
  EXPECT_TRUE(e.Logged("The next run offers to finish the erase with it or to take it off"));

  // Powered off and on: the scan finds the drive locked with our password, and the undo takes it off.
  e.platform.Sleep(180'000);
  e.platform.PowerCycle();
  e.platform.CloseHandle(e.handle);
  e.handle = e.platform.CreateFileW(u"\\\\.\\PhysicalDrive1", win::GENERIC_READ | win::GENERIC_WRITE, 3,
                                    win::OPEN_EXISTING, 0);
  auto stranded = format::FindStrandedDisk(e.platform, e.handle, 1, kPurgeRecords);
  ASSERT_TRUE(stranded);
  EXPECT_EQ(stranded->state, device::SecurityState::Locked);
  const auto undo = format::UndoSavedPassword(e.platform, e.handle, stranded->saved);
  EXPECT_EQ(undo.code, "password-removed") << U8(undo.text);
  EXPECT_EQ(Word128(e) & (kPasswordEnabled | kLocked), 0);
  EXPECT_FALSE(e.platform.FileContent(kAtaPasswordFile));
  EXPECT_FALSE(format::FindStrandedDisk(e.platform, e.handle, 1, kPurgeRecords));
  // Once per power cycle: a second try sends nothing.
  const std::size_t sent = ChangingCommands(e.platform);
  const auto again = format::UndoSavedPassword(e.platform, e.handle, stranded->saved);
  EXPECT_EQ(again.code, "undo-tried-this-power-cycle");
  EXPECT_EQ(ChangingCommands(e.platform), sent);
}

INSTANTIATE_TEST_SUITE_P(AtaPurge, AtaSecurityFaults, testing::ValuesIn(kFaults),
                         [](const testing::TestParamInfo<FaultCase>& info) { return Name(info.param.name); });

// --- Nothing stops a running purge --------------------------------------------------

// Stop while the drive sanitizes is answered once with why, the drive goes on
// to its end, and the computer is kept awake from before SANITIZE DEVICE until
// the drive has ended.
TEST(AtaPurgeRunning, StopIsAnsweredAndTheComputerStaysAwakeUntilTheDriveHasEnded) {
  PurgeEngine e(AtaPc(XpSp3(), AtaDisk(kNoFeature, {{"durationSeconds", 120}})));
  e.stopAtPump = 3;
  e.Erase(PurgeChoice::Block);
  EXPECT_EQ(std::count_if(e.log.begin(), e.log.end(),
                          [](const std::string& l) { return l.rfind("A firmware purge cannot be stopped", 0) == 0; }),
            1);
  EXPECT_EQ(e.Records().at(0)["purge"]["outcome"], "purged");
  const auto& entries = e.platform.journal().entries();
  const auto at = [&](const std::string& call, const std::string& detail, bool last) {
    std::ptrdiff_t found = -1;
    for (std::size_t i = 0; i < entries.size(); ++i)
      if (entries[i].call == call && entries[i].detail.find(detail) != std::string::npos) {
        found = static_cast<std::ptrdiff_t>(i);
        if (!last) break;
      }
    return found;
  };
  const std::ptrdiff_t awake = at("SetThreadExecutionState", "0x80000001", false);
  const std::ptrdiff_t sent = at("DeviceIoControl", "command=0xB4 feature=0x12", false);
  const std::ptrdiff_t lastStatus = at("DeviceIoControl", "command=0xB4 feature=0x00", true);
  const std::ptrdiff_t released = at("SetThreadExecutionState", "0x80000000", true);
  ASSERT_GE(awake, 0);
  ASSERT_GT(sent, awake);
  EXPECT_GT(lastStatus, sent);
  EXPECT_GT(released, lastStatus);
}

// --- A drive locked with a password this program saved ------------------------------

// A locked drive reads nothing before the erase: a normal erase is proven by
// the zeros it leaves; an enhanced one, whose content is the vendor's, only by
// the drive's word, which is not proof.
TEST(AtaSavedPassword, FinishesALockedEraseWithIt) {
  struct Case {
    PurgeChoice choice;
    const char* outcome;
  };
  for (const Case& c : {Case{PurgeChoice::SecureErase, "purged"}, Case{PurgeChoice::Best, "purge-unverified"}}) {
    SCOPED_TRACE(c.outcome);
    PurgeEngine e(AtaPc(XpSp3(), AtaDisk({{"state", "locked"}, {"userPassword", "0123456789abcdef0123456789abcdef"}},
                                         kNoFeature)));
    SaveTestPassword(e.platform, "0123456789abcdef0123456789abcdef");
    const auto result = e.Erase(c.choice);
    ASSERT_FALSE(result.purgeRefusal) << result.purgeRefusal->code;
    ASSERT_TRUE(result.purge);
    EXPECT_TRUE(result.purge->plan.finishesErase);
    const auto records = e.Records();
    ASSERT_EQ(records.size(), 1u);
    const json& purge = records[0]["purge"];
    EXPECT_EQ(purge["outcome"], c.outcome) << purge["reason"];
    EXPECT_EQ(purge["ata"]["parameters"]["password"], "saved");
    EXPECT_EQ(purge["sample"]["digest_before"], nullptr);  // a locked drive reads nothing
    EXPECT_EQ(AtaCommands(e.platform, "0xF1").size(), 0u);
    EXPECT_EQ(AtaCommands(e.platform, "0xF4").size(), 1u);
    EXPECT_EQ(Word128(e) & (kPasswordEnabled | kLocked), 0);
    EXPECT_FALSE(e.platform.FileContent(kAtaPasswordFile));
    EXPECT_TRUE(AllZero(e.Sector(1, 0)));
  }
}

TEST(AtaSavedPassword, AWrongOneIsSentOnceAndNeverAgain) {
  PurgeEngine e(AtaPc(XpSp3(), AtaDisk({{"state", "locked"}, {"userPassword", "THEIRS"}}, kNoFeature)));
  SaveTestPassword(e.platform, "OURS");
  const auto first = e.Erase(PurgeChoice::Best);  // finishing the erase: ERASE UNIT with it, refused
  ASSERT_TRUE(first.purge);
  EXPECT_EQ(first.purge->outcome, format::PurgeOutcome::Failed);
  EXPECT_EQ(PasswordSent(e.platform, "OURS"), 1u);
  auto saved = format::ReadPasswordFile(e.platform, kPurgeRecords, kAtaSerial);
  ASSERT_TRUE(saved);
  EXPECT_TRUE(saved->refused);
  // Neither the erase, nor the undo, nor a new power cycle sends it again.
  const auto second = e.Erase(PurgeChoice::Best);
  ASSERT_TRUE(second.purgeRefusal);
  EXPECT_EQ(second.purgeRefusal->code, "purge-locked");
  EXPECT_EQ(format::UndoSavedPassword(e.platform, e.handle, *saved).code, "password-refused-before");
  e.platform.Sleep(180'000);
  e.platform.PowerCycle();
  EXPECT_EQ(format::UndoSavedPassword(e.platform, e.handle, *saved).code, "password-refused-before");
  EXPECT_EQ(PasswordSent(e.platform, "OURS"), 1u);
  EXPECT_TRUE(e.platform.FileContent(kAtaPasswordFile));
}

// --- The password file --------------------------------------------------------------

TEST(AtaPasswordFile, ReadsBackOnlyAWholeFileOfThatDrive) {
  PurgeEngine e(AtaPc(XpSp3(), AtaDisk(json::object(), kNoFeature)));
  auto& p = e.platform;
  EXPECT_EQ(format::PasswordFileName("WD 12/34:x"), u"ata-password-WD_12_34_x.json");
  format::SavedPassword saved = SaveTestPassword(p, "secret-32");
  EXPECT_EQ(saved.path, kAtaPasswordFile);
  saved.undoTriedBoot = format::CurrentBoot(p);
  ASSERT_TRUE(format::UpdatePasswordFile(p, saved));
  const auto read = format::ReadPasswordFile(p, kPurgeRecords + std::u16string(u"\\"), kAtaSerial);
  ASSERT_TRUE(read);
  EXPECT_EQ(read->password, "secret-32");
  EXPECT_EQ(read->model, kAtaModel);
  EXPECT_EQ(read->undoTriedBoot, saved.undoTriedBoot);
  EXPECT_EQ(read->undoTriedBoot % 60'000, 0);  // rounded to the minute
  EXPECT_FALSE(format::ReadPasswordFile(p, kPurgeRecords, "OTHER-SERIAL"));
  // Cut short, or one field of the wrong kind: never guessed at.
  const std::string whole = *p.FileContent(kAtaPasswordFile);
  for (const std::string& broken : {whole.substr(0, whole.size() / 2), std::string("{}"),
                                    std::string(whole).replace(whole.find("\"refused\": false"), 16, "\"refused\": 0")}) {
    const auto h = p.CreateFileW(kAtaPasswordFile, win::GENERIC_WRITE, 0, win::CREATE_ALWAYS, 0);
    std::uint32_t written = 0;
    p.WriteFile(h, broken.data(), static_cast<std::uint32_t>(broken.size()), &written);
    p.CloseHandle(h);
    EXPECT_FALSE(format::ReadPasswordFile(p, kPurgeRecords, kAtaSerial)) << broken;
  }
  // IDENTIFY's strings are byte-swapped words.
  device::AtaBlock identify{};
  ASSERT_TRUE(device::ReadIdentifyPassThrough(p, e.handle, identify));
  EXPECT_EQ(format::AtaSerial(identify), kAtaSerial);
  EXPECT_EQ(format::AtaModel(identify), kAtaModel);
}

} // namespace
