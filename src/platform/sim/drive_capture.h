// Captured answers of a real drive: tagged sections IDFY, SMST, SMDT and SMTH,
// each a 4-byte ASCII tag, a big-endian 32-bit length and the payload.
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace trv::sim {

struct DriveCapture {
  std::optional<std::array<std::uint8_t, 512>> identify;    // IDFY
  std::optional<std::array<std::uint8_t, 512>> smartData;   // SMDT
  std::optional<std::array<std::uint8_t, 512>> thresholds;  // SMTH
  std::optional<std::vector<std::uint8_t>> smartStatus;     // SMST
};

// Throws std::runtime_error naming `source` when the bytes are not a capture.
DriveCapture ParseDriveCapture(const std::vector<std::uint8_t>& bytes, const std::string& source);
DriveCapture LoadDriveCapture(const std::string& path);

} // namespace trv::sim
