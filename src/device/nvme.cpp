#include "device/nvme.h"

#include <algorithm>
#include <span>
#include <vector>

#include "device/nvme_records.h"
#include "platform/records.h"

namespace trv::device {

namespace {

// One protocol-specific query. The request and the answer share one buffer
// sized for the descriptor and the data, as the storage stack expects.
bool ProtocolQuery(win::Platform& p, win::Handle handle, std::uint32_t property, std::uint32_t dataType,
                   std::uint32_t value, std::uint32_t subValue, std::span<std::uint8_t> data) {
  const std::size_t size = nvme::kDescriptorRecordSize + data.size();
  std::vector<std::uint8_t> buffer(size, 0);
  rec::Put32(buffer, nvme::kQueryPropertyId, property);
  rec::Put32(buffer, nvme::kQueryType, nvme::PropertyStandardQuery);
  const std::size_t at = nvme::kQueryAdditionalParameters;
  rec::Put32(buffer, at + nvme::kSpecificProtocolType, nvme::ProtocolTypeNvme);
  rec::Put32(buffer, at + nvme::kSpecificDataType, dataType);
  rec::Put32(buffer, at + nvme::kSpecificRequestValue, value);
  rec::Put32(buffer, at + nvme::kSpecificRequestSubValue, subValue);
  rec::Put32(buffer, at + nvme::kSpecificDataOffset, nvme::kSpecificSize);
  rec::Put32(buffer, at + nvme::kSpecificDataLength, static_cast<std::uint32_t>(data.size()));
  std::uint32_t returned = 0;
  if (!p.DeviceIoControl(handle, nvme::IOCTL_STORAGE_QUERY_PROPERTY, buffer.data(), static_cast<std::uint32_t>(size),
                         buffer.data(), static_cast<std::uint32_t>(size), &returned))
    return false;
  return TakeNvmeData(buffer, returned, data);
}

template <std::size_t N>
bool Into(std::array<std::uint8_t, N>& block, auto&& query) {
  std::array<std::uint8_t, N> work{};
  if (!query(std::span<std::uint8_t>(work))) return false;
  block = work;
  return true;
}

} // namespace

bool TakeNvmeData(std::span<const std::uint8_t> answer, std::uint32_t returned, std::span<std::uint8_t> data) {
  if (returned < nvme::kDescriptorRecordSize || returned > answer.size()) return false;
  if (rec::U32(answer, nvme::kDescriptorVersion) != nvme::kDescriptorRecordSize ||
      rec::U32(answer, nvme::kDescriptorSize) != nvme::kDescriptorRecordSize)
    return false;
  const std::uint64_t offset = rec::U32(answer, nvme::kDescriptorSpecific + nvme::kSpecificDataOffset);
  const std::uint64_t length = rec::U32(answer, nvme::kDescriptorSpecific + nvme::kSpecificDataLength);
  if (offset < nvme::kSpecificSize || length < data.size()) return false;
  const std::uint64_t start = nvme::kDescriptorSpecific + offset;
  if (start + data.size() > returned) return false;
  std::copy_n(answer.begin() + static_cast<std::ptrdiff_t>(start), data.size(), data.begin());
  return true;
}

bool ReadNvmeIdentifyController(win::Platform& platform, win::Handle handle, NvmeIdentifyBlock& block) {
  return Into(block, [&](std::span<std::uint8_t> data) {
    return ProtocolQuery(platform, handle, nvme::StorageAdapterProtocolSpecificProperty, nvme::NVMeDataTypeIdentify,
                         nvme::kCnsController, 0, data);
  });
}

std::uint32_t NvmeNamespaceId(win::Platform& platform, win::Handle handle) {
  std::array<std::uint8_t, nvme::kScsiAddressSize> address{};
  std::uint32_t returned = 0;
  if (!platform.DeviceIoControl(handle, nvme::IOCTL_SCSI_GET_ADDRESS, nullptr, 0, address.data(),
                                static_cast<std::uint32_t>(address.size()), &returned) ||
      returned < nvme::kScsiAddressSize)
    return nvme::kDefaultNamespaceId;
  return std::uint32_t{address[nvme::kScsiAddressLun]} + 1;
}

bool ReadNvmeIdentifyNamespace(win::Platform& platform, win::Handle handle, NvmeIdentifyBlock& block) {
  const std::uint32_t nsid = NvmeNamespaceId(platform, handle);
  return Into(block, [&](std::span<std::uint8_t> data) {
    return ProtocolQuery(platform, handle, nvme::StorageDeviceProtocolSpecificProperty, nvme::NVMeDataTypeIdentify,
                         nvme::kCnsNamespace, nsid, data);
  });
}

bool ReadNvmeHealthLog(win::Platform& platform, win::Handle handle, NvmeLogBlock& block) {
  return ReadNvmeLogPage(platform, handle, nvme::kHealthLogPage, block);
}

bool ReadNvmeLogPage(win::Platform& platform, win::Handle handle, std::uint32_t page, NvmeLogBlock& block) {
  // Sub-value 0: the log from its first byte.
  return Into(block, [&](std::span<std::uint8_t> data) {
    return ProtocolQuery(platform, handle, nvme::StorageAdapterProtocolSpecificProperty, nvme::NVMeDataTypeLogPage,
                         page, 0, data);
  });
}

} // namespace trv::device
