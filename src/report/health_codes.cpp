#include "report/health_codes.h"

#include <array>

namespace trv::report {

namespace {

struct Entry {
  HealthCode code;
  const char* word;
};

// Published to scripts: a word, once given, never changes.
constexpr Entry kWords[] = {
    {HealthCode::DriveReportsFailing, "drive-reports-failing"},
    {HealthCode::DataChecksumWrong, "data-checksum-wrong"},
    {HealthCode::ThresholdsChecksumWrong, "thresholds-checksum-wrong"},
    {HealthCode::ThresholdExceeded, "threshold-exceeded"},
    {HealthCode::AdvisoryThresholdExceeded, "advisory-threshold-exceeded"},
    {HealthCode::ThresholdExceededInPast, "threshold-exceeded-in-past"},
    {HealthCode::ReallocatedSectors, "reallocated-sectors"},
    {HealthCode::PendingSectors, "pending-sectors"},
    {HealthCode::OfflineUncorrectableSectors, "offline-uncorrectable-sectors"},
    {HealthCode::StatusUnknown, "status-unknown"},
    {HealthCode::StatusNotRead, "status-not-read"},
    {HealthCode::StatusNotPassedByBridge, "status-not-passed-by-bridge"},
    {HealthCode::ThresholdsNotRead, "thresholds-not-read"},
    {HealthCode::AdvisoryThresholdExceededInPast, "advisory-threshold-exceeded-in-past"},
    {HealthCode::ImplausibleSectorCount, "implausible-sector-count"},
    {HealthCode::CriticalWarning, "critical-warning"},
    {HealthCode::CriticalWarningReservedBit, "critical-warning-reserved-bit"},
    {HealthCode::EnduranceGroupWarning, "endurance-group-warning"},
    {HealthCode::EnduranceGroupReservedBit, "endurance-group-reserved-bit"},
    {HealthCode::SpareBelowThreshold, "spare-below-threshold"},
    {HealthCode::RatedEnduranceReached, "rated-endurance-reached"},
    {HealthCode::MediaErrors, "media-errors"},
    {HealthCode::SpareThresholdReserved, "spare-threshold-reserved"},
    {HealthCode::SpareReserved, "spare-reserved"},
    {HealthCode::ReplaceDisk, "replace-disk"},
    {HealthCode::BackUpAndWatch, "back-up-and-watch"},
};

constexpr auto kAll = [] {
  std::array<HealthCode, std::size(kWords)> all{};
  for (std::size_t i = 0; i < all.size(); ++i) all[i] = kWords[i].code;
  return all;
}();

} // namespace

const char* HealthCodeWord(HealthCode code) {
  for (const Entry& e : kWords)
    if (e.code == code) return e.word;
  return "";
}

std::span<const HealthCode> AllHealthCodes() { return kAll; }

} // namespace trv::report
