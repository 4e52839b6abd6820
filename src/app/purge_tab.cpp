#include "app/purge_tab.h"

#include "app/app.h"
#include "device/ata_commands.h"
#include "device/ata_security.h"
#include "format/ata_password_file.h"
#include "format/erase_record.h"
#include "format/purge_run.h"
#include "format/records_folder.h"
#include "format/same_disk.h"
#include "format/time_left.h"
#include "platform/text.h"

namespace trv::app {

namespace {

// The password paragraph of a security erase's confirmation.
std::u16string PasswordParagraph(const format::PurgePlan& plan, const std::u16string& file) {
  if (plan.finishesErase)
    return u"\r\n\r\nThe drive is locked with the password this program saved in " + file +
           u": the erase is finished with it, and no new password is set.";
  return u"\r\n\r\nA temporary password (" +
         (plan.pePassword ? u"Windows PE's own, " + Utf8ToUtf16(device::atacmd::kWindowsPePassword)
                          : std::u16string(u"a random one")) +
         u") is set on the drive for the erase and kept in " + file +
         u" until the drive shows it gone. If the erase is cut off, this program offers to finish it or to take the "
         u"password away when it next starts.";
}

} // namespace

std::u16string PurgeChoiceText(const format::PurgePlan& plan) {
  if (plan.Runs()) return u"Method: " + format::PurgeMethodText(plan.method);
  return u"Not available: " + plan.refusal.text;
}

std::u16string PurgeConfirmationText(const format::DiskIdentity& disk, const format::PurgePlan& plan,
                                     const std::u16string& passwordFile) {
  const bool security = format::IsSecurityErase(plan.method);
  return u"Are you absolutely sure you want to irreversibly destroy all data on this device?\r\n\r\nDisk " +
         DecimalText(static_cast<std::int64_t>(disk.number)) + u": " + format::DescribeDiskInEnglish(disk) +
         u"\r\nMethod: " + format::PurgeMethodText(plan.method) + u"\r\nScope: " + format::PurgeScopeText(plan) +
         u"\r\nEstimate: " + format::PurgeEstimateText(plan) +
         (security ? PasswordParagraph(plan, passwordFile) : std::u16string()) +
         u"\r\n\r\nA purge cannot be undone or stopped. Once it has begun, keep the computer on until it ends: " +
         (security ? u"a security erase cut off leaves the drive locked with its password."
                   : u"the drive goes on purging after a restart.");
}

std::u16string PasswordFolder(win::Platform& platform) {
  const std::u16string folder = format::PlainFolderPath(format::DefaultRecordsFolder(platform));
  if (folder.empty()) return {};
  const std::u16string full = platform.GetFullPathNameW(folder);
  return full.empty() ? folder : format::PlainFolderPath(full);
}

std::u16string StrandedDiskText(const std::u16string& diskTitle, const format::StrandedDisk& disk) {
  std::u16string text = diskTitle + u"\r\nState: " + Utf8ToUtf16(device::SecurityStateWord(disk.state)) +
                        u"\r\nPassword file: " + disk.saved.path;
  if (!disk.saved.setAt.empty()) text += u" (set " + Utf8ToUtf16(disk.saved.setAt) + u")";
  text += u"\r\n\r\nYes: finish the erase: the security erase is sent again with the saved password, and the disk is "
          u"erased.\r\nNo: remove the password: UNLOCK, then DISABLE PASSWORD with the saved password, tried once in "
          u"this power cycle; the disk keeps its data.\r\nCancel: leave the disk as it is.";
  if (disk.frozen)
    text += u"\r\n\r\nThe drive is frozen: neither can be done now. " + std::u16string(format::kFrozenHelp) + u".";
  else if (disk.countExpired)
    text += u"\r\n\r\nThe drive refuses passwords until it is powered off and on: neither can be done now.";
  return text;
}

std::u16string PurgeElapsedText(std::int64_t elapsedSeconds, const std::optional<std::uint32_t>& estimateSeconds) {
  std::u16string text = u"Elapsed " + format::ClockText(elapsedSeconds);
  if (estimateSeconds) text += u", est. " + format::ClockText(*estimateSeconds);
  return text;
}

std::u16string PurgeOutcomeLine(format::PurgeOutcome outcome) { return u"Purge: " + format::PurgeOutcomeText(outcome); }

void TFmMain::ShowPurgeChoice(const format::PurgeFacts* known) {
  // Read through the disk's open handle: a second handle on a disk opened
  // exclusively would not open.
  const auto& entry = app_.dev.Devices[static_cast<std::size_t>(app_.dev.SelectedDevice)];
  format::PurgeFacts facts = known ? *known
                                   : format::GatherPurgeFacts(app_.platform, app_.dev.DeviceHandle, entry.DeviceNumber,
                                                              entry.IdentifyData.BusType);
  // A disk an erase of ours left locked is finished with the password saved for it.
  const std::u16string folder = PasswordFolder(app_.platform);
  if (!folder.empty()) format::FindSavedPassword(app_.platform, facts, folder);
  if (facts.savedPassword) passwordFile_ = facts.savedPassword->path;
  else if (facts.Ata() && facts.ataIdentify && !folder.empty())
    passwordFile_ = format::PathIn(folder, format::PasswordFileName(format::AtaSerial(*facts.ataIdentify)));
  else passwordFile_.clear();
  purgePlan_ = std::make_shared<const format::PurgePlan>(format::PlanPurge(facts, format::PurgeChoice::Best));
  if (!PurgeOffered()) cbPurge.SetChecked(false);
  cbPurge.SetEnabled(PurgeOffered() && btRunBenchmarks.enabled());
  lbPurgeReason.SetCaption(PurgeChoiceText(*purgePlan_));
  // A long reason (a frozen drive's, with what helps) may not fit its row: a click shows it whole.
  lbPurgeReason.handCursor = !PurgeOffered();
}

void TFmMain::lbPurgeReasonClick() {
  if (!purgePlan_ || PurgeOffered() || purgeRunning_) return;
  app_.ui.MessageBox(handle, u"No firmware purge can run on this disk here:\r\n\r\n" + purgePlan_->refusal.text + u".",
                     u"Firmware purge", win::MB_ICONINFORMATION | win::MB_OK);
}

void TFmMain::ShowPurgeElapsed() {
  if (!purgeRunning_ || !purgePlan_ || app_.PerformanceFrequency <= 0) return;
  std::int64_t now = 0;
  app_.platform.QueryPerformanceCounter(&now);
  lbCurrentPosition.SetCaption(PurgeElapsedText((now - purgeStartCounter_) / app_.PerformanceFrequency, purgePlan_->estimateSeconds));
}

} // namespace trv::app
