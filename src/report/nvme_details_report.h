// The device details report of an NVMe disk (bus 17): what its Identify
// Controller and Identify Namespace data say, in the same style as the ATA
// details. The details report calls it after its five header lines.
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "device/drive_identity.h"
#include "device/erase_features.h"
#include "device/nvme_parse.h"
#include "platform/platform.h"
#include "platform/sinks.h"
#include "report/language.h"
#include "report/drive_facts.h"

namespace trv::report {

// Reads both blocks and appends the lines to `logDetails`. Returns false, with
// nothing appended, when the controller data cannot be read (Windows before
// 10 knows no such query); a missing namespace block only shortens the report.
// `eraseFeatures`, when given, receives what firmware erase the controller offers;
// `statedBytes` the namespace's size in bytes (0 when the namespace block or its
// format does not tell); `facts` the controller's model, serial and firmware
// and the namespace's size; `drive` the controller's own identity and medium.
bool AppendNvmeDetails(win::Platform& platform, win::Handle handle, LineSink& logDetails,
                       std::optional<device::EraseFeatures>* eraseFeatures = nullptr,
                       std::int64_t* statedBytes = nullptr, std::optional<DriveFacts>* facts = nullptr,
                       device::DriveFacts* drive = nullptr, Language language = Language::Chinese);

// The namespace's size in bytes: its size in blocks times the data size of the
// format in use; 0 when the format is not usable or the product overflows.
std::int64_t NamespaceBytes(const device::NvmeNamespace& ns);

// The lines themselves, for the blocks as decoded.
std::vector<std::u16string> NvmeDetailsLines(const device::NvmeController& controller,
                                             const std::optional<device::NvmeNamespace>& ns,
                                             Language language = Language::Chinese);

} // namespace trv::report
