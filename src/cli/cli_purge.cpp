#include "cli/cli_purge.h"

#include "device/device_records.h"
#include "device/enumeration.h"
#include "format/erase_record_outcome.h"
#include "platform/text.h"

namespace trv::cli {

namespace {

using json = nlohmann::ordered_json;

std::string U8(const std::u16string& s) { return Utf16ToUtf8(s); }

json RefusalJson(const format::Refusal& refusal) { return {{"code", refusal.code}, {"text", U8(refusal.text)}}; }

// The sanitize action SCDW10 names, as a word; null for none or one the standard does not define.
json ActionJson(std::uint8_t sanact) {
  switch (sanact) {
    case device::kSanactBlockErase: return "block";
    case device::kSanactOverwrite: return "overwrite";
    case device::kSanactCryptoErase: return "crypto";
    case device::kSanactExitFailureMode: return "exit-failure-mode";
    default: return nullptr;
  }
}

// A sentence as the rest of the line after "outcome: failed: ": lower case first, no full stop.
std::u16string AsClause(std::u16string text) {
  if (!text.empty() && text.back() == u'.') text.pop_back();
  if (!text.empty() && text[0] >= u'A' && text[0] <= u'Z') text[0] = static_cast<char16_t>(text[0] - u'A' + u'a');
  return text;
}

} // namespace

PurgeOutlook PurgeOutlookOf(win::Platform& platform, win::Handle handle, const device::TDeviceTable& entry,
                            format::PurgeChoice choice) {
  PurgeOutlook outlook;
  outlook.facts = format::GatherPurgeFacts(platform, handle, entry.DeviceNumber, entry.IdentifyData.BusType);
  outlook.plan = format::PlanPurge(outlook.facts, choice);
  return outlook;
}

std::optional<device::SanitizeStatus> SanitizeStatusOf(win::Platform& platform, std::uint32_t number,
                                                       std::int64_t busType) {
  if (busType != device::kNvmeBus) return std::nullopt;
  const win::Handle h = platform.CreateFileW(device::DevicePath(number), win::GENERIC_READ,
                                             win::FILE_SHARE_READ | win::FILE_SHARE_WRITE, win::OPEN_EXISTING, 0);
  if (h == win::kInvalidHandle) return std::nullopt;
  device::SanitizeStatus status;
  const bool read = device::ReadNvmeSanitizeStatus(platform, h, status);
  platform.CloseHandle(h);
  if (!read) return std::nullopt;
  return status;
}

json SanitizeStatusJson(const std::optional<device::SanitizeStatus>& status) {
  if (!status) return nullptr;
  const bool running = status->StateOf() == device::SanitizeStatus::State::InProgress;
  return {{"state", device::SanitizeStateWord(status->StateOf())},
          {"progress_percent", running ? json(status->sprog * 100 / 65536) : json(nullptr)},
          {"global_data_erased", status->GlobalDataErased()},
          {"last_action", ActionJson(status->ActionRun())}};
}

json PurgeJson(const PurgeOutlook& outlook) {
  const format::PurgePlan& plan = outlook.plan;
  const bool runs = plan.Runs();
  return {{"method", format::PurgeMethodWord(plan.method)},
          {"method_text", runs ? json(U8(format::PurgeMethodText(plan.method))) : json(nullptr)},
          {"scope", runs ? json(U8(format::PurgeScopeText(plan))) : json(nullptr)},
          {"all_namespaces", runs && plan.allNamespaces},
          {"namespace_count", plan.namespaceCount},
          {"estimate_seconds", plan.estimateSeconds ? json(*plan.estimateSeconds) : json(nullptr)},
          {"windows_build", plan.windowsBuild},
          {"refusal", runs ? json(nullptr) : RefusalJson(plan.refusal)},
          {"sanitize_status", SanitizeStatusJson(outlook.facts.status)}};
}

std::u16string PurgeSummary(const format::PurgeResult& purge) {
  std::u16string outcome = u"outcome: " + format::PurgeOutcomeText(purge.outcome);
  if (purge.outcome != format::PurgeOutcome::Purged && !purge.reason.empty()) outcome += u": " + AsClause(purge.reason);
  if (purge.outcome == format::PurgeOutcome::Failed && !purge.failureCode.empty())
    outcome += u" (" + Utf8ToUtf16(purge.failureCode) + u")";
  return outcome + u"\nmethod: " + format::PurgeMethodText(purge.plan.method) + u", " +
         format::PurgeScopeText(purge.plan) + u"\n";
}

std::u16string CategoryLine(const format::EraseRecord& record) {
  const std::string word = format::CategoryWord(format::CategoryOf(record));
  return u"category: " + (word.empty() ? std::u16string(u"none") : Utf8ToUtf16(word)) + u"\n";
}

} // namespace trv::cli
