#include "app/purge_tab.h"

#include "app/app.h"
#include "format/same_disk.h"
#include "format/time_left.h"
#include "platform/text.h"

namespace trv::app {

std::u16string PurgeChoiceText(const format::PurgePlan& plan) {
  if (plan.Runs()) return u"Method: " + format::PurgeMethodText(plan.method);
  return u"Not available: " + plan.refusal.text;
}

std::u16string PurgeConfirmationText(const format::DiskIdentity& disk, const format::PurgePlan& plan) {
  return u"Are you absolutely sure you want to irreversibly destroy all data on this device?\r\n\r\nDisk " +
         DecimalText(static_cast<std::int64_t>(disk.number)) + u": " + format::DescribeDiskInEnglish(disk) +
         u"\r\nMethod: " + format::PurgeMethodText(plan.method) + u"\r\nScope: " + format::PurgeScopeText(plan) +
         u"\r\nEstimate: " + format::PurgeEstimateText(plan) +
         u"\r\n\r\nA purge cannot be undone or stopped. Once it has begun, keep the computer on until it ends: "
         u"the drive goes on purging after a restart.";
}

std::u16string PurgeElapsedText(std::int64_t elapsedSeconds, const std::optional<std::uint32_t>& estimateSeconds) {
  std::u16string text = u"Elapsed " + format::ClockText(elapsedSeconds);
  if (estimateSeconds) text += u", est. " + format::ClockText(*estimateSeconds);
  return text;
}

std::u16string PurgeOutcomeLine(format::PurgeOutcome outcome) { return u"Purge: " + format::PurgeOutcomeText(outcome); }

void TFmMain::ShowPurgeChoice() {
  // Read through the disk's open handle: a second handle on a disk opened
  // exclusively would not open.
  const auto& entry = app_.dev.Devices[static_cast<std::size_t>(app_.dev.SelectedDevice)];
  const format::PurgeFacts facts = format::GatherPurgeFacts(app_.platform, app_.dev.DeviceHandle, entry.DeviceNumber,
                                                            entry.IdentifyData.BusType);
  purgePlan_ = std::make_shared<const format::PurgePlan>(format::PlanPurge(facts, format::PurgeChoice::Best));
  if (!PurgeOffered()) cbPurge.SetChecked(false);
  cbPurge.SetEnabled(PurgeOffered() && btRunBenchmarks.enabled());
  lbPurgeReason.SetCaption(PurgeChoiceText(*purgePlan_));
}

void TFmMain::ShowPurgeElapsed() {
  if (!purgeRunning_ || !purgePlan_ || app_.PerformanceFrequency <= 0) return;
  std::int64_t now = 0;
  app_.platform.QueryPerformanceCounter(&now);
  lbCurrentPosition.SetCaption(PurgeElapsedText((now - purgeStartCounter_) / app_.PerformanceFrequency, purgePlan_->estimateSeconds));
}

} // namespace trv::app
