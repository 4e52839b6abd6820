// Erase records of every outcome for the record tests.
#pragma once
#include <string>
#include <utility>
#include <vector>

#include "format/erase_record.h"

namespace trv::test {

// A quick wipe of the default PC's 500 GB data disk that went to the end.
inline format::EraseRecord QuickWipeRecord() {
  constexpr std::int64_t kEnd = 500'107'862'016;
  const std::vector<format::Span> areas = {{0, 10'240'000}, {kEnd - 1'048'576, kEnd}};
  return {u"Trevasso", u"4.12", u"TREVASSO-PC", {2026, 12, 8, 17, 5, 9, 250}, {2026, 12, 8, 9, 5, 9, 250},
          {2026, 12, 8, 17, 5, 21, 845}, {2026, 12, 8, 9, 5, 21, 845}, 12'595,
          {1, 11, u"SATA", u"WDC WD5000AAKS-00TMA0", u"12.01C01", u"     WD-WMAYP0123456", 512, 976'773'168, std::nullopt,
           device::MediaType::Unknown},
          true,
          {format::EraseOutcome::Completed, areas, areas, {}, 11'288'576, kEnd, true, 0}, std::nullopt,
          {u"2026/12/8 17:05:09   Formatting... ", u"2026/12/8 17:05:21   Low-level format is complete."},
          {}};
}

inline format::VerifyResult Verified(format::VerifyOutcome outcome, const format::EraseResult& run) {
  const bool failed = outcome == format::VerifyOutcome::Failed;
  return {outcome, run.written, failed ? std::vector<format::Span>{{4096, 4608}} : std::vector<format::Span>{},
          run.bytesWritten, failed ? 300 : 0, failed ? 212 : 0, 0};
}

// A crypto sanitize of an NVMe disk on Windows 11 22H2, with the given outcome.
inline format::EraseRecord PurgeRecord(format::PurgeOutcome outcome) {
  format::EraseRecord r = QuickWipeRecord();
  r.quickWipe = false;
  r.run = {};
  r.disk.busType = 17;
  r.disk.bus = u"NVMe";
  r.disk.media = device::MediaType::Nvme;
  format::PurgeResult p;
  p.plan.method = format::PurgeMethod::NvmeSanitizeCrypto;
  p.plan.sanitizeInput = true;
  p.plan.sanitizeMethod = device::SanitizeMethod::CryptoErase;
  p.plan.timeoutSeconds = 120;
  p.plan.estimateSeconds = 120;
  p.plan.allNamespaces = true;
  p.plan.namespaceCount = 1;
  p.plan.windowsBuild = 22621;
  p.outcome = outcome;
  p.sent = true;
  p.commandSucceeded = outcome != format::PurgeOutcome::Failed;
  p.commandError = p.commandSucceeded ? 0 : 1117;
  if (!p.commandSucceeded) {
    p.failureCode = "command-failed";
    p.reason = u"the purge request failed: error 1117";
  }
  p.statusBefore = device::SanitizeStatus{};
  p.statusBefore->sprog = 0xFFFF;
  if (outcome == format::PurgeOutcome::Purged) {
    p.statusAfter = device::SanitizeStatus{};
    p.statusAfter->sprog = 0xFFFF;
    p.statusAfter->sstat = 0x101;
    p.statusAfter->scdw10 = 4;
  }
  p.sample = {format::PurgeSample::Result::Held, 7, 4'352, 4'352, 0, 0, 0, std::string(64, 'a'), std::string(64, 'b')};
  p.actualMs = 61'500;
  r.purge = p;
  r.log = {u"2026/12/8 17:05:09   Purging... "};
  return r;
}

// An ATA disk's sanitize that failed: every field of `purge.ata` filled in.
inline format::EraseRecord AtaPurgeRecord() {
  format::EraseRecord r = PurgeRecord(format::PurgeOutcome::Failed);
  r.disk.busType = 11;
  r.disk.bus = u"SATA";
  r.disk.media = device::MediaType::SataSsd;
  format::PurgeResult& p = *r.purge;
  p.plan = {};
  p.plan.method = format::PurgeMethod::AtaSanitizeBlock;
  p.plan.windowsBuild = 6002;
  p.statusBefore.reset();
  p.statusAfter.reset();
  p.commandSucceeded = true;
  p.commandError = 0;
  p.failureCode = "status-failed";
  p.reason = u"SANITIZE STATUS EXT says the sanitize failed: the sanitize was unsuccessful; the failed state was cleared";
  device::AtaAnswer answer;
  answer.outcome = device::AtaAnswer::Outcome::Registers;
  answer.current = {0x00, 0x00, 0x00, 0x00, 0x00, 0x40, 0x50};
  p.ata.command = answer;
  device::AtaSanitizeStatus before;
  before.raw = answer;
  p.ata.statusBefore = before;
  device::AtaSanitizeStatus after;
  after.state = device::AtaSanitizeStatus::State::Failed;
  after.reason = 1;
  after.raw = answer;
  after.raw.current = {0x04, 0x00, 0x01, 0x00, 0x00, 0x40, 0x51};
  p.ata.statusAfter = after;
  p.ata.failureCleared = true;
  p.sample.result = format::PurgeSample::Result::Failed;
  p.sample.notErased = 4'352;
  return r;
}

// One record of each outcome word, in the order of docs/erase-record.md.
inline std::vector<std::pair<std::string, format::EraseRecord>> RecordOfEachOutcome() {
  using format::EraseOutcome;
  std::vector<std::pair<std::string, format::EraseRecord>> out(5, {"", QuickWipeRecord()});
  out[0].first = "completed";
  out[0].second.verify = Verified(format::VerifyOutcome::Passed, out[0].second.run);
  out[1].first = "completed-with-errors";
  format::EraseResult& errors = out[1].second.run;
  errors = {EraseOutcome::CompletedWithErrors, errors.areas, {{0, 65'536}, {131'072, 10'240'000}, errors.areas[1]},
            {{65'536, 131'072}}, 11'223'040, errors.endOffset, false, 1117};
  // The drive states 1 MiB more than Windows shows.
  out[1].second.notReached = {
      {"past-windows-size", u"the drive states more", format::Span{errors.endOffset, errors.endOffset + 1'048'576}}};
  for (int i : {2, 3}) {  // a full zero fill stopped after 2 GiB by the user, or by the disk going away
    out[i].first = i == 2 ? "cancelled" : "terminated";
    out[i].second.quickWipe = false;
    out[i].second.run = {i == 2 ? EraseOutcome::Cancelled : EraseOutcome::Terminated, {{0, 500'107'862'016}},
                         {{0, 2'147'483'648}}, {}, 2'147'483'648, 2'147'483'648, i == 2, 0};
  }
  out[4].first = "verify-failed";
  out[4].second.verify = Verified(format::VerifyOutcome::Failed, out[4].second.run);
  // Every byte written and flushed, then the read-back stopped by the user or by the disk going away.
  for (const auto& [word, verify] : {std::pair{"erased-verify-cancelled", format::VerifyOutcome::Cancelled},
                                     std::pair{"erased-verify-terminated", format::VerifyOutcome::Terminated}}) {
    out.emplace_back(word, QuickWipeRecord());
    out.back().second.verifyRequested = true;
    out.back().second.verify = Verified(verify, out.back().second.run);
  }
  // A read-back was asked for, but the run was stopped before its end: it says so.
  out[2].second.verifyRequested = true;
  // A firmware purge's three words.
  out.emplace_back("purged", PurgeRecord(format::PurgeOutcome::Purged));
  out.emplace_back("purge-unverified", PurgeRecord(format::PurgeOutcome::Unverified));
  out.emplace_back("failed", PurgeRecord(format::PurgeOutcome::Failed));
  out.emplace_back("failed", AtaPurgeRecord());
  return out;
}

} // namespace trv::test
