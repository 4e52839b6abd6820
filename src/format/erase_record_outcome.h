// What became of a read-back that was asked for, and what a quick wipe's
// record says about itself: the words and sentences that the text record, the
// JSON record and the console program share.
#pragma once
#include <optional>
#include <string>

#include "format/erase_record.h"

namespace trv::format {

// Why a read-back that was asked for has no result of its own.
enum class VerifyNotRun {
  None,             // it ran, or none was asked for
  EraseCancelled,   // the erase was stopped before its end
  EraseTerminated,  // the disk went away during the erase
  NothingWritten,   // the erase went to its end without writing a byte
  SessionEnded,     // the writing had ended; the session ended (or the console closed) before the read-back did
  PurgeNotEnded,    // a firmware purge whose request failed, stalled or lost its disk: nothing to read back
};
VerifyNotRun WhyVerifyNotRun(const EraseRecord& record);

// The read-back's outcome as the record counts it: its own, or Cancelled when
// the session cut it short; none when it did not run.
std::optional<VerifyOutcome> ReadBackOutcome(const EraseRecord& record);

// "erase-cancelled", "erase-terminated", "nothing-written", "session-ended" or
// "purge-not-ended"; empty for None.
std::string VerifyNotRunWord(VerifyNotRun why);
// The same in a few words for people: "the erase was cancelled before its end".
std::string VerifyNotRunText(VerifyNotRun why);

// A full zero fill that wrote and flushed every byte Windows shows, and whose
// read-back, when one ran, found nothing wrong. A quick wipe never is one.
bool IsSanitization(const EraseRecord& record);
// The NIST SP 800-88 category a record earns: Clear for a zero fill that
// reached every sector (IsSanitization), Purge for a proven firmware purge
// ("purged"), none for anything else.
enum class NistCategory { None, Clear, Purge };
NistCategory CategoryOf(const EraseRecord& record);
std::string CategoryWord(NistCategory category);  // "Clear", "Purge"; empty for None

// For a quick wipe: that it is not a sanitization, which ranges alone were
// written, and that the rest of the disk still holds its data. Empty otherwise.
std::string QuickWipeNote(const EraseRecord& record);

} // namespace trv::format
