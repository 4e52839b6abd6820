// The reads of device/hidden_sectors.cpp for a disk behind a USB bridge, through
// the SCSI/ATA Translation's ATA PASS-THROUGH.
#pragma once
#include "device/ata_pass_through.h"

namespace trv::device {

// As AtaNonData and AtaDataIn, through the bridge.
AtaAnswer SatNonData(win::Platform& platform, win::Handle handle, const AtaTaskFile& command, bool ext);
AtaAnswer SatDataIn(win::Platform& platform, win::Handle handle, const AtaTaskFile& command, AtaBlock& block,
                    bool& moved);

} // namespace trv::device
