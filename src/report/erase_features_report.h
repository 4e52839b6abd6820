// The details report's "固件擦除" section: what firmware erase the disk offers
// (read-only; docs/erase-features.md).
#pragma once
#include <string>
#include <vector>

#include "device/erase_features.h"
#include "report/language.h"

namespace trv::report {

// A blank line, the heading, then the ATA Security and Sanitize lines or the
// NVMe Format NVM and Sanitize lines.
std::vector<std::u16string> EraseFeatureLines(const device::EraseFeatures& features,
                                              Language language = Language::Chinese);

} // namespace trv::report
