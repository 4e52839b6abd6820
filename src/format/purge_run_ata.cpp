// The purge of an ATA or SATA disk through IOCTL_ATA_PASS_THROUGH.
//
// Sanitize: SANITIZE DEVICE with FAILURE MODE set, then SANITIZE STATUS EXT
// every few seconds until the drive has ended; a failed sanitize is cleared
// and reported.
//
// Security erase: the temporary password is saved to the records folder and
// flushed before SECURITY SET PASSWORD (no file, no erase); IDENTIFY must then
// show it; SECURITY ERASE PREPARE directly before SECURITY ERASE UNIT; IDENTIFY
// after it must show the password gone, and only then is the file deleted.
// Whatever fails after the password went to the drive, the password is taken
// off again once (ata_password_undo.h), and the log says what was done and
// where the file is. A disk left locked with this program's password has its
// erase finished with the saved password (PREPARE + ERASE UNIT only).
//
// No command goes to a frozen drive, and nothing stops a running erase.
#include <optional>

#include "device/ata_commands.h"
#include "device/ata_sanitize.h"
#include "device/ata_security.h"
#include "format/ata_password_file.h"
#include "format/ata_password_undo.h"
#include "format/block_retry.h"
#include "format/purge_outcome_text.h"
#include "format/purge_run_parts.h"
#include "format/time_left.h"
#include "platform/records.h"
#include "platform/text.h"

namespace trv::format {

namespace {

using device::AtaAnswer;

bool Took(const AtaAnswer& a) { return a.outcome != AtaAnswer::Outcome::Failed && !a.Aborted(); }

std::u16string Hex2(std::uint32_t v) {
  static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
  return std::u16string{kDigits[(v >> 4) & 0xF], kDigits[v & 0xF]} + u"h";
}

// A system message without its closing full stop, to stand inside a sentence.
std::u16string Message(win::Platform& p, std::uint32_t error) {
  std::u16string text = p.SystemMessage(error);
  while (!text.empty() && (text.back() == u'.' || text.back() == u' ')) text.pop_back();
  return text.empty() ? u"(" + DecimalText(error) + u")" : u"(" + DecimalText(error) + u") " + text;
}

// How a command that did not go through ended, for the log.
std::u16string AnswerText(win::Platform& p, const AtaAnswer& a) {
  if (a.outcome == AtaAnswer::Outcome::Failed) return u"the driver refused the request " + Message(p, a.error);
  return u"the drive aborted it (status " + Hex2(a.current.command) + u", error " + Hex2(a.current.features) + u")";
}

// The drive's security as IDENTIFY DEVICE shows it now.
struct SecurityNow {
  device::AtaBlock identify{};
  std::uint16_t word128 = 0;
  device::EraseFeatures f;
};

std::optional<SecurityNow> ReadSecurity(win::Platform& p, win::Handle h) {
  SecurityNow now;
  if (!device::ReadIdentifyPassThrough(p, h, now.identify)) return std::nullopt;
  now.word128 = rec::U16(now.identify, 2 * 128);
  now.f = device::AtaEraseFeatures(now.identify);
  return now;
}

device::AtaSanitizeAction ActionOf(PurgeMethod method) {
  if (method == PurgeMethod::AtaSanitizeCrypto) return device::AtaSanitizeAction::CryptoScramble;
  if (method == PurgeMethod::AtaSanitizeBlock) return device::AtaSanitizeAction::BlockErase;
  return device::AtaSanitizeAction::Overwrite;
}

// Crypto scramble and the vendor's enhanced erase promise new content; the others zeros.
SampleExpect ExpectOf(PurgeMethod method) {
  return method == PurgeMethod::AtaSanitizeCrypto || method == PurgeMethod::AtaSecurityEraseEnhanced
             ? SampleExpect::NewContent
             : SampleExpect::Zeros;
}

class AtaPurge {
 public:
  AtaPurge(FormatContext& ctx, const EraseTarget& target, const PurgeStart& start, std::uint64_t seed,
           PurgeRunResult& out, PurgeLive& live)
      : ctx_(ctx), p_(ctx.platform), log_(ctx.observer), target_(target), h_(target.handle), start_(start), out_(out), r_(out.purge),
        live_(live), sampler_(p_, target.handle, target.sectors, target.sectorSize, seed) {}

  void Sanitize();
  void SecurityErase();
  // Whether the drive took the erase, ended it, and can be read back.
  bool DriveTookIt() const { return r_.commandSucceeded && !r_.stalled && !gone_ && !PasswordLeft(); }

 private:
  void Refuse(const char* code, std::u16string text);
  void FinishSavedErase(SavedPassword saved);
  // The step that failed after the password went to the drive.
  void StepFailed(const char* step, const AtaAnswer& answer);
  void UndoOnce(SavedPassword& saved);
  // IDENTIFY after the erase (word 128), the file deleted when it shows no password.
  void ReadSecurityAfter(SavedPassword& saved);
  void SampleAfter();
  bool PasswordLeft() const { return r_.ata.word128After && (*r_.ata.word128After & 0x0002) != 0; }

  FormatContext& ctx_;
  win::Platform& p_;
  EraseObserver& log_;
  const EraseTarget& target_;
  win::Handle h_;
  const PurgeStart& start_;
  PurgeRunResult& out_;
  PurgeResult& r_;
  PurgeLive& live_;
  PurgeSampler sampler_;
  StopAnswer stop_;
  bool gone_ = false;
  bool undone_ = false;
};

void AtaPurge::Refuse(const char* code, std::u16string text) {
  out_.refusal = Refusal{code, text};
  log_.LogBilingual(u"固件清除被拒绝：" + text + u"（" + Utf8ToUtf16(code) + u"）。未发送任何命令。",
                    u"No firmware purge: " + text + u" (" + Utf8ToUtf16(code) + u"). No command was sent.");
}

void AtaPurge::SampleAfter() {
  if (!r_.stalled && !gone_) sampler_.ReadAfter(ExpectOf(r_.plan.method), r_.sample);
}

void AtaPurge::Sanitize() {
  r_.ata.statusBefore = start_.facts.ataSanitize;
  sampler_.ReadBefore(r_.sample);
  LogSampleBefore(log_, r_.sample);
  if (!MaySend(ctx_, r_, live_, stop_)) return;
  r_.sent = true;
  live_.Set(r_);
  const std::int64_t sentMs = CounterMilliseconds(p_);
  const AtaAnswer answer = device::StartAtaSanitize(p_, h_, ActionOf(r_.plan.method));
  r_.ata.command = answer;
  r_.commandSucceeded = Took(answer);
  if (answer.outcome == AtaAnswer::Outcome::Failed) {
    r_.commandError = answer.error;
    log_.LogBilingual(u"驱动程序拒绝了 SANITIZE DEVICE：" + Message(p_, answer.error) + u"。驱动器没有收到命令，未擦除任何数据。",
                      u"The driver refused SANITIZE DEVICE: " + Message(p_, answer.error) +
                          u". The drive never got the command: nothing was erased.");
  } else if (answer.Aborted()) {
    log_.LogBilingual(u"驱动器中止了 SANITIZE DEVICE：" + device::AtaSanitizeReasonText(answer.current.lbaLow),
                      u"The drive aborted SANITIZE DEVICE: " + device::AtaSanitizeReasonText(answer.current.lbaLow) +
                          u" (status " + Hex2(answer.current.command) + u", error " + Hex2(answer.current.features) + u").");
  }
  live_.Set(r_);
  if (r_.commandSucceeded) {
    const auto poll = [&]() -> std::optional<PolledStatus> {
      const std::optional<device::AtaSanitizeStatus> s = device::ReadAtaSanitizeStatus(p_, h_, false);
      if (!s) return std::nullopt;
      return PolledStatus{s->state == device::AtaSanitizeStatus::State::InProgress, s->progress};
    };
    PurgeWait wait(ctx_, target_, r_.plan, r_, stop_, poll, {u"SANITIZE STATUS EXT", u"SANITIZE STATUS EXT"});
    wait.Run(sentMs);
    gone_ = wait.Gone();
  }
  const std::int64_t endMs = CounterMilliseconds(p_);
  r_.actualMs = endMs >= sentMs ? endMs - sentMs : 0;
  r_.ata.statusAfter = device::ReadAtaSanitizeStatus(p_, h_, false);
  if (r_.ata.statusAfter && r_.ata.statusAfter->state == device::AtaSanitizeStatus::State::Failed) {
    // FAILURE MODE was set: CLEAR takes the drive out of the failed state, so that it is usable again.
    const auto cleared = device::ReadAtaSanitizeStatus(p_, h_, true);
    r_.ata.failureCleared = cleared && cleared->state != device::AtaSanitizeStatus::State::Failed;
    const std::u16string why = device::AtaSanitizeReasonText(r_.ata.statusAfter->reason);
    log_.LogBilingual(u"清除失败：" + why + (r_.ata.failureCleared ? u"。已用 SANITIZE STATUS EXT CLEAR 清除失败状态。"
                                                                   : u"。无法清除失败状态。"),
                      u"The sanitize failed: " + why +
                          (r_.ata.failureCleared ? u". The failed state was cleared (SANITIZE STATUS EXT with CLEAR)."
                                                 : u". The failed state could not be cleared."));
  }
  SampleAfter();
}

void AtaPurge::StepFailed(const char* step, const AtaAnswer& answer) {
  r_.ata.failedStep = step;
  if (answer.outcome == AtaAnswer::Outcome::Failed) {
    r_.commandError = answer.error;
    gone_ = gone_ || IsGoneCode(answer.error);
  }
  log_.LogBilingual(Utf8ToUtf16(step) + u" 失败：" + AnswerText(p_, answer),
                    Utf8ToUtf16(step) + u" failed: " + AnswerText(p_, answer) + u".");
}

void AtaPurge::UndoOnce(SavedPassword& saved) {
  if (undone_) return;
  undone_ = true;
  const PasswordUndo undo = UndoSavedPassword(p_, h_, saved);
  r_.ata.passwordUndo = undo.code;
  r_.ata.passwordUndoText = undo.text;
  r_.ata.passwordFileRemoved = undo.outcome == PasswordUndo::Outcome::Removed;
  log_.LogBilingual(u"撤销临时密码：" + undo.text, u"Taking the temporary password off again: " + undo.text);
  if (undo.outcome != PasswordUndo::Outcome::Removed)
    log_.LogBilingual(u"驱动器仍带有临时密码，密码保存在 " + saved.path + u"。下次运行时可以用它完成擦除，或去掉密码（解锁）。",
                      u"The drive keeps the temporary password; it is saved in " + saved.path +
                          u". The next run offers to finish the erase with it or to take it off (unlock).");
}

void AtaPurge::ReadSecurityAfter(SavedPassword& saved) {
  std::optional<SecurityNow> after = ReadSecurity(p_, h_);
  // A drive that ended its erase well and still has the password: taken off once.
  if (after && after->f.securityEnabled && r_.ata.passwordSet && !undone_) {
    log_.LogBilingual(u"擦除后 IDENTIFY 仍显示密码。", u"IDENTIFY DEVICE still shows the password after the erase.");
    UndoOnce(saved);
    after = ReadSecurity(p_, h_);
  }
  if (!after) {
    log_.LogBilingual(u"擦除后无法读取 IDENTIFY DEVICE。", u"IDENTIFY DEVICE could not be read after the erase.");
    return;
  }
  r_.ata.word128After = after->word128;
  if (after->f.securityEnabled || r_.ata.passwordFileRemoved) return;
  r_.ata.passwordFileRemoved = RemovePasswordFile(p_, saved);
  log_.LogBilingual(u"IDENTIFY 显示没有密码，驱动器未锁定" +
                        std::u16string(r_.ata.passwordFileRemoved ? u"；密码文件已删除。" : u"；密码文件无法删除：") + saved.path,
                    u"IDENTIFY DEVICE shows no password and the drive unlocked" +
                        std::u16string(r_.ata.passwordFileRemoved ? u"; the password file was deleted: "
                                                                  : u"; the password file could not be deleted: ") +
                        saved.path);
}

void AtaPurge::SecurityErase() {
  const PurgePlan& plan = r_.plan;
  const bool enhanced = plan.method == PurgeMethod::AtaSecurityEraseEnhanced;
  const std::optional<SecurityNow> now = ReadSecurity(p_, h_);
  if (!now) {
    return Refuse(kPurgeIdentifyUnread, u"IDENTIFY DEVICE could not be read through the ATA pass-through");
  }
  r_.ata.word128Before = now->word128;
  // Checked again now, just before the first command: never one to a frozen drive.
  if (now->f.frozen) return Refuse(kPurgeFrozen, u"the drive's security is frozen: " + std::u16string(kFrozenHelp));
  if (now->f.countExpired)
    return Refuse(kPurgeCountExpired, u"the drive has counted too many wrong passwords; power it off and on first");
  if (plan.finishesErase) {
    if (!start_.facts.savedPassword)
      return Refuse(kPurgeLocked, u"the drive is locked and no password of this program is saved for it");
    return FinishSavedErase(*start_.facts.savedPassword);
  }
  if (now->f.securityEnabled) return Refuse(kPurgePasswordSet, u"the drive already has a user password");

  SavedPassword saved;
  saved.serial = AtaSerial(now->identify);
  saved.model = AtaModel(now->identify);
  saved.pePassword = plan.pePassword;
  saved.password = plan.pePassword ? std::string(device::atacmd::kWindowsPePassword) : device::RandomPasswordText(p_);
  if (saved.password.empty())
    return Refuse(kPasswordUnavailable, u"the system's random source gave no password for the security erase");
  sampler_.ReadBefore(r_.sample);
  LogSampleBefore(log_, r_.sample);
  // No file, no erase: a drive cut off mid-erase can be unlocked only with it.
  std::uint32_t error = 0;
  if (!SavePasswordFile(p_, start_.recordsFolder, saved, error))
    return Refuse(kPasswordFileFailed, u"the temporary password could not be saved to " +
                                           (saved.path.empty() ? start_.recordsFolder : saved.path) + u" (error " +
                                           DecimalText(error) + u") " + p_.SystemMessage(error) +
                                           u"; without it an erase cut off would leave the drive locked");
  r_.ata.passwordFile = saved.path;
  log_.LogBilingual(u"临时密码已保存并写入磁盘：" + saved.path, u"The temporary password is saved and flushed: " + saved.path);
  if (!MaySend(ctx_, r_, live_, stop_)) {
    r_.ata.passwordFileRemoved = RemovePasswordFile(p_, saved);
    return;
  }

  r_.sent = true;
  live_.Set(r_);
  const device::AtaPassword password = device::PasswordFromText(saved.password);
  const AtaAnswer set = device::SecuritySetPassword(p_, h_, password);
  const std::optional<SecurityNow> shown = ReadSecurity(p_, h_);
  r_.ata.passwordSet = shown && shown->f.securityEnabled;
  if (!Took(set) || !r_.ata.passwordSet) {
    if (!Took(set)) StepFailed("SECURITY SET PASSWORD", set);
    if (shown && !shown->f.securityEnabled) {
      // Nothing to take off: the drive has no password.
      if (Took(set)) {
        r_.ata.failureCode = kPasswordNotSet;
        log_.LogBilingual(u"SECURITY SET PASSWORD 报告成功，但 IDENTIFY 没有显示密码：驱动程序没有把命令交给驱动器。",
                          u"SECURITY SET PASSWORD reported success, but IDENTIFY DEVICE shows no password: the "
                          u"driver did not pass the command on.");
      }
    } else {
      UndoOnce(saved);
    }
    ReadSecurityAfter(saved);
    SampleAfter();
    return;
  }
  const AtaAnswer prepare = device::SecurityErasePrepare(p_, h_);
  if (!Took(prepare)) {
    StepFailed("SECURITY ERASE PREPARE", prepare);
    UndoOnce(saved);
    ReadSecurityAfter(saved);
    SampleAfter();
    return;
  }
  log_.LogBilingual(u"SECURITY ERASE UNIT" + std::u16string(enhanced ? u"（增强）" : u"") + u"：请求最多等待 " +
                        ClockText(plan.timeoutSeconds) + u"。不要关闭电源。",
                    u"SECURITY ERASE UNIT" + std::u16string(enhanced ? u" (enhanced)" : u"") +
                        u": the request waits at most " + ClockText(plan.timeoutSeconds) + u". Do not power off.");
  const std::int64_t sentMs = CounterMilliseconds(p_);
  const AtaAnswer erase = device::SecurityEraseUnit(p_, h_, password, enhanced, plan.timeoutSeconds);
  const std::int64_t endMs = CounterMilliseconds(p_);
  r_.actualMs = endMs >= sentMs ? endMs - sentMs : 0;
  r_.ata.command = erase;
  r_.commandSucceeded = Took(erase);
  if (!r_.commandSucceeded) {
    StepFailed("SECURITY ERASE UNIT", erase);
    UndoOnce(saved);
  }
  stop_.Take(ctx_);
  ReadSecurityAfter(saved);
  SampleAfter();
}

void AtaPurge::FinishSavedErase(SavedPassword saved) {
  const PurgePlan& plan = r_.plan;
  const bool enhanced = plan.method == PurgeMethod::AtaSecurityEraseEnhanced;
  if (saved.refused)
    return Refuse(kPasswordRefusedBefore, u"the drive refused the saved password before: it is never sent again");
  r_.ata.passwordFile = saved.path;
  // A locked drive reads nothing: the proof is IDENTIFY and the sectors after.
  sampler_.NothingBefore(r_.sample);
  log_.LogBilingual(u"驱动器已锁定，无法在擦除前抽样；用保存的密码完成擦除：" + saved.path,
                    u"The drive is locked, so no sample can be read before; the erase is finished with the saved "
                    u"password: " + saved.path);
  if (!MaySend(ctx_, r_, live_, stop_)) return;
  r_.sent = true;
  live_.Set(r_);
  const AtaAnswer prepare = device::SecurityErasePrepare(p_, h_);
  if (!Took(prepare)) {
    StepFailed("SECURITY ERASE PREPARE", prepare);
  } else {
    const std::int64_t sentMs = CounterMilliseconds(p_);
    const AtaAnswer erase =
        device::SecurityEraseUnit(p_, h_, device::PasswordFromText(saved.password), enhanced, plan.timeoutSeconds);
    const std::int64_t endMs = CounterMilliseconds(p_);
    r_.actualMs = endMs >= sentMs ? endMs - sentMs : 0;
    r_.ata.command = erase;
    r_.commandSucceeded = Took(erase);
    if (!r_.commandSucceeded) StepFailed("SECURITY ERASE UNIT", erase);
    if (erase.Aborted()) {
      // Written down before anything else: this password is never sent again.
      saved.refused = true;
      const bool marked = UpdatePasswordFile(p_, saved);
      log_.LogBilingual(u"驱动器拒绝了保存的密码，今后不会再发送它。",
                        marked ? u"The drive refused the saved password: the file says so, and it is never sent again."
                               : u"The drive refused the saved password; the file could not be marked: " + saved.path);
    }
  }
  ReadSecurityAfter(saved);
  if (PasswordLeft())
    log_.LogBilingual(u"驱动器仍带有密码，密码文件保留在 " + saved.path,
                      u"The drive keeps the password; its file stays in " + saved.path +
                          u". The next run offers to finish the erase with it or to take it off (unlock).");
  SampleAfter();
}

} // namespace

PurgeRunResult RunAtaPurge(FormatContext& ctx, const EraseTarget& target, const PurgeStart& start, std::uint64_t seed,
                           bool readBack, PurgeLive& live) {
  PurgeRunResult out;
  PurgeResult& r = out.purge;
  r.plan = start.plan;
  LogPlan(ctx.observer, r.plan);
  AtaPurge run(ctx, target, start, seed, out, live);
  if (IsAtaSanitize(r.plan.method)) run.Sanitize();
  else run.SecurityErase();
  if (out.refusal || r.failureCode == "interrupted") return out;
  DecidePurgeOutcome(r);
  FinishPurgeRun(ctx, target, ExpectOf(r.plan.method), readBack, run.DriveTookIt(), out, live);
  return out;
}

const char* AtaStatusFailure(const PurgeResult& r, bool& statusProven) {
  statusProven = false;
  const AtaPurgeFacts& a = r.ata;
  if (!a.failureCode.empty()) return a.failureCode.c_str();
  if (IsAtaSanitize(r.plan.method)) {
    using State = device::AtaSanitizeStatus::State;
    if (a.statusAfter && a.statusAfter->state == State::Failed) return "status-failed";
    if (!r.commandSucceeded) return "command-failed";
    if (!a.statusAfter) return nullptr;  // the sample alone: purge unverified at best
    if (a.statusAfter->state != State::Succeeded) return "status-failed";
    statusProven = true;
    return nullptr;
  }
  if (!r.commandSucceeded) return "command-failed";
  if (!a.word128After) return nullptr;
  // Word 128: bit 1 a password enabled, bit 2 locked.
  if ((*a.word128After & 0x0006) != 0) return kPasswordNotRemoved;
  statusProven = true;
  return nullptr;
}

} // namespace trv::format
