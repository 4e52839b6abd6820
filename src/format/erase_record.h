// The record an erase leaves behind: a text file for people and a JSON file
// with the same facts for programs, saved side by side.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "format/disk_identity.h"
#include "format/erase_observer.h"
#include "format/not_reached.h"
#include "format/purge_result.h"
#include "format/record_audit.h"
#include "platform/platform.h"

namespace trv::format {

// A SYSTEMTIME, field by field.
struct TimeStamp {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, milliseconds = 0;
  bool operator==(const TimeStamp&) const = default;
};

TimeStamp LocalTimeNow(win::Platform& platform);  // GetLocalTime
TimeStamp UtcTimeNow(win::Platform& platform);    // GetSystemTime

// The activity log lines a record keeps at most: the first and the last of a
// run, with one line between saying how many were left out.
inline constexpr std::size_t kRecordHeadLines = 2'000;
inline constexpr std::size_t kRecordTailLines = 1'000;

struct EraseRecord {
  std::u16string program;        // product name
  std::u16string version;
  std::u16string computer;       // the computer's name
  TimeStamp startLocal, startUtc, endLocal, endUtc;
  std::int64_t durationMs = 0;
  DiskIdentity disk;             // as identified before the run
  bool quickWipe = false;
  EraseResult run;               // areas, written and unwritten ranges, bytes, flush, outcome
  std::optional<VerifyResult> verify;  // none: no read-back was asked for, or it did not run (see verifyRequested)
  std::vector<std::u16string> log;     // the activity log lines of the run, as the log shows them
  bool verifyRequested = false;        // a read-back was asked for (erase_record_outcome.h says what became of it)
  std::vector<NotReached> notReached;  // what the method could not reach on this disk
  RecordAudit audit;  // id, operator, asset, ticket, program file, firmware erase
  std::optional<PurgeResult> purge;    // a firmware purge ran instead of the zero fill
};

// completed, completed-with-errors, cancelled, terminated, verify-failed,
// erased-verify-cancelled or erased-verify-terminated; for a purge its own
// word: purged, purge-unverified or failed.
std::u16string OutcomeWord(const EraseRecord& record);

std::string RecordText(const EraseRecord& record);  // UTF-8, CRLF line ends
std::string RecordJson(const EraseRecord& record);  // UTF-8
// The record's "disk" object, which the console program's list shows too.
nlohmann::ordered_json DiskJson(const DiskIdentity& disk);

// Date, time and serial (the drive's own where it told one), safe as a file name: 2026-12-09_013000_SERIAL.
std::u16string RecordFileStem(const EraseRecord& record);

// %LOCALAPPDATA%\Trevasso\records, or %ProgramData%\Trevasso\records for a
// process running as SYSTEM; empty when the system does not tell that folder.
std::u16string DefaultRecordsFolder(win::Platform& platform);

struct SavedRecord {
  bool saved = false;
  std::u16string textPath;
  std::u16string jsonPath;
  std::uint32_t error = 0;       // the last error of the step that failed
  std::u16string failedPath;     // the folder or file that step was for
};

// Creates the folder (and its parents) and writes both files; never overwrites
// an earlier record. An empty folder fails with ERROR_PATH_NOT_FOUND. Never throws.
SavedRecord SaveRecord(win::Platform& platform, std::u16string_view folder, const EraseRecord& record);

} // namespace trv::format
