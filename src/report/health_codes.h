// The machine codes of the health section: one per kind of reason, note and
// advice, never derived from the text (the text may change, or be translated;
// the code does not). `smart N --json` carries them beside the texts;
// docs/health.md lists them.
#pragma once
#include <span>

namespace trv::report {

enum class HealthCode {
  // ATA: the drive's own reasons
  DriveReportsFailing,
  DataChecksumWrong,
  ThresholdsChecksumWrong,
  ThresholdExceeded,            // a pre-failure attribute at or below its threshold now
  AdvisoryThresholdExceeded,    // an advisory attribute at or below its threshold now
  ThresholdExceededInPast,      // a pre-failure attribute's worst value at or below its threshold
  ReallocatedSectors,
  PendingSectors,
  OfflineUncorrectableSectors,
  // ATA: what the path to the drive could not read
  StatusUnknown,
  StatusNotRead,
  StatusNotPassedByBridge,
  ThresholdsNotRead,
  // ATA: notes
  AdvisoryThresholdExceededInPast,
  ImplausibleSectorCount,
  // NVMe: reasons
  CriticalWarning,
  CriticalWarningReservedBit,
  EnduranceGroupWarning,
  EnduranceGroupReservedBit,
  SpareBelowThreshold,
  RatedEnduranceReached,
  MediaErrors,
  // NVMe: notes
  SpareThresholdReserved,
  SpareReserved,
  // advice
  ReplaceDisk,
  BackUpAndWatch,
};

// The code as scripts read it: lowercase words joined by hyphens ("pending-sectors").
const char* HealthCodeWord(HealthCode code);
// Every code, in the order of the enumeration.
std::span<const HealthCode> AllHealthCodes();

} // namespace trv::report
