#include "format/purge_plan.h"

namespace trv::format {

// Placeholder until the plan is built: nothing is offered.
PurgeFacts GatherPurgeFacts(win::Platform& platform, win::Handle handle, std::uint32_t deviceNumber) {
  (void)handle;
  PurgeFacts facts;
  facts.deviceNumber = deviceNumber;
  facts.windows = device::TrueWindowsVersion(platform);
  return facts;
}

PurgePlan PlanPurge(const PurgeFacts& facts, PurgeChoice choice) {
  (void)choice;
  PurgePlan plan;
  plan.windowsBuild = facts.windows.build;
  plan.refusal = {"purge-not-offered", u"the disk offers no sanitize or crypto format"};
  return plan;
}

std::u16string PurgeMethodText(PurgeMethod method) {
  switch (method) {
    case PurgeMethod::NvmeSanitizeCrypto: return u"Sanitize, crypto erase";
    case PurgeMethod::NvmeSanitizeBlock: return u"Sanitize, block erase";
    case PurgeMethod::NvmeFormatCrypto: return u"Format NVM, crypto erase";
    case PurgeMethod::None: break;
  }
  return u"none";
}

std::string PurgeMethodWord(PurgeMethod method) {
  switch (method) {
    case PurgeMethod::NvmeSanitizeCrypto: return "nvme-sanitize-crypto-erase";
    case PurgeMethod::NvmeSanitizeBlock: return "nvme-sanitize-block-erase";
    case PurgeMethod::NvmeFormatCrypto: return "nvme-format-crypto-erase";
    case PurgeMethod::None: break;
  }
  return "none";
}

std::u16string PurgeScopeText(const PurgePlan& plan) {
  (void)plan;
  return u"this namespace only";
}

std::u16string PurgeEstimateText(const PurgePlan& plan) {
  (void)plan;
  return u"the drive gives no estimate";
}

} // namespace trv::format
