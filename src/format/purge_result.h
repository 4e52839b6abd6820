// What a firmware purge did and what proves it: the request and its answer,
// the Sanitize Status log before and after, the sample of sectors hashed
// before and read again after, and the outcome word that follows from them.
// "purged" is said only when the command succeeded, the drive's status says
// so and the sample held.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "device/ata_sanitize.h"
#include "device/nvme_sanitize.h"
#include "format/purge_plan.h"

namespace trv::format {

enum class PurgeOutcome {
  Purged,      // command succeeded, status proven, sample held
  Unverified,  // command succeeded, the status could not be read, the sample held
  Failed,      // anything else: `failureCode` says what
};

// The sample of sectors read before and after the purge.
struct PurgeSample {
  enum class Result {
    NotRun,      // the purge did not get that far
    Held,        // every sampled sector reads as the method promises
    Failed,      // a sector kept its old non-zero content, or block erase left neither zeros nor the stated pattern
    NoEvidence,  // crypto erase on a disk whose sampled sectors were all zero before: nothing to compare
    Unreadable,  // sampled sectors could not be read after the purge
  };
  Result result = Result::NotRun;
  std::uint64_t seed = 0;            // of the random sectors, so the sample can be drawn again
  std::int64_t sectors = 0;          // sectors sampled
  std::int64_t nonZeroBefore = 0;    // sampled sectors that held data before
  std::int64_t unchanged = 0;        // of them, still with their old hash after
  std::int64_t notErased = 0;        // block erase: sectors neither zeros nor the deallocated pattern
  std::int64_t unreadable = 0;       // sectors that could not be read (before or after)
  std::string digestBefore, digestAfter;  // SHA-256 over the sampled sectors' hashes, in order
};

// An ATA disk's purge: the commands' registers and the drive's state before
// and after, for the record (never the password itself).
struct AtaPurgeFacts {
  std::optional<device::AtaAnswer> command;  // the erase command's answer: SANITIZE DEVICE or SECURITY ERASE UNIT
  std::optional<device::AtaSanitizeStatus> statusBefore, statusAfter;  // SANITIZE STATUS EXT; none: not read
  bool failureCleared = false;               // a failed sanitize was left with STATUS EXT CLEAR
  std::optional<std::uint16_t> word128Before, word128After;  // IDENTIFY DEVICE word 128 (security); none: not read
  std::string failureCode;                   // a failure the run settled itself ("password-not-set")
  std::string failedStep;                    // the security erase's command that failed ("SECURITY ERASE UNIT")
  bool passwordSet = false;                  // SET PASSWORD went out and IDENTIFY showed the password
  std::u16string passwordFile;               // where the temporary password was kept
  bool passwordFileRemoved = false;          // deleted once IDENTIFY showed no password
  std::string passwordUndo;                  // the undo's outcome code (ata_password_undo.h); empty: none tried
  std::u16string passwordUndoText;           // what the undo did, in one sentence
};

struct PurgeResult {
  PurgePlan plan;
  PurgeOutcome outcome = PurgeOutcome::Failed;
  std::string failureCode;     // "command-failed", "status-failed", "stalled", "sample-unchanged", ... (docs/purging.md)
  std::u16string reason;       // the same for people
  bool sent = false;           // the request went to the disk
  bool commandSucceeded = false;
  std::uint32_t commandError = 0;  // the last error when it failed
  std::optional<device::SanitizeStatus> statusBefore, statusAfter;  // none: not readable
  bool stalled = false;        // no progress for twice the estimate, at least an hour
  PurgeSample sample;
  std::int64_t actualMs = 0;   // from the request to the end of the wait
  AtaPurgeFacts ata;           // ATA methods only
};

// ATA purges' own failure codes (docs/erase-record.md), besides the NVMe
// purge's "command-failed", "status-failed", "stalled", "sample-..." ones.
inline constexpr char kPasswordNotSet[] = "password-not-set";          // SET PASSWORD answered well, IDENTIFY shows none
inline constexpr char kPasswordNotRemoved[] = "password-not-removed";  // IDENTIFY shows a password after the erase
// Refusals of a security erase made after the plan, before anything is sent.
inline constexpr char kPasswordFileFailed[] = "password-file-failed";  // the password could not be saved first
inline constexpr char kPasswordUnavailable[] = "password-unavailable";  // the random source gave none
inline constexpr char kPasswordRefusedBefore[] = "password-refused-before";  // the saved one was refused once

std::string PurgeOutcomeWord(PurgeOutcome outcome);       // "purged", "purge-unverified", "failed"
std::u16string PurgeOutcomeText(PurgeOutcome outcome);    // "purged", "purge unverified", "failed"

} // namespace trv::format
