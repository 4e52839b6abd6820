#include "cli/cli_purge.h"

#include "device/ata_commands.h"
#include "device/ata_security.h"
#include "device/device_records.h"
#include "device/enumeration.h"
#include "format/ata_password_file.h"
#include "format/erase_record_outcome.h"
#include "format/purge_run.h"
#include "format/records_folder.h"
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

bool HasPassword(const device::AtaBlock& identify) {
  const device::SecurityState state = device::SecurityStateOf(device::AtaEraseFeatures(identify));
  return state == device::SecurityState::Locked || state == device::SecurityState::Unlocked ||
         state == device::SecurityState::UnlockedFrozen;
}

PurgeOutlook PurgeOutlookOf(win::Platform& platform, win::Handle handle, const device::TDeviceTable& entry,
                            format::PurgeChoice choice, const std::u16string& passwordFolder) {
  return PurgeOutlookFrom(platform,
                          format::GatherPurgeFacts(platform, handle, entry.DeviceNumber, entry.IdentifyData.BusType),
                          choice, passwordFolder);
}

PurgeOutlook PurgeOutlookFrom(win::Platform& platform, format::PurgeFacts facts, format::PurgeChoice choice,
                              const std::u16string& passwordFolder) {
  PurgeOutlook outlook;
  outlook.facts = std::move(facts);
  if (!passwordFolder.empty() && !outlook.facts.savedPassword)
    format::FindSavedPassword(platform, outlook.facts, passwordFolder);
  outlook.plan = format::PlanPurge(outlook.facts, choice);
  return outlook;
}

std::u16string PasswordFolder(win::Platform& platform, const std::u16string& given) {
  const std::u16string folder = format::PlainFolderPath(given.empty() ? format::DefaultRecordsFolder(platform) : given);
  if (folder.empty()) return {};
  const std::u16string full = platform.GetFullPathNameW(folder);
  return full.empty() ? folder : format::PlainFolderPath(full);
}

std::u16string PasswordFilePath(const format::PurgeFacts& facts, const std::u16string& passwordFolder) {
  if (facts.savedPassword && !facts.savedPassword->path.empty()) return facts.savedPassword->path;
  if (!facts.ataIdentify || passwordFolder.empty()) return {};
  return format::PathIn(passwordFolder, format::PasswordFileName(format::AtaSerial(*facts.ataIdentify)));
}

std::u16string SecurityEraseNote(const PurgeOutlook& outlook, const std::u16string& passwordFolder,
                                 std::uint32_t number) {
  const format::PurgePlan& plan = outlook.plan;
  if (!format::IsSecurityErase(plan.method)) return {};
  const std::u16string file = PasswordFilePath(outlook.facts, passwordFolder);
  const std::u16string disk = u"disk " + DecimalText(number);
  if (plan.finishesErase)
    return u"note: " + disk + u" is locked with the password this program saved in " + file +
           u": the security erase is finished with it, and no new password is set.\n";
  return u"note: the security erase sets a temporary password on " + disk +
         (plan.pePassword ? u" (Windows PE's own, " + Utf8ToUtf16(device::atacmd::kWindowsPePassword) + u")"
                          : std::u16string(u" (a random one)")) +
         u" and keeps it in " + file + u" until the drive shows it gone. If the erase is cut off, " +
         u"trevasso-cli unlock " + DecimalText(number) + u" takes the password away again.\n";
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

json AtaSecurityJson(const format::PurgeFacts& facts) {
  if (!facts.Ata() || !facts.ataIdentify) return nullptr;
  const device::EraseFeatures features = device::AtaEraseFeatures(*facts.ataIdentify);
  const json file = facts.savedPassword ? json(U8(facts.savedPassword->path)) : json(nullptr);
  return {{"state", device::SecurityStateWord(device::SecurityStateOf(features))},
          {"frozen", features.frozen},
          {"count_expired", features.countExpired},
          {"saved_password", facts.savedPassword.has_value()},
          {"password_file", file}};
}

json AtaSanitizeJson(const std::optional<device::AtaSanitizeStatus>& status) {
  if (!status) return nullptr;
  using State = device::AtaSanitizeStatus::State;
  const bool failed = status->state == State::Failed;
  return {{"state", device::AtaSanitizeStateWord(status->state)},
          {"progress_percent", status->state == State::InProgress ? json(status->progress * 100 / 65536) : json(nullptr)},
          {"reason", failed ? json(U8(device::AtaSanitizeReasonText(status->reason))) : json(nullptr)}};
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
          {"sanitize_status", SanitizeStatusJson(outlook.facts.status)},
          {"finishes_erase", runs && plan.finishesErase},
          {"ata_security", AtaSecurityJson(outlook.facts)},
          {"ata_sanitize_status", AtaSanitizeJson(outlook.facts.ataSanitize)}};
}

std::u16string PurgeSummary(const format::PurgeResult& purge) {
  std::u16string outcome = u"outcome: " + format::PurgeOutcomeText(purge.outcome);
  if (purge.outcome != format::PurgeOutcome::Purged && !purge.reason.empty()) outcome += u": " + AsClause(purge.reason);
  if (purge.outcome == format::PurgeOutcome::Failed && !purge.failureCode.empty())
    outcome += u" (" + Utf8ToUtf16(purge.failureCode) + u")";
  return outcome + u"\nmethod: " + format::PurgeMethodText(purge.plan.method) + u", " + format::PurgeScopeText(purge.plan) + u"\n";
}

std::u16string CategoryLine(const format::EraseRecord& record) {
  const std::string word = format::CategoryWord(format::CategoryOf(record));
  return u"category: " + (word.empty() ? std::u16string(u"none") : Utf8ToUtf16(word)) + u"\n";
}

} // namespace trv::cli
