#include "device/drive_identity.h"

#include "device/ata_any_path.h"
#include "device/enumeration.h"
#include "device/identify_parse.h"
#include "device/nvme.h"
#include "device/sat.h"

namespace trv::device {

namespace {

constexpr std::int64_t kAtaBus = 3;
constexpr std::size_t kRotationRateWord = 217;
constexpr std::size_t kDataSetManagementWord = 169;

std::uint16_t Word(const AtaBlock& b, std::size_t n) { return static_cast<std::uint16_t>(b[2 * n] | (b[2 * n + 1] << 8)); }

MediaType AtaMedia(const AtaBlock& block) {
  const std::uint16_t rate = Word(block, kRotationRateWord);
  if (rate == 1) return MediaType::SataSsd;
  if (rate >= 0x0401 && rate <= 0xFFFE) return MediaType::HardDisk;
  if (Word(block, kDataSetManagementWord) & 1) return MediaType::SataSsd;
  return MediaType::Unknown;
}

// A block whose three texts are all empty names nobody.
std::optional<DriveOwnIdentity> Named(DriveOwnIdentity own) {
  if (own.model.empty() && own.serial.empty() && own.firmware.empty()) return std::nullopt;
  return own;
}

} // namespace

std::optional<IdentitySource> ReadAtaIdentifyBlock(win::Platform& platform, win::Handle handle,
                                                   const TIdentifyDeviceData& id, AtaBlock& block) {
  if (ReadIdentify(platform, handle, id.IsIDESlave, block)) return IdentitySource::Ata;
  if (id.BusType == kUsbBus && sat::ReadIdentify(platform, handle, id.IsIDESlave, block)) return IdentitySource::Sat;
  if (id.BusType == kAtaBus && ReadIdentify(platform, handle, id.IsIDESlave, block)) return IdentitySource::Ata;
  return std::nullopt;
}

DriveFacts AtaDriveFacts(win::Platform& platform, const AtaBlock& block, IdentitySource source) {
  const T_IDE_PASSPORT passport = ParseIdentifyData(block, platform);
  return {Named({passport.name, passport.sn, passport.fw, source}), AtaMedia(block)};
}

DriveFacts NvmeDriveFacts(const NvmeController& c) {
  return {Named({c.model, c.serial, c.firmware, IdentitySource::Nvme}), MediaType::Nvme};
}

DriveFacts ReadDriveFacts(win::Platform& platform, win::Handle handle, const TIdentifyDeviceData& id) {
  const bool nvme = id.BusType == kNvmeBus;
  if (nvme) {
    NvmeIdentifyBlock block{};
    if (ReadNvmeIdentifyController(platform, handle, block)) return NvmeDriveFacts(ParseNvmeController(block));
  }
  AtaBlock block{};
  DriveFacts facts;
  if (const auto source = ReadAtaIdentifyBlock(platform, handle, id, block))
    facts = AtaDriveFacts(platform, block, *source);
  if (nvme) facts.media = MediaType::Nvme;
  return facts;
}

DriveFacts AskDrive(win::Platform& platform, std::uint32_t number, const TIdentifyDeviceData& id) {
  const win::Handle handle = platform.CreateFileW(DevicePath(number), win::GENERIC_READ | win::GENERIC_WRITE,
                                                  win::FILE_SHARE_READ | win::FILE_SHARE_WRITE, win::OPEN_EXISTING, 0);
  if (handle == win::kInvalidHandle) return {std::nullopt, id.BusType == kNvmeBus ? MediaType::Nvme : MediaType::Unknown};
  const DriveFacts facts = ReadDriveFacts(platform, handle, id);
  platform.CloseHandle(handle);
  return facts;
}

const char* MediaWord(MediaType media) {
  switch (media) {
    case MediaType::HardDisk: return "hdd";
    case MediaType::SataSsd: return "ssd";
    case MediaType::Nvme: return "nvme";
    case MediaType::Unknown: break;
  }
  return "unknown";
}

const char16_t* MediaText(MediaType media) {
  switch (media) {
    case MediaType::HardDisk: return u"hard disk";
    case MediaType::SataSsd: return u"SATA SSD";
    case MediaType::Nvme: return u"NVMe SSD";
    case MediaType::Unknown: break;
  }
  return u"unknown";
}

const char* SourceWord(IdentitySource source) {
  switch (source) {
    case IdentitySource::Sat: return "sat";
    case IdentitySource::Nvme: return "nvme";
    case IdentitySource::Ata: break;
  }
  return "ata";
}

const char16_t* SourceText(IdentitySource source) {
  switch (source) {
    case IdentitySource::Sat: return u"the drive, through its USB bridge (ATA IDENTIFY DEVICE by SAT)";
    case IdentitySource::Nvme: return u"the drive (NVMe Identify Controller)";
    case IdentitySource::Ata: break;
  }
  return u"the drive (ATA IDENTIFY DEVICE)";
}

} // namespace trv::device
