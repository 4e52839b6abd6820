// The S.M.A.R.T. attribute entries decoded as values, for scripts: each used
// entry of a SMART READ DATA block beside its threshold, and the power-on hours
// and temperature the raw values carry (docs/cli.md, `smart N --json`).
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "device/ata.h"

namespace trv::report {

struct SmartAttribute {
  std::uint8_t id = 0;
  std::uint16_t flags = 0;  // bit 0: pre-failure
  std::uint8_t current = 0, worst = 0;
  std::optional<std::uint8_t> threshold;  // none: thresholds not read, or no entry for this id
  std::uint64_t raw = 0;                  // the six raw bytes, little-endian
  std::array<std::uint8_t, 6> rawBytes{};  // as the drive stores them
};

// The used entries (id not 0) in slot order; all 30 slots are looked at.
std::vector<SmartAttribute> SmartAttributes(const device::AtaBlock& data, const std::optional<device::AtaBlock>& thresholds);

// The threshold entry of attribute `id`, matched by id.
std::optional<std::uint8_t> ThresholdOf(const device::AtaBlock& thresholds, std::uint8_t id);

// Attribute 09h's raw value, low 32 bits (some drives keep other numbers in the top bytes).
std::optional<std::uint64_t> PowerOnHours(const std::vector<SmartAttribute>& attributes);
// The lowest raw byte of C2h, else of BEh (airflow), when it is 1 to 127 °C.
std::optional<int> TemperatureCelsius(const std::vector<SmartAttribute>& attributes);

} // namespace trv::report
