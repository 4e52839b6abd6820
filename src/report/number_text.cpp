#include "report/number_text.h"

#include <cassert>
#include <limits>

#include "platform/text.h"

namespace trv::report {

std::u16string FormatThousands(std::int64_t value) {
  const std::u16string s = DecimalText(value);
  if (s.size() <= 4) return s;
  std::u16string out;
  for (std::size_t i = s.size(); i-- > 0;) {
    out.insert(out.begin(), s[i]);
    if ((s.size() - i) % 3 == 0) out.insert(out.begin(), u',');
  }
  if (!out.empty() && out.front() == u',') out.erase(out.begin());
  if (out.size() > 1 && out[0] == u'-' && out[1] == u',') out.erase(1, 1);  // "-,123,456" reads badly
  return out;
}

namespace {

// The shown value is `hundredths` / 100: the integer step of the cut has already
// dropped every digit beyond the second decimal, so the decimal text is exact
// (the same text a 15-digit general float format prints for it).
std::u16string Hundredths(std::int64_t hundredths, char16_t sep) {
  std::u16string text = DecimalText(hundredths / 100);
  const int frac = static_cast<int>(hundredths % 100);
  if (frac != 0) {
    text.push_back(sep);
    text.push_back(static_cast<char16_t>(u'0' + frac / 10));
    if (frac % 10 != 0) text.push_back(static_cast<char16_t>(u'0' + frac % 10));
  }
  return text;
}

} // namespace

std::u16string CapacityToStr(std::int64_t bytes, char16_t sep) {
  if (bytes < 99999) return DecimalText(bytes) + u" bytes";
  if (bytes < 9999999) return Hundredths(bytes / 10, sep) + u" KB";
  if (bytes < 9999999999LL) return Hundredths(bytes / 10000, sep) + u" MB";
  return Hundredths(bytes / 10000000, sep) + u" GB";
}

std::int64_t CapacityBytes(std::int64_t sectors, std::int64_t sectorSize) {
  if (sectors <= 0 || sectorSize <= 0) return 0;
  if (sectors > std::numeric_limits<std::int64_t>::max() / sectorSize) return std::numeric_limits<std::int64_t>::max();
  return sectors * sectorSize;
}

std::u16string GetDeviceDescription(const device::DeviceState& devices, std::int64_t index, char16_t sep) {
  assert(index >= 1 && index <= device::kDeviceTableSlots);
  if (index < 1 || index > device::kDeviceTableSlots) return {};
  const auto& entry = devices.Devices[static_cast<std::size_t>(index)];
  const auto& id = entry.IdentifyData;
  // The disk's own sector size, not 512: a 4096-byte-sector disk would otherwise
  // show an eighth of its size.
  // Built by appending: GCC 12 sees a false overlap (-Wrestrict) in `u"[" + text`.
  std::u16string text = u"[";
  text += DecimalText(entry.DeviceNumber);
  text += u"]  ";
  text += TrimControl(id.Model);
  text += u"    ";
  text += TrimControl(id.FW);
  text += u"    [";
  text += CapacityToStr(CapacityBytes(id.LBA, id.SectorSize), sep);
  text += u"]";
  return text;
}

} // namespace trv::report
