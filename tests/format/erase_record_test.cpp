// The erase record's two forms: the outcome word, the JSON fields against the
// documentation, the text for people, and file names from any serial.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <regex>
#include <set>

#include <nlohmann/json.hpp>

#include "format/erase_record_outcome.h"
#include "record_support.h"
#include "test_support.h"

using nlohmann::json;
using trv::format::EraseOutcome;
using trv::format::VerifyOutcome;
using namespace trv::test;

namespace {

// The first column of every "| field | type | meaning |" table in docs/erase-record.md.
std::set<std::string> DocumentedFields() {
  std::ifstream in(std::string(TREVASSO_DOCS_DIR) + "/erase-record.md");
  EXPECT_TRUE(in) << "docs/erase-record.md not found";
  std::set<std::string> names;
  bool fieldTable = false;
  std::smatch m;
  for (std::string line; std::getline(in, line);) {
    fieldTable = line.rfind("| field | type | meaning |", 0) == 0 || (fieldTable && line.rfind('|', 0) == 0);
    if (fieldTable && std::regex_search(line, m, std::regex(R"(^\| `([^`]+)` \|)"))) names.insert(m[1]);
  }
  return names;
}

// "disk.model" inside objects; the bare name inside a list's objects (a range's "begin").
void FieldNames(const json& j, const std::string& prefix, std::set<std::string>& names) {
  for (auto it = j.begin(); j.is_structured() && it != j.end(); ++it) {
    if (j.is_object()) names.insert(prefix + it.key());
    FieldNames(*it, j.is_object() ? prefix + it.key() + "." : "", names);
  }
}

// The lines of a text whose every line ends in CR LF, and no line holds a line end of its own.
std::vector<std::string> TextLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t at = 0;
  for (std::size_t end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2) {
    lines.push_back(text.substr(at, end - at));
    EXPECT_EQ(lines.back().find_first_of("\r\n"), std::string::npos) << lines.back();
  }
  EXPECT_EQ(at, text.size()) << "the text ends with a line end";
  return lines;
}

bool Has(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

} // namespace

// The plain cases are the records of each outcome, below.
TEST(EraseRecord, OutcomeWordOfARunWithErrorsOrAStoppedReadBack) {
  const std::tuple<EraseOutcome, VerifyOutcome, const char*> cases[] = {
      // A passing read-back does not hide bytes the run could not write.
      {EraseOutcome::CompletedWithErrors, VerifyOutcome::Passed, "completed-with-errors"},
      {EraseOutcome::CompletedWithErrors, VerifyOutcome::Failed, "verify-failed"},
      // A stopped read-back leaves the writing's outcome standing; a lost disk comes before errors.
      {EraseOutcome::CompletedWithErrors, VerifyOutcome::Cancelled, "completed-with-errors"},
      {EraseOutcome::CompletedWithErrors, VerifyOutcome::Terminated, "terminated"},
  };
  for (const auto& [run, verify, word] : cases) {
    auto r = QuickWipeRecord();
    r.run.outcome = run;
    r.verify = Verified(verify, r.run);
    EXPECT_EQ(U8(trv::format::OutcomeWord(r)), word);
  }
}

TEST(EraseRecordJson, EveryOutcomeHasTheDocumentedFieldsWithTheRunsValues) {
  const std::set<std::string> documented = DocumentedFields();
  std::set<std::string> seen;
  const auto records = RecordOfEachOutcome();
  std::vector<json> j;
  for (const auto& [word, record] : records) {
    j.push_back(json::parse(trv::format::RecordJson(record)));
    EXPECT_EQ(j.back()["outcome"], word);
    std::set<std::string> names;
    FieldNames(j.back(), "", names);
    for (const std::string& name : names) EXPECT_TRUE(documented.count(name)) << word << ": " << name;
    seen.insert(names.begin(), names.end());
  }
  EXPECT_EQ(seen, documented) << "every documented field is in some record";

  const json& completed = j[0];
  EXPECT_EQ(completed["format"], "trevasso-erase-record");
  EXPECT_EQ(completed["format_version"], 3);
  EXPECT_EQ(completed["end_utc"], "2026-12-08T09:05:21.845Z");
  EXPECT_EQ(completed["start_local"], "2026-12-08T17:05:09.250");
  EXPECT_DOUBLE_EQ(completed["duration_seconds"].get<double>(), 12.595);
  EXPECT_EQ(completed["written"], json::parse(R"([{"begin": 0, "end": 10240000},
                                                  {"begin": 500106813440, "end": 500107862016}])"));
  EXPECT_EQ(completed["verify"], json::parse(R"({"outcome": "passed", "reason": null, "bytes_read": 11288576,
      "non_zero_bytes": 0, "unreadable_bytes": 0, "failed_areas": []})"));
  // A quick wipe says first that it is none, and what alone it wrote.
  EXPECT_EQ(completed["sanitization"], false);
  EXPECT_EQ(completed["sanitization_note"], "A quick wipe is not a sanitization: only bytes 0 to 10,240,000 and "
                                            "500,106,813,440 to 500,107,862,016 were written; the rest of the disk "
                                            "still holds its data.");
  EXPECT_EQ(j[1]["unwritten"], json::parse(R"([{"begin": 65536, "end": 131072}])"));
  EXPECT_EQ(j[1]["flush_error"], 1117);
  EXPECT_TRUE(j[1]["verify"].is_null()) << "null only when no read-back was asked for";
  EXPECT_EQ(j[1]["verify_requested"], false);
  // Asked for, but the run was stopped: never a bare null.
  EXPECT_EQ(j[2]["verify_requested"], true);
  EXPECT_EQ(j[2]["verify"]["outcome"], "not-run");
  EXPECT_EQ(j[2]["verify"]["reason"], "erase-cancelled");
  // A full zero fill is a sanitization only when it wrote and flushed every byte.
  EXPECT_EQ(j[2]["sanitization"], false);
  EXPECT_TRUE(j[2]["sanitization_note"].is_null());
  auto full = records[0].second;
  full.quickWipe = false;
  EXPECT_EQ(json::parse(trv::format::RecordJson(full))["sanitization"], true);
  EXPECT_EQ(j[1]["not_reached"], json::parse(R"([{"code": "past-windows-size", "text": "the drive states more",
      "begin": 500107862016, "end": 500108910592, "bytes": 1048576}])"));
  EXPECT_EQ(j[2]["method"], "full-zero-fill");
  EXPECT_EQ(j[4]["verify"]["failed_areas"], json::parse(R"([{"begin": 4096, "end": 4608}])"));

  // A disk whose size cannot be multiplied out saturates instead of overflowing.
  auto huge = QuickWipeRecord();
  huge.disk.sectors = INT64_MAX / 2;
  huge.disk.sectorSize = 4096;
  EXPECT_EQ(json::parse(trv::format::RecordJson(huge))["disk"]["capacity_bytes"], INT64_MAX);
}

TEST(EraseRecordJson, AnySerialGivesValidJsonAndASafeFileName) {
  auto r = QuickWipeRecord();
  // Blanks, a control, a tab, a line break, DEL, Chinese, an emoji, a slash, a colon.
  r.disk.serial = u"  \x01" u"AB\tC\n\x7F" u"中文\U0001F600/x:y.z-_  ";
  r.disk.model = std::u16string(u"M\0odel", 6);
  json j = json::parse(trv::format::RecordJson(r));
  // Trimmed at both ends, as list and the text record show it; kept exactly inside.
  EXPECT_EQ(j["disk"]["serial"], U8(u"AB\tC\n\x7F" u"中文\U0001F600/x:y.z-_"));
  EXPECT_EQ(j["disk"]["windows"]["serial"], j["disk"]["serial"]);
  EXPECT_EQ(j["disk"]["model"], std::string("M\0odel", 6));
  // The emoji is one character, one '_'.
  EXPECT_EQ(U8(trv::format::RecordFileStem(r)), "2026-12-08_170509_AB_C______x_y.z-_");

  // Half a surrogate pair is no text: U+FFFD in the JSON rather than invalid UTF-8.
  r.disk.serial = u"A\xD800" u"B\xDC00";
  EXPECT_EQ(json::parse(trv::format::RecordJson(r))["disk"]["serial"], "A\xEF\xBF\xBD" "B\xEF\xBF\xBD");
  EXPECT_EQ(U8(trv::format::RecordFileStem(r)), "2026-12-08_170509_A_B_");

  r.startLocal = {2027, 1, 2, 3, 4, 5, 999};
  r.disk.serial = std::u16string(50, u'7');
  EXPECT_EQ(U8(trv::format::RecordFileStem(r)), "2027-01-02_030405_" + std::string(40, '7'));
  for (const std::u16string serial : {u"", u"   ", u"\t\r\n"}) {
    r.disk.serial = serial;
    EXPECT_EQ(U8(trv::format::RecordFileStem(r)), "2027-01-02_030405_no-serial");
  }
  // Behind a USB bridge: the drive's own serial names the files; a drive that told none leaves Windows' serial.
  r.disk.serial = u"0000000000000123";
  r.disk.drive = trv::device::DriveOwnIdentity{u"ST9160821AS", u"5MAC2QTA", u"3.CLH", trv::device::IdentitySource::Sat};
  EXPECT_EQ(U8(trv::format::RecordFileStem(r)), "2027-01-02_030405_5MAC2QTA");
  r.disk.drive->serial.clear();
  EXPECT_EQ(U8(trv::format::RecordFileStem(r)), "2027-01-02_030405_0000000000000123");
}

TEST(EraseRecordText, AlignedLinesWithThousandsAndTheLogLast) {
  const auto records = RecordOfEachOutcome();
  const std::vector<std::string> lines = TextLines(trv::format::RecordText(records[0].second));
  for (const std::string& line : lines) {  // every value starts in the same column
    const auto colon = line.find(": ");
    if (colon == std::string::npos || line.rfind("2026/", 0) == 0 || line.rfind("A quick wipe", 0) == 0 ||
        line.rfind("NIST SP 800-88 category: ", 0) == 0)
      continue;
    EXPECT_EQ(line.find_first_not_of(' ', colon + 1), 20u) << line;
  }
  for (const char* line : {"Started:            2026-12-08 17:05:09 local, 2026-12-08 09:05:09 UTC",
                           "Duration:           12.595 seconds", "Serial:             WD-WMAYP0123456",
                           "Capacity:           500,107,862,016 bytes", "Areas:              0 to 10,240,000 (10,240,000 bytes)",
                           "                    500,106,813,440 to 500,107,862,016 (1,048,576 bytes)",
                           "Flush:              ok", "Verify:             passed"})
    EXPECT_TRUE(Has(lines, line)) << line;
  // Under the title, before any fact: a quick wipe is no sanitization.
  EXPECT_EQ(lines[2], trv::format::QuickWipeNote(records[0].second));
  EXPECT_EQ(lines[4], "Outcome:            completed");
  EXPECT_EQ(lines[5], "NIST SP 800-88 category: none");
  EXPECT_TRUE(Has(TextLines(trv::format::RecordText(records[2].second)),
                  "Verify:             not run (asked for; the erase was cancelled before its end)"));
  EXPECT_TRUE(Has(TextLines(trv::format::RecordText(records[1].second)), "Verify:             not asked for"));
  EXPECT_EQ(std::vector<std::string>(lines.end() - 3, lines.end()),
            (std::vector<std::string>{"Activity log:", "2026/12/8 17:05:09   Formatting... ",
                                      "2026/12/8 17:05:21   Low-level format is complete."}));

  const auto withErrors = TextLines(trv::format::RecordText(records[1].second));
  EXPECT_TRUE(Has(withErrors, "Unwritten:          65,536 to 131,072 (65,536 bytes)"));
  EXPECT_TRUE(Has(withErrors, "Flush:              failed, error 1117"));
  // A run stopped because the disk went away never flushed: nothing failed there.
  EXPECT_TRUE(Has(TextLines(trv::format::RecordText(records[3].second)), "Flush:              not confirmed"));
  EXPECT_TRUE(Has(TextLines(trv::format::RecordText(records[4].second)), "Failed areas:       4096 to 4608 (512 bytes)"));

  // Control characters in any text cannot break or forge lines.
  auto r = records[0].second;
  r.disk.serial = u"A\r\nB\x85" u"C\x7F中\U0001F600";
  r.log.push_back(u"forged\r\nOutcome: completed");
  const auto forged = TextLines(trv::format::RecordText(r));
  EXPECT_TRUE(Has(forged, "Serial:             A\u240D\u240AB\uFFFDC\u2421中\U0001F600"));
  EXPECT_EQ(forged.back(), "forged\u240D\u240AOutcome: completed");
}

TEST(EraseRecordPurge, TheCategoryMethodAndProofOfAPurgeInBothForms) {
  using trv::format::PurgeOutcome;
  const json purged = json::parse(trv::format::RecordJson(PurgeRecord(PurgeOutcome::Purged)));
  EXPECT_EQ(purged["nist_category"], "Purge");
  EXPECT_EQ(purged["sanitization"], true);
  EXPECT_EQ(purged["method"], "nvme-sanitize-crypto-erase");
  EXPECT_EQ(purged["outcome"], "purged");
  EXPECT_EQ(purged["firmware_erase"]["used"], true);
  for (const char* field : {"areas", "written", "bytes_written", "unwritten", "unwritten_bytes", "flush_ok",
                            "flush_error", "pending_offset"})
    EXPECT_TRUE(purged[field].is_null()) << field << ": a zero fill's field";
  const json& p = purged["purge"];
  EXPECT_EQ(p["request"], json::parse(R"({"ioctl": "IOCTL_STORAGE_REINITIALIZE_MEDIA", "code": "0x002D9640",
      "input": {"version": 16, "size": 16, "timeout_seconds": 120, "sanitize_method": "crypto",
                "disallow_unrestricted_sanitize_exit": false}})"));
  EXPECT_EQ(p["status_after"], json::parse(R"({"state": "succeeded", "sprog": "0xFFFF", "sstat": "0x0101",
      "scdw10": "0x00000004", "global_data_erased": true})"));
  EXPECT_EQ(p["status_before"]["state"], "never");
  EXPECT_EQ(p["failure_code"], nullptr);
  EXPECT_EQ(p["estimated_seconds"], 120);
  EXPECT_DOUBLE_EQ(p["actual_seconds"].get<double>(), 61.5);
  EXPECT_EQ(p["sample"]["seed"], 7);

  // Only "purged" earns the category; the others say why not.
  const json failed = json::parse(trv::format::RecordJson(PurgeRecord(PurgeOutcome::Failed)));
  EXPECT_EQ(failed["nist_category"], nullptr);
  EXPECT_EQ(failed["sanitization"], false);
  EXPECT_EQ(failed["purge"]["failure_code"], "command-failed");
  EXPECT_EQ(failed["purge"]["status_after"], nullptr);
  EXPECT_EQ(json::parse(trv::format::RecordJson(PurgeRecord(PurgeOutcome::Unverified)))["nist_category"], nullptr);

  // A full zero fill that reached every sector is a Clear; a quick wipe nothing.
  auto fill = QuickWipeRecord();
  fill.quickWipe = false;
  EXPECT_EQ(json::parse(trv::format::RecordJson(fill))["nist_category"], "Clear");
  EXPECT_EQ(json::parse(trv::format::RecordJson(QuickWipeRecord()))["nist_category"], nullptr);
  EXPECT_EQ(json::parse(trv::format::RecordJson(fill))["purge"], nullptr);

  const auto text = TextLines(trv::format::RecordText(PurgeRecord(PurgeOutcome::Purged)));
  for (const char* line :
       {"Outcome:            purged", "NIST SP 800-88 category: Purge",
        "Method:             firmware purge, Sanitize, crypto erase [nvme-sanitize-crypto-erase]",
        "Windows build:      22621",
        "Request:            IOCTL_STORAGE_REINITIALIZE_MEDIA version=16 size=16 timeout=120 method=crypto "
        "disallowExit=0 (0x002D9640)",
        "Command:            succeeded",
        "Status after:       succeeded (SPROG 0xFFFF, SSTAT 0x0101, SCDW10 0x00000004, Global Data Erased)",
        "Sample seed:        7", "Estimated:          120 seconds (the drive's estimate)"})
    EXPECT_TRUE(Has(text, line)) << line;
  EXPECT_FALSE(Has(text, "Bytes written:      0")) << "no zero-fill lines in a purge's record";
  EXPECT_TRUE(Has(TextLines(trv::format::RecordText(PurgeRecord(PurgeOutcome::Failed))),
                  "Failure:            command-failed: the purge request failed: error 1117"));
}
