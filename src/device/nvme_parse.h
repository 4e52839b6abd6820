// Decoding of the NVMe Identify Controller and Identify Namespace blocks and the
// SMART / Health Information log. Pure functions of the bytes: every field is
// read through bounds-checked accessors, and an index the block gives (the LBA
// format in use) is checked before it is followed.
#pragma once
#include <array>
#include <cstdint>
#include <string>

#include "device/nvme.h"

namespace trv::device {

// An unsigned 128-bit counter of the health log, kept as two halves: the
// 32-bit Windows target has no 128-bit integer type.
struct Counter128 {
  std::uint64_t low = 0;
  std::uint64_t high = 0;
  bool operator==(const Counter128&) const = default;
};

struct NvmeController {
  std::u16string model, firmware, serial;
  std::uint16_t vendorId = 0;           // PCI vendor
  std::uint16_t subsystemVendorId = 0;  // PCI subsystem vendor
  std::uint32_t version = 0;            // major in bits 31..16, minor 15..8, tertiary 7..0; 0 before NVMe 1.2
  std::uint32_t namespaceCount = 0;
  bool volatileWriteCache = false;
  bool formatNvm = false;               // Format NVM command
  bool cryptoEraseOnFormat = false;     // Format NVM's secure erase may be a cryptographic erase
  bool sanitizeCrypto = false, sanitizeBlock = false, sanitizeOverwrite = false;
  bool writeZeroes = false;
  bool datasetManagement = false;       // deallocate (trim)
  bool selfTest = false;                // device self-test
};

struct NvmeNamespace {
  std::uint64_t size = 0;      // blocks
  std::uint64_t capacity = 0;  // blocks
  std::uint8_t formatIndex = 0;
  bool formatValid = false;    // the index names a described format with a usable data size
  std::uint32_t dataSize = 0;  // bytes per block, when valid
  std::uint16_t metadataSize = 0;
};

struct NvmeHealth {
  std::uint8_t criticalWarning = 0;
  std::uint8_t enduranceGroupWarning = 0;  // the endurance groups' critical warning summary (NVMe 1.4)
  std::uint16_t temperatureKelvin = 0;  // composite temperature
  std::array<std::uint16_t, 8> sensorKelvin{};  // temperature sensors 1 to 8; 0 when not reported
  std::uint8_t availableSpare = 0, spareThreshold = 0, percentageUsed = 0;
  Counter128 dataUnitsRead, dataUnitsWritten;  // units of 512,000 bytes
  Counter128 hostReadCommands, hostWriteCommands;
  Counter128 controllerBusyMinutes, powerCycles, powerOnHours, unsafeShutdowns;
  Counter128 mediaErrors, errorLogEntries;
  std::uint32_t warningTemperatureMinutes = 0, criticalTemperatureMinutes = 0;
};

NvmeController ParseNvmeController(const NvmeIdentifyBlock& block);
NvmeNamespace ParseNvmeNamespace(const NvmeIdentifyBlock& block);
NvmeHealth ParseNvmeHealth(const NvmeLogBlock& block);

} // namespace trv::device
