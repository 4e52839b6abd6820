#include "format/erase_record_outcome.h"

#include "platform/text.h"
#include "report/number_text.h"

namespace trv::format {

namespace {

std::string Number(std::int64_t value) { return Utf16ToUtf8(report::FormatThousands(value)); }

} // namespace

VerifyNotRun WhyVerifyNotRun(const EraseRecord& r) {
  if (!r.verifyRequested || r.verify) return VerifyNotRun::None;
  if (r.purge) return VerifyNotRun::PurgeNotEnded;
  if (r.run.outcome == EraseOutcome::Cancelled) return VerifyNotRun::EraseCancelled;
  if (r.run.outcome == EraseOutcome::Terminated) return VerifyNotRun::EraseTerminated;
  // A run that went to its end and wrote is always read back; only a record
  // saved as the session ended has none.
  return r.run.written.empty() ? VerifyNotRun::NothingWritten : VerifyNotRun::SessionEnded;
}

std::optional<VerifyOutcome> ReadBackOutcome(const EraseRecord& r) {
  if (r.verify) return r.verify->outcome;
  if (WhyVerifyNotRun(r) == VerifyNotRun::SessionEnded) return VerifyOutcome::Cancelled;
  return std::nullopt;
}

std::string VerifyNotRunWord(VerifyNotRun why) {
  switch (why) {
    case VerifyNotRun::EraseCancelled: return "erase-cancelled";
    case VerifyNotRun::EraseTerminated: return "erase-terminated";
    case VerifyNotRun::NothingWritten: return "nothing-written";
    case VerifyNotRun::SessionEnded: return "session-ended";
    case VerifyNotRun::PurgeNotEnded: return "purge-not-ended";
    case VerifyNotRun::None: break;
  }
  return {};
}

std::string VerifyNotRunText(VerifyNotRun why) {
  switch (why) {
    case VerifyNotRun::EraseCancelled: return "the erase was cancelled before its end";
    case VerifyNotRun::EraseTerminated: return "the disk went away during the erase";
    case VerifyNotRun::NothingWritten: return "nothing was written";
    case VerifyNotRun::SessionEnded: return "the session ended, or the console was closed, after the writing";
    case VerifyNotRun::PurgeNotEnded: return "the purge request failed, stalled or lost its disk";
    case VerifyNotRun::None: break;
  }
  return {};
}

bool IsSanitization(const EraseRecord& r) {
  const auto verify = ReadBackOutcome(r);
  return !r.quickWipe && r.run.outcome == EraseOutcome::Completed && verify != VerifyOutcome::Failed;
}

std::string QuickWipeNote(const EraseRecord& r) {
  if (!r.quickWipe) return {};
  std::string ranges;
  for (std::size_t i = 0; i < r.run.written.size(); ++i) {
    const Span& s = r.run.written[i];
    ranges += i == 0 ? "" : i + 1 == r.run.written.size() ? " and " : ", ";
    ranges += Number(s.begin) + " to " + Number(s.end);
  }
  if (ranges.empty())
    return "A quick wipe is not a sanitization: nothing was written; the disk still holds its data.";
  return "A quick wipe is not a sanitization: only bytes " + ranges +
         " were written; the rest of the disk still holds its data.";
}

} // namespace trv::format

namespace trv::format {

NistCategory CategoryOf(const EraseRecord& record) {
  if (record.purge) return record.purge->outcome == PurgeOutcome::Purged ? NistCategory::Purge : NistCategory::None;
  return IsSanitization(record) ? NistCategory::Clear : NistCategory::None;
}

std::string CategoryWord(NistCategory category) {
  switch (category) {
    case NistCategory::Clear: return "Clear";
    case NistCategory::Purge: return "Purge";
    case NistCategory::None: break;
  }
  return {};
}

} // namespace trv::format
