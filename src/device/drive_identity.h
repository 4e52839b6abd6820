// What a drive says of itself, asked directly: its model, serial and firmware
// from ATA IDENTIFY DEVICE (through the disk driver or a USB bridge's SCSI/ATA
// Translation) or NVMe Identify Controller, and what kind of medium it is.
// Windows' own view (the storage descriptor) may name a USB bridge instead:
// the bridge's serial, a model cut in two.
#pragma once
#include <optional>
#include <string>

#include "device/ata.h"
#include "device/device_records.h"
#include "device/nvme_parse.h"
#include "platform/platform.h"

namespace trv::device {

enum class IdentitySource {
  Ata,   // IDENTIFY DEVICE through the disk driver
  Sat,   // IDENTIFY DEVICE through a USB bridge (ATA PASS-THROUGH)
  Nvme,  // NVMe Identify Controller
};

enum class MediaType { Unknown, HardDisk, SataSsd, Nvme };

// The drive's own texts, trimmed of blanks and control characters at both ends.
struct DriveOwnIdentity {
  std::u16string model, serial, firmware;
  IdentitySource source = IdentitySource::Ata;
  bool operator==(const DriveOwnIdentity&) const = default;
};

struct DriveFacts {
  std::optional<DriveOwnIdentity> own;  // none: the drive could not be asked, or told nothing
  MediaType media = MediaType::Unknown;
};

// IDENTIFY DEVICE as the details report reads it: the disk driver, then a USB
// disk's bridge, then on the ATA bus (3) the disk driver once more. Which path
// answered; none, `block` untouched, when none did.
std::optional<IdentitySource> ReadAtaIdentifyBlock(win::Platform& platform, win::Handle handle,
                                                   const TIdentifyDeviceData& id, AtaBlock& block);

// From a block already read. Word 217 (nominal media rotation rate) decides:
// 1 is a solid state drive, 0401h-FFFEh a rotating one; a drive that does not
// state it (older than ATA8-ACS) counts as solid state only when it offers
// TRIM (word 169 bit 0), else as unknown.
DriveFacts AtaDriveFacts(win::Platform& platform, const AtaBlock& block, IdentitySource source);
DriveFacts NvmeDriveFacts(const NvmeController& controller);

// Asks the drive through `handle` (opened for reading and writing): NVMe
// Identify Controller on the NVMe bus (17), IDENTIFY DEVICE otherwise or where
// that query is unknown. An NVMe disk is NVMe media even when it cannot be asked.
DriveFacts ReadDriveFacts(win::Platform& platform, win::Handle handle, const TIdentifyDeviceData& id);

// The same through a handle of its own: \\.\PhysicalDriveN opened for reading
// and writing, shared, and closed again. A disk that does not open tells nothing.
DriveFacts AskDrive(win::Platform& platform, std::uint32_t number, const TIdentifyDeviceData& id);

// "hdd", "ssd", "nvme", "unknown"; and for people "hard disk", "SATA SSD", "NVMe SSD", "unknown".
const char* MediaWord(MediaType media);
const char16_t* MediaText(MediaType media);
// "ata", "sat", "nvme"; and for people.
const char* SourceWord(IdentitySource source);
const char16_t* SourceText(IdentitySource source);

} // namespace trv::device
