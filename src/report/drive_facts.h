// The drive's own model, serial, firmware and size as the details report read
// them (ATA IDENTIFY DEVICE, or NVMe Identify Controller and Namespace), for
// the console's `details N --json`.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

namespace trv::report {

struct DriveFacts {
  std::u16string model, firmware, serial;
  std::optional<std::int64_t> sectors, sectorSize;  // none: not read (an NVMe namespace that gave no usable format)
};

} // namespace trv::report
