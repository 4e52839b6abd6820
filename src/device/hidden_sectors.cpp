#include "device/hidden_sectors.h"

#include <functional>
#include <limits>

#include "device/ata_any_path.h"
#include "device/ata_pass_through.h"
#include "device/hidden_sectors_sat.h"
#include "platform/records.h"

namespace trv::device {

namespace {

constexpr std::uint8_t kReadNativeMax = 0xF8, kReadNativeMaxExt = 0x27;
constexpr std::uint8_t kDeviceConfiguration = 0xB1, kDcoIdentify = 0xC2;
constexpr std::int64_t kLba48Sectors = std::int64_t{1} << 48;
constexpr std::uint8_t kLbaDevice = 0xE0;  // LBA addressing, bits 7 and 5 set

std::uint16_t Word(const AtaBlock& b, std::size_t n) { return rec::U16(b, 2 * n); }
bool Bit(std::uint16_t word, int bit) { return ((word >> bit) & 1u) != 0; }

// Words 82 to 84 count only with word 83's 01b signature.
bool CommandSetWordsValid(const AtaBlock& id) { return (Word(id, 83) >> 14) == 0b01; }
bool OffersHpa(const AtaBlock& id) { return CommandSetWordsValid(id) && Bit(Word(id, 82), 10); }
bool OffersDco(const AtaBlock& id) {
  return (CommandSetWordsValid(id) && Bit(Word(id, 83), 11)) || ((Word(id, 87) >> 14) == 0b01 && Bit(Word(id, 86), 11));
}
bool Uses48Bit(const AtaBlock& id) { return CommandSetWordsValid(id) && Bit(Word(id, 83), 10); }

// The two ways a command reaches the drive.
struct Transport {
  std::function<AtaAnswer(const AtaTaskFile&, bool ext)> nonData;
  std::function<AtaAnswer(const AtaTaskFile&, AtaBlock&, bool& moved)> dataIn;
};

Transport Direct(win::Platform& p, win::Handle handle) {
  return {[&p, handle](const AtaTaskFile& c, bool ext) { return AtaNonData(p, handle, c, ext); },
          [&p, handle](const AtaTaskFile& c, AtaBlock& b, bool& moved) { return AtaDataIn(p, handle, c, b, moved); }};
}

Transport Bridge(win::Platform& p, win::Handle handle) {
  return {[&p, handle](const AtaTaskFile& c, bool ext) { return SatNonData(p, handle, c, ext); },
          [&p, handle](const AtaTaskFile& c, AtaBlock& b, bool& moved) { return SatDataIn(p, handle, c, b, moved); }};
}

// How a request that brought no usable answer ended.
HiddenRead NoAnswer(const AtaAnswer& a) {
  if (a.outcome == AtaAnswer::Outcome::Failed) return HiddenRead::Failed;
  if (a.outcome == AtaAnswer::Outcome::NoRegisters) return HiddenRead::NoRegisters;
  return HiddenRead::Aborted;
}

void ReadNative(const Transport& t, std::uint8_t drive, bool ext, HiddenSectors& h) {
  AtaTaskFile command;
  command.device = static_cast<std::uint8_t>(kLbaDevice | ((drive & 1) << 4));
  command.command = ext ? kReadNativeMaxExt : kReadNativeMax;
  const AtaAnswer a = t.nonData(command, ext);
  if (a.outcome != AtaAnswer::Outcome::Registers || a.Aborted()) {
    h.native = NoAnswer(a);
    h.nativeError = a.error;
    return;
  }
  const AtaTaskFile& c = a.current;
  const AtaTaskFile& p = a.previous;
  h.nativeSectors = NativeSectorsFromRegisters(c.lbaLow, c.lbaMid, c.lbaHigh, c.device, ext, p.lbaLow, p.lbaMid, p.lbaHigh);
  // Less than IDENTIFY states is no native maximum a drive can have.
  h.native = h.nativeSectors >= h.currentSectors ? HiddenRead::Read : HiddenRead::BadValue;
}

void ReadDco(const Transport& t, std::uint8_t drive, HiddenSectors& h) {
  AtaTaskFile command;
  command.features = kDcoIdentify;
  command.device = static_cast<std::uint8_t>(0xA0 | ((drive & 1) << 4));
  command.command = kDeviceConfiguration;
  AtaBlock block{};
  bool moved = false;
  const AtaAnswer a = t.dataIn(command, block, moved);
  if (!moved) {
    h.dco = NoAnswer(a);
    h.dcoError = a.error;
    return;
  }
  h.dco = ParseDcoBlock(block, h.dcoSectors);
  if (h.dco != HiddenRead::Read) return;
  const std::int64_t floor = h.native == HiddenRead::Read ? h.nativeSectors : h.currentSectors;
  if (h.dcoSectors < floor) h.dco = HiddenRead::BadValue;
}

// Whether the bridge gets its turn: the port refused the request itself.
bool TryBridge(std::int64_t busType, HiddenRead direct) { return busType == kUsbBus && direct == HiddenRead::Failed; }

} // namespace

std::int64_t NativeSectorsFromRegisters(std::uint8_t lbaLow, std::uint8_t lbaMid, std::uint8_t lbaHigh,
                                        std::uint8_t device, bool ext, std::uint8_t prevLow, std::uint8_t prevMid,
                                        std::uint8_t prevHigh) {
  std::int64_t lba = std::int64_t{lbaLow} | std::int64_t{lbaMid} << 8 | std::int64_t{lbaHigh} << 16;
  if (ext)
    lba |= std::int64_t{prevLow} << 24 | std::int64_t{prevMid} << 32 | std::int64_t{prevHigh} << 40;
  else
    lba |= std::int64_t{device & 0x0F} << 24;
  return lba + 1;
}

HiddenRead ParseDcoBlock(const AtaBlock& block, std::int64_t& sectors) {
  if (block[510] != 0xA5) return HiddenRead::BadSignature;
  std::uint8_t sum = 0;
  for (std::uint8_t b : block) sum = static_cast<std::uint8_t>(sum + b);
  if (sum != 0) return HiddenRead::BadChecksum;
  const std::uint64_t maxLba = rec::U64(block, 2 * 3);
  if (maxLba >= static_cast<std::uint64_t>(kLba48Sectors)) return HiddenRead::BadValue;
  sectors = static_cast<std::int64_t>(maxLba) + 1;
  return HiddenRead::Read;
}

std::vector<HiddenRange> HiddenRanges(const HiddenSectors& h) {
  std::vector<HiddenRange> out;
  std::int64_t reached = h.currentSectors;
  if (h.native == HiddenRead::Read && h.nativeSectors > reached) {
    out.push_back({HiddenBy::HostProtectedArea, reached, h.nativeSectors, h.sectorSize});
    reached = h.nativeSectors;
  }
  if (h.dco == HiddenRead::Read && h.dcoSectors > reached)
    out.push_back({h.native == HiddenRead::Read ? HiddenBy::ConfigurationOverlay : HiddenBy::EitherOfThem, reached,
                   h.dcoSectors, h.sectorSize});
  return out;
}

HiddenSectors ReadHiddenSectors(win::Platform& platform, win::Handle handle, std::uint8_t drive, std::int64_t busType,
                                const AtaBlock& identify, std::int64_t currentSectors, std::int64_t sectorSize) {
  HiddenSectors h;
  h.currentSectors = currentSectors;
  h.sectorSize = sectorSize > 0 ? sectorSize : 512;
  const Transport direct = Direct(platform, handle);
  if (OffersHpa(identify)) {
    ReadNative(direct, drive, Uses48Bit(identify), h);
    if (TryBridge(busType, h.native)) ReadNative(Bridge(platform, handle), drive, Uses48Bit(identify), h);
  }
  if (OffersDco(identify)) {
    ReadDco(direct, drive, h);
    if (TryBridge(busType, h.dco)) ReadDco(Bridge(platform, handle), drive, h);
  }
  // A maximum whose bytes do not fit a 64-bit offset (a broken sector size
  // beside a large address) cannot be a real disk's: not a range to count.
  const std::int64_t mostSectors = std::numeric_limits<std::int64_t>::max() / h.sectorSize;
  if (h.native == HiddenRead::Read && h.nativeSectors > mostSectors) h.native = HiddenRead::BadValue;
  if (h.dco == HiddenRead::Read && h.dcoSectors > mostSectors) h.dco = HiddenRead::BadValue;
  return h;
}

} // namespace trv::device
