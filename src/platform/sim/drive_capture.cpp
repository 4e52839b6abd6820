#include "platform/sim/drive_capture.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace trv::sim {

namespace {

std::array<std::uint8_t, 512> Block(const std::vector<std::uint8_t>& payload, const std::string& tag,
                                    const std::string& source) {
  if (payload.size() != 512)
    throw std::runtime_error(source + ": section " + tag + " has " + std::to_string(payload.size()) +
                             " bytes, expected 512");
  std::array<std::uint8_t, 512> b{};
  std::memcpy(b.data(), payload.data(), 512);
  return b;
}

} // namespace

DriveCapture ParseDriveCapture(const std::vector<std::uint8_t>& bytes, const std::string& source) {
  DriveCapture c;
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    if (bytes.size() - pos < 8) throw std::runtime_error(source + ": truncated section header at byte " + std::to_string(pos));
    const std::string tag(bytes.begin() + static_cast<std::ptrdiff_t>(pos), bytes.begin() + static_cast<std::ptrdiff_t>(pos) + 4);
    const std::uint32_t len = (std::uint32_t{bytes[pos + 4]} << 24) | (std::uint32_t{bytes[pos + 5]} << 16) |
                              (std::uint32_t{bytes[pos + 6]} << 8) | bytes[pos + 7];
    pos += 8;
    if (len > bytes.size() - pos)
      throw std::runtime_error(source + ": section " + tag + " claims " + std::to_string(len) + " bytes, only " +
                               std::to_string(bytes.size() - pos) + " remain");
    std::vector<std::uint8_t> payload(bytes.begin() + static_cast<std::ptrdiff_t>(pos),
                                      bytes.begin() + static_cast<std::ptrdiff_t>(pos + len));
    pos += len;
    if (tag == "IDFY") c.identify = Block(payload, tag, source);
    else if (tag == "SMDT") c.smartData = Block(payload, tag, source);
    else if (tag == "SMTH") c.thresholds = Block(payload, tag, source);
    else if (tag == "SMST") c.smartStatus = std::move(payload);
    else throw std::runtime_error(source + ": unknown section tag \"" + tag + "\"");
  }
  return c;
}

DriveCapture LoadDriveCapture(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error(path + ": cannot open the drive capture");
  std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return ParseDriveCapture(bytes, path);
}

} // namespace trv::sim
