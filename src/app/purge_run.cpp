// The firmware purge's side of the format command: the plan read again just
// before the confirmation, the confirmation itself, the controls while the
// purge runs (it cannot be stopped), and what the window says after it.
#include "app/app.h"
#include "app/purge_tab.h"
#include "format/format_command.h"
#include "format/same_disk.h"
#include "ui/vista_funcs.h"

namespace trv::app {

bool TFmMain::PurgeStillOffered() {
  // The disk may have changed since the window opened (a sanitize begun
  // elsewhere): what is confirmed is what the disk offers now.
  ShowPurgeChoice();
  if (PurgeOffered()) return true;
  app_.ui.MessageBox(handle, u"The disk was not purged: nothing was sent.\r\n\r\n" + purgePlan_->refusal.text,
                     u"Purge refused", win::MB_ICONERROR | win::MB_OK);
  return false;
}

int TFmMain::ConfirmPurge() {
  const auto& entry = app_.dev.Devices[static_cast<std::size_t>(app_.dev.SelectedDevice)];
  return ui::ShowTaskDialog(app_.platform, app_.ui, handle, u"Warning", kPurgeConfirmInstruction,
                            PurgeConfirmationText(format::IdentityOf(entry, app_.Drive), *purgePlan_, passwordFile_),
                            ui::kTdWarningIcon, ui::kTdYes | ui::kTdCancel);
}

void TFmMain::PurgeStarts() {
  purgeRunning_ = true;
  lbPurgeReason.SetCaption(kStopDisabledText);
  app_.platform.QueryPerformanceCounter(&purgeStartCounter_);
  ShowPurgeElapsed();
}

void TFmMain::PurgeEnded(const format::EraseCommandResult& result) {
  purgeRunning_ = false;
  if (result.purgeRefusal)
    app_.ui.MessageBox(handle, u"The disk was not purged: nothing was sent.\r\n\r\n" + result.purgeRefusal->text,
                       u"Purge refused", win::MB_ICONERROR | win::MB_OK);
  if (result.purge) {
    const format::PurgeResult& purge = *result.purge;
    lbSpeed.SetCaption(PurgeOutcomeLine(purge.outcome));
    if (purge.outcome == format::PurgeOutcome::Purged) pbCurrentTask.SetPosition(100);
    pbCurrentTask.SetState(purge.outcome == format::PurgeOutcome::Purged ? ui::ProgressState::Paused
                                                                         : ui::ProgressState::Error);
    if (purge.outcome == format::PurgeOutcome::Failed)
      app_.ui.MessageBox(handle, u"The disk was not purged (failed): " + purge.reason, u"Purge failed",
                         win::MB_ICONERROR | win::MB_OK);
    else if (purge.outcome == format::PurgeOutcome::Unverified)
      app_.ui.MessageBox(handle,
                         u"The purge ended, but the drive's sanitize status could not be read: only the sample of "
                         u"sectors shows that the disk was erased (purge unverified).",
                         u"Purge unverified", win::MB_ICONWARNING | win::MB_OK);
  }
  // What the disk offers now: its status log has changed.
  ShowPurgeChoice();
}

void TFmMain::SayPurgeMustEnd() {
  app_.ui.MessageBox(handle, kPurgeCloseText, kPurgeCloseCaption, win::MB_ICONWARNING | win::MB_OK);
}

} // namespace trv::app
