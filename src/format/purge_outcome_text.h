// The words and sentences that say what a purge sent and how it ended: the
// log, the record's text and its JSON share them.
#pragma once
#include <string>

#include "format/purge_result.h"

namespace trv::format {

// "IOCTL_STORAGE_REINITIALIZE_MEDIA no input" or
// "IOCTL_STORAGE_REINITIALIZE_MEDIA version=16 size=16 timeout=120 method=crypto disallowExit=0".
std::string PurgeRequestText(const PurgePlan& plan);
// "default", "block" or "crypto": the input's SanitizeMethod.
std::string SanitizeMethodWord(device::SanitizeMethod method);
// Why a purge failed, for people, from its failure code and what it found.
std::u16string PurgeFailureText(const PurgeResult& result);
// What proves a purge that did not fail.
std::u16string PurgeSuccessText(const PurgeResult& result);
// "held", "failed", "no-evidence", "unreadable" or "not-run".
std::string SampleResultWord(PurgeSample::Result result);

} // namespace trv::format
