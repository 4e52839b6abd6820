// The storage class stack of a simulated drive: geometry, media length, the
// adapter and device property queries, SCSI inquiry data and SMART_GET_VERSION.
#include "platform/records.h"
#include "platform/sim/drive_ioctl.h"
#include "platform/win_types.h"

namespace trv::sim::ioctl {

namespace {

constexpr std::uint32_t kGetDriveGeometry = 0x00070000;
constexpr std::uint32_t kGetLengthInfo = 0x0007405C;
constexpr std::uint32_t kQueryProperty = 0x002D1400;
constexpr std::uint32_t kGetInquiryData = 0x0004100C;
constexpr std::uint32_t kGetScsiAddress = 0x00041018;
constexpr std::uint32_t kSmartGetVersion = 0x00074080;
constexpr std::uint32_t kIsWritable = 0x00070024;
constexpr std::uint32_t kGetDiskAttributes = 0x000700F0;

// GET_DISK_ATTRIBUTES: Version (its size, 16), Reserved1, Attributes (offline 1, read-only 2).
IoctlResult DiskAttributes(const SimDrive& d, const Request& r) {
  if (r.out.size() < 16) return Failed(win::ERROR_INSUFFICIENT_BUFFER);
  std::vector<std::uint8_t> a(16, 0);
  rec::Put32(a, 0, 16);
  rec::Put64(a, 8, (d.media.offline ? 1u : 0u) | (d.media.readOnly ? 2u : 0u));
  return Deliver(r, a);
}

IoctlResult Geometry(const SimDrive& d, const Request& r) {
  if (r.out.size() < 24) return Failed(win::ERROR_INSUFFICIENT_BUFFER);
  std::vector<std::uint8_t> g(24, 0);  // DISK_GEOMETRY
  rec::Put64(g, 0, static_cast<std::uint64_t>(d.cylinders));
  rec::Put32(g, 8, d.mediaType);
  rec::Put32(g, 12, d.tracksPerCylinder);
  rec::Put32(g, 16, d.sectorsPerTrack);
  rec::Put32(g, 20, d.bytesPerSector);
  return Deliver(r, g);
}

IoctlResult Length(const SimDrive& d, const Request& r) {
  if (r.out.size() < 8) return Failed(win::ERROR_INSUFFICIENT_BUFFER);
  std::vector<std::uint8_t> l(8, 0);  // GET_LENGTH_INFORMATION
  rec::Put64(l, 0, static_cast<std::uint64_t>(d.lengthBytes));
  return Deliver(r, l);
}

// STORAGE_PROPERTY_QUERY: PropertyId, QueryType, AdditionalParameters; 12 bytes.
IoctlResult Property(const SimDrive& d, const Request& r) {
  if (r.in.size() < 12) return Failed(win::ERROR_INVALID_PARAMETER);
  if (auto answer = ProtocolQuery(d, r)) return *answer;
  const std::uint32_t property = rec::U32(r.in, 0);
  const std::uint32_t queryType = rec::U32(r.in, 4);
  if (queryType > 1) return Failed(win::ERROR_INVALID_PARAMETER);
  if (property > 1) return Failed(win::ERROR_NOT_SUPPORTED);
  const DriveRequest which = property == 0 ? DriveRequest::Device : DriveRequest::Adapter;
  if (const auto& failure = ScenarioFailure(d, which)) return Failed(*failure);
  if (queryType == 1) return {true, 0, 0};  // PropertyExistsQuery
  // The header (Version, Size) must fit; a longer descriptor is cut to the output.
  if (r.out.size() < 8) return Failed(win::ERROR_INSUFFICIENT_BUFFER);
  return Deliver(r, property == 0 ? d.deviceDescriptor : d.adapterDescriptor);
}

IoctlResult Whole(const Request& r, const std::vector<std::uint8_t>& answer) {
  if (r.out.size() < answer.size()) return Failed(win::ERROR_INSUFFICIENT_BUFFER);
  return Deliver(r, answer);
}

// SCSI_ADDRESS: Length, PortNumber, PathId, TargetId, Lun. The NVMe port
// driver gives each namespace a logical unit of its own: namespace N is unit N - 1.
IoctlResult ScsiAddress(const SimDrive& d, const Request& r) {
  if (r.out.size() < 8) return Failed(win::ERROR_INSUFFICIENT_BUFFER);
  std::vector<std::uint8_t> a(8, 0);
  a[0] = 8;
  a[4] = static_cast<std::uint8_t>(d.number);
  if (d.nvme) a[7] = static_cast<std::uint8_t>(d.nvme->namespaceId - 1);
  return Deliver(r, a);
}

} // namespace

std::optional<IoctlResult> StorageIoctl(const SimDrive& d, const Request& r) {
  switch (r.code) {
    case kGetDriveGeometry:
      if (const auto& failure = ScenarioFailure(d, DriveRequest::Geometry)) return Failed(*failure);
      return Geometry(d, r);
    case kGetLengthInfo:
      if (const auto& failure = ScenarioFailure(d, DriveRequest::Length)) return Failed(*failure);
      return Length(d, r);
    case kQueryProperty:
      return Property(d, r);
    case kGetScsiAddress:
      return ScsiAddress(d, r);
    case kGetInquiryData:
      if (const auto& failure = ScenarioFailure(d, DriveRequest::Inquiry)) return Failed(*failure);
      return Whole(r, d.inquiryData);
    case kIsWritable:
      // The disk driver asks the medium, and honours the read-only attribute.
      if (d.media.writeProtected || d.media.readOnly) return Failed(win::ERROR_WRITE_PROTECT);
      return IoctlResult{true, 0, 0};
    case kGetDiskAttributes:
      if (!d.diskAttributes) return std::nullopt;  // before Windows 7: an unknown code
      return DiskAttributes(d, r);
    case kSmartGetVersion:
      if (const auto& failure = ScenarioFailure(d, DriveRequest::SmartVersion)) return Failed(*failure);
      if (!d.smartVersion) return Failed(win::ERROR_INVALID_FUNCTION);
      return Whole(r, *d.smartVersion);
    default:
      return std::nullopt;
  }
}

} // namespace trv::sim::ioctl
