// The NVMe side of a simulated drive on Windows 10 and later: the
// protocol-specific property queries of IOCTL_STORAGE_QUERY_PROPERTY, answered
// with a STORAGE_PROTOCOL_DATA_DESCRIPTOR followed by the data. Windows 7 and 8
// do not know these properties; there the storage stack answers as for any
// unknown property.
#include <algorithm>

#include "platform/records.h"
#include "platform/sim/drive_ioctl.h"
#include "platform/win_types.h"

namespace trv::sim::ioctl {

namespace {

constexpr std::uint32_t kAdapterProtocolProperty = 49, kDeviceProtocolProperty = 50;
constexpr std::uint32_t kProtocolNvme = 3, kDataIdentify = 1, kDataLogPage = 2;
constexpr std::uint32_t kCnsNamespace = 0, kCnsController = 1, kHealthLog = 2, kSanitizeLog = 0x81;
constexpr std::size_t kSpecific = 8;        // STORAGE_PROTOCOL_SPECIFIC_DATA in the query and the answer
constexpr std::size_t kSpecificSize = 40;
constexpr std::uint32_t kDescriptorSize = 48;  // STORAGE_PROTOCOL_DATA_DESCRIPTOR

// The block a request asks for, or the error the driver refuses it with.
struct Selection {
  const std::vector<std::uint8_t>* block = nullptr;
  std::uint32_t error = 0;
};

Selection Select(const SimDrive& d, std::uint32_t property, std::uint32_t dataType, std::uint32_t value,
                 std::uint32_t subValue) {
  const SimNvme& n = *d.nvme;
  const bool sanitizeLog = dataType == kDataLogPage && value == kSanitizeLog;
  // While a sanitize runs the controller answers little but the log that follows it.
  if (d.runtime.sanitizeBusy && !sanitizeLog) return {nullptr, *d.runtime.sanitizeBusy};
  if (sanitizeLog) {
    if (subValue != 0) return {nullptr, win::ERROR_INVALID_PARAMETER};
    return d.runtime.sanitizeLog ? Selection{&*d.runtime.sanitizeLog} : Selection{nullptr, win::ERROR_NOT_SUPPORTED};
  }
  if (dataType == kDataIdentify) {
    if (property == kAdapterProtocolProperty && value == kCnsController) return {&n.controller};
    if (property == kDeviceProtocolProperty && value == kCnsNamespace)
      return subValue == n.namespaceId ? Selection{&n.ns} : Selection{nullptr, win::ERROR_INVALID_PARAMETER};
    return {nullptr, win::ERROR_NOT_SUPPORTED};
  }
  if (dataType == kDataLogPage && value == kHealthLog)
    return subValue == 0 ? Selection{&n.healthLog} : Selection{nullptr, win::ERROR_INVALID_PARAMETER};
  return {nullptr, win::ERROR_NOT_SUPPORTED};
}

IoctlResult Answer(const SimDrive& d, const Request& r) {
  if (const auto& failure = ScenarioFailure(d, DriveRequest::ProtocolQuery)) return Failed(*failure);
  if (r.in.size() < kSpecific + kSpecificSize) return Failed(win::ERROR_INVALID_PARAMETER);
  if (rec::U32(r.in, 4) != 0) return Failed(win::ERROR_INVALID_PARAMETER);  // only the standard query
  if (rec::U32(r.in, kSpecific) != kProtocolNvme) return Failed(win::ERROR_INVALID_PARAMETER);
  const std::uint32_t offset = rec::U32(r.in, kSpecific + 16);
  const std::uint32_t length = rec::U32(r.in, kSpecific + 20);
  if (offset < kSpecificSize) return Failed(win::ERROR_INVALID_PARAMETER);
  const SimNvme& n = *d.nvme;
  const Selection s = Select(d, rec::U32(r.in, 0), rec::U32(r.in, kSpecific + 4), rec::U32(r.in, kSpecific + 8),
                             rec::U32(r.in, kSpecific + 12));
  if (!s.block) return Failed(s.error);
  if (s.block->empty()) return Failed(win::ERROR_IO_DEVICE);  // the drive has no such data
  if (length < s.block->size()) return Failed(win::ERROR_INVALID_PARAMETER);
  const std::uint64_t needed = kSpecific + std::uint64_t{offset} + s.block->size();
  if (r.out.size() < needed) return Failed(win::ERROR_INSUFFICIENT_BUFFER);

  std::vector<std::uint8_t> answer(static_cast<std::size_t>(needed), 0);
  rec::Put32(answer, 0, kDescriptorSize);
  rec::Put32(answer, 4, kDescriptorSize);
  std::copy_n(r.in.begin() + kSpecific, kSpecificSize, answer.begin() + kSpecific);
  rec::Put32(answer, kSpecific + 16, n.answerOffset ? n.answerOffset : offset);
  rec::Put32(answer, kSpecific + 20, n.answerLength ? n.answerLength : static_cast<std::uint32_t>(s.block->size()));
  std::copy(s.block->begin(), s.block->end(), answer.begin() + kSpecific + offset);
  return Deliver(r, answer, n.answerBytes);
}

} // namespace

std::optional<IoctlResult> ProtocolQuery(const SimDrive& d, const Request& r) {
  const std::uint32_t property = rec::U32(r.in, 0);
  if (property != kAdapterProtocolProperty && property != kDeviceProtocolProperty) return std::nullopt;
  if (!d.protocolQueries || !d.nvme) return std::nullopt;  // an unknown property, as for any other
  return Answer(d, r);
}

} // namespace trv::sim::ioctl
