// The verdict of an NVMe disk's health log: the critical warnings, the
// available spare against its threshold, the endurance used and the media
// errors. docs/health.md gives the rules.
#pragma once
#include <string>

#include "device/nvme_parse.h"
#include "report/ata_health.h"
#include "report/language.h"

namespace trv::report {

// The full name of critical-warning bit 0..7 (6 and 7 are reserved).
std::u16string NvmeWarningName(int bit, Language language = Language::Chinese);
// The full name of bit 0..7 of the endurance groups' critical warning summary.
std::u16string EnduranceWarningName(int bit, Language language = Language::Chinese);

HealthResult JudgeNvmeHealth(const device::NvmeHealth& health, Language language = Language::Chinese);

} // namespace trv::report
