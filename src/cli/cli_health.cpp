#include "cli/cli_health.h"

#include "platform/text.h"

namespace trv::cli {

namespace {

const char* StatusWord(device::SmartStatus s) {
  switch (s) {
    case device::SmartStatus::Good: return "good";
    case device::SmartStatus::Failing: return "failing";
    case device::SmartStatus::Unknown: return "unknown";
    case device::SmartStatus::NotRead: return "not-read";
    case device::SmartStatus::NotPassed: return "not-passed";
  }
  return "";
}

// A reason, note or advice: its machine code beside its text.
nlohmann::ordered_json FindingJson(report::HealthCode code, const std::u16string& text) {
  return {{"code", report::HealthCodeWord(code)}, {"text", Utf16ToUtf8(text)}};
}

} // namespace

nlohmann::ordered_json HealthJson(const std::optional<report::SmartHealth>& health, report::Language language) {
  using json = nlohmann::ordered_json;
  if (!health) return nullptr;
  const report::HealthResult& r = health->result;
  json out = {{"verdict", report::VerdictWord(r.verdict)},
              {"failing", r.verdict == report::Verdict::Failing},
              {"source", health->nvme ? "nvme-health-log" : "ata-smart"},
              {"reasons", json::array()}};
  for (const auto& reason : r.reasons) out["reasons"].push_back(FindingJson(reason.code, reason.text));
  out["notes"] = json::array();
  for (const auto& note : r.notes) out["notes"].push_back(FindingJson(note.code, note.text));
  const auto advice = report::AdviceCode(r);
  out["advice"] = advice ? FindingJson(*advice, report::AdviceText(r, language)) : json(nullptr);
  if (health->nvme) return out;
  out["drive_status"] = StatusWord(health->status);
  out["thresholds_read"] = health->thresholdsRead;
  out["thresholds"] = json::array();
  for (const auto& a : r.attributes)
    out["thresholds"].push_back({{"id", a.id},
                                 {"prefailure", a.prefailure},
                                 {"current", a.current},
                                 {"worst", a.worst},
                                 {"threshold", a.threshold},
                                 {"failing_now", a.failingNow},
                                 {"failed_in_past", a.failedInPast}});
  return out;
}

nlohmann::ordered_json EraseFeaturesJson(const std::optional<device::EraseFeatures>& features) {
  using json = nlohmann::ordered_json;
  if (!features) return nullptr;
  const device::EraseFeatures& f = *features;
  const auto time = [](const device::EraseTime& t) -> json {
    if (!t.reported) return nullptr;
    return {{"minutes", t.minutes}, {"more_than", t.atLeast}};
  };
  if (f.nvme)
    return {{"kind", "nvme"},
            {"format_nvm", {{"supported", f.formatNvm},
                            {"fna", f.fna},
                            {"all_namespaces", f.formatAllNamespaces},
                            {"secure_erase_all_namespaces", f.eraseAllNamespaces},
                            {"crypto_erase", f.cryptoEraseOnFormat}}},
            {"sanitize", {{"sanicap", f.sanicap},
                          {"crypto_erase", f.sanitizeCrypto},
                          {"block_erase", f.sanitizeBlock},
                          {"overwrite", f.sanitizeOverwrite}}}};
  return {{"kind", "ata"},
          {"security", {{"supported", f.securitySupported},
                        {"enabled", f.securityEnabled},
                        {"locked", f.locked},
                        {"frozen", f.frozen},
                        {"count_expired", f.countExpired},
                        {"enhanced_erase_supported", f.enhancedEraseSupported},
                        {"normal_erase_time", time(f.normalEraseTime)},
                        {"enhanced_erase_time", time(f.enhancedEraseTime)}}},
          {"sanitize", {{"supported", f.sanitizeSupported},
                        {"crypto_scramble", f.cryptoScramble},
                        {"block_erase", f.blockErase},
                        {"overwrite", f.overwrite}}}};
}

nlohmann::ordered_json HiddenSectorsJson(const std::vector<device::HiddenRange>& ranges) {
  nlohmann::ordered_json out = nlohmann::ordered_json::array();
  for (const device::HiddenRange& r : ranges)
    out.push_back({{"by", r.by == device::HiddenBy::HostProtectedArea      ? "hpa"
                          : r.by == device::HiddenBy::ConfigurationOverlay ? "dco"
                                                                            : "hpa-or-dco"},
                   {"first_sector", r.firstSector},
                   {"last_sector", r.endSector - 1},
                   {"bytes", r.EndByte() - r.FirstByte()}});
  return out;
}

} // namespace trv::cli
