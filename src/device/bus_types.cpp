#include "device/device_records.h"

namespace trv::device {

std::u16string GetBusTypeName(std::int64_t busType) {
  // Only the low 32 bits take part, as the bus number is a 32-bit value on the wire.
  switch (static_cast<std::uint32_t>(busType)) {
    case 1: return u"SCSI";
    case 2: return u"ATAPI";
    case 3: return u"ATA";
    case 4: return u"IEEE 1394";
    case 5: return u"SSA";
    case 6: return u"FIBRE";
    case 7: return u"USB";
    case 8: return u"RAID";
    case 9: return u"ISCSI";
    case 10: return u"SAS";
    case 11: return u"SATA";
    case 12: return u"SD";
    case 13: return u"MMC";
    case 14: return u"VIRTUAL";
    case 15: return u"FBVIRTUAL";
    // Bus types of Windows 10 and later; 16 (Spaces) stays "UNKNOWN".
    case 17: return u"NVMe";
    case 18: return u"SCM";
    case 19: return u"UFS";
    case 200: return u"IMAGE";
    case 201: return u"FLASH";
    default: return u"UNKNOWN";
  }
}

} // namespace trv::device
