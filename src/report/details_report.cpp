#include "report/details_report.h"

#include <vector>

#include "device/drive_identity.h"
#include "device/identify_parse.h"
#include "device/nvme.h"
#include "platform/text.h"
#include "report/number_text.h"
#include "report/erase_features_report.h"
#include "report/nvme_details_report.h"
#include "report/purge_report.h"

namespace trv::report {

namespace {

constexpr std::int64_t kAtaBus = 3;
constexpr char16_t kBlank[] = u" ";

std::u16string Choose(bool on, const char16_t* yes, const char16_t* no) { return on ? yes : no; }

// The lines that follow a successful read, from the model to the queue depth.
std::vector<std::u16string> PassportLines(const device::T_IDE_PASSPORT& p, char16_t sep, Language l) {
  std::vector<std::u16string> out;
  out.push_back(Say(l, u"模型: ", u"Model: ") + p.name);
  out.push_back(Say(l, u"固件版本: ", u"Firmware: ") + p.fw);
  out.push_back(Say(l, u"序列号: ", u"Serial number: ") + p.sn);
  if (p.buffersize > 0) out.push_back(Say(l, u"缓存大小: ", u"Cache size: ") + CapacityToStr(p.buffersize, sep));
  out.push_back(kBlank);

  out.push_back(Say(l, u"物理参数：", u"Physical parameters:"));
  out.push_back(Choose(p.lba28support, Say(l, u"支持 LBA 模式", u"LBA mode supported"), Say(l, u"不支持 LBA 模式", u"LBA mode not supported")));
  out.push_back(Choose(p.lba48support, Say(l, u"支持 LBA 48 模式", u"LBA 48 mode supported"),
                         Say(l, u"不支持 LBA 48 模式", u"LBA 48 mode not supported")));
  out.push_back(Say(l, u"可用扇区 LBA 命令: ", u"Sectors reachable with LBA commands: ") + FormatThousands(p.lba28sectors));
  out.push_back(Say(l, u"可用扇区 LBA48 命令: ", u"Sectors reachable with LBA48 commands: ") + FormatThousands(p.lba48sectors));
  // The drive's own logical sector size, so that a 4096-byte-sector disk does
  // not show an eighth of its size.
  out.push_back(Say(l, u"设备全部容量: ", u"Total device capacity: ") + FormatThousands(CapacityBytes(p.lbasectors, p.sectorsize)) + u" bytes");
  out.push_back(kBlank);

  out.push_back(Say(l, u"安全：", u"Security:"));
  out.push_back(Choose(p.securitysupport, Say(l, u"支持安全功能", u"Security feature set supported"),
                         Say(l, u"安全功能不支持", u"Security feature set not supported")));
  if (p.locked) {
    out.push_back(Say(l, u"当前已锁定驱动器", u"The drive is locked"));
    if (p.lockedmax) {
      out.push_back(Say(l, u"安全级别： 最大", u"Security level: maximum"));
      out.push_back(Say(l, u"解锁设备需要用户密码。", u"Unlocking the device needs the user password."));
      out.push_back(Say(l, u"如果未知用户密码，则该设备能删除主服务器的密码。",
                        u"Without the user password, the master password can only erase the device."));
    } else {
      out.push_back(Say(l, u"安全级别： 高", u"Security level: high"));
      out.push_back(Say(l, u"解锁设备需要用户或主密码。", u"Unlocking the device needs the user or the master password."));
    }
  } else {
    out.push_back(Say(l, u"当前设备未被锁定", u"The device is not locked"));
  }
  out.push_back(kBlank);

  out.push_back(Say(l, u"特征：", u"Features:"));
  out.push_back(Choose(p.smartsupport, Say(l, u"SMART 支持", u"SMART supported"), Say(l, u"SMART 不支持", u"SMART not supported")));
  out.push_back(Choose(p.hpasupport, Say(l, u"HPA (宿主保护区) 支持", u"HPA (host protected area) supported"),
                         Say(l, u"HPA (宿主保护区) 不支持", u"HPA (host protected area) not supported")));
  out.push_back(Choose(p.aamsupport, Say(l, u"AAM (自动噪音管理) 支持", u"AAM (automatic acoustic management) supported"),
                         Say(l, u"AAM (自动噪音管理) 不支持", u"AAM (automatic acoustic management) not supported")));
  out.push_back(Choose(p.StreamingSupported, Say(l, u"支持特征功能", u"Streaming feature set supported"),
                         Say(l, u"不支持特征功能", u"Streaming feature set not supported")));  // the streaming feature set
  out.push_back(kBlank);

  out.push_back(Say(l, u"队列：", u"Queuing:"));
  // Word 75 holds the maximum depth minus one; QueueSupported is not consulted.
  out.push_back(Choose(p.QueueDepth > 0, Say(l, u"设备支持命令队列", u"The device supports command queuing"),
                         Say(l, u"设备不支持命令队列", u"The device does not support command queuing")));
  if (p.QueueDepth > 0) out.push_back(Say(l, u"最大队列深度: ", u"Maximum queue depth: ") + DecimalText(p.QueueDepth + 1));
  return out;
}

// XP, or a USB bridge limited to 32-bit block addresses: the erase reaches
// only what Windows shows, and the details say so.
void AddSizeLines(LineSink& details, std::int64_t stated, std::int64_t shown, Language l) {
  if (shown <= 0 || stated <= shown) return;
  AddToDetails(details, kBlank);
  AddToDetails(details, Say(l, u"Windows 显示的容量: ", u"Capacity Windows shows: ") + FormatThousands(shown) + u" bytes");
  AddToDetails(details, Say(l, u"设备报告的容量比 Windows 显示的多 ", u"The device reports ") +
                            FormatThousands(stated - shown) +
                            Say(l, u" bytes：擦除无法写到最后这一部分。",
                                u" bytes more than Windows shows: the erase cannot write this last part."));
}

std::u16string RangeText(const device::HiddenRange& r, Language l) {
  return FormatThousands(r.Sectors()) + Say(l, u" 个扇区: LBA ", u" sectors: LBA ") + FormatThousands(r.firstSector) +
         Say(l, u" 到 ", u" to ") +
         FormatThousands(r.endSector - 1) + u" (" + FormatThousands(r.EndByte() - r.FirstByte()) + u" bytes)";
}

std::u16string WhyNotRead(device::HiddenRead read, std::uint32_t error, Language l) {
  using device::HiddenRead;
  switch (read) {
    case HiddenRead::Aborted: return Say(l, u"驱动器中止了命令。", u"the drive aborted the command.");
    case HiddenRead::NoRegisters: return Say(l, u"驱动程序或桥接器没有传回寄存器。", u"the driver or the bridge did not pass the registers back.");
    case HiddenRead::Failed: return Say(l, u"请求失败 (", u"the request failed (") + DecimalText(std::uint64_t{error}) + Say(l, u")。", u").");
    case HiddenRead::BadSignature: return Say(l, u"数据块没有 A5h 签名。", u"the data block lacks its A5h signature.");
    case HiddenRead::BadChecksum: return Say(l, u"数据块的校验和错误。", u"the data block's checksum is wrong.");
    case HiddenRead::BadValue: return Say(l, u"驱动器报告的最大地址无效。", u"the maximum address the drive reports is invalid.");
    case HiddenRead::NotOffered:
    case HiddenRead::Read: break;
  }
  return {};
}

bool Unread(device::HiddenRead read) {
  return read != device::HiddenRead::NotOffered && read != device::HiddenRead::Read;
}

// The hidden sectors of an ATA drive whose IDENTIFY block is `block`: read,
// shown, and handed to the caller.
void AddHiddenSectors(DetailsContext& ctx, const device::TIdentifyDeviceData& id, const device::AtaBlock& block,
                      const device::T_IDE_PASSPORT& passport) {
  const device::HiddenSectors hidden = device::ReadHiddenSectors(ctx.platform, ctx.dev.DeviceHandle, id.IsIDESlave,
                                                                 id.BusType, block, passport.lbasectors,
                                                                 passport.sectorsize);
  for (auto& line : HiddenSectorLines(hidden, ctx.language)) AddToDetails(ctx.Log_Details, std::move(line));
  if (ctx.hiddenRanges) *ctx.hiddenRanges = device::HiddenRanges(hidden);
}

} // namespace

std::vector<std::u16string> HiddenSectorLines(const device::HiddenSectors& hidden, Language l) {
  std::vector<std::u16string> out;
  for (const device::HiddenRange& r : device::HiddenRanges(hidden)) {
    const char16_t* by =
        r.by == device::HiddenBy::HostProtectedArea
            ? Say(l, u"主机保护区 (HPA) 隐藏了 ", u"A host protected area (HPA) hides ")
        : r.by == device::HiddenBy::ConfigurationOverlay
            ? Say(l, u"设备配置覆盖 (DCO) 隐藏了 ", u"A device configuration overlay (DCO) hides ")
            : Say(l, u"主机保护区或设备配置覆盖 (HPA 或 DCO) 隐藏了 ",
                  u"A host protected area or a device configuration overlay (HPA or DCO) hides ");
    out.push_back(by + RangeText(r, l) + Say(l, u"：擦除无法写到这一部分。", u": the erase cannot write this part."));
  }
  if (Unread(hidden.native))
    out.push_back(Say(l, u"无法检查主机保护区 (HPA)：", u"The host protected area (HPA) could not be checked: ") +
                  WhyNotRead(hidden.native, hidden.nativeError, l));
  if (Unread(hidden.dco))
    out.push_back(Say(l, u"无法检查设备配置覆盖 (DCO)：", u"The device configuration overlay (DCO) could not be checked: ") +
                  WhyNotRead(hidden.dco, hidden.dcoError, l));
  if (!out.empty()) out.insert(out.begin(), kBlank);
  return out;
}

std::int64_t StatedBytes(win::Platform& platform, win::Handle handle, const device::TIdentifyDeviceData& id,
                         std::vector<device::HiddenRange>* hidden) {
  if (id.BusType == device::kNvmeBus) {
    device::NvmeIdentifyBlock nvme{};
    return device::ReadNvmeIdentifyNamespace(platform, handle, nvme) ? NamespaceBytes(device::ParseNvmeNamespace(nvme))
                                                                      : 0;
  }
  device::AtaBlock block{};
  if (!device::ReadAtaIdentifyBlock(platform, handle, id, block)) return 0;
  const device::T_IDE_PASSPORT passport = device::ParseIdentifyData(block, platform);
  if (hidden)
    *hidden = device::HiddenRanges(device::ReadHiddenSectors(platform, handle, id.IsIDESlave, id.BusType, block,
                                                             passport.lbasectors, passport.sectorsize));
  return CapacityBytes(passport.lbasectors, passport.sectorsize);
}

namespace {

// The report's body, from the header to the firmware erase section.
std::int64_t ShowIdentifyDetails(DetailsContext& ctx, const device::TIdentifyDeviceData& id) {
  const auto& dev = ctx.dev;
  auto add = [&](std::u16string line) { AddToDetails(ctx.Log_Details, std::move(line)); };
  const Language l = ctx.language;

  add(kBlank);
  add(Say(l, u"当前日期和时间：", u"Current date and time: ") + ctx.platform.DateTimeText());
  add(std::u16string(ctx.productTitle) + u"; " + std::u16string(ctx.productWebAddress));
  add(Say(l, u"设备详细信息", u"Device details ") + GetDeviceDescription(dev, dev.SelectedDevice, ctx.decimalSeparator));
  add(kBlank);

  // An NVMe disk answers from its own identify data; where the system cannot
  // ask for it, the report goes on as for any other disk.
  const std::int64_t shown = CapacityBytes(id.LBA, id.SectorSize);
  std::int64_t stated = 0;
  if (ctx.drive) *ctx.drive = {std::nullopt, id.BusType == device::kNvmeBus ? device::MediaType::Nvme
                                                                             : device::MediaType::Unknown};
  if (id.BusType == device::kNvmeBus &&
      AppendNvmeDetails(ctx.platform, dev.DeviceHandle, ctx.Log_Details, ctx.eraseFeatures, &stated, ctx.facts, ctx.drive, l)) {
    AddSizeLines(ctx.Log_Details, stated, shown, l);
    return stated;
  }

  device::AtaBlock block{};
  const auto source = device::ReadAtaIdentifyBlock(ctx.platform, dev.DeviceHandle, id, block);
  if (!source) {
    if (id.BusType != kAtaBus) {
      add(Say(l, u"详细信息不可用于此设备。", u"Details are not available for this device."));
      return 0;
    }
    add(Say(l, u"详细信息不可用： 内部错误。", u"Details are not available: internal error."));
    add(Say(l, u"请发送这个问题到 ", u"Please report this problem at ") + std::u16string(ctx.supportForumAddress));
    return 0;
  }
  const device::T_IDE_PASSPORT passport = device::ParseIdentifyData(block, ctx.platform);
  if (ctx.drive) {
    *ctx.drive = device::AtaDriveFacts(ctx.platform, block, *source);
    if (id.BusType == device::kNvmeBus) ctx.drive->media = device::MediaType::Nvme;
  }
  for (auto& line : PassportLines(passport, ctx.decimalSeparator, l)) add(std::move(line));
  if (ctx.facts) *ctx.facts = DriveFacts{passport.name, passport.fw, passport.sn, passport.lbasectors, passport.sectorsize};
  stated = CapacityBytes(passport.lbasectors, passport.sectorsize);
  AddSizeLines(ctx.Log_Details, stated, shown, l);
  AddHiddenSectors(ctx, id, block, passport);
  const device::EraseFeatures erase = device::AtaEraseFeatures(block);
  for (auto& line : EraseFeatureLines(erase, l)) add(std::move(line));
  if (ctx.eraseFeatures) *ctx.eraseFeatures = erase;
  return stated;
}

// What firmware purge would run here: the bus as the scan read it, the rest asked now.
void AddPurgeLines(DetailsContext& ctx, const device::TDeviceTable& entry) {
  const format::PurgeFacts facts =
      format::GatherPurgeFacts(ctx.platform, ctx.dev.DeviceHandle, entry.DeviceNumber, entry.IdentifyData.BusType);
  const format::PurgePlan plan = format::PlanPurge(facts, format::PurgeChoice::Best);
  AddToDetails(ctx.Log_Details, kBlank);
  for (auto& line : PurgeLines(facts, plan, ctx.language)) AddToDetails(ctx.Log_Details, std::move(line));
  if (ctx.purgeFacts) *ctx.purgeFacts = facts;
  if (ctx.purgePlan) *ctx.purgePlan = plan;
}

} // namespace

std::int64_t ShowDeviceDetails(DetailsContext& ctx) {
  const auto& dev = ctx.dev;
  if (dev.SelectedDevice < 1 || dev.SelectedDevice > device::kDeviceTableSlots) return 0;
  const device::TDeviceTable& entry = dev.Devices[static_cast<std::size_t>(dev.SelectedDevice)];
  const std::int64_t stated = ShowIdentifyDetails(ctx, entry.IdentifyData);
  AddPurgeLines(ctx, entry);
  return stated;
}

} // namespace trv::report
