#include "report/smart_report.h"

#include "device/ata.h"
#include "device/ata_any_path.h"
#include "platform/records.h"
#include "report/number_text.h"
#include "report/nvme_health_report.h"
#include "report/smart_table.h"

namespace trv::report {

namespace {

constexpr std::int64_t kAtaBus = 3;
constexpr std::int64_t kNvmeBus = 17;
constexpr std::size_t kCommandSetsEnabledWord = 85;  // bit 0: the S.M.A.R.T. feature set is enabled

// Whether the drive says, in IDENTIFY data read now, that S.M.A.R.T. is off.
// Unknown (the read failed) counts as on, so that the report never switches off
// a drive's health monitoring on a guess.
bool SmartIsOffNow(win::Platform& p, win::Handle handle, std::uint8_t drive) {
  device::AtaBlock identify{};
  if (!device::ReadIdentify(p, handle, drive, identify)) return false;
  return (rec::U16(identify, 2 * kCommandSetsEnabledWord) & 1u) == 0;
}

// The SMART READ DATA block, or false when the device gives none. On the ATA bus
// the feature set is enabled first and the read is made only if that worked;
// the drive is left with S.M.A.R.T. as it was found.
bool ReadAttributes(SmartContext& ctx, const device::TIdentifyDeviceData& id, device::AtaBlock& block) {
  auto& p = ctx.platform;
  const win::Handle handle = ctx.dev.DeviceHandle;
  const std::uint8_t drive = id.IsIDESlave;
  // Off the ATA bus a USB bridge may still answer through the SCSI/ATA Translation.
  if (id.BusType != kAtaBus) return device::ReadSmartDataAnyPath(p, handle, drive, id.BusType, block);
  const bool wasOff = SmartIsOffNow(p, handle, drive);
  const bool ok = device::SmartEnable(p, handle, drive) && device::ReadSmartData(p, handle, drive, block);
  if (wasOff) device::SmartDisable(p, handle, drive);  // its outcome changes nothing in the report
  return ok;
}

} // namespace

void ShowSmartData(SmartContext& ctx) {
  const auto& dev = ctx.dev;
  if (dev.SelectedDevice < 1 || dev.SelectedDevice > device::kDeviceTableSlots) return;
  const auto& id = dev.Devices[static_cast<std::size_t>(dev.SelectedDevice)].IdentifyData;
  auto add = [&](std::u16string line) { AddToSmartLog(ctx.Log_Smart, std::move(line)); };

  add(u" ");
  add(u"当前日期和时间: " + ctx.platform.DateTimeText());
  add(std::u16string(ctx.productTitle) + u"; " + std::u16string(ctx.productWebAddress));
  add(u"SMART data for " + GetDeviceDescription(dev, dev.SelectedDevice, ctx.decimalSeparator));
  add(u" ");

  if (id.BusType == kNvmeBus) {
    // An NVMe disk has no attribute table: its health log takes the table's place.
    if (!AppendNvmeHealth(ctx.platform, dev.DeviceHandle, ctx.Log_Smart, ctx.decimalSeparator))
      add(u"SMART is not supported by this device.");
    return;
  }
  device::AtaBlock block{};
  if (!ReadAttributes(ctx, id, block)) {
    add(u"SMART is not supported by this device.");
    return;
  }
  for (auto& line : SmartTableLines(block)) add(std::move(line));
}

} // namespace trv::report
