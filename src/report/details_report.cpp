#include "report/details_report.h"

#include <vector>

#include "device/ata_any_path.h"
#include "device/identify_parse.h"
#include "device/nvme.h"
#include "platform/text.h"
#include "report/number_text.h"
#include "report/erase_features_report.h"
#include "report/nvme_details_report.h"

namespace trv::report {

namespace {

constexpr std::int64_t kAtaBus = 3;
constexpr char16_t kBlank[] = u" ";

std::u16string Choose(bool on, const char16_t* yes, const char16_t* no) { return on ? yes : no; }

// The lines that follow a successful read, from the model to the queue depth.
std::vector<std::u16string> PassportLines(const device::T_IDE_PASSPORT& p, char16_t sep) {
  std::vector<std::u16string> out;
  out.push_back(u"模型: " + p.name);
  out.push_back(u"固件版本: " + p.fw);
  out.push_back(u"序列号: " + p.sn);
  if (p.buffersize > 0) out.push_back(u"缓存大小: " + CapacityToStr(p.buffersize, sep));
  out.push_back(kBlank);

  out.push_back(u"物理参数：");
  out.push_back(Choose(p.lba28support, u"支持 LBA 模式", u"不支持 LBA 模式"));
  out.push_back(Choose(p.lba48support, u"支持 LBA 48 模式", u"不支持 LBA 48 模式"));
  out.push_back(u"可用扇区 LBA 命令: " + FormatThousands(p.lba28sectors));
  out.push_back(u"可用扇区 LBA48 命令: " + FormatThousands(p.lba48sectors));
  // The drive's own logical sector size, so that a 4096-byte-sector disk does
  // not show an eighth of its size.
  out.push_back(u"设备全部容量: " + FormatThousands(CapacityBytes(p.lbasectors, p.sectorsize)) + u" bytes");
  out.push_back(kBlank);

  out.push_back(u"安全：");
  out.push_back(Choose(p.securitysupport, u"支持安全功能", u"安全功能不支持"));
  if (p.locked) {
    out.push_back(u"当前已锁定驱动器");
    if (p.lockedmax) {
      out.push_back(u"安全级别： 最大");
      out.push_back(u"解锁设备需要用户密码。");
      out.push_back(u"如果未知用户密码，则该设备能删除主服务器的密码。");
    } else {
      out.push_back(u"安全级别： 高");
      out.push_back(u"解锁设备需要用户或主密码。");
    }
  } else {
    out.push_back(u"当前设备未被锁定");
  }
  out.push_back(kBlank);

  out.push_back(u"特征：");
  out.push_back(Choose(p.smartsupport, u"SMART 支持", u"SMART 不支持"));
  out.push_back(Choose(p.hpasupport, u"HPA (宿主保护区) 支持", u"HPA (宿主保护区) 不支持"));
  out.push_back(Choose(p.aamsupport, u"AAM (自动噪音管理) 支持", u"AAM (自动噪音管理) 不支持"));
  out.push_back(Choose(p.StreamingSupported, u"支持特征功能", u"不支持特征功能"));  // the streaming feature set
  out.push_back(kBlank);

  out.push_back(u"队列：");
  // Word 75 holds the maximum depth minus one; QueueSupported is not consulted.
  out.push_back(Choose(p.QueueDepth > 0, u"设备支持命令队列", u"设备不支持命令队列"));
  if (p.QueueDepth > 0) out.push_back(u"最大队列深度: " + DecimalText(p.QueueDepth + 1));
  return out;
}

// XP, or a USB bridge limited to 32-bit block addresses: the erase reaches
// only what Windows shows, and the details say so.
void AddSizeLines(LineSink& details, std::int64_t stated, std::int64_t shown) {
  if (shown <= 0 || stated <= shown) return;
  AddToDetails(details, kBlank);
  AddToDetails(details, u"Windows 显示的容量: " + FormatThousands(shown) + u" bytes");
  AddToDetails(details, u"设备报告的容量比 Windows 显示的多 " + FormatThousands(stated - shown) +
                            u" bytes：擦除无法写到最后这一部分。");
}

std::u16string RangeText(const device::HiddenRange& r) {
  return FormatThousands(r.Sectors()) + u" 个扇区: LBA " + FormatThousands(r.firstSector) + u" 到 " +
         FormatThousands(r.endSector - 1) + u" (" + FormatThousands(r.EndByte() - r.FirstByte()) + u" bytes)";
}

std::u16string WhyNotRead(device::HiddenRead read, std::uint32_t error) {
  using device::HiddenRead;
  switch (read) {
    case HiddenRead::Aborted: return u"驱动器中止了命令。";
    case HiddenRead::NoRegisters: return u"驱动程序或桥接器没有传回寄存器。";
    case HiddenRead::Failed: return u"请求失败 (" + DecimalText(std::uint64_t{error}) + u")。";
    case HiddenRead::BadSignature: return u"数据块没有 A5h 签名。";
    case HiddenRead::BadChecksum: return u"数据块的校验和错误。";
    case HiddenRead::BadValue: return u"驱动器报告的最大地址无效。";
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
  for (auto& line : HiddenSectorLines(hidden)) AddToDetails(ctx.Log_Details, std::move(line));
  if (ctx.hiddenRanges) *ctx.hiddenRanges = device::HiddenRanges(hidden);
}

} // namespace

bool ReadAtaIdentify(win::Platform& platform, win::Handle handle, const device::TIdentifyDeviceData& id,
                     device::AtaBlock& block) {
  if (device::ReadIdentifyAnyPath(platform, handle, id.IsIDESlave, id.BusType, block)) return true;
  return id.BusType == kAtaBus && device::ReadIdentify(platform, handle, id.IsIDESlave, block);
}

std::vector<std::u16string> HiddenSectorLines(const device::HiddenSectors& hidden) {
  std::vector<std::u16string> out;
  for (const device::HiddenRange& r : device::HiddenRanges(hidden)) {
    const char16_t* by = r.by == device::HiddenBy::HostProtectedArea      ? u"主机保护区 (HPA) 隐藏了 "
                         : r.by == device::HiddenBy::ConfigurationOverlay ? u"设备配置覆盖 (DCO) 隐藏了 "
                                                                           : u"主机保护区或设备配置覆盖 (HPA 或 DCO) 隐藏了 ";
    out.push_back(by + RangeText(r) + u"：擦除无法写到这一部分。");
  }
  if (Unread(hidden.native)) out.push_back(u"无法检查主机保护区 (HPA)：" + WhyNotRead(hidden.native, hidden.nativeError));
  if (Unread(hidden.dco)) out.push_back(u"无法检查设备配置覆盖 (DCO)：" + WhyNotRead(hidden.dco, hidden.dcoError));
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
  if (!ReadAtaIdentify(platform, handle, id, block)) return 0;
  const device::T_IDE_PASSPORT passport = device::ParseIdentifyData(block, platform);
  if (hidden)
    *hidden = device::HiddenRanges(device::ReadHiddenSectors(platform, handle, id.IsIDESlave, id.BusType, block,
                                                             passport.lbasectors, passport.sectorsize));
  return CapacityBytes(passport.lbasectors, passport.sectorsize);
}

std::int64_t ShowDeviceDetails(DetailsContext& ctx) {
  const auto& dev = ctx.dev;
  if (dev.SelectedDevice < 1 || dev.SelectedDevice > device::kDeviceTableSlots) return 0;
  const auto& id = dev.Devices[static_cast<std::size_t>(dev.SelectedDevice)].IdentifyData;
  auto add = [&](std::u16string line) { AddToDetails(ctx.Log_Details, std::move(line)); };

  add(kBlank);
  add(u"当前日期和时间：" + ctx.platform.DateTimeText());
  add(std::u16string(ctx.productTitle) + u"; " + std::u16string(ctx.productWebAddress));
  add(u"设备详细信息" + GetDeviceDescription(dev, dev.SelectedDevice, ctx.decimalSeparator));
  add(kBlank);

  // An NVMe disk answers from its own identify data; where the system cannot
  // ask for it, the report goes on as for any other disk.
  const std::int64_t shown = CapacityBytes(id.LBA, id.SectorSize);
  std::int64_t stated = 0;
  if (id.BusType == device::kNvmeBus &&
      AppendNvmeDetails(ctx.platform, dev.DeviceHandle, ctx.Log_Details, ctx.eraseFeatures, &stated)) {
    AddSizeLines(ctx.Log_Details, stated, shown);
    return stated;
  }

  device::AtaBlock block{};
  if (!ReadAtaIdentify(ctx.platform, dev.DeviceHandle, id, block)) {
    if (id.BusType != kAtaBus) {
      add(u"详细信息不可用于此设备。");
      return 0;
    }
    add(u"详细信息不可用： 内部错误。");
    add(u"请发送这个问题到 " + std::u16string(ctx.supportForumAddress));
    return 0;
  }
  const device::T_IDE_PASSPORT passport = device::ParseIdentifyData(block, ctx.platform);
  for (auto& line : PassportLines(passport, ctx.decimalSeparator)) add(std::move(line));
  stated = CapacityBytes(passport.lbasectors, passport.sectorsize);
  AddSizeLines(ctx.Log_Details, stated, shown);
  AddHiddenSectors(ctx, id, block, passport);
  const device::EraseFeatures erase = device::AtaEraseFeatures(block);
  for (auto& line : EraseFeatureLines(erase)) add(std::move(line));
  if (ctx.eraseFeatures) *ctx.eraseFeatures = erase;
  return stated;
}

} // namespace trv::report
