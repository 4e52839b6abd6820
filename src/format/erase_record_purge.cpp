// The purge's part of the record: the JSON object "purge" and the text lines
// for people, from what the purge sent, what the drive said and what the
// sample found (docs/erase-record.md).
#include "format/erase_record_purge.h"

#include <cstdio>

#include <nlohmann/json.hpp>

#include "format/purge_outcome_text.h"
#include "platform/text.h"
#include "report/number_text.h"

namespace trv::format {

namespace {

using Json = nlohmann::ordered_json;

std::string Hex(std::uint32_t value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%0*X", digits, value);
  return text;
}

Json StatusJson(const std::optional<device::SanitizeStatus>& s) {
  if (!s) return nullptr;
  return {{"state", std::string(device::SanitizeStateWord(s->StateOf()))},
          {"sprog", Hex(s->sprog, 4)},
          {"sstat", Hex(s->sstat, 4)},
          {"scdw10", Hex(s->scdw10, 8)},
          {"global_data_erased", s->GlobalDataErased()}};
}

std::string StatusText(const std::optional<device::SanitizeStatus>& s) {
  if (!s) return "could not be read";
  return std::string(device::SanitizeStateWord(s->StateOf())) + " (SPROG " + Hex(s->sprog, 4) + ", SSTAT " + Hex(s->sstat, 4) + ", SCDW10 " +
         Hex(s->scdw10, 8) + (s->GlobalDataErased() ? ", Global Data Erased" : ", Global Data Erased not set") + ")";
}

Json RequestJson(const PurgePlan& plan) {
  Json input = nullptr;
  if (plan.sanitizeInput)
    input = {{"version", 16},
             {"size", 16},
             {"timeout_seconds", plan.timeoutSeconds},
             {"sanitize_method", SanitizeMethodWord(plan.sanitizeMethod)},
             {"disallow_unrestricted_sanitize_exit", false}};
  return {{"ioctl", "IOCTL_STORAGE_REINITIALIZE_MEDIA"},
          {"code", Hex(device::IOCTL_STORAGE_REINITIALIZE_MEDIA, 8)},
          {"input", input}};
}

Json SampleJson(const PurgeSample& s) {
  const auto text = [](const std::string& digest) { return digest.empty() ? Json(nullptr) : Json(digest); };
  return {{"result", SampleResultWord(s.result)},
          {"seed", s.seed},
          {"sectors", s.sectors},
          {"non_zero_before", s.nonZeroBefore},
          {"unchanged", s.unchanged},
          {"not_erased", s.notErased},
          {"unreadable", s.unreadable},
          {"digest_before", text(s.digestBefore)},
          {"digest_after", text(s.digestAfter)}};
}

std::string U8(const std::u16string& s) { return Utf16ToUtf8(s); }

std::string Number(std::int64_t value) { return U8(report::FormatThousands(value)); }

} // namespace

nlohmann::ordered_json PurgeJson(const PurgeResult& r) {
  const PurgePlan& plan = r.plan;
  return {{"method", PurgeMethodWord(plan.method)},
          {"method_text", U8(PurgeMethodText(plan.method))},
          {"scope", {{"all_namespaces", plan.allNamespaces}, {"namespace_count", plan.namespaceCount}}},
          {"request", RequestJson(plan)},
          {"windows_build", plan.windowsBuild},
          {"outcome", PurgeOutcomeWord(r.outcome)},
          {"failure_code", r.failureCode.empty() ? Json(nullptr) : Json(r.failureCode)},
          {"reason", U8(r.reason)},
          {"sent", r.sent},
          {"command_succeeded", r.commandSucceeded},
          {"command_error", r.commandError},
          {"status_before", StatusJson(r.statusBefore)},
          {"status_after", StatusJson(r.statusAfter)},
          {"stalled", r.stalled},
          {"sample", SampleJson(r.sample)},
          {"estimated_seconds", plan.estimateSeconds ? Json(*plan.estimateSeconds) : Json(nullptr)},
          {"actual_seconds", static_cast<double>(r.actualMs) / 1000.0}};
}

std::vector<std::pair<std::string, std::string>> PurgeTextLines(const PurgeResult& r) {
  const PurgePlan& plan = r.plan;
  std::vector<std::pair<std::string, std::string>> lines = {
      {"Scope", U8(PurgeScopeText(plan))},
      {"Windows build", std::to_string(plan.windowsBuild)},
      {"Request", PurgeRequestText(plan) + " (" + Hex(device::IOCTL_STORAGE_REINITIALIZE_MEDIA, 8) + ")"},
      {"Command", !r.sent ? std::string("not sent")
                  : r.commandSucceeded ? std::string("succeeded")
                                       : "failed, error " + std::to_string(r.commandError)},
      {"Status before", StatusText(r.statusBefore)},
      {"Status after", StatusText(r.statusAfter)},
      {"Sample", SampleResultWord(r.sample.result) + ": " + Number(r.sample.sectors) + " sectors, " +
                     Number(r.sample.nonZeroBefore) + " held data before, " + Number(r.sample.unchanged) +
                     " unchanged, " + Number(r.sample.notErased) + " not erased, " + Number(r.sample.unreadable) +
                     " unreadable"},
      {"Sample seed", std::to_string(r.sample.seed)},
      {"Sample before", r.sample.digestBefore.empty() ? "not read" : "SHA-256 " + r.sample.digestBefore},
      {"Sample after", r.sample.digestAfter.empty() ? "not read" : "SHA-256 " + r.sample.digestAfter},
      {"Estimated", plan.estimateSeconds ? Number(*plan.estimateSeconds) + " seconds (the drive's estimate)"
                                         : std::string("the drive gives no estimate")},
      {"Purge time", Number(r.actualMs / 1000) + " seconds" + (r.stalled ? " (stalled)" : "")},
  };
  if (r.outcome == PurgeOutcome::Failed) lines.push_back({"Failure", r.failureCode + ": " + U8(r.reason)});
  else lines.push_back({"Proof", U8(r.reason)});
  return lines;
}

} // namespace trv::format
