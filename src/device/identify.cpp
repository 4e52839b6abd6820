#include "device/identify.h"

#include <algorithm>
#include <array>
#include <span>
#include <vector>

#include "device/storage_records.h"
#include "platform/records.h"
#include "platform/text.h"

namespace trv::device {

namespace {

using Buffer = std::array<std::uint8_t, 512>;
// The most a device descriptor is asked for: its texts are short, so a larger
// size is a driver's mistake, not a reason to allocate.
constexpr std::uint32_t kLargestDescriptor = 65'536;

// The adapter descriptor used when the adapter query fails: bus 201 ("FLASH"),
// 64 KiB transfers.
std::array<std::uint8_t, storage::kAdapterDescriptorSize> DefaultAdapterDescriptor() {
  std::array<std::uint8_t, storage::kAdapterDescriptorSize> d{};
  rec::Put32(d, storage::kAdapterVersion, 32);
  rec::Put32(d, storage::kAdapterSize, 32);
  rec::Put32(d, storage::kAdapterMaximumTransferLength, 0x10000);
  rec::Put32(d, storage::kAdapterMaximumPhysicalPages, 1);
  rec::Put32(d, storage::kAdapterAlignmentMask, 1);
  rec::Put8(d, storage::kAdapterBusType, 201);
  return d;
}

std::u16string Flag(bool succeeded) { return succeeded ? u"-1" : u"0"; }

// Sends one storage request with the work buffer, cleared first, as its output.
// Only the bytes the driver reports are its answer: the rest is cleared again,
// so a field past the end of a short answer reads 0, as in a zeroed answer, and
// never what a driver left there without counting it.
bool Ask(win::Platform& p, win::Handle handle, std::uint32_t code, const void* in, std::uint32_t inSize, Buffer& work) {
  work.fill(0);
  std::uint32_t returned = 0;
  const bool ok = p.DeviceIoControl(handle, code, in, inSize, work.data(), static_cast<std::uint32_t>(work.size()),
                                    &returned);
  const std::size_t answered = ok ? std::min<std::size_t>(returned, work.size()) : 0;
  std::fill(work.begin() + static_cast<std::ptrdiff_t>(answered), work.end(), std::uint8_t{0});
  return ok;
}

// Whether an inquiry answer of `returned` bytes has the record of its first
// unit at byte 12, where the probe reads its TargetId: exactly one bus, with at
// least one unit, whose first record starts at 12 and whose header the answer holds.
bool FirstUnitAtTwelve(std::span<const std::uint8_t> answer, std::uint32_t returned) {
  return returned >= storage::kFirstInquiryRecord + storage::kInquiryRecordHeader &&
         rec::U8(answer, storage::kInquiryNumberOfBuses) == 1 && rec::U8(answer, storage::kInquiryFirstBusUnits) >= 1 &&
         rec::U32(answer, storage::kInquiryFirstBusOffset) == storage::kFirstInquiryRecord;
}

// One descriptor text: from `offset` up to and including position `size`,
// stopping before the first zero byte and at the end of the buffer. Offset 0
// means the text is absent. Each byte becomes the character of the same code.
std::u16string DescriptorText(std::span<const std::uint8_t> b, std::uint32_t offset, std::uint32_t size) {
  std::u16string text;
  if (offset == 0) return text;
  for (std::size_t i = offset; i <= size && i < b.size() && b[i] != 0; ++i) text.push_back(b[i]);
  return text;
}

// A device descriptor whose first answer says it is larger than the work
// buffer (long texts, a serial far in) is asked for again with room for all of
// it; empty when the first answer was whole, or the second request failed.
std::vector<std::uint8_t> LargerDescriptor(win::Platform& p, win::Handle handle,
                                           const std::array<std::uint8_t, storage::kPropertyQuerySize>& query,
                                           const Buffer& first) {
  const std::uint32_t size = rec::U32(first, storage::kDeviceSize);
  if (size <= first.size() || size > kLargestDescriptor) return {};
  std::vector<std::uint8_t> whole(size, 0);
  std::uint32_t returned = 0;
  if (!p.DeviceIoControl(handle, storage::IOCTL_STORAGE_QUERY_PROPERTY, query.data(), storage::kPropertyQuerySize,
                         whole.data(), size, &returned))
    return {};
  // As in Ask: only the bytes the driver reports are its answer.
  std::fill(whole.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(returned, size)), whole.end(),
            std::uint8_t{0});
  return whole;
}

int HexValue(char16_t c) { return c <= u'9' ? c - u'0' : c - u'A' + 10; }

// A serial given as 40 hex digits of byte-swapped words becomes its 20-character
// text; blanks and underscores count as the digit 2. Anything else stays as it is.
std::u16string DecodeHexSerial(const std::u16string& serial) {
  std::u16string copy = AsciiUpper(serial);
  for (auto& c : copy)
    if (c == u'_') c = u'2';
  for (auto& c : copy)
    if (c == u' ') c = u'2';
  if (copy.size() != 40) return serial;
  for (char16_t c : copy)
    if (!((c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F'))) return serial;
  std::u16string decoded;
  for (std::size_t g = 0; g < 40; g += 4) {
    decoded.push_back(static_cast<char16_t>(HexValue(copy[g + 2]) * 16 + HexValue(copy[g + 3])));
    decoded.push_back(static_cast<char16_t>(HexValue(copy[g]) * 16 + HexValue(copy[g + 1])));
  }
  return TrimControl(decoded);
}

} // namespace

std::int64_t IdentifyDevice(DeviceEnv& env, win::Handle handle, std::u16string_view devicePath,
                            TIdentifyDeviceData& data) {
  (void)devicePath;  // the handle is all the queries need
  win::Platform& p = env.platform;
  const auto& log = env.debugLog;
  TIdentifyDeviceData local;
  Buffer work{};
  // The last error of a failed request; a failure whose last error is 0 counts as answered.
  auto errorOf = [&](bool ok) { return ok ? std::uint32_t{0} : p.GetLastError(); };

  log(u"Getting geometry...");
  bool ok = Ask(p, handle, storage::IOCTL_DISK_GET_DRIVE_GEOMETRY, work.data(), 512, work);
  if (errorOf(ok) != 0) return -1;
  log(u"Done " + Flag(ok));
  const std::int64_t sectorSize = rec::U32(work, storage::kGeometryBytesPerSector);
  log(u"Sector size = " + DecimalText(sectorSize));

  log(u"Getting disk length...");
  ok = Ask(p, handle, storage::IOCTL_DISK_GET_LENGTH_INFO, work.data(), 512, work);
  if (const std::uint32_t error = errorOf(ok)) {
    log(u"Error accessing device: " + p.SystemMessage(error));
    return -1;
  }
  log(u"Done " + Flag(ok));
  const std::int64_t mediaLength = rec::I64(work, storage::kLengthInfoLength);
  log(u"Media \"Length\" = " + DecimalText(mediaLength));

  std::array<std::uint8_t, storage::kPropertyQuerySize> query{};
  log(u"Querying storage property (adapter)...");
  std::array<std::uint8_t, storage::kAdapterDescriptorSize> adapter{};
  ok = ReadAdapterDescriptor(p, handle, adapter);
  log((ok ? u"Done " : u"Skipped ") + Flag(ok));

  log(u"Querying storage property (device)...");
  rec::Put32(query, storage::kQueryPropertyId, storage::StorageDeviceProperty);
  ok = Ask(p, handle, storage::IOCTL_STORAGE_QUERY_PROPERTY, query.data(), storage::kPropertyQuerySize, work);
  if (const std::uint32_t error = errorOf(ok)) {
    env.errorAndExit(u"Error accessing device: " + p.SystemMessage(error), u"Error");
    return -1;  // only reached where ending the program is not possible
  }
  log(u"Done " + Flag(ok));
  std::vector<std::uint8_t> whole = LargerDescriptor(p, handle, query, work);
  const std::span<const std::uint8_t> answer = whole.empty() ? std::span<const std::uint8_t>(work) : whole;
  log(u"Parsing data...");
  std::array<std::uint8_t, storage::kDeviceDescriptorSize> device{};
  std::copy_n(answer.begin(), device.size(), device.begin());

  const std::uint32_t size = rec::U32(device, storage::kDeviceSize);
  const std::u16string vendor =
      TrimControl(DescriptorText(answer, rec::U32(device, storage::kDeviceVendorIdOffset), size)) + u" ";
  const std::u16string product = TrimControl(DescriptorText(answer, rec::U32(device, storage::kDeviceProductIdOffset), size));
  const std::u16string revision =
      TrimControl(DescriptorText(answer, rec::U32(device, storage::kDeviceProductRevisionOffset), size));
  std::u16string serial = TrimControl(DescriptorText(answer, rec::U32(device, storage::kDeviceSerialNumberOffset), size));
  log(u"VendorID: " + vendor);
  log(u"ProductID: " + product);
  log(u"ProductRevision: " + revision);
  log(u"SerialNumber: " + serial);

  // A negative length is no length at all: no sectors, like a zero sector size.
  const std::int64_t sectors = sectorSize >= 512 && mediaLength > 0 ? mediaLength / sectorSize : 0;
  log(u"Sectors: " + DecimalText(sectors));
  log(u"SectorSize: " + DecimalText(sectorSize));

  local.BusType = rec::U8(adapter, storage::kAdapterBusType);
  if (local.BusType == 3 || local.BusType == 11) local.IsIDESlave = DetectIDESlave(p, handle);
  local.RemovableMedia = rec::U8(device, storage::kDeviceRemovableMedia) != 0;

  const std::int64_t usedSectorSize = sectorSize < 512 ? 512 : sectorSize;
  const std::int64_t maxTransfer = rec::U32(adapter, storage::kAdapterMaximumTransferLength) / usedSectorSize;
  local.MaximumSectorsTransfer = maxTransfer > 250 ? 250 : maxTransfer;
  log(u"MaxTransfer: " + DecimalText(local.MaximumSectorsTransfer));

  local.LBA = sectors;
  local.SectorSize = usedSectorSize;
  local.Model = vendor + product;
  if (TrimControl(local.Model).empty()) local.Model = u"Storage Device";
  local.FW = TrimControl(revision).empty() ? u"0000" : revision;
  if (serial.size() == 40) {
    log(u"Performing the WinXP SN trick...");
    serial = DecodeHexSerial(serial);
  }
  local.SN = TrimControl(serial).empty() ? u"000000" : serial;
  data = local;
  return 0;
}

bool ReadAdapterDescriptor(win::Platform& platform, win::Handle handle,
                           std::array<std::uint8_t, storage::kAdapterDescriptorSize>& adapter) {
  std::array<std::uint8_t, storage::kPropertyQuerySize> query{};
  rec::Put32(query, storage::kQueryPropertyId, storage::StorageAdapterProperty);
  rec::Put32(query, storage::kQueryType, storage::PropertyStandardQuery);
  Buffer work{};
  const bool ok = Ask(platform, handle, storage::IOCTL_STORAGE_QUERY_PROPERTY, query.data(),
                      storage::kPropertyQuerySize, work);
  if (ok) std::copy_n(work.begin(), adapter.size(), adapter.begin());
  else adapter = DefaultAdapterDescriptor();
  return ok;
}

std::int64_t StorageBusType(win::Platform& platform, win::Handle handle) {
  std::array<std::uint8_t, storage::kAdapterDescriptorSize> adapter{};
  ReadAdapterDescriptor(platform, handle, adapter);
  return rec::U8(adapter, storage::kAdapterBusType);
}

std::uint8_t DetectIDESlave(win::Platform& platform, win::Handle handle) {
  std::uint32_t returned = 0;
  std::array<std::uint8_t, storage::kSmartVersionAnswerSize> version{};
  // A device map the answer does not reach names no slave.
  if (platform.DeviceIoControl(handle, storage::SMART_GET_VERSION, nullptr, 0, version.data(),
                               static_cast<std::uint32_t>(version.size()), &returned))
    return returned > storage::kVersionIdeDeviceMap && (version[storage::kVersionIdeDeviceMap] & storage::kSlavePositions)
               ? 1
               : 0;
  std::array<std::uint8_t, storage::kInquiryAnswerSize> inquiry{};
  returned = 0;
  if (platform.DeviceIoControl(handle, storage::IOCTL_SCSI_GET_INQUIRY_DATA, nullptr, 0, inquiry.data(),
                               static_cast<std::uint32_t>(inquiry.size()), &returned) &&
      FirstUnitAtTwelve(inquiry, returned))
    return inquiry[storage::kFirstInquiryTargetId] & 1;
  return 0;
}

} // namespace trv::device
