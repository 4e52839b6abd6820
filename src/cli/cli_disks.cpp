#include "cli/cli_disks.h"

#include "format/same_disk.h"
#include "platform/text.h"
#include "report/number_text.h"

namespace trv::cli {

std::vector<std::u16string> ConfirmationsOf(const format::DiskIdentity& disk) {
  std::vector<std::u16string> out;
  if (disk.drive && !TrimControl(disk.drive->serial).empty()) out.push_back(TrimControl(disk.drive->serial));
  // The scan shows "000000" for a disk that gave no serial.
  const std::u16string windows = TrimControl(disk.serial);
  if (!windows.empty() && windows != u"000000" && (out.empty() || out[0] != windows)) out.push_back(windows);
  if (out.empty()) out.push_back(u"NONE-" + DecimalText(report::CapacityBytes(disk.sectors, disk.sectorSize)));
  return out;
}

std::u16string WindowsViewColumn(const format::DiskIdentity& disk) {
  const std::u16string model = TrimControl(disk.model), serial = TrimControl(disk.serial);
  if (model == format::ShownModel(disk) && serial == format::ShownSerial(disk)) return u"same";
  return model + u", serial " + serial;
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
