#include "format/purge_outcome_text.h"

#include "platform/text.h"
#include "report/number_text.h"

namespace trv::format {

namespace {

std::u16string Sectors(std::int64_t n) {
  return report::FormatThousands(n) + (n == 1 ? u" sampled sector" : u" sampled sectors");
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
