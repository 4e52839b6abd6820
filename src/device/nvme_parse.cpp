#include "device/nvme_parse.h"

#include <span>

#include "device/identify_parse.h"
#include "platform/records.h"
#include "platform/text.h"

namespace trv::device {

namespace {

using Bytes = std::span<const std::uint8_t>;

bool Bit(std::uint64_t value, int bit) { return ((value >> bit) & 1u) != 0; }

// An ASCII field padded with blanks, as NVMe stores its texts (no byte swapping).
std::u16string Text(Bytes b, std::size_t from, std::size_t length) {
  std::u16string text;
  for (std::size_t i = from; i < from + length && i < b.size(); ++i) text.push_back(AnsiCharacter(b[i]));
  return TrimControl(text);
}

Counter128 Counter(Bytes b, std::size_t at) { return {rec::U64(b, at), rec::U64(b, at + 8)}; }

// Identify Controller byte offsets.
constexpr std::size_t kVid = 0, kSsvid = 2, kSerial = 4, kModel = 24, kFirmware = 64, kVersion = 80;
constexpr std::size_t kOacs = 256, kSanicap = 328, kNn = 516, kOncs = 520, kFna = 524, kVwc = 525;
// Identify Namespace byte offsets.
constexpr std::size_t kNsze = 0, kNcap = 8, kNlbaf = 25, kFlbas = 26, kLbaf = 128;
constexpr std::size_t kMaxFormats = 64;  // the LBA format table holds at most 64 entries

} // namespace

NvmeController ParseNvmeController(const NvmeIdentifyBlock& block) {
  const Bytes b(block);
  NvmeController c;
  c.vendorId = rec::U16(b, kVid);
  c.subsystemVendorId = rec::U16(b, kSsvid);
  c.serial = Text(b, kSerial, 20);
  c.model = Text(b, kModel, 40);
  c.firmware = Text(b, kFirmware, 8);
  c.version = rec::U32(b, kVersion);
  const std::uint16_t oacs = rec::U16(b, kOacs);
  c.formatNvm = Bit(oacs, 1);
  c.selfTest = Bit(oacs, 4);
  c.cryptoEraseOnFormat = c.formatNvm && Bit(rec::U8(b, kFna), 2);
  const std::uint32_t sanicap = rec::U32(b, kSanicap);
  c.sanitizeCrypto = Bit(sanicap, 0);
  c.sanitizeBlock = Bit(sanicap, 1);
  c.sanitizeOverwrite = Bit(sanicap, 2);
  c.namespaceCount = rec::U32(b, kNn);
  const std::uint16_t oncs = rec::U16(b, kOncs);
  c.datasetManagement = Bit(oncs, 2);
  c.writeZeroes = Bit(oncs, 3);
  c.volatileWriteCache = Bit(rec::U8(b, kVwc), 0);
  return c;
}

NvmeNamespace ParseNvmeNamespace(const NvmeIdentifyBlock& block) {
  const Bytes b(block);
  NvmeNamespace n;
  n.size = rec::U64(b, kNsze);
  n.capacity = rec::U64(b, kNcap);
  const std::uint8_t flbas = rec::U8(b, kFlbas);
  // Bits 3..0 are the index; NVMe 2.0 adds bits 6..5 above them for tables of more than 16 formats.
  n.formatIndex = static_cast<std::uint8_t>((flbas & 0x0F) | ((flbas & 0x60) >> 1));
  const std::size_t described = std::size_t{rec::U8(b, kNlbaf)} + 1;  // NLBAF counts from 0
  if (n.formatIndex < described && n.formatIndex < kMaxFormats) {
    const std::uint32_t format = rec::U32(b, kLbaf + 4u * n.formatIndex);
    const unsigned shift = (format >> 16) & 0xFF;  // LBADS: the data size as a power of two
    // Below 512 bytes the format is not in use; above 2^24 no device has it, so
    // the block is taken as garbage rather than multiplied out.
    if (shift >= 9 && shift <= 24) {
      n.formatValid = true;
      n.dataSize = 1u << shift;
      n.metadataSize = static_cast<std::uint16_t>(format & 0xFFFF);
    }
  }
  return n;
}

NvmeHealth ParseNvmeHealth(const NvmeLogBlock& block) {
  const Bytes b(block);
  NvmeHealth h;
  h.criticalWarning = rec::U8(b, 0);
  h.temperatureKelvin = rec::U16(b, 1);
  h.availableSpare = rec::U8(b, 3);
  h.spareThreshold = rec::U8(b, 4);
  h.percentageUsed = rec::U8(b, 5);
  h.dataUnitsRead = Counter(b, 32);
  h.dataUnitsWritten = Counter(b, 48);
  h.hostReadCommands = Counter(b, 64);
  h.hostWriteCommands = Counter(b, 80);
  h.controllerBusyMinutes = Counter(b, 96);
  h.powerCycles = Counter(b, 112);
  h.powerOnHours = Counter(b, 128);
  h.unsafeShutdowns = Counter(b, 144);
  h.mediaErrors = Counter(b, 160);
  h.errorLogEntries = Counter(b, 176);
  h.warningTemperatureMinutes = rec::U32(b, 192);
  h.criticalTemperatureMinutes = rec::U32(b, 196);
  return h;
}

} // namespace trv::device
