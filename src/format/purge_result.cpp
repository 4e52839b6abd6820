#include "format/purge_result.h"

namespace trv::format {

std::string PurgeOutcomeWord(PurgeOutcome outcome) {
  switch (outcome) {
    case PurgeOutcome::Purged: return "purged";
    case PurgeOutcome::Unverified: return "purge-unverified";
    case PurgeOutcome::Failed: break;
  }
  return "failed";
}

std::u16string PurgeOutcomeText(PurgeOutcome outcome) {
  switch (outcome) {
    case PurgeOutcome::Purged: return u"purged";
    case PurgeOutcome::Unverified: return u"purge unverified";
    case PurgeOutcome::Failed: break;
  }
  return u"failed";
}

} // namespace trv::format
