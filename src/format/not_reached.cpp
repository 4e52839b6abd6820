#include "format/not_reached.h"

#include "format/hidden_range_text.h"
#include "report/number_text.h"

namespace trv::format {

namespace {

const char* HiddenCode(device::HiddenBy by) {
  switch (by) {
    case device::HiddenBy::HostProtectedArea: return "host-protected-area";
    case device::HiddenBy::ConfigurationOverlay: return "device-configuration-overlay";
    case device::HiddenBy::EitherOfThem: break;
  }
  return "hpa-or-dco";
}

} // namespace

std::vector<NotReached> WhatCannotBeReached(const std::vector<device::HiddenRange>& hidden, std::int64_t shownBytes,
                                            std::int64_t statedBytes, device::MediaType media) {
  using report::FormatThousands;
  std::vector<NotReached> out;
  if (shownBytes > 0 && statedBytes > shownBytes)
    out.push_back({"past-windows-size",
                   u"the drive states " + FormatThousands(statedBytes) + u" bytes, but Windows shows only " +
                       FormatThousands(shownBytes) + u": the bytes past that end cannot be written through Windows",
                   Span{shownBytes, statedBytes}});
  for (const device::HiddenRange& r : hidden)
    out.push_back({HiddenCode(r.by), HiddenRangeText(r) + u" that the drive keeps out of reach",
                   Span{r.FirstByte(), r.EndByte()}});
  if (media == device::MediaType::SataSsd || media == device::MediaType::Nvme)
    out.push_back({"ssd-spare-cells",
                   u"an SSD keeps spare and remapped cells that no write through Windows reaches: earlier data may "
                   u"remain there; only the drive's own erase (ATA Sanitize or Security Erase, NVMe Format or "
                   u"Sanitize) clears them",
                   std::nullopt});
  return out;
}

} // namespace trv::format
