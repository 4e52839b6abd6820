#include "format/purge_run.h"

#include <algorithm>
#include <array>

#include "device/nvme.h"
#include "device/nvme_sanitize.h"
#include "format/ata_password_file.h"
#include "format/block_retry.h"
#include "format/purge_outcome_text.h"
#include "format/purge_run_parts.h"
#include "format/purge_sample.h"
#include "format/read_back.h"
#include "format/time_left.h"
#include "platform/records.h"
#include "platform/text.h"
#include "report/number_text.h"

namespace trv::format {

using report::FormatThousands;

namespace {

constexpr std::size_t kDlfeatByte = 33;  // Identify Namespace: what deallocated blocks read as

SampleExpect ExpectAfter(win::Platform& p, win::Handle disk, PurgeMethod method) {
  if (method != PurgeMethod::NvmeSanitizeBlock) return SampleExpect::NewContent;
  device::NvmeIdentifyBlock ns{};
  if (device::ReadNvmeIdentifyNamespace(p, disk, ns) && (ns[kDlfeatByte] & 0x7) == 2) return SampleExpect::ZerosOrOnes;
  return SampleExpect::Zeros;
}

std::optional<device::SanitizeStatus> ReadStatus(win::Platform& p, win::Handle disk) {
  device::SanitizeStatus status;
  if (device::ReadNvmeSanitizeStatus(p, disk, status)) return status;
  return std::nullopt;
}

} // namespace

std::uint64_t DrawSeed(win::Platform& p) {
  std::array<std::uint8_t, 8> bytes{};
  if (p.GenRandom(bytes)) return rec::U64(bytes, 0);
  std::int64_t counter = 0;
  p.QueryPerformanceCounter(&counter);
  return static_cast<std::uint64_t>(counter) * 0x9E3779B97F4A7C15ULL;
}

ReadBackExpect ReadBackOf(SampleExpect expect) {
  switch (expect) {
    case SampleExpect::Zeros: return ReadBackExpect::Zeros;
    case SampleExpect::ZerosOrOnes: return ReadBackExpect::ZerosOrOnes;
    case SampleExpect::NewContent: break;
  }
  return ReadBackExpect::Readable;
}

void StopAnswer::Take(FormatContext& ctx) {
  if (!ctx.stopRequested) return;
  ctx.stopRequested = false;
  if (said_) return;
  said_ = true;
  ctx.observer.LogBilingual(u"固件清除无法停止：驱动器会继续执行，直到完成。请等待，不要关闭电源。",
                            u"A firmware purge cannot be stopped: the drive goes on until it has ended. "
                            u"Wait for it, and do not power off.");
}

bool PurgeWait::Busy() {
  status_ = poll_();
  if (status_) return status_->inProgress;
  std::array<std::uint8_t, 4096> probe{};
  const auto size = static_cast<std::uint32_t>(std::clamp<std::int64_t>(target_.sectorSize, 512, 4096));
  std::uint32_t read = 0;
  if (SeekDevice(p_, target_.handle, 0) == 0 && p_.ReadFile(target_.handle, probe.data(), size, &read)) return false;
  const std::uint32_t error = p_.GetLastError();
  gone_ = IsGoneCode(error);
  return error == win::ERROR_NOT_READY;
}

void PurgeWait::Progress(std::int64_t nowMs) {
  EraseObserver& log = ctx_.observer;
  const std::int64_t elapsed = nowMs - sentMs_;
  if (status_) {
    const int sprog = static_cast<int>(status_->progress);
    if (sprog != lastSprog_) lastMoveMs_ = nowMs;
    lastSprog_ = sprog;
    const int percent = static_cast<int>(static_cast<std::int64_t>(sprog) * 100 / 65'536);
    log.ShowProgress({percent, percent, 0, 0, 0});
    if (percent / kPurgeLogStepPercent != lastStep_) {
      lastStep_ = percent / kPurgeLogStepPercent;
      log.LogBilingual(u"清除进行中：" + DecimalText(percent) + u"%（" + source_.window + u"）",
                       u"Purge in progress: " + DecimalText(percent) + u"% (" + source_.english + u")");
    }
    return;
  }
  // No status: the time against the drive's estimate is all there is to show.
  const std::u16string against =
      plan_.estimateSeconds ? u" / ~" + ClockText(*plan_.estimateSeconds) : std::u16string();
  log.ShowSpeed(ClockText(elapsed / 1000) + against);
  if (nowMs - lastLineMs_ >= kPurgeLogEveryMs) {
    lastLineMs_ = nowMs;
    log.LogBilingual(u"清除进行中：已用 " + ClockText(elapsed / 1000) + against,
                     u"Purge in progress: " + ClockText(elapsed / 1000) + u" so far" + against);
  }
}

void PurgeWait::Run(std::int64_t sentMs) {
  sentMs_ = lastMoveMs_ = lastLineMs_ = sentMs;
  const std::int64_t estimateMs = static_cast<std::int64_t>(plan_.estimateSeconds.value_or(0)) * 1000;
  const std::int64_t stallMs = std::max(2 * estimateMs, kLeastStallMs);
  while (Busy()) {
    const std::int64_t now = CounterMilliseconds(p_);
    Progress(now);
    if (now - lastMoveMs_ >= stallMs) {
      result_.stalled = true;
      ctx_.observer.LogBilingual(u"清除停滞：" + ClockText((now - lastMoveMs_) / 1000) + u" 内没有进展。驱动器可能仍在清除，请不要关闭电源。",
                                 u"The purge stalled: no progress for " + ClockText((now - lastMoveMs_) / 1000) +
                                     u". The drive may still be at work: do not power it off.");
      return;
    }
    ctx_.observer.ProcessMessages();
    stop_.Take(ctx_);
    p_.Sleep(kPurgePollMs);
  }
  if (status_ && !status_->inProgress) ctx_.observer.ShowProgress({100, 100, 0, 0, 0});
}

void LogPlan(EraseObserver& log, const PurgePlan& plan) {
  const std::u16string scope = PurgeScope(plan);
  log.LogBilingual(u"固件清除：" + PurgeMethodText(plan.method) + u"；范围：" + scope + u"；预计：" +
                       PurgeEstimateText(plan),
                   u"Firmware purge: " + PurgeMethodText(plan.method) + u"; scope: " + scope +
                       u"; estimate: " + PurgeEstimateText(plan));
  log.LogBilingual(u"Windows 内部版本 " + DecimalText(plan.windowsBuild) + u"：" + Utf8ToUtf16(PurgeRequestText(plan)),
                   u"Windows build " + DecimalText(plan.windowsBuild) + u": " + Utf8ToUtf16(PurgeRequestText(plan)));
  if (IsSecurityErase(plan.method))
    log.LogBilingual(u"请勿关闭电源：擦除一旦开始便无法停止，断电会让驱动器带着临时密码锁定（下次运行可完成擦除或去掉密码）。",
                     u"Do not power off: once begun, the erase cannot be stopped, and a power loss leaves the drive "
                     u"locked with the temporary password (the next run can finish the erase or take the password off).");
  else
    log.LogBilingual(u"请勿关闭电源：清除一旦开始便无法停止，断电后驱动器会在下次通电时继续清除。",
                     u"Do not power off: once begun, the purge cannot be stopped, and after a power loss the drive "
                     u"goes on sanitizing when it next has power.");
}

void LogOutcome(EraseObserver& log, const PurgeResult& r) {
  const std::u16string word = PurgeOutcomeText(r.outcome);
  if (r.outcome == PurgeOutcome::Failed)
    log.LogBilingual(u"固件清除失败（" + Utf8ToUtf16(r.failureCode) + u"）：" + r.reason,
                     u"Firmware purge failed (" + Utf8ToUtf16(r.failureCode) + u"): " + r.reason);
  else if (r.outcome == PurgeOutcome::Unverified)
    log.LogBilingual(u"固件清除：" + word + u"。" + r.reason, u"Firmware purge: " + word + u". " + r.reason);
  else
    log.LogBilingual(u"固件清除完成：" + word + u"。" + r.reason, u"Firmware purge: " + word + u". " + r.reason);
}

void PurgeLive::Set(const PurgeResult& now, bool decided) {
  SpinLock::Hold hold(lock_);
  now_ = now;
  decided_ = decided;
}

PurgeResult PurgeLive::AsTheSessionEnds() const {
  SpinLock::Hold hold(lock_);
  return decided_ ? now_ : InterruptedPurge(now_);
}

void FindSavedPassword(win::Platform& platform, PurgeFacts& facts, const std::u16string& recordsFolder) {
  // This program's password left on the drive by an erase cut off: with it the erase is finished.
  if (facts.Ata() && facts.ataIdentify)
    facts.savedPassword = ReadPasswordFile(platform, recordsFolder, AtaSerial(*facts.ataIdentify));
}

std::optional<PurgeStart> PreparePurge(FormatContext& ctx, win::Handle disk, std::uint32_t deviceNumber,
                                       std::int64_t busType, PurgeChoice choice, const std::u16string& recordsFolder,
                                       std::optional<Refusal>& refusal) {
  PurgeStart start;
  start.recordsFolder = recordsFolder;
  start.facts = busType > 0 ? GatherPurgeFacts(ctx.platform, disk, deviceNumber, busType)
                            : GatherPurgeFacts(ctx.platform, disk, deviceNumber);
  FindSavedPassword(ctx.platform, start.facts, recordsFolder);
  start.plan = PlanPurge(start.facts, choice);
  if (start.plan.Runs()) return start;
  refusal = start.plan.refusal;
  ctx.observer.LogBilingual(u"无法在此执行固件清除：" + refusal->text + u"（" + Utf8ToUtf16(refusal->code) + u"）。未发送任何请求。",
                            u"No firmware purge here: " + refusal->text + u" (" + Utf8ToUtf16(refusal->code) +
                                u"). Nothing was sent.");
  return std::nullopt;
}

std::u16string PurgeScope(const PurgePlan& plan) {
  return IsAtaMethod(plan.method) ? std::u16string(u"the whole drive") : PurgeScopeText(plan);
}

std::optional<Refusal> ZeroFillRefused(FormatContext& ctx, win::Handle disk, std::uint32_t deviceNumber,
                                       std::int64_t busType) {
  if (busType != device::kNvmeBus) return std::nullopt;
  PurgeFacts facts;
  facts.deviceNumber = deviceNumber;
  facts.busType = busType;
  facts.status = ReadStatus(ctx.platform, disk);
  std::optional<Refusal> refusal = ZeroFillRefusal(facts);
  if (refusal) {
    ctx.observer.Log(refusal->text);
    ctx.observer.Log(u"The disk was not erased: nothing was written.");
  }
  return refusal;
}

void DecidePurgeOutcome(PurgeResult& r) {
  using State = device::SanitizeStatus::State;
  using Sample = PurgeSample::Result;
  const bool sanitize = r.plan.method != PurgeMethod::NvmeFormatCrypto;
  const auto fail = [&](const char* code) {
    r.outcome = PurgeOutcome::Failed;
    r.failureCode = code;
    r.reason = PurgeFailureText(r);
  };
  if (r.stalled) return fail("stalled");
  const std::optional<device::SanitizeStatus>& after = r.statusAfter;
  // A format's proof is the request's own answer: it leaves the log alone.
  bool statusProven = !sanitize;
  if (IsAtaMethod(r.plan.method)) {
    if (const char* code = AtaStatusFailure(r, statusProven)) return fail(code);
  } else if (sanitize && after && after->StateOf() == State::Failed) {
    return fail("status-failed");
  } else if (!r.commandSucceeded) {
    return fail("command-failed");
  } else if (sanitize && after) {
    const State state = after->StateOf();
    if (state != State::Succeeded && state != State::SucceededNoDeallocate) return fail("status-failed");
    const std::uint8_t asked =
        r.plan.method == PurgeMethod::NvmeSanitizeBlock ? device::kSanactBlockErase : device::kSanactCryptoErase;
    if (after->ActionRun() != asked) return fail("status-other-action");
    if (!after->GlobalDataErased()) return fail("status-not-erased");
    statusProven = true;
  }
  switch (r.sample.result) {
    case Sample::Failed: return fail(r.sample.unchanged > 0 ? "sample-unchanged" : "sample-not-erased");
    case Sample::Unreadable:
    case Sample::NotRun: return fail("sample-unreadable");
    case Sample::NoEvidence:
      if (!statusProven) return fail("no-evidence");
      break;
    case Sample::Held: break;
  }
  r.outcome = statusProven ? PurgeOutcome::Purged : PurgeOutcome::Unverified;
  r.failureCode.clear();
  r.reason = PurgeSuccessText(r);
}

PurgeResult InterruptedPurge(PurgeResult sofar) {
  sofar.outcome = PurgeOutcome::Failed;
  sofar.failureCode = "interrupted";
  sofar.reason = PurgeFailureText(sofar);
  return sofar;
}

std::u16string PurgeSessionEndingLine() {
  return u"Windows 正在结束会话：固件清除无法停止，驱动器可能仍在清除，不要关闭电源；先保存擦除记录。";
}

std::u16string PurgeSessionEndingEnglishLine() {
  return u"Windows is ending the session: a firmware purge cannot be stopped, and the drive may still be "
         u"sanitizing: do not power it off. The erase record is saved first.";
}

void LogSampleBefore(EraseObserver& log, const PurgeSample& sample) {
  log.LogBilingual(u"抽样：清除前读取并计算了 " + FormatThousands(sample.sectors) + u" 个扇区的 SHA-256（种子 " +
                       DecimalText(sample.seed) + u"，其中 " + FormatThousands(sample.nonZeroBefore) + u" 个含数据）",
                   u"Sample: " + FormatThousands(sample.sectors) + u" sectors read and hashed before the purge (seed " +
                       DecimalText(sample.seed) + u"; " + FormatThousands(sample.nonZeroBefore) + u" held data)");
}

bool MaySend(FormatContext& ctx, PurgeResult& r, PurgeLive& live, StopAnswer& stop) {
  live.Set(r);
  ctx.observer.ProcessMessages();
  // The purge was confirmed as one that cannot be stopped: a Stop now is answered as later.
  stop.Take(ctx);
  if (!live.SessionEnded()) return true;
  r = InterruptedPurge(r);  // never send a purge into a session that is ending
  return false;
}

void FinishPurgeRun(FormatContext& ctx, const EraseTarget& target, SampleExpect expect, bool readBack,
                    bool driveTookIt, PurgeRunResult& out, PurgeLive& live) {
  PurgeResult& r = out.purge;
  live.Set(r, true);
  if (readBack && driveTookIt) {
    ctx.observer.FormatRunning();
    out.verify = ReadBack(ctx, target, {{0, target.sectors * target.sectorSize}}, ReadBackOf(expect));
    if (out.verify->outcome == VerifyOutcome::Failed && r.outcome != PurgeOutcome::Failed) {
      r.outcome = PurgeOutcome::Failed;
      r.failureCode = "read-back-failed";
      r.reason = PurgeFailureText(r);
    }
  }
  if (r.outcome != PurgeOutcome::Failed) ctx.observer.ShowComplete();
  LogOutcome(ctx.observer, r);
  live.Set(r, true);
}

PurgeRunResult RunPurge(FormatContext& ctx, const EraseTarget& target, const PurgeStart& start,
                        std::optional<std::uint64_t> seed, bool readBack, PurgeLive& live) {
  win::Platform& p = ctx.platform;
  if (IsAtaMethod(start.plan.method)) return RunAtaPurge(ctx, target, start, seed ? *seed : DrawSeed(p), readBack, live);
  EraseObserver& log = ctx.observer;
  PurgeRunResult out;
  PurgeResult& r = out.purge;
  r.plan = start.plan;
  r.statusBefore = start.facts.status;
  LogPlan(log, r.plan);

  PurgeSampler sampler(p, target.handle, target.sectors, target.sectorSize, seed ? *seed : DrawSeed(p));
  sampler.ReadBefore(r.sample);
  LogSampleBefore(log, r.sample);
  const SampleExpect expect = ExpectAfter(p, target.handle, r.plan.method);
  StopAnswer stop;
  if (!MaySend(ctx, r, live, stop)) return out;

  std::array<std::uint8_t, device::kReinitializeMediaSize> input{};
  if (r.plan.sanitizeInput)
    input = device::ReinitializeMediaInput(r.plan.timeoutSeconds, r.plan.sanitizeMethod, false);
  r.sent = true;
  live.Set(r);
  const std::int64_t sentMs = CounterMilliseconds(p);
  std::uint32_t returned = 0;
  r.commandSucceeded = p.DeviceIoControl(target.handle, device::IOCTL_STORAGE_REINITIALIZE_MEDIA,
                                         r.plan.sanitizeInput ? input.data() : nullptr,
                                         r.plan.sanitizeInput ? device::kReinitializeMediaSize : 0, nullptr, 0, &returned);
  r.commandError = r.commandSucceeded ? 0 : p.GetLastError();
  if (!r.commandSucceeded)
    log.LogBilingual(u"清除请求失败：(" + DecimalText(r.commandError) + u") " + p.SystemMessage(r.commandError),
                     u"The purge request failed: (" + DecimalText(r.commandError) + u") " + p.SystemMessage(r.commandError));
  live.Set(r);

  // A request that failed may still have left a sanitize running: wait for that too.
  const auto poll = [&]() -> std::optional<PolledStatus> {
    const std::optional<device::SanitizeStatus> s = ReadStatus(p, target.handle);
    if (!s) return std::nullopt;
    return PolledStatus{s->StateOf() == device::SanitizeStatus::State::InProgress, s->sprog};
  };
  PurgeWait wait(ctx, target, r.plan, r, stop, poll,
                 {u"驱动器的清除状态日志", u"the drive's Sanitize Status log"});
  wait.Run(sentMs);
  const std::int64_t endMs = CounterMilliseconds(p);
  r.actualMs = endMs >= sentMs ? endMs - sentMs : 0;
  r.statusAfter = ReadStatus(p, target.handle);
  if (!r.stalled && !wait.Gone()) sampler.ReadAfter(expect, r.sample);
  DecidePurgeOutcome(r);
  // The whole disk, when asked for, after a request the drive took and ended.
  FinishPurgeRun(ctx, target, expect, readBack, r.commandSucceeded && !r.stalled && !wait.Gone(), out, live);
  return out;
}

} // namespace trv::format
