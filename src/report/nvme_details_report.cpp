#include "report/nvme_details_report.h"

#include "device/nvme.h"
#include "platform/text.h"
#include "report/counter_text.h"
#include "report/erase_features_report.h"
#include "report/number_text.h"

namespace trv::report {

namespace {

constexpr char16_t kBlank[] = u" ";

std::u16string Supported(const char16_t* feature, bool on, Language l) {
  return std::u16string(feature) + (on ? Say(l, u" 支持", u" supported") : Say(l, u" 不支持", u" not supported"));
}

std::u16string Hex4(std::uint16_t v) {
  static const char16_t digits[] = u"0123456789ABCDEF";
  std::u16string s;
  for (int shift = 12; shift >= 0; shift -= 4) s.push_back(digits[(v >> shift) & 15]);
  return s;
}

// "1.4", or "1.3.1" with a tertiary number; controllers before NVMe 1.2 report 0.
std::u16string VersionText(std::uint32_t v, Language l) {
  if (v == 0) return Say(l, u"未报告", u"not reported");
  std::u16string text = DecimalText(v >> 16) + u"." + DecimalText((v >> 8) & 0xFF);
  if ((v & 0xFF) != 0) text += u"." + DecimalText(v & 0xFF);
  return text;
}

// "N 块", with the byte amount when the block size is known.
std::u16string Blocks(std::uint64_t blocks, const device::NvmeNamespace& ns, Language l) {
  std::u16string text = CounterThousands({blocks, 0}) + Say(l, u" 块", u" blocks");
  device::Counter128 bytes;
  if (ns.formatValid && MultiplyCounter({blocks, 0}, ns.dataSize, bytes))
    text += u" (" + CounterThousands(bytes) + u" bytes)";
  return text;
}

} // namespace

std::vector<std::u16string> NvmeDetailsLines(const device::NvmeController& c,
                                             const std::optional<device::NvmeNamespace>& ns, Language l) {
  std::vector<std::u16string> out;
  out.push_back(Say(l, u"模型: ", u"Model: ") + c.model);
  out.push_back(Say(l, u"固件版本: ", u"Firmware: ") + c.firmware);
  out.push_back(Say(l, u"序列号: ", u"Serial number: ") + c.serial);
  out.push_back(Say(l, u"PCI 供应商 ID: ", u"PCI vendor ID: ") + Hex4(c.vendorId));
  out.push_back(Say(l, u"PCI 子系统供应商 ID: ", u"PCI subsystem vendor ID: ") + Hex4(c.subsystemVendorId));
  out.push_back(Say(l, u"NVMe 版本: ", u"NVMe version: ") + VersionText(c.version, l));
  out.push_back(kBlank);

  out.push_back(Say(l, u"命名空间：", u"Namespace:"));
  if (ns) {
    out.push_back(Say(l, u"命名空间大小: ", u"Namespace size: ") + Blocks(ns->size, *ns, l));
    out.push_back(Say(l, u"命名空间容量: ", u"Namespace capacity: ") + Blocks(ns->capacity, *ns, l));
    if (ns->formatValid)
      out.push_back(Say(l, u"LBA 格式 ", u"LBA format ") + DecimalText(std::uint32_t{ns->formatIndex}) +
                    Say(l, u": 数据 ", u": data ") + DecimalText(ns->dataSize) +
                    Say(l, u" 字节, 元数据 ", u" bytes, metadata ") + DecimalText(std::uint32_t{ns->metadataSize}) +
                    Say(l, u" 字节", u" bytes"));
    else
      out.push_back(Say(l, u"LBA 格式 ", u"LBA format ") + DecimalText(std::uint32_t{ns->formatIndex}) +
                    Say(l, u": 未知", u": unknown"));
  } else {
    out.push_back(Say(l, u"命名空间信息不可用。", u"Namespace data is not available."));
  }
  out.push_back(Say(l, u"命名空间数量: ", u"Number of namespaces: ") + DecimalText(c.namespaceCount));
  out.push_back(kBlank);

  out.push_back(Say(l, u"特征：", u"Features:"));
  out.push_back(Supported(Say(l, u"易失性写缓存", u"Volatile write cache"), c.volatileWriteCache, l));
  out.push_back(Supported(u"Format NVM", c.formatNvm, l));
  // Format NVM's secure erase always offers the user data erase; the
  // cryptographic one only where the controller says so.
  out.push_back(Supported(Say(l, u"安全擦除 (用户数据)", u"Secure erase (user data)"), c.formatNvm, l));
  out.push_back(Supported(Say(l, u"安全擦除 (加密)", u"Secure erase (crypto)"), c.cryptoEraseOnFormat, l));
  out.push_back(Supported(Say(l, u"Sanitize 块擦除", u"Sanitize block erase"), c.sanitizeBlock, l));
  out.push_back(Supported(Say(l, u"Sanitize 加密擦除", u"Sanitize crypto erase"), c.sanitizeCrypto, l));
  out.push_back(Supported(Say(l, u"Sanitize 覆盖", u"Sanitize overwrite"), c.sanitizeOverwrite, l));
  out.push_back(Supported(u"Write Zeroes", c.writeZeroes, l));
  out.push_back(Supported(Say(l, u"数据集管理 (释放)", u"Dataset management (deallocate)"), c.datasetManagement, l));
  out.push_back(Supported(Say(l, u"设备自检", u"Device self-test"), c.selfTest, l));
  return out;
}

std::int64_t NamespaceBytes(const device::NvmeNamespace& ns) {
  if (!ns.formatValid || ns.dataSize == 0) return 0;
  if (ns.size > static_cast<std::uint64_t>(INT64_MAX) / ns.dataSize) return 0;
  return static_cast<std::int64_t>(ns.size * ns.dataSize);
}

bool AppendNvmeDetails(win::Platform& platform, win::Handle handle, LineSink& logDetails,
                       std::optional<device::EraseFeatures>* eraseFeatures, std::int64_t* statedBytes,
                       std::optional<DriveFacts>* facts, device::DriveFacts* drive, Language l) {
  device::NvmeIdentifyBlock block{};
  if (!device::ReadNvmeIdentifyController(platform, handle, block)) return false;
  const device::NvmeController controller = device::ParseNvmeController(block);
  const device::EraseFeatures erase = device::NvmeEraseFeatures(block);
  std::optional<device::NvmeNamespace> ns;
  if (device::ReadNvmeIdentifyNamespace(platform, handle, block)) ns = device::ParseNvmeNamespace(block);
  for (auto& line : NvmeDetailsLines(controller, ns, l)) AddToDetails(logDetails, std::move(line));
  for (auto& line : EraseFeatureLines(erase, l)) AddToDetails(logDetails, std::move(line));
  if (eraseFeatures) *eraseFeatures = erase;
  if (statedBytes) *statedBytes = ns ? NamespaceBytes(*ns) : 0;
  if (facts) {
    *facts = DriveFacts{controller.model, controller.firmware, controller.serial, std::nullopt, std::nullopt};
    if (ns && ns->formatValid && ns->size <= static_cast<std::uint64_t>(INT64_MAX)) {
      (*facts)->sectors = static_cast<std::int64_t>(ns->size);
      (*facts)->sectorSize = ns->dataSize;
    }
  }
  if (drive) *drive = device::NvmeDriveFacts(controller);
  return true;
}

} // namespace trv::report
