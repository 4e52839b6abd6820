// IOCTL_ATA_PASS_THROUGH to a simulated drive, as the ATA port drivers take it:
// ATA_PASS_THROUGH_EX of the calling program's bitness (the simulated PC runs in
// the program's process), the data after the record at DataBufferOffset, and
// the task file handed back in CurrentTaskFile (PreviousTaskFile for a 48-bit
// command). The drive knows READ NATIVE MAX ADDRESS (EXT) and DEVICE
// CONFIGURATION IDENTIFY; it aborts every other command that reaches it here,
// the ones that change its maximum included, so that nothing here can make a
// simulated disk smaller. IDENTIFY, Security and Sanitize are the platform's
// (sim_platform_ata.cpp): they take time and the Windows drivers' rules.
#include <algorithm>
#include <cstdio>

#include "device/ata_commands.h"
#include "platform/records.h"
#include "platform/sim/drive_ioctl.h"
#include "platform/win_types.h"

namespace trv::sim::ioctl {

namespace atacmd = device::atacmd;

namespace {

constexpr std::uint32_t kAtaPassThrough = 0x0004D02C;
struct Layout {
  std::size_t size, dataOffsetAt, dataOffsetBytes, previous, current;
};
constexpr Layout k32BitCaller{40, 20, 4, 24, 32}, k64BitCaller{48, 24, 8, 32, 40};
constexpr Layout kCaller = sizeof(void*) == 8 ? k64BitCaller : k32BitCaller;
constexpr std::uint16_t kDataIn = 1 << 1, kDataOut = 1 << 2, k48Bit = 1 << 3;

constexpr std::uint8_t kReadNativeMax = 0xF8, kReadNativeMaxExt = 0x27;
constexpr std::uint8_t kDeviceConfiguration = 0xB1, kDcoIdentify = 0xC2;
constexpr std::uint8_t kStatusReady = 0x50, kStatusError = 0x51, kErrorAbort = 0x04;

std::uint16_t Word(const Block512& b, std::size_t n) { return rec::U16(b, 2 * n); }
bool Bit(std::uint16_t w, int bit) { return ((w >> bit) & 1u) != 0; }

bool Offers(const HiddenDrive& d, std::size_t word, int bit) { return d.identify && Bit(Word(*d.identify, word), bit); }

// The maximum IDENTIFY states now, in sectors.
std::int64_t CurrentSectors(const HiddenDrive& d) {
  if (!d.identify) return d.mediumSectors;
  if (Offers(d, 83, 10)) return static_cast<std::int64_t>(rec::U64(*d.identify, 200) & 0xFFFF'FFFF'FFFFull);
  return static_cast<std::int64_t>(rec::U32(*d.identify, 120));
}
std::int64_t NativeSectors(const HiddenDrive& d) { return d.hidden.nativeSectors.value_or(CurrentSectors(d)); }

HiddenDrive Of(const SimDrive& d) {
  return {d.ata->identify, d.ata->hidden, d.bytesPerSector ? d.lengthBytes / d.bytesPerSector : 0};
}

} // namespace

std::optional<std::uint64_t> NativeMaxAddress(const HiddenDrive& d, bool ext) {
  if (!Offers(d, 82, 10) || d.hidden.nativeAnswer == SimHidden::NativeAnswer::Aborted || (ext && !Offers(d, 83, 10)))
    return std::nullopt;
  const auto last = static_cast<std::uint64_t>(NativeSectors(d) - 1);
  return ext ? last : std::min<std::uint64_t>(last, 0x0FFF'FFFF);
}

// Revision 2, the real maximum address in words 3-6, the DMA mode words as a
// drive leaves them, signature and checksum in word 255.
std::optional<Block512> DcoIdentifyBlock(const HiddenDrive& d) {
  if (!Offers(d, 83, 11) || d.hidden.dcoAnswer == SimHidden::DcoAnswer::Aborted) return std::nullopt;
  Block512 b{};
  rec::Put16(b, 0, 0x0002);
  rec::Put64(b, 6, static_cast<std::uint64_t>(d.hidden.dcoSectors.value_or(NativeSectors(d)) - 1));
  rec::Put16(b, 2 * 7, 0x0007);  // multiword DMA modes
  rec::Put16(b, 2 * 8, 0x003F);  // Ultra DMA modes
  b[510] = d.hidden.dcoAnswer == SimHidden::DcoAnswer::BadSignature ? 0x00 : 0xA5;
  std::uint8_t sum = 0;
  for (std::size_t i = 0; i < 511; ++i) sum = static_cast<std::uint8_t>(sum + b[i]);
  b[511] = static_cast<std::uint8_t>(-sum);
  if (d.hidden.dcoAnswer == SimHidden::DcoAnswer::BadChecksum) b[511] = static_cast<std::uint8_t>(b[511] + 1);
  return b;
}

HiddenDrive BridgedDrive(const SimDrive& d) {
  return {d.sat.identify, d.sat.hidden, d.bytesPerSector ? d.lengthBytes / d.bytesPerSector : 0};
}

bool NativeMaxReturn(const HiddenDrive& d, bool ext, std::uint8_t* reg) {
  const std::optional<std::uint64_t> last = NativeMaxAddress(d, ext);
  if (!last) return false;
  reg[7] = static_cast<std::uint8_t>(*last);
  reg[9] = static_cast<std::uint8_t>(*last >> 8);
  reg[11] = static_cast<std::uint8_t>(*last >> 16);
  if (ext) {
    reg[6] = static_cast<std::uint8_t>(*last >> 24);
    reg[8] = static_cast<std::uint8_t>(*last >> 32);
    reg[10] = static_cast<std::uint8_t>(*last >> 40);
  } else {
    reg[12] = static_cast<std::uint8_t>((reg[12] & 0xF0) | ((*last >> 24) & 0x0F));
  }
  return true;
}

namespace {

// READ NATIVE MAX ADDRESS (EXT): the last address in the LBA registers.
void NativeMax(const SimDrive& d, bool ext, std::uint8_t* previous, std::uint8_t* current) {
  const std::optional<std::uint64_t> last = NativeMaxAddress(Of(d), ext);
  if (!last) return Abort(current);
  if (ext) {
    previous[2] = static_cast<std::uint8_t>(*last >> 24);
    previous[3] = static_cast<std::uint8_t>(*last >> 32);
    previous[4] = static_cast<std::uint8_t>(*last >> 40);
  } else {
    current[5] = static_cast<std::uint8_t>((current[5] & 0xF0) | ((*last >> 24) & 0x0F));
  }
  current[2] = static_cast<std::uint8_t>(*last);
  current[3] = static_cast<std::uint8_t>(*last >> 8);
  current[4] = static_cast<std::uint8_t>(*last >> 16);
  Ready(current);
}

IoctlResult PassThrough(const SimDrive& d, const Request& r) {
  AptRecord record;
  if (auto refused = CheckAptRecord(d, r, record)) return Failed(*refused);
  const std::uint16_t flags = record.flags;
  const std::uint32_t transfer = record.transfer;
  const std::uint64_t dataOffset = record.dataOffset;

  std::vector<std::uint8_t> a(r.in.begin(), r.in.end());
  std::uint8_t* previous = a.data() + kCaller.previous;
  std::uint8_t* current = a.data() + kCaller.current;
  std::uint32_t moved = 0;
  const std::uint8_t command = current[6];
  if (command == kReadNativeMax || command == kReadNativeMaxExt) {
    NativeMax(d, command == kReadNativeMaxExt && (flags & k48Bit), previous, current);
  } else if (command == kDeviceConfiguration && current[0] == kDcoIdentify && (flags & kDataIn) && transfer >= 512) {
    if (const std::optional<Block512> block = DcoIdentifyBlock(Of(d))) {
      std::copy(block->begin(), block->end(), a.begin() + static_cast<std::ptrdiff_t>(dataOffset));
      moved = 512;
      Ready(current);
    } else {
      Abort(current);
    }
  } else {
    Abort(current);
  }
  // A driver that does not hand the registers back: the task file as it was sent.
  if (d.ata->hidden.nativeAnswer == SimHidden::NativeAnswer::NoRegisters)
    std::copy_n(r.in.begin() + kCaller.previous, 16, a.begin() + kCaller.previous);
  return AptAnswer(r, record, std::move(a), moved, moved != 0);
}

const char* CommandName(std::uint8_t command, std::uint8_t features) {
  switch (command) {
    case kReadNativeMax: return "READ NATIVE MAX ADDRESS";
    case kReadNativeMaxExt: return "READ NATIVE MAX ADDRESS EXT";
    case kDeviceConfiguration: return features == kDcoIdentify ? "DEVICE CONFIGURATION IDENTIFY" : "DEVICE CONFIGURATION (other)";
    case atacmd::kIdentifyDevice: return "IDENTIFY DEVICE";
    case atacmd::kSecuritySetPassword: return "SECURITY SET PASSWORD";
    case atacmd::kSecurityUnlock: return "SECURITY UNLOCK";
    case atacmd::kSecurityErasePrepare: return "SECURITY ERASE PREPARE";
    case atacmd::kSecurityEraseUnit: return "SECURITY ERASE UNIT";
    case atacmd::kSecurityFreezeLock: return "SECURITY FREEZE LOCK";
    case atacmd::kSecurityDisablePassword: return "SECURITY DISABLE PASSWORD";
    default: return "(other command)";
  }
}

} // namespace

std::optional<std::uint32_t> CheckAptRecord(const SimDrive& d, const Request& r, AptRecord& record) {
  if (const auto& failure = ScenarioFailure(d, DriveRequest::AtaPassThrough)) return *failure;
  if (!d.ata) return win::ERROR_INVALID_FUNCTION;
  if (r.in.size() < kCaller.size || rec::U16(r.in, 0) != kCaller.size) return win::ERROR_INVALID_PARAMETER;
  if (r.out.size() < kCaller.size) return win::ERROR_INSUFFICIENT_BUFFER;
  record.flags = rec::U16(r.in, 2);
  record.transfer = rec::U32(r.in, 8);
  record.timeoutSeconds = rec::U32(r.in, 12);
  record.dataOffset = rec::GetLE(r.in, kCaller.dataOffsetAt, kCaller.dataOffsetBytes);
  record.previous = kCaller.previous;
  record.current = kCaller.current;
  // The data must lie in the caller's buffer, after the record.
  if ((record.flags & (kDataIn | kDataOut)) && record.transfer > 0 &&
      (record.dataOffset < kCaller.size || record.dataOffset > r.in.size() ||
       record.transfer > r.in.size() - record.dataOffset || record.dataOffset + record.transfer > r.out.size()))
    return win::ERROR_INVALID_PARAMETER;
  return std::nullopt;
}

const char* SanitizeName(std::uint16_t feature) {
  switch (feature) {
    case atacmd::kSanitizeStatusExt: return "SANITIZE STATUS EXT";
    case atacmd::kCryptoScrambleExt: return "CRYPTO SCRAMBLE EXT";
    case atacmd::kBlockEraseExt: return "BLOCK ERASE EXT";
    case atacmd::kOverwriteExt: return "OVERWRITE EXT";
    case atacmd::kSanitizeFreezeLockExt: return "SANITIZE FREEZE LOCK EXT";
    case atacmd::kSanitizeAntifreezeLockExt: return "SANITIZE ANTIFREEZE LOCK EXT";
    default: return "SANITIZE DEVICE (other function)";
  }
}

void Abort(std::uint8_t* current) {
  current[0] = kErrorAbort;
  current[6] = kStatusError;
}

void Ready(std::uint8_t* current) {
  current[0] = 0;
  current[6] = kStatusReady;
}

const std::uint8_t* AptDataOut(const Request& r, const AptRecord& record) {
  if (!(record.flags & kDataOut) || record.transfer < 512) return nullptr;
  return r.in.data() + record.dataOffset;
}

IoctlResult AptAnswer(const Request& r, const AptRecord& record, std::vector<std::uint8_t> a, std::uint32_t moved,
                      bool dataIn) {
  rec::Put32(a, 8, moved);
  a.resize(dataIn && moved ? static_cast<std::size_t>(record.dataOffset) + moved : kCaller.size);
  return Deliver(r, a);
}

std::optional<IoctlResult> AtaPassThroughIoctl(const SimDrive& drive, const Request& r) {
  if (r.code != kAtaPassThrough) return std::nullopt;
  return PassThrough(drive, r);
}

} // namespace trv::sim::ioctl

namespace trv::sim {

std::string AtaPassThroughText(std::uint32_t code, const std::uint8_t* in, std::uint32_t inSize) {
  if (code != ioctl::kAtaPassThrough || !in || inSize < ioctl::kCaller.size) return {};
  const std::uint8_t* current = in + ioctl::kCaller.current;
  const std::uint8_t* previous = in + ioctl::kCaller.previous;
  const std::uint8_t command = current[6];
  char registers[40];
  std::snprintf(registers, sizeof registers, "command=0x%02X feature=0x%02X ", command, current[0]);
  namespace atacmd = device::atacmd;
  if (command == atacmd::kSanitizeDevice) {
    const auto feature = static_cast<std::uint16_t>(current[0] | previous[0] << 8);
    const auto count = static_cast<unsigned>(current[1] | previous[1] << 8);
    std::uint64_t lba = 0;
    for (int i = 2; i >= 0; --i) lba = lba << 8 | previous[2 + i];
    for (int i = 2; i >= 0; --i) lba = lba << 8 | current[2 + i];
    char operands[48];
    std::snprintf(operands, sizeof operands, " count=0x%04X lba=0x%012llX", count, static_cast<unsigned long long>(lba));
    return registers + std::string("SANITIZE DEVICE ") + ioctl::SanitizeName(feature) + operands;
  }
  std::string text = registers + std::string(ioctl::CommandName(command, current[0]));
  // The password block of the security commands that carry one, as it was sent.
  const std::span<const std::uint8_t> b(in, inSize);
  const std::uint64_t dataOffset = rec::GetLE(b, ioctl::kCaller.dataOffsetAt, ioctl::kCaller.dataOffsetBytes);
  const bool carriesBlock = command == atacmd::kSecuritySetPassword || command == atacmd::kSecurityUnlock ||
                            command == atacmd::kSecurityEraseUnit || command == atacmd::kSecurityDisablePassword;
  if (carriesBlock && (rec::U16(b, 2) & ioctl::kDataOut) && dataOffset >= ioctl::kCaller.size && dataOffset <= inSize &&
      inSize - dataOffset >= 512) {
    const std::uint8_t* block = in + dataOffset;
    text += " password=" + PasswordText(block + atacmd::kPasswordAt);
    if (block[0] & atacmd::kPasswordMaster) text += " identifier=master";
    if (command == atacmd::kSecurityEraseUnit && (block[0] & atacmd::kPasswordEnhanced)) text += " enhanced";
  }
  return text;
}

} // namespace trv::sim
