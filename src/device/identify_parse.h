// Decoding of the 512-byte ATA IDENTIFY DEVICE block into a T_IDE_PASSPORT.
#pragma once
#include <cstdint>
#include <string>

#include "device/ata.h"
#include "device/device_records.h"
#include "platform/platform.h"

namespace trv::device {

// A function of the block alone, but for its texts: the model, firmware and
// serial bytes are converted in the system's ANSI code page (the platform's
// MultiByteToWideChar with CP_ACP), so GBK on a Chinese Windows. No device
// access, no logging, no failure. Every field of the result is written; fields
// without a source keep their empty value.
T_IDE_PASSPORT ParseIdentifyData(const AtaBlock& block, win::Platform& platform);

} // namespace trv::device
