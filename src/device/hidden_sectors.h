// Sectors past the drive's current maximum: a host protected area (HPA) lowers
// the maximum that IDENTIFY DEVICE states, and a device configuration overlay
// (DCO) lowers the native maximum under it; Windows shows the lowered size, so
// an erase never reaches them. Read with READ NATIVE MAX ADDRESS (EXT) and
// DEVICE CONFIGURATION IDENTIFY only: nothing here changes the maximum.
#pragma once
#include <cstdint>
#include <vector>

#include "device/ata.h"
#include "device/hidden_range.h"

namespace trv::device {

// How one of the two reads came out.
enum class HiddenRead {
  NotOffered,   // the drive's IDENTIFY data does not offer the feature set: not asked
  Read,         // the answer is in `nativeSectors` or `dcoSectors`
  Aborted,      // the drive aborted the command
  NoRegisters,  // the request worked, but the driver or bridge handed no registers back
  Failed,       // the system refused the request (`error`)
  BadSignature, // the DCO block does not carry its A5h signature
  BadChecksum,  // the DCO block's checksum does not add up
  BadValue,     // an answer below the current maximum or past 48-bit addressing
};

struct HiddenSectors {
  std::int64_t sectorSize = 512;
  std::int64_t currentSectors = 0;  // from IDENTIFY words 60-61 / 100-103
  HiddenRead native = HiddenRead::NotOffered;
  std::int64_t nativeSectors = 0;
  std::uint32_t nativeError = 0;
  HiddenRead dco = HiddenRead::NotOffered;
  std::int64_t dcoSectors = 0;
  std::uint32_t dcoError = 0;
};

// The HPA range (current to native maximum), then the DCO range (native, or
// current when the native maximum is unknown, to the DCO maximum); either only
// when it holds sectors.
std::vector<HiddenRange> HiddenRanges(const HiddenSectors& hidden);

// The maximum of READ NATIVE MAX ADDRESS (F8h, 28-bit: LBA 27:24 in the device
// register) or its EXT form (27h: LBA 47:24 in the previous registers), as a
// sector count (the address of the last sector plus one).
std::int64_t NativeSectorsFromRegisters(std::uint8_t lbaLow, std::uint8_t lbaMid, std::uint8_t lbaHigh,
                                        std::uint8_t device, bool ext, std::uint8_t prevLow, std::uint8_t prevMid,
                                        std::uint8_t prevHigh);

// The DEVICE CONFIGURATION IDENTIFY block: Read and the sector count of words
// 3-6 (the real maximum address plus one), or why the block is no good.
HiddenRead ParseDcoBlock(const AtaBlock& block, std::int64_t& sectors);

// Reads both through the open handle for a drive whose IDENTIFY data is
// `identify`, stating `currentSectors` of `sectorSize` bytes: directly through
// IOCTL_ATA_PASS_THROUGH, and for a disk on the USB bus (7) whose port refuses
// that, through its bridge's SCSI/ATA Translation.
HiddenSectors ReadHiddenSectors(win::Platform& platform, win::Handle handle, std::uint8_t drive, std::int64_t busType,
                                const AtaBlock& identify, std::int64_t currentSectors, std::int64_t sectorSize);

} // namespace trv::device
