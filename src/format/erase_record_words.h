// The words and time texts that the record's text and JSON forms share.
#pragma once
#include <string>

#include "format/erase_record.h"

namespace trv::format {

// "2026-12-08T17:05:09.000", with a "Z" after it for a UTC time.
std::string IsoTime(const TimeStamp& time, bool utc);
// "quick-wipe", "full-zero-fill", or a purge's method word ("nvme-sanitize-crypto-erase").
std::string MethodWord(const EraseRecord& record);
// "passed", "failed", "cancelled" or "terminated".
std::string VerifyWord(VerifyOutcome outcome);
// The bytes the ranges cover.
std::int64_t SpanBytes(const std::vector<Span>& spans);

} // namespace trv::format
