#include "device/nvme_parse.h"

#include <span>

#include "device/identify_parse.h"
#include "device/nvme_records.h"
#include "platform/records.h"
#include "platform/text.h"

namespace trv::device {

using namespace nvme;

namespace {

using Bytes = std::span<const std::uint8_t>;

bool Bit(std::uint64_t value, int bit) { return ((value >> bit) & 1u) != 0; }

// An ASCII field padded with blanks, as NVMe stores its texts (no byte swapping),
// which may hold only 20h to 7Eh. Padding (blanks, zeros and other control
// bytes at either end) is trimmed; inside the text a control byte would break
// or hide a report line, so C0 and DEL show as their control pictures, as the
// erase record shows them, and a byte outside ASCII as the replacement character.
std::u16string Text(Bytes b, std::size_t from, std::size_t length) {
  std::u16string raw;
  for (std::size_t i = from; i < from + length && i < b.size(); ++i)
    raw.push_back(b[i] < 0x80 ? static_cast<char16_t>(b[i]) : u'\uFFFD');
  std::u16string text;
  for (char16_t c : TrimControl(raw)) {
    if (c < 0x20) text.push_back(static_cast<char16_t>(0x2400 + c));
    else if (c == 0x7F) text.push_back(u'\u2421');
    else text.push_back(c);
  }
  return text;
}

Counter128 Counter(Bytes b, std::size_t at) { return {rec::U64(b, at), rec::U64(b, at + 8)}; }

} // namespace

NvmeController ParseNvmeController(const NvmeIdentifyBlock& block) {
  const Bytes b(block);
  NvmeController c;
  c.vendorId = rec::U16(b, kCtrlVid);
  c.subsystemVendorId = rec::U16(b, kCtrlSsvid);
  c.serial = Text(b, kCtrlSerial, kSerialLength);
  c.model = Text(b, kCtrlModel, kModelLength);
  c.firmware = Text(b, kCtrlFirmware, kFirmwareLength);
  c.version = rec::U32(b, kCtrlVersion);
  const std::uint16_t oacs = rec::U16(b, kCtrlOacs);
  c.formatNvm = Bit(oacs, 1);
  c.selfTest = Bit(oacs, 4);
  c.cryptoEraseOnFormat = c.formatNvm && Bit(rec::U8(b, kCtrlFna), 2);
  const std::uint32_t sanicap = rec::U32(b, kCtrlSanicap);
  c.sanitizeCrypto = Bit(sanicap, 0);
  c.sanitizeBlock = Bit(sanicap, 1);
  c.sanitizeOverwrite = Bit(sanicap, 2);
  c.namespaceCount = rec::U32(b, kCtrlNn);
  const std::uint16_t oncs = rec::U16(b, kCtrlOncs);
  c.datasetManagement = Bit(oncs, 2);
  c.writeZeroes = Bit(oncs, 3);
  c.volatileWriteCache = Bit(rec::U8(b, kCtrlVwc), 0);
  return c;
}

NvmeNamespace ParseNvmeNamespace(const NvmeIdentifyBlock& block) {
  const Bytes b(block);
  NvmeNamespace n;
  n.size = rec::U64(b, kNsSize);
  n.capacity = rec::U64(b, kNsCapacity);
  const std::uint8_t flbas = rec::U8(b, kNsFormatInUse);
  // Bits 3..0 are the index; NVMe 2.0 adds bits 6..5 above them for tables of more than 16 formats.
  n.formatIndex = static_cast<std::uint8_t>((flbas & 0x0F) | ((flbas & 0x60) >> 1));
  const std::size_t described = std::size_t{rec::U8(b, kNsFormatCount)} + 1;  // NLBAF counts from 0
  if (n.formatIndex < described && n.formatIndex < kNsMaxFormats) {
    const std::uint32_t format = rec::U32(b, kNsFormats + 4u * n.formatIndex);
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
  h.criticalWarning = rec::U8(b, kLogCriticalWarning);
  h.enduranceGroupWarning = rec::U8(b, kLogEnduranceGroupWarning);
  h.temperatureKelvin = rec::U16(b, kLogTemperature);
  for (std::size_t i = 0; i < h.sensorKelvin.size(); ++i) h.sensorKelvin[i] = rec::U16(b, kLogSensors + 2 * i);
  h.availableSpare = rec::U8(b, kLogAvailableSpare);
  h.spareThreshold = rec::U8(b, kLogSpareThreshold);
  h.percentageUsed = rec::U8(b, kLogPercentageUsed);
  h.dataUnitsRead = Counter(b, kLogDataUnitsRead);
  h.dataUnitsWritten = Counter(b, kLogDataUnitsWritten);
  h.hostReadCommands = Counter(b, kLogHostReads);
  h.hostWriteCommands = Counter(b, kLogHostWrites);
  h.controllerBusyMinutes = Counter(b, kLogBusyTime);
  h.powerCycles = Counter(b, kLogPowerCycles);
  h.powerOnHours = Counter(b, kLogPowerOnHours);
  h.unsafeShutdowns = Counter(b, kLogUnsafeShutdowns);
  h.mediaErrors = Counter(b, kLogMediaErrors);
  h.errorLogEntries = Counter(b, kLogErrorEntries);
  h.warningTemperatureMinutes = rec::U32(b, kLogWarningTime);
  h.criticalTemperatureMinutes = rec::U32(b, kLogCriticalTime);
  return h;
}

} // namespace trv::device
