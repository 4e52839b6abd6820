// The main window: device details, low-level format with the activity log, and
// S.M.A.R.T. tabs.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "ui/form.h"

// Not format/purge_plan.h: this header reaches the Win32 front end, where the
// SDK's own IOCTL macros would collide with the device layer's constants.
namespace trv::format {
class RunWatch;
struct EraseCommandResult;
struct PurgeFacts;
struct PurgePlan;
}

namespace trv::app {

struct App;
class WorkerObserver;

class TFmMain : public ui::Form {
 public:
  explicit TFmMain(App& app);

  // Components in nesting order (their construction order).
  ui::Control& Panel2;
  ui::Control& lbDiskName;
  ui::StatusBar& StatusBar;
  ui::Control& Panel10;
  ui::Control& Panel17;
  ui::Control& lbCopyright;
  ui::PageControl& pages;
  ui::Control& TabSheet3;
  ui::Control& Panel14;
  ui::Control& Panel16;
  ui::Memo& Log_Details;
  ui::Control& TabSheet1;
  ui::Control& Panel1;
  ui::Control& Panel5;
  ui::Memo& Log_BenchMark;
  ui::Control& Panel7;
  ui::Control& GroupBox2;
  ui::Control& Panel9;
  ui::ProgressBar& pbCurrentTask;
  ui::Control& lbCurrentPercent;
  ui::Control& lbSpeed;
  ui::Control& lbCurrentPosition;
  ui::CheckBox& cbQuickWipe;
  ui::CheckBox& cbPurge;
  ui::CheckBox& cbVerify;
  ui::Control& lbPurgeReason;
  ui::Control& btStop;
  ui::Control& btRunBenchmarks;
  ui::Control& TabSheet2;
  ui::Control& Panel11;
  ui::Control& Panel13;
  ui::Memo& Log_Smart;
  ui::Control& btGetSmart;

  void FormCreate();
  void FormShow() override;
  void FormClose(ui::CloseAction& action) override;
  bool QueryEndSession() override;
  void EndSession() override;
  void btRunBenchmarksClick();
  void cbQuickWipeClick();
  void cbPurgeClick();
  void lbPurgeReasonClick();
  void btStopClick();
  void btGetSmartClick();
  void lbCopyrightClick();
  void lbCopyrightMouseEnter();
  void lbCopyrightMouseLeave();
  void lbCopyrightMouseDown(ui::MouseButton button);
  void lbCopyrightMouseUp(ui::MouseButton button);

  // Enables or disables the command controls around a long command.
  void SetBusy(bool enabled);
  // The format command behind btRunBenchmarks.
  void RunFormat();
  bool FormatRunning() const { return formatRunning_; }
  bool PurgeRunning() const { return purgeRunning_; }
  // Reads what the selected disk offers here and shows it beside the purge box
  // (app/purge_tab.cpp); the plan the box was enabled by. `known`: the facts
  // the details report has just read (none: read them now).
  void ShowPurgeChoice(const format::PurgeFacts* known = nullptr);
  bool PurgeOffered() const;
  // While a purge runs: the time since its request went out against the drive's estimate.
  void ShowPurgeElapsed();
  // After the scan (app/stranded_disk.cpp): each disk an erase of this program
  // left with a password (locked, or unlocked with it set) gets a question:
  // finish the erase, take the password away, or leave it. The number of the
  // disk (its row in the device table) whose erase is to be finished, 0 for none.
  std::int64_t OfferStrandedDisks();
  // Runs the purge of the selected disk whose erase the user chose to finish.
  void FinishStrandedErase();

 private:
  // On the window thread about four times a second while a run's worker goes on.
  void RunIdle();
  // Cancels the request the run's worker waits on, where Windows can.
  void CancelRunIo();
  // The purge's side of RunFormat (app/purge_run.cpp): the plan read again
  // (false, said in a box: none runs here now), the confirmation (IDYES to go
  // on), the controls while it runs, and what the window says after it.
  bool PurgeStillOffered();
  int ConfirmPurge();
  void PurgeStarts();
  void PurgeEnded(const format::EraseCommandResult& result);
  // The box or the label that says why a close waits, while a purge runs.
  void SayPurgeMustEnd();

  App& app_;
  bool formatRunning_ = false;
  bool closeAfterFormat_ = false;  // the user closed the window during a run
  WorkerObserver* run_ = nullptr;  // the running erase's side of the worker
  bool cancelUnavailableSaid_ = false;
  format::RunWatch* watch_ = nullptr;  // what the running erase publishes: its pending request, its state
  std::uint64_t watchedRequest_ = 0;   // the erase's request seen pending at the last idle turn
  std::int64_t requestSeenMs_ = 0;     // when it was first seen (wall clock)
  std::uint64_t cancelledRequest_ = 0; // the last request cancelled: never twice
  std::shared_ptr<const format::PurgePlan> purgePlan_;  // what the purge box offers for the selected disk
  bool purgeRunning_ = false;           // the run is a firmware purge: it cannot be stopped
  std::int64_t purgeStartCounter_ = 0;  // the performance counter as the purge's run began
  std::u16string passwordFile_;         // where a security erase of the selected disk keeps its password
};

} // namespace trv::app
