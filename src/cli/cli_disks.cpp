#include "cli/cli_disks.h"

#include "platform/text.h"
#include "report/number_text.h"

namespace trv::cli {

std::u16string Trimmed(const std::u16string& s) {
  const auto begin = s.find_first_not_of(u' ');
  if (begin == std::u16string::npos) return {};
  return s.substr(begin, s.find_last_not_of(u' ') - begin + 1);
}

std::u16string ExpectedConfirmation(const device::TDeviceTable& entry) {
  // The scan shows "000000" for a disk that gave no serial; such a disk is
  // confirmed by its size instead, so a script still names exactly one disk.
  const auto& id = entry.IdentifyData;
  if (id.SN == u"000000") return u"NONE-" + DecimalText(report::CapacityBytes(id.LBA, id.SectorSize));
  return Trimmed(id.SN);
}

std::optional<format::Refusal> SizeRefusal(const device::TDeviceTable& entry, const std::u16string& diskName) {
  const std::int64_t sectors = entry.IdentifyData.LBA;
  if (report::CapacityBytes(sectors, entry.IdentifyData.SectorSize) <= 0)
    return format::Refusal{kNoCapacity, diskName + u" reports no capacity (no medium in the reader?)"};
  if (sectors < kSmallestErasableSectors)
    return format::Refusal{kTooSmall, diskName + u" has " + report::FormatThousands(sectors) + u" sectors, fewer than 65,535"};
  return std::nullopt;
}

std::u16string JsonText(const nlohmann::ordered_json& document) {
  return Utf8ToUtf16(document.dump(2, ' ', true)) + u"\n";
}

} // namespace trv::cli
