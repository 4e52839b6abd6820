#include "format/erase_record.h"

#include <array>
#include <cstdio>

#include "format/erase_record_outcome.h"
#include "format/erase_record_words.h"
#include "platform/records.h"
#include "platform/text.h"

namespace trv::format {

namespace {

TimeStamp FromSystemTime(std::span<const std::uint8_t> st) {
  TimeStamp t;
  t.year = rec::U16(st, rec::kSystemTimeYear);
  t.month = rec::U16(st, rec::kSystemTimeMonth);
  t.day = rec::U16(st, rec::kSystemTimeDay);
  t.hour = rec::U16(st, rec::kSystemTimeHour);
  t.minute = rec::U16(st, rec::kSystemTimeMinute);
  t.second = rec::U16(st, rec::kSystemTimeSecond);
  t.milliseconds = rec::U16(st, rec::kSystemTimeMilliseconds);
  return t;
}

// Characters a file name may carry as they are; anything else becomes '_'.
bool PlainFileNameCharacter(char16_t c) {
  return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'.' || c == u'_' ||
         c == u'-';
}

constexpr std::size_t kStemSerialLength = 40;
constexpr std::u16string_view kNoSerialFiller = u"000000";

} // namespace

TimeStamp LocalTimeNow(win::Platform& platform) {
  std::array<std::uint8_t, rec::kSystemTimeSize> st{};
  platform.GetLocalTime(st);
  return FromSystemTime(st);
}

TimeStamp UtcTimeNow(win::Platform& platform) {
  std::array<std::uint8_t, rec::kSystemTimeSize> st{};
  platform.GetSystemTime(st);
  return FromSystemTime(st);
}

std::string IsoTime(const TimeStamp& t, bool utc) {
  char text[96];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03d%s", t.year, t.month, t.day, t.hour, t.minute,
                t.second, t.milliseconds, utc ? "Z" : "");
  return text;
}

std::string MethodWord(const EraseRecord& record) {
  if (record.purge) return PurgeMethodWord(record.purge->plan.method);
  return record.quickWipe ? "quick-wipe" : "full-zero-fill";
}

std::string VerifyWord(VerifyOutcome outcome) {
  switch (outcome) {
    case VerifyOutcome::Passed: return "passed";
    case VerifyOutcome::Failed: return "failed";
    case VerifyOutcome::Cancelled: return "cancelled";
    case VerifyOutcome::Terminated: return "terminated";
  }
  return "unknown";
}

std::int64_t SpanBytes(const std::vector<Span>& spans) {
  std::int64_t bytes = 0;
  for (const Span& s : spans) bytes += s.Bytes();
  return bytes;
}

std::u16string OutcomeWord(const EraseRecord& record) {
  if (record.purge) return Utf8ToUtf16(PurgeOutcomeWord(record.purge->outcome));
  const EraseOutcome run = record.run.outcome;
  // The read-back only follows a run that went to its end. One that failed has
  // the last word; one that was stopped or lost its disk leaves the writing's
  // outcome standing, named apart when every byte had been written and flushed.
  const bool ranToEnd = run == EraseOutcome::Completed || run == EraseOutcome::CompletedWithErrors;
  const std::optional<VerifyOutcome> verify = ranToEnd ? ReadBackOutcome(record) : std::nullopt;
  if (verify == VerifyOutcome::Failed) return u"verify-failed";
  if (verify == VerifyOutcome::Terminated && run == EraseOutcome::CompletedWithErrors) return u"terminated";
  if (run == EraseOutcome::Completed && verify == VerifyOutcome::Cancelled) return u"erased-verify-cancelled";
  if (run == EraseOutcome::Completed && verify == VerifyOutcome::Terminated) return u"erased-verify-terminated";
  switch (run) {
    case EraseOutcome::Completed: return u"completed";
    case EraseOutcome::CompletedWithErrors: return u"completed-with-errors";
    case EraseOutcome::Cancelled: return u"cancelled";
    case EraseOutcome::Terminated: return u"terminated";
  }
  return u"unknown";
}

std::u16string RecordFileStem(const EraseRecord& record) {
  const TimeStamp& t = record.startLocal;
  char date[96];
  std::snprintf(date, sizeof date, "%04d-%02d-%02d_%02d%02d%02d_", t.year, t.month, t.day, t.hour, t.minute, t.second);
  // Drives pad their serials with blanks. "000000" is what the scan shows for a
  // disk that reported none: such a disk's files say so.
  const DiskIdentity& disk = record.disk;
  std::u16string serial = disk.drive ? TrimControl(disk.drive->serial) : std::u16string();
  if (serial.empty()) serial = TrimControl(disk.serial);
  if (serial == kNoSerialFiller) serial.clear();
  std::u16string safe;
  for (std::size_t i = 0; i < serial.size() && safe.size() < kStemSerialLength; ++i) {
    const char16_t c = serial[i];
    // A character outside the BMP is one character: one '_' for its two units.
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < serial.size() && serial[i + 1] >= 0xDC00 && serial[i + 1] < 0xE000) ++i;
    safe.push_back(PlainFileNameCharacter(c) ? c : u'_');
  }
  return Utf8ToUtf16(date) + (safe.empty() ? std::u16string(u"no-serial") : safe);
}

std::u16string DefaultRecordsFolder(win::Platform& platform) {
  // As SYSTEM (a service, a management agent, a scheduled task) the user's
  // folder is the system profile's, deep in the Windows folder where nobody
  // looks: records go where every administrator finds them.
  const std::u16string base = platform.IsLocalSystem() ? platform.CommonAppDataFolder() : platform.LocalAppDataFolder();
  // Without that folder there is no default: never fall back on the root of the current drive.
  if (base.empty()) return {};
  return base + u"\\Trevasso\\records";
}

} // namespace trv::format
