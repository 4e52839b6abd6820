#include "format/purge_outcome_text.h"

#include <optional>

#include "platform/text.h"
#include "report/number_text.h"

namespace trv::format {

namespace {

std::u16string Sectors(std::int64_t n) {
  return report::FormatThousands(n) + (n == 1 ? u" sampled sector" : u" sampled sectors");
}

std::string HexWord(std::uint32_t v, int digits) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) text += kDigits[(v >> shift) & 0xF];
  return text + "h";
}

// IDENTIFY word 128 as the record writes it: "0x0021".
std::u16string Word128Text(std::uint16_t word) { return u"0x" + Utf8ToUtf16(HexWord(word, 4).substr(0, 4)); }

std::u16string SampleSaid(const PurgeResult& r) {
  return r.sample.result == PurgeSample::Result::NoEvidence
             ? u"every sampled sector was zero (or unreadable) before, so the sample proves nothing either way"
             : u"the " + Sectors(r.sample.sectors) + u" read as the method leaves them";
}

// How an ATA command that failed ended.
std::u16string AtaAnswerText(const device::AtaAnswer& a) {
  if (a.outcome == device::AtaAnswer::Outcome::Failed)
    return u"the driver refused the request (error " + DecimalText(a.error) + u")";
  return u"the drive aborted it (status " + Utf8ToUtf16(HexWord(a.current.command, 2)) + u", error " +
         Utf8ToUtf16(HexWord(a.current.features, 2)) + u")";
}

std::u16string UndoSaid(const PurgeResult& r) {
  return r.ata.passwordUndoText.empty() ? std::u16string() : u" " + r.ata.passwordUndoText;
}

// Why an ATA purge failed, for the codes whose sentence differs from NVMe's.
std::optional<std::u16string> AtaFailureText(const PurgeResult& r) {
  const std::string& code = r.failureCode;
  const AtaPurgeFacts& a = r.ata;
  if (IsAtaSanitize(r.plan.method)) {
    if (code == "command-failed" && a.command) {
      if (a.command->outcome == device::AtaAnswer::Outcome::Failed)
        return u"the driver refused SANITIZE DEVICE (error " + DecimalText(a.command->error) +
               u"): the drive never got it, and nothing was erased";
      return u"the drive aborted SANITIZE DEVICE: " + device::AtaSanitizeReasonText(a.command->current.lbaLow);
    }
    if (code == "status-failed" && a.statusAfter) {
      if (a.statusAfter->state == device::AtaSanitizeStatus::State::Failed)
        return u"SANITIZE STATUS EXT says the sanitize failed: " + device::AtaSanitizeReasonText(a.statusAfter->reason) +
               (a.failureCleared ? u"; the failed state was cleared" : u"; the failed state could not be cleared");
      return u"SANITIZE STATUS EXT does not say the sanitize completed without error (" +
             Utf8ToUtf16(device::AtaSanitizeStateWord(a.statusAfter->state)) + u")";
    }
    return std::nullopt;
  }
  if (code == "command-failed") {
    const std::u16string step = Utf8ToUtf16(a.failedStep.empty() ? std::string("SECURITY ERASE UNIT") : a.failedStep);
    std::u16string how = u"did not go through";
    if (a.failedStep == "SECURITY ERASE UNIT" && a.command) how = u"failed: " + AtaAnswerText(*a.command);
    else if (r.commandError != 0) how = u"failed: the driver refused the request (error " + DecimalText(r.commandError) + u")";
    else how = u"failed: the drive aborted it";
    return step + u" " + how + u"." + UndoSaid(r);
  }
  if (code == "interrupted" && r.sent)
    return u"the session ended during the security erase: the drive may keep the temporary password, whose file "
           u"stays in " + a.passwordFile + u" (the next run offers to finish the erase or take the password off)";
  if (code == kPasswordNotSet)
    return u"SECURITY SET PASSWORD reported success, but IDENTIFY DEVICE shows no password: the driver did not pass "
           u"it on, and nothing was erased";
  if (code == kPasswordNotRemoved)
    return u"IDENTIFY DEVICE still shows a password after SECURITY ERASE UNIT (word 128 " +
           Word128Text(a.word128After.value_or(0)) + u")." + UndoSaid(r);
  return std::nullopt;
}

} // namespace

std::string SanitizeMethodWord(device::SanitizeMethod method) {
  switch (method) {
    case device::SanitizeMethod::BlockErase: return "block";
    case device::SanitizeMethod::CryptoErase: return "crypto";
    case device::SanitizeMethod::Default: break;
  }
  return "default";
}

std::string PurgeRequestText(const PurgePlan& plan) {
  if (IsAtaSanitize(plan.method)) {
    const char* function = plan.method == PurgeMethod::AtaSanitizeCrypto ? "CRYPTO SCRAMBLE EXT (feature 0011h)"
                           : plan.method == PurgeMethod::AtaSanitizeBlock ? "BLOCK ERASE EXT (feature 0012h)"
                                                                          : "OVERWRITE EXT (feature 0014h) passes=1 pattern=00000000h invert=0";
    return std::string("IOCTL_ATA_PASS_THROUGH SANITIZE DEVICE (B4h) ") + function + " failureMode=1";
  }
  if (IsSecurityErase(plan.method)) {
    const std::string unit = std::string("SECURITY ERASE PREPARE (F3h), SECURITY ERASE UNIT (F4h) ") +
                             (plan.method == PurgeMethod::AtaSecurityEraseEnhanced ? "enhanced" : "normal") +
                             " timeout=" + std::to_string(plan.timeoutSeconds);
    if (plan.finishesErase) return "IOCTL_ATA_PASS_THROUGH " + unit + " with the saved password";
    return std::string("IOCTL_ATA_PASS_THROUGH SECURITY SET PASSWORD (F1h) user high password=") +
           (plan.pePassword ? "windows-pe" : "random") + ", " + unit;
  }
  std::string text = "IOCTL_STORAGE_REINITIALIZE_MEDIA";
  if (!plan.sanitizeInput) return text + " no input";
  return text + " version=16 size=16 timeout=" + std::to_string(plan.timeoutSeconds) +
         " method=" + SanitizeMethodWord(plan.sanitizeMethod) + " disallowExit=0";
}

std::string SampleResultWord(PurgeSample::Result result) {
  switch (result) {
    case PurgeSample::Result::Held: return "held";
    case PurgeSample::Result::Failed: return "failed";
    case PurgeSample::Result::NoEvidence: return "no-evidence";
    case PurgeSample::Result::Unreadable: return "unreadable";
    case PurgeSample::Result::NotRun: break;
  }
  return "not-run";
}

std::u16string PurgeFailureText(const PurgeResult& r) {
  const std::string& code = r.failureCode;
  if (IsAtaMethod(r.plan.method))
    if (std::optional<std::u16string> text = AtaFailureText(r)) return *text;
  const std::u16string state = r.statusAfter ? Utf8ToUtf16(device::SanitizeStateWord(r.statusAfter->StateOf())) : u"unreadable";
  if (code == "stalled")
    return u"no progress for twice the drive's estimate (at least an hour): the sanitize stalled, and the drive "
           u"may still be at work; do not power it off";
  if (code == "status-failed")
    return u"the drive's Sanitize Status log says the sanitize did not succeed (" + state + u")";
  if (code == "command-failed")
    return u"the purge request failed: error " + DecimalText(r.commandError);
  if (code == "status-other-action")
    return u"the drive's Sanitize Status log names another action (SANACT " +
           DecimalText(static_cast<std::uint32_t>(r.statusAfter ? r.statusAfter->ActionRun() : 0)) + u") than the one asked for";
  if (code == "status-not-erased") return u"the drive's Sanitize Status log does not say Global Data Erased";
  if (code == "sample-unchanged") return Sectors(r.sample.unchanged) + u" still hold their old data";
  if (code == "sample-not-erased")
    return Sectors(r.sample.notErased) + u" read neither as zeros nor as the drive's deallocated pattern";
  if (code == "sample-unreadable") return u"sampled sectors could not be read after the purge";
  if (code == "no-evidence")
    return u"every sampled sector was zero before the purge and the drive's status could not be read: "
           u"nothing proves the crypto erase";
  if (code == "read-back-failed")
    return u"the read-back of the whole disk found sectors that do not read as the purge leaves them";
  if (code == "interrupted")
    return r.sent ? u"the session ended while the purge ran: the drive may still be sanitizing and must not be powered off"
                  : u"the session ended before the purge request was sent: nothing was sent";
  return Utf8ToUtf16(code);
}

std::u16string PurgeSuccessText(const PurgeResult& r) {
  const bool unverified = r.outcome == PurgeOutcome::Unverified;
  if (IsAtaSanitize(r.plan.method))
    return unverified ? u"SANITIZE DEVICE succeeded and " + SampleSaid(r) + u", but SANITIZE STATUS EXT could not be read."
                      : u"SANITIZE DEVICE succeeded, SANITIZE STATUS EXT says it completed without error, and " +
                            SampleSaid(r) + u".";
  if (IsSecurityErase(r.plan.method))
    return unverified ? u"SECURITY ERASE UNIT succeeded and " + SampleSaid(r) +
                            u", but IDENTIFY DEVICE could not be read after it."
                      : u"SECURITY ERASE UNIT succeeded, IDENTIFY DEVICE shows the password disabled and the drive "
                        u"unlocked (word 128 " + Word128Text(r.ata.word128After.value_or(0)) + u"), and " +
                            SampleSaid(r) + u".";
  const std::u16string sample = r.sample.result == PurgeSample::Result::NoEvidence
                                    ? u"every sampled sector was zero before, so the sample proves nothing either way"
                                    : u"the " + Sectors(r.sample.sectors) + u" read as the method leaves them";
  if (r.outcome == PurgeOutcome::Unverified)
    return u"The request succeeded and " + sample + u", but the drive's Sanitize Status log could not be read.";
  if (r.plan.method == PurgeMethod::NvmeFormatCrypto) return u"The request succeeded and " + sample + u".";
  return u"The request succeeded, the drive's Sanitize Status log says the sanitize succeeded with Global Data "
         u"Erased, and " + sample + u".";
}

} // namespace trv::format
