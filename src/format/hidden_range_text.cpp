#include "format/hidden_range_text.h"

#include "report/number_text.h"

namespace trv::format {

std::u16string HiddenRangeText(const device::HiddenRange& r) {
  using report::FormatThousands;
  const char16_t* by = r.by == device::HiddenBy::HostProtectedArea      ? u"a host protected area (HPA)"
                       : r.by == device::HiddenBy::ConfigurationOverlay ? u"a device configuration overlay (DCO)"
                                                                         : u"a host protected area or a device configuration overlay (HPA or DCO)";
  return std::u16string(by) +
         u" hides sectors " + FormatThousands(r.firstSector) + u" to " + FormatThousands(r.endSector - 1) + u" (" +
         FormatThousands(r.EndByte() - r.FirstByte()) + u" bytes from offset " + FormatThousands(r.FirstByte()) + u")";
}

} // namespace trv::format
