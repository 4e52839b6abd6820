// What an overwrite through Windows cannot reach on a disk, for the erase
// record: sectors an HPA or a DCO hides, the bytes past the end Windows shows
// where the drive states more, and an SSD's spare and remapped cells.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "device/drive_identity.h"
#include "device/hidden_range.h"
#include "format/erase_observer.h"

namespace trv::format {

struct NotReached {
  std::string code;            // "host-protected-area", "past-windows-size", "ssd-spare-cells", …
  std::u16string text;         // one English sentence
  std::optional<Span> range;   // the bytes, where the drive says which
  bool operator==(const NotReached&) const = default;
};

// `shownBytes`: what Windows shows; `statedBytes`: what the drive states (0: unknown).
std::vector<NotReached> WhatCannotBeReached(const std::vector<device::HiddenRange>& hidden, std::int64_t shownBytes,
                                            std::int64_t statedBytes, device::MediaType media);

} // namespace trv::format
