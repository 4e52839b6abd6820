// What the bridge reads alike in every ATA PASS-THROUGH (16) request: the
// SCSI_PASS_THROUGH record in the program's buffer, and the sense key it answers.
#pragma once
#include <array>
#include <cstdint>
#include <span>

#include "device/sat_records.h"

namespace trv::device::sat {

using Cdb = std::array<std::uint8_t, kCdbLength>;

// Writes the record at the start of `buffer` (zeroed by the caller): sense area
// of kSenseLength bytes at kSenseOffset, `transfer` bytes of data at kDataOffset.
void PutRecord(std::span<std::uint8_t> buffer, const Cdb& cdb, std::uint8_t dataIn, std::uint32_t transfer);

// The sense key of fixed (70h/71h) or descriptor (72h/73h) sense data of `length` bytes.
std::uint8_t SenseKey(std::span<const std::uint8_t> sense, std::size_t length);

// The sense bytes the driver says it returned, never past the sense area.
std::size_t SenseLength(std::span<const std::uint8_t> answer);

} // namespace trv::device::sat
