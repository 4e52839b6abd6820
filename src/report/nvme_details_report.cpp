#include "report/nvme_details_report.h"

#include "device/nvme.h"
#include "platform/text.h"
#include "report/counter_text.h"
#include "report/erase_features_report.h"
#include "report/number_text.h"

namespace trv::report {

namespace {

constexpr char16_t kBlank[] = u" ";

std::u16string Supported(const char16_t* feature, bool on) {
  return std::u16string(feature) + (on ? u" 支持" : u" 不支持");
}

std::u16string Hex4(std::uint16_t v) {
  static const char16_t digits[] = u"0123456789ABCDEF";
  std::u16string s;
  for (int shift = 12; shift >= 0; shift -= 4) s.push_back(digits[(v >> shift) & 15]);
  return s;
}

// "1.4", or "1.3.1" with a tertiary number; controllers before NVMe 1.2 report 0.
std::u16string VersionText(std::uint32_t v) {
  if (v == 0) return u"未报告";
  std::u16string text = DecimalText(v >> 16) + u"." + DecimalText((v >> 8) & 0xFF);
  if ((v & 0xFF) != 0) text += u"." + DecimalText(v & 0xFF);
  return text;
}

// "N 块", with the byte amount when the block size is known.
std::u16string Blocks(std::uint64_t blocks, const device::NvmeNamespace& ns) {
  std::u16string text = CounterThousands({blocks, 0}) + u" 块";
  device::Counter128 bytes;
  if (ns.formatValid && MultiplyCounter({blocks, 0}, ns.dataSize, bytes))
    text += u" (" + CounterThousands(bytes) + u" bytes)";
  return text;
}

} // namespace

std::vector<std::u16string> NvmeDetailsLines(const device::NvmeController& c,
                                             const std::optional<device::NvmeNamespace>& ns) {
  std::vector<std::u16string> out;
  out.push_back(u"模型: " + c.model);
  out.push_back(u"固件版本: " + c.firmware);
  out.push_back(u"序列号: " + c.serial);
  out.push_back(u"PCI 供应商 ID: " + Hex4(c.vendorId));
  out.push_back(u"PCI 子系统供应商 ID: " + Hex4(c.subsystemVendorId));
  out.push_back(u"NVMe 版本: " + VersionText(c.version));
  out.push_back(kBlank);

  out.push_back(u"命名空间：");
  if (ns) {
    out.push_back(u"命名空间大小: " + Blocks(ns->size, *ns));
    out.push_back(u"命名空间容量: " + Blocks(ns->capacity, *ns));
    if (ns->formatValid)
      out.push_back(u"LBA 格式 " + DecimalText(std::uint32_t{ns->formatIndex}) + u": 数据 " +
                    DecimalText(ns->dataSize) + u" 字节, 元数据 " + DecimalText(std::uint32_t{ns->metadataSize}) +
                    u" 字节");
    else
      out.push_back(u"LBA 格式 " + DecimalText(std::uint32_t{ns->formatIndex}) + u": 未知");
  } else {
    out.push_back(u"命名空间信息不可用。");
  }
  out.push_back(u"命名空间数量: " + DecimalText(c.namespaceCount));
  out.push_back(kBlank);

  out.push_back(u"特征：");
  out.push_back(Supported(u"易失性写缓存", c.volatileWriteCache));
  out.push_back(Supported(u"Format NVM", c.formatNvm));
  // Format NVM's secure erase always offers the user data erase; the
  // cryptographic one only where the controller says so.
  out.push_back(Supported(u"安全擦除 (用户数据)", c.formatNvm));
  out.push_back(Supported(u"安全擦除 (加密)", c.cryptoEraseOnFormat));
  out.push_back(Supported(u"Sanitize 块擦除", c.sanitizeBlock));
  out.push_back(Supported(u"Sanitize 加密擦除", c.sanitizeCrypto));
  out.push_back(Supported(u"Sanitize 覆盖", c.sanitizeOverwrite));
  out.push_back(Supported(u"Write Zeroes", c.writeZeroes));
  out.push_back(Supported(u"数据集管理 (释放)", c.datasetManagement));
  out.push_back(Supported(u"设备自检", c.selfTest));
  return out;
}

std::int64_t NamespaceBytes(const device::NvmeNamespace& ns) {
  if (!ns.formatValid || ns.dataSize == 0) return 0;
  if (ns.size > static_cast<std::uint64_t>(INT64_MAX) / ns.dataSize) return 0;
  return static_cast<std::int64_t>(ns.size * ns.dataSize);
}

bool AppendNvmeDetails(win::Platform& platform, win::Handle handle, LineSink& logDetails,
                       std::optional<device::EraseFeatures>* eraseFeatures, std::int64_t* statedBytes,
                       device::DriveFacts* drive) {
  device::NvmeIdentifyBlock block{};
  if (!device::ReadNvmeIdentifyController(platform, handle, block)) return false;
  const device::NvmeController controller = device::ParseNvmeController(block);
  const device::EraseFeatures erase = device::NvmeEraseFeatures(block);
  std::optional<device::NvmeNamespace> ns;
  if (device::ReadNvmeIdentifyNamespace(platform, handle, block)) ns = device::ParseNvmeNamespace(block);
  for (auto& line : NvmeDetailsLines(controller, ns)) AddToDetails(logDetails, std::move(line));
  for (auto& line : EraseFeatureLines(erase)) AddToDetails(logDetails, std::move(line));
  if (eraseFeatures) *eraseFeatures = erase;
  if (statedBytes) *statedBytes = ns ? NamespaceBytes(*ns) : 0;
  if (drive) *drive = device::NvmeDriveFacts(controller);
  return true;
}

} // namespace trv::report
