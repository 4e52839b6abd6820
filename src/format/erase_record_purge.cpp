// The purge's part of the record: the JSON object "purge" and the text lines
// for people, from what the purge sent, what the drive said and what the
// sample found (docs/erase-record.md).
#include "format/erase_record_purge.h"

#include <cstdio>

#include <nlohmann/json.hpp>

#include "device/ata_pass_through_records.h"
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

std::string U8(const std::u16string& s) { return Utf16ToUtf8(s); }

std::string Number(std::int64_t value) { return U8(report::FormatThousands(value)); }

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

// The registers as they came back, the 48-bit fields joined from the current
// and the previous task file: "status 0x50, error 0x00, count 0x0000, LBA 0x000000000000, device 0x40".
std::string RegistersText(const device::AtaAnswer& a) {
  const device::AtaTaskFile& c = a.current;
  const device::AtaTaskFile& p = a.previous;
  const std::uint32_t count = static_cast<std::uint32_t>(p.count) << 8 | c.count;
  const std::uint64_t lba = static_cast<std::uint64_t>(p.lbaHigh) << 40 | static_cast<std::uint64_t>(p.lbaMid) << 32 |
                            static_cast<std::uint64_t>(p.lbaLow) << 24 | static_cast<std::uint64_t>(c.lbaHigh) << 16 |
                            static_cast<std::uint64_t>(c.lbaMid) << 8 | c.lbaLow;
  char text[96];
  std::snprintf(text, sizeof text, "status 0x%02X, error 0x%02X, count 0x%04X, LBA 0x%012llX, device 0x%02X", c.command,
                c.features, count, static_cast<unsigned long long>(lba), c.device);
  return text;
}

std::string AnswerWord(const device::AtaAnswer& a) {
  switch (a.outcome) {
    case device::AtaAnswer::Outcome::Registers: return a.Aborted() ? "aborted" : "registers";
    case device::AtaAnswer::Outcome::NoRegisters: return "no-registers";
    case device::AtaAnswer::Outcome::Failed: break;
  }
  return "driver-refused";
}

// An ATA command's answer: how it ended and the registers as they came back.
Json AnswerJson(const std::optional<device::AtaAnswer>& a) {
  if (!a) return nullptr;
  const bool registers = a->outcome == device::AtaAnswer::Outcome::Registers;
  return {{"answer", AnswerWord(*a)},
          {"error_code", a->error},
          {"registers", registers ? Json(RegistersText(*a)) : Json(nullptr)}};
}

Json AtaStatusJson(const std::optional<device::AtaSanitizeStatus>& s) {
  if (!s) return nullptr;
  return {{"state", device::AtaSanitizeStateWord(s->state)},
          {"progress", Hex(s->progress, 4)},
          {"reason", s->reason},
          {"reason_text", Utf16ToUtf8(device::AtaSanitizeReasonText(s->reason))},
          {"antifreeze", s->antifreeze},
          {"registers", s->raw.outcome == device::AtaAnswer::Outcome::Registers ? Json(RegistersText(s->raw))
                                                                                : Json(nullptr)}};
}

Json WordJson(const std::optional<std::uint16_t>& word) { return word ? Json(Hex(*word, 4)) : Json(nullptr); }

Json TextOrNull(const std::string& text) { return text.empty() ? Json(nullptr) : Json(text); }

// The method's parameters as sent.
Json AtaParametersJson(const PurgePlan& plan) {
  const bool sanitize = IsAtaSanitize(plan.method);
  const bool overwrite = plan.method == PurgeMethod::AtaSanitizeOverwrite;
  return {{"failure_mode", sanitize ? Json(1) : Json(nullptr)},
          {"overwrite_passes", overwrite ? Json(1) : Json(nullptr)},
          {"overwrite_pattern", overwrite ? Json("0x00000000") : Json(nullptr)},
          {"overwrite_invert", overwrite ? Json(false) : Json(nullptr)},
          {"enhanced", sanitize ? Json(nullptr) : Json(plan.method == PurgeMethod::AtaSecurityEraseEnhanced)},
          {"timeout_seconds", sanitize ? Json(nullptr) : Json(plan.timeoutSeconds)},
          {"password", sanitize             ? Json(nullptr)
                       : plan.finishesErase ? Json("saved")
                       : plan.pePassword    ? Json("windows-pe")
                                            : Json("random")},
          {"finishes_erase", plan.finishesErase}};
}

// What an ATA purge sent and what the drive said; never the password itself.
Json AtaJson(const PurgeResult& r) {
  if (!IsAtaMethod(r.plan.method)) return nullptr;
  const AtaPurgeFacts& a = r.ata;
  return {{"parameters", AtaParametersJson(r.plan)},
          {"command", AnswerJson(a.command)},
          {"sanitize_status_before", AtaStatusJson(a.statusBefore)},
          {"sanitize_status_after", AtaStatusJson(a.statusAfter)},
          {"failure_cleared", a.failureCleared},
          {"identify_word128_before", WordJson(a.word128Before)},
          {"identify_word128_after", WordJson(a.word128After)},
          {"failed_step", TextOrNull(a.failedStep)},
          {"password_set", a.passwordSet},
          {"password_file", a.passwordFile.empty() ? Json(nullptr) : Json(U8(a.passwordFile))},
          {"password_file_removed", a.passwordFileRemoved},
          {"password_undo", TextOrNull(a.passwordUndo)},
          {"password_undo_text", a.passwordUndoText.empty() ? Json(nullptr) : Json(U8(a.passwordUndoText))}};
}

std::string AtaAnswerLine(const std::optional<device::AtaAnswer>& a) {
  if (!a) return "not sent";
  std::string line = AnswerWord(*a);
  if (a->outcome == device::AtaAnswer::Outcome::Failed) return line + ", error " + std::to_string(a->error);
  if (a->outcome == device::AtaAnswer::Outcome::Registers) line += " (" + RegistersText(*a) + ")";
  return line;
}

std::string AtaStatusLine(const std::optional<device::AtaSanitizeStatus>& s) {
  if (!s) return "could not be read";
  return device::AtaSanitizeStateWord(s->state) + " (progress " + Hex(s->progress, 4) + ", reason " +
         std::to_string(s->reason) + ": " + Utf16ToUtf8(device::AtaSanitizeReasonText(s->reason)) + ")";
}

// The text record's lines of an ATA purge.
void AddAtaLines(const PurgeResult& r, std::vector<std::pair<std::string, std::string>>& lines) {
  const AtaPurgeFacts& a = r.ata;
  const PurgePlan& plan = r.plan;
  if (IsAtaSanitize(plan.method)) {
    lines.push_back({"Parameters", plan.method == PurgeMethod::AtaSanitizeOverwrite
                                       ? "FAILURE MODE 1, one pass of pattern 0x00000000, no inversion"
                                       : "FAILURE MODE 1"});
    lines.push_back({"Command answer", AtaAnswerLine(a.command)});
    lines.push_back({"Status before", "SANITIZE STATUS EXT " + AtaStatusLine(a.statusBefore)});
    lines.push_back({"Status after", "SANITIZE STATUS EXT " + AtaStatusLine(a.statusAfter) +
                                         (a.failureCleared ? ", the failed state cleared" : "")});
    return;
  }
  lines.push_back({"Parameters", std::string(plan.method == PurgeMethod::AtaSecurityEraseEnhanced ? "enhanced" : "normal") +
                                     ", timeout " + std::to_string(plan.timeoutSeconds) + " seconds, " +
                                     (plan.finishesErase ? "the saved password (finishing an erase cut off)"
                                      : plan.pePassword  ? "Windows PE's password"
                                                         : "a random password")});
  lines.push_back({"ERASE UNIT answer", AtaAnswerLine(a.command)});
  if (!a.failedStep.empty()) lines.push_back({"Failed step", a.failedStep});
  lines.push_back({"Word 128 before", a.word128Before ? Hex(*a.word128Before, 4) : std::string("not read")});
  lines.push_back({"Word 128 after", a.word128After ? Hex(*a.word128After, 4) : std::string("not read")});
  if (!a.passwordFile.empty())
    lines.push_back({"Password file", U8(a.passwordFile) + (a.passwordFileRemoved ? " (deleted)" : " (kept)")});
  if (!a.passwordUndo.empty()) lines.push_back({"Password undo", a.passwordUndo + ": " + U8(a.passwordUndoText)});
}

Json RequestJson(const PurgePlan& plan) {
  if (IsAtaMethod(plan.method))
    return {{"ioctl", "IOCTL_ATA_PASS_THROUGH"}, {"code", Hex(device::apt::IOCTL_ATA_PASS_THROUGH, 8)}, {"input", nullptr}};
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
          {"ata", AtaJson(r)},
          {"estimated_seconds", plan.estimateSeconds ? Json(*plan.estimateSeconds) : Json(nullptr)},
          {"actual_seconds", static_cast<double>(r.actualMs) / 1000.0}};
}

std::vector<std::pair<std::string, std::string>> PurgeTextLines(const PurgeResult& r) {
  const PurgePlan& plan = r.plan;
  std::vector<std::pair<std::string, std::string>> lines = {
      {"Scope", U8(IsAtaMethod(plan.method) ? std::u16string(u"the whole drive") : PurgeScopeText(plan))},
      {"Windows build", std::to_string(plan.windowsBuild)},
      {"Request", PurgeRequestText(plan) + " (" +
                      Hex(IsAtaMethod(plan.method) ? device::apt::IOCTL_ATA_PASS_THROUGH : device::IOCTL_STORAGE_REINITIALIZE_MEDIA, 8) + ")"},
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
  if (IsAtaMethod(plan.method)) {
    // The NVMe log's lines do not apply: the ATA drive's own status follows.
    std::erase_if(lines, [](const auto& line) { return line.first == "Status before" || line.first == "Status after"; });
    AddAtaLines(r, lines);
  }
  if (r.outcome == PurgeOutcome::Failed) lines.push_back({"Failure", r.failureCode + ": " + U8(r.reason)});
  else lines.push_back({"Proof", U8(r.reason)});
  return lines;
}

} // namespace trv::format
