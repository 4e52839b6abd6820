// The firmware purge through the erase command on the simulated PC: what is
// sent on which Windows build, what proves it, every way it can fail, and
// what it refuses; the record each run leaves.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

#include "purge_support.h"

using nlohmann::json;
using trv::format::PurgeChoice;
using trv::format::PurgeOutcome;
using namespace trv::test;

namespace {

constexpr char kCryptoRequest[] = "IOCTL_STORAGE_REINITIALIZE_MEDIA version=16 size=16 timeout=0 method=crypto disallowExit=0";
constexpr char kBlockRequest[] = "IOCTL_STORAGE_REINITIALIZE_MEDIA version=16 size=16 timeout=0 method=block disallowExit=0";
constexpr char kNoInput[] = "IOCTL_STORAGE_REINITIALIZE_MEDIA no input";

bool Contains(const std::vector<std::string>& requests, const std::string& part) {
  for (const std::string& r : requests)
    if (r.find(part) != std::string::npos) return true;
  return false;
}

struct PurgeCase {
  const char* name;
  std::uint32_t build;
  json sanitize;
  std::optional<PurgeChoice> choice;
  const char* request;        // what the journal shows was sent
  const char* method;         // the record's method word
  const char* outcome;        // the record's outcome word
  const char* failureCode;    // null: none
  const char* sample;         // the sample's result word
};

const PurgeCase kRuns[] = {
    // Windows 11 22H2: the sanitize form, crypto where the drive offers it, block when insisted on.
    {"crypto 22621", 22621, json::object(), PurgeChoice::Best, kCryptoRequest, "nvme-sanitize-crypto-erase", "purged",
     nullptr, "held"},
    {"block 22621", 22621, json::object(), PurgeChoice::Block, kBlockRequest, "nvme-sanitize-block-erase", "purged",
     nullptr, "held"},
    // In the background: the request returns at once and the log's progress is followed.
    {"background", 22621, {{"requestWaits", false}, {"durationSeconds", 60}}, PurgeChoice::Crypto, kCryptoRequest,
     "nvme-sanitize-crypto-erase", "purged", nullptr, "held"},
    // Windows 10 1809: no input, a crypto format; its own answer is its status.
    {"no input 17763", 17763, json::object(), PurgeChoice::Best, kNoInput, "nvme-format-crypto-erase", "purged",
     nullptr, "held"},
    // Some builds run a crypto sanitize for the no-input request: the sample still proves it.
    {"no input runs a sanitize", 17763, {{"noInputRuns", "sanitize-crypto"}}, PurgeChoice::Best, kNoInput,
     "nvme-format-crypto-erase", "purged", nullptr, "held"},
    // A drive that says it sanitized and changed nothing is never purged.
    {"lies, crypto", 22621, {{"fault", "lies"}}, PurgeChoice::Crypto, kCryptoRequest, "nvme-sanitize-crypto-erase",
     "failed", "sample-unchanged", "failed"},
    {"lies, block", 22621, {{"fault", "lies"}}, PurgeChoice::Block, kBlockRequest, "nvme-sanitize-block-erase",
     "failed", "sample-not-erased", "failed"},
    {"lies, format", 17763, {{"fault", "lies"}}, PurgeChoice::Best, kNoInput, "nvme-format-crypto-erase", "failed",
     "sample-unchanged", "failed"},
    // The log cannot be read: the sample alone holds, which is not proof enough for "purged".
    {"status unreadable", 22621, {{"statusLog", false}}, PurgeChoice::Crypto, kCryptoRequest,
     "nvme-sanitize-crypto-erase", "purge-unverified", nullptr, "held"},
    {"ends failed", 22621, {{"fault", "ends-failed"}}, PurgeChoice::Crypto, kCryptoRequest,
     "nvme-sanitize-crypto-erase", "failed", "status-failed", "failed"},
    {"ends failed, background", 22621, {{"fault", "ends-failed"}, {"requestWaits", false}}, PurgeChoice::Block,
     kBlockRequest, "nvme-sanitize-block-erase", "failed", "status-failed", "failed"},
    {"not supported", 22621, {{"fault", "not-supported"}}, PurgeChoice::Crypto, kCryptoRequest,
     "nvme-sanitize-crypto-erase", "failed", "command-failed", "failed"},
    // Progress stops for good: the watchdog says stalled after an hour (no estimate), never success.
    {"stuck", 22621, {{"fault", "stuck"}, {"requestWaits", false}}, PurgeChoice::Crypto, kCryptoRequest,
     "nvme-sanitize-crypto-erase", "failed", "stalled", "not-run"},
    {"stuck, waiting", 22621, {{"fault", "stuck"}}, PurgeChoice::Crypto, kCryptoRequest, "nvme-sanitize-crypto-erase",
     "failed", "stalled", "not-run"},
    {"power loss", 22621, {{"fault", "power-loss"}}, PurgeChoice::Crypto, kCryptoRequest, "nvme-sanitize-crypto-erase",
     "failed", "command-failed", "not-run"},
};

void PrintTo(const PurgeCase& c, std::ostream* os) { *os << c.name; }

class PurgeRuns : public testing::TestWithParam<PurgeCase> {};

} // namespace

TEST_P(PurgeRuns, SendsTheRequestOfTheBuildAndRecordsWhatProvesTheOutcome) {
  const PurgeCase& c = GetParam();
  PurgeEngine e(PurgePc(c.build, json::array({NvmeDisk(c.sanitize)})));
  const auto before = e.Sector(1, 0);
  const auto result = e.Erase(c.choice);
  EXPECT_FALSE(result.purgeRefusal);
  ASSERT_TRUE(result.purge);
  EXPECT_EQ(e.PurgeRequests().size(), 1u);
  EXPECT_TRUE(Contains(e.PurgeRequests(), c.request)) << testing::PrintToString(e.PurgeRequests());
  const auto records = e.Records();
  ASSERT_EQ(records.size(), 1u);
  const json& r = records[0];
  EXPECT_EQ(r["format_version"], 3);
  EXPECT_EQ(r["method"], c.method);
  EXPECT_EQ(r["outcome"], c.outcome);
  EXPECT_EQ(r["purge"]["outcome"], c.outcome);
  EXPECT_EQ(r["purge"]["failure_code"], c.failureCode ? json(c.failureCode) : json(nullptr));
  EXPECT_EQ(r["purge"]["sample"]["result"], c.sample);
  EXPECT_EQ(r["purge"]["windows_build"], c.build);
  EXPECT_EQ(r["purge"]["sample"]["seed"], 7);
  if (c.sanitize.value("statusLog", true)) {
    EXPECT_EQ(r["purge"]["status_before"]["state"], "never");
  } else {
    EXPECT_EQ(r["purge"]["status_before"], nullptr);
  }
  // Purge only when proven; a zero fill's fields do not apply.
  const bool purged = std::string(c.outcome) == "purged";
  EXPECT_EQ(r["nist_category"], purged ? json("Purge") : json(nullptr));
  EXPECT_EQ(r["sanitization"], purged);
  EXPECT_EQ(r["written"], nullptr);
  EXPECT_EQ(r["bytes_written"], nullptr);
  EXPECT_EQ(r["firmware_erase"]["used"], true);
  EXPECT_EQ(e.complete, purged || std::string(c.outcome) == "purge-unverified");
  ASSERT_TRUE(e.ended);
  EXPECT_EQ(trv::format::PurgeOutcomeWord(*e.ended), c.outcome);
  // The log warns before anything is sent, and says how it ended.
  EXPECT_TRUE(e.Logged("Do not power off"));
  EXPECT_TRUE(e.Logged(purged ? "Firmware purge: purged." : "Firmware purge"));
  // Nothing but the drive itself changed the disk: the program wrote nothing.
  EXPECT_EQ(e.DiskWrites(), 0u);
  EXPECT_EQ(e.volumes.size(), 0u);
  if (purged) {
    EXPECT_NE(e.Sector(1, 0), before);
    if (std::string(c.method) == "nvme-sanitize-block-erase") {
      EXPECT_EQ(e.Sector(1, 0), std::vector<std::uint8_t>(512));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Purge, PurgeRuns, testing::ValuesIn(kRuns), [](const testing::TestParamInfo<PurgeCase>& info) {
  std::string name;
  for (const char* c = info.param.name; *c; ++c) name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
  return name;
});

TEST(Purge, RefusedWithItsReasonBeforeAnythingIsLockedOrSent) {
  const struct {
    std::uint32_t build;
    json disk;
    PurgeChoice choice;
    const char* code;
  } cases[] = {
      {10586, NvmeDisk(json::object()), PurgeChoice::Best, "purge-windows-too-old"},
      {17763, NvmeDisk(json::object()), PurgeChoice::Block, "purge-block-needs-21h1"},
      {22621, NvmeDisk(json::object(), {{"sanicap", "0x0"}, {"fna", "0x0"}}), PurgeChoice::Best, "purge-not-offered"},
      // Its identify refused while it sanitizes: the log alone says why.
      {22621, NvmeDisk({{"state", "in-progress"}, {"progress", 0.5}, {"lastAction", "block"}}), PurgeChoice::Best,
       "purge-sanitize-in-progress"},
  };
  for (const auto& c : cases) {
    PurgeEngine e(PurgePc(c.build, json::array({c.disk})));
    const auto result = e.Erase(c.choice);
    ASSERT_TRUE(result.purgeRefusal) << c.code;
    EXPECT_EQ(result.purgeRefusal->code, c.code);
    EXPECT_FALSE(result.purge);
    EXPECT_FALSE(result.volumesLocked);
    EXPECT_TRUE(e.PurgeRequests().empty()) << c.code;
    EXPECT_TRUE(e.Records().empty());
    EXPECT_TRUE(e.Logged("Nothing was sent.")) << c.code;
  }
  // A SATA disk that answers no IDENTIFY through the pass-through: nothing to plan with.
  PurgeEngine sata(PurgePc(22621, json::array({{{"number", 1}, {"bus", 11}, {"sectors", kPurgeDiskSectors}}})));
  const auto result = sata.Erase(PurgeChoice::Best);
  ASSERT_TRUE(result.purgeRefusal);
  EXPECT_EQ(result.purgeRefusal->code, "purge-identify-unread");
  EXPECT_TRUE(sata.PurgeRequests().empty());
}

TEST(Purge, AZeroFillOrQuickWipeOfADiskWhoseSanitizeHasNotEndedWellIsRefused) {
  for (const json& sanitize : {json{{"state", "in-progress"}, {"progress", 0.3}, {"lastAction", "crypto"}},
                               json{{"state", "failed"}, {"lastAction", "block"}}}) {
    for (bool quick : {false, true}) {
      PurgeEngine e(PurgePc(22621, json::array({NvmeDisk(sanitize)})));
      const auto result = e.Erase(std::nullopt, false, quick);
      const std::string code = sanitize["state"] == "failed" ? "sanitize-failed" : "sanitize-in-progress";
      EXPECT_EQ(result.refusalCode, code);
      EXPECT_FALSE(result.refusal.empty());
      EXPECT_FALSE(result.run);
      EXPECT_FALSE(result.volumesLocked);
      EXPECT_EQ(e.DiskWrites(), 0u);
      EXPECT_TRUE(e.Records().empty());
    }
  }
  // One that ended well is written as ever.
  PurgeEngine ok(PurgePc(22621, json::array({NvmeDisk({{"state", "succeeded"}, {"lastAction", "crypto"}})})));
  const auto result = ok.Erase(std::nullopt, false, true);
  EXPECT_TRUE(result.refusalCode.empty());
  ASSERT_TRUE(result.run);
  EXPECT_EQ(ok.Records().at(0)["nist_category"], nullptr);  // a quick wipe is no Clear
}

TEST(Purge, EveryNamespaceOfTheControllerIsErasedAndTheRecordSaysSo) {
  json one = NvmeDisk(json::object(), {{"namespaces", 2}, {"fna", "0x05"}}, 1);
  json two = NvmeDisk(json::object(), {{"namespaces", 2}, {"fna", "0x05"}}, 2);
  one["nvme"]["subsystem"] = two["nvme"]["subsystem"] = "ctrl0";
  two["nvme"]["namespaceId"] = 2;
  PurgeEngine e(PurgePc(22621, json::array({one, two})));
  const auto otherBefore = e.Sector(2, 0);
  e.Erase(PurgeChoice::Block);
  const json r = e.Records().at(0);
  EXPECT_EQ(r["outcome"], "purged");
  EXPECT_EQ(r["purge"]["scope"], json({{"all_namespaces", true}, {"namespace_count", 2}}));
  EXPECT_EQ(e.Sector(2, 0), std::vector<std::uint8_t>(512));
  EXPECT_NE(e.Sector(2, 0), otherBefore);
}

TEST(Purge, StopIsAnsweredOnceWithWhyAndThePurgeGoesOn) {
  PurgeEngine e(PurgePc(22621, json::array({NvmeDisk({{"requestWaits", false}, {"durationSeconds", 120}})})));
  e.stopAtPump = 3;
  e.Erase(PurgeChoice::Crypto, true);
  EXPECT_EQ(std::count_if(e.log.begin(), e.log.end(),
                          [](const std::string& l) { return l.rfind("A firmware purge cannot be stopped", 0) == 0; }),
            1);
  const json r = e.Records().at(0);
  EXPECT_EQ(r["outcome"], "purged");
  // The read-back after a crypto erase reads the whole disk for readability.
  EXPECT_EQ(r["verify"]["outcome"], "passed");
  EXPECT_EQ(r["verify"]["bytes_read"], kPurgeDiskSectors * 512);
  // Progress came from the log, in order, to its end (the read-back's follows).
  const auto end = std::find(e.percents.begin(), e.percents.end(), 100);
  ASSERT_NE(end, e.percents.end());
  EXPECT_GT(end - e.percents.begin(), 5);
  EXPECT_TRUE(std::is_sorted(e.percents.begin(), end + 1));
}

TEST(Purge, TheSessionEndingWhileThePurgeRunsSavesARecordThatSaysInterrupted) {
  PurgeEngine e(PurgePc(22621, json::array({NvmeDisk({{"requestWaits", false}, {"durationSeconds", 120}})})));
  e.endSessionAtPump = 4;  // in the wait: the request is out
  e.Erase(PurgeChoice::Crypto);
  const auto records = e.Records();
  ASSERT_EQ(records.size(), 2u);  // the one saved as the session ended, and the final one of a program that lived on
  const json& early = records[0];
  EXPECT_EQ(early["outcome"], "failed");
  EXPECT_EQ(early["purge"]["failure_code"], "interrupted");
  EXPECT_NE(early["purge"]["reason"].get<std::string>().find("must not be powered off"), std::string::npos);
  EXPECT_EQ(early["nist_category"], nullptr);
  EXPECT_EQ(records[1]["outcome"], "purged");

  // After a purge that ended well, in its read-back: the purge keeps its word, the read-back is cut short.
  PurgeEngine after(PurgePc(22621, json::array({NvmeDisk(json::object())})));
  after.endSessionInReadBack = true;
  after.Erase(PurgeChoice::Crypto, true);
  const json late = after.Records().at(0);
  EXPECT_EQ(late["outcome"], "purged");
  EXPECT_EQ(late["verify"]["outcome"], "cancelled");
  EXPECT_EQ(late["verify"]["reason"], "session-ended");

  // Before the request: nothing is sent into a session that ends.
  PurgeEngine before(PurgePc(22621, json::array({NvmeDisk(json::object())})));
  before.endSessionAtPump = 1;
  before.Erase(PurgeChoice::Crypto);
  EXPECT_TRUE(before.PurgeRequests().empty());
  EXPECT_EQ(before.Records().at(0)["purge"]["failure_code"], "interrupted");
  EXPECT_EQ(before.Records().at(0)["purge"]["sent"], false);
}

TEST(Purge, ACryptoEraseOfAZeroedDiskRestsOnTheDrivesOwnWord) {
  // Zeroed first, so every sampled sector is zero before: the sample proves nothing either way.
  for (const bool statusLog : {true, false}) {
    PurgeEngine e(PurgePc(22621, json::array({NvmeDisk({{"statusLog", statusLog}})})));
    ASSERT_TRUE(e.Erase(std::nullopt).run);
    e.Erase(PurgeChoice::Crypto);
    const json r = e.Records().at(1);
    EXPECT_EQ(r["purge"]["sample"]["result"], "no-evidence");
    EXPECT_EQ(r["purge"]["sample"]["non_zero_before"], 0);
    EXPECT_EQ(r["outcome"], statusLog ? "purged" : "failed");
    EXPECT_EQ(r["purge"]["failure_code"], statusLog ? json(nullptr) : json("no-evidence"));
  }
}
