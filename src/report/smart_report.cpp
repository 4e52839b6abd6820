#include "report/smart_report.h"

#include <algorithm>

#include "device/ata.h"
#include "device/ata_any_path.h"
#include "platform/records.h"
#include "platform/text.h"
#include "report/number_text.h"
#include "report/nvme_health_report.h"
#include "report/smart_table.h"

namespace trv::report {

namespace {

constexpr std::int64_t kAtaBus = 3;
constexpr std::int64_t kNvmeBus = 17;
constexpr std::size_t kCommandSetsEnabledWord = 85;  // bit 0: the S.M.A.R.T. feature set is enabled
constexpr std::size_t kCommandSetsDefaultWord = 87;  // bits 15:14 01b: words 85 to 87 are valid

// Whether the drive says, in IDENTIFY data read now, that S.M.A.R.T. is off.
// Unknown counts as on, so that the report never switches off a drive's health
// monitoring on a guess: the read failed, or word 87 does not carry its 01b
// signature, so that word 85 means nothing.
bool SmartIsOffNow(win::Platform& p, win::Handle handle, std::uint8_t drive) {
  device::AtaBlock identify{};
  if (!device::ReadIdentify(p, handle, drive, identify)) return false;
  if ((rec::U16(identify, 2 * kCommandSetsDefaultWord) >> 14) != 0b01) return false;
  return (rec::U16(identify, 2 * kCommandSetsEnabledWord) & 1u) == 0;
}

// What one report reads: the attribute block, then (once it arrived) the
// thresholds and the drive's own status.
struct AtaReading {
  device::SmartRead data;
  std::optional<device::AtaBlock> thresholds;
  device::SmartStatus status = device::SmartStatus::NotRead;
};

void ReadHealth(win::Platform& p, win::Handle handle, std::uint8_t drive, std::int64_t busType, AtaReading& r) {
  device::AtaBlock thresholds{};
  if (device::ReadSmartThresholdsAnyPath(p, handle, drive, busType, thresholds)) r.thresholds = thresholds;
  r.status = device::ReadSmartStatusAnyPath(p, handle, drive, busType);
}

// The SMART READ DATA block, or a failed read. On the ATA bus the feature set
// is enabled first and the reads are made only if that worked; the drive is
// left with S.M.A.R.T. as it was found.
AtaReading ReadAttributes(SmartContext& ctx, const device::TIdentifyDeviceData& id, device::AtaBlock& block) {
  auto& p = ctx.platform;
  const win::Handle handle = ctx.dev.DeviceHandle;
  const std::uint8_t drive = id.IsIDESlave;
  AtaReading r;
  // Off the ATA bus a USB bridge may still answer through the SCSI/ATA Translation.
  if (id.BusType != kAtaBus) {
    r.data = device::ReadSmartDataAnyPathChecked(p, handle, drive, id.BusType, block);
    if (r.data.ok()) ReadHealth(p, handle, drive, id.BusType, r);
    return r;
  }
  const bool wasOff = SmartIsOffNow(p, handle, drive);
  if (device::SmartEnable(p, handle, drive)) {
    r.data = device::ReadSmartDataChecked(p, handle, drive, block);
    if (r.data.ok()) ReadHealth(p, handle, drive, id.BusType, r);
  }
  if (wasOff) device::SmartDisable(p, handle, drive);  // its outcome changes nothing in the report
  return r;
}

} // namespace

void ShowSmartData(SmartContext& ctx) {
  const auto& dev = ctx.dev;
  if (dev.SelectedDevice < 1 || dev.SelectedDevice > device::kDeviceTableSlots) return;
  const auto& id = dev.Devices[static_cast<std::size_t>(dev.SelectedDevice)].IdentifyData;
  auto add = [&](std::u16string line) { AddToSmartLog(ctx.Log_Smart, std::move(line)); };
  const Language l = ctx.language;

  add(u" ");
  add(Say(l, u"当前日期和时间: ", u"Current date and time: ") + ctx.platform.DateTimeText());
  add(std::u16string(ctx.productTitle) + u"; " + std::u16string(ctx.productWebAddress));
  add(u"SMART data for " + GetDeviceDescription(dev, dev.SelectedDevice, ctx.decimalSeparator));
  add(u" ");

  if (id.BusType == kNvmeBus) {
    // An NVMe disk has no attribute table: its health log takes the table's place.
    if (!AppendNvmeHealth(ctx.platform, dev.DeviceHandle, ctx.Log_Smart, ctx.decimalSeparator, ctx.health, l))
      add(u"SMART is not supported by this device.");
    return;
  }
  device::AtaBlock block{};
  const AtaReading reading = ReadAttributes(ctx, id, block);
  if (reading.data.outcome == device::SmartRead::Outcome::Short) {
    add(Say(l, u"SMART 数据读取失败：驱动程序只返回了 ", u"SMART data could not be read: the driver returned only ") +
        DecimalText(reading.data.bytes) + Say(l, u" 字节 (应为 528 字节)。", u" bytes (528 expected)."));
    return;
  }
  if (!reading.data.ok()) {
    add(u"SMART is not supported by this device.");
    return;
  }
  for (auto& line : SmartTableLines(block, l)) add(std::move(line));
  const HealthResult health = JudgeAtaHealth(
      {block, reading.thresholds, reading.status, static_cast<std::uint64_t>(std::max<std::int64_t>(id.LBA, 0)), l});
  for (auto& line : HealthLines(health, l)) add(std::move(line));
  if (ctx.health) *ctx.health = SmartHealth{health, reading.thresholds.has_value(), reading.status, false, block,
                                            reading.thresholds, std::nullopt};
}

} // namespace trv::report
