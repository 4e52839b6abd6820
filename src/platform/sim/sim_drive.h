// One simulated physical drive and how it answers the storage stack.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

namespace trv::sim {

enum class OpenMode { Ok, Absent, Denied, InUse };

struct SimDrive {
  std::uint32_t number = 0;
  OpenMode open = OpenMode::Ok;
  std::string label;  // free text for people reading a scenario
};

// Reads one entry of "drives"; `where` names it in error messages ("file: drives[2]").
SimDrive ParseDrive(const nlohmann::json& j, const std::string& where);

} // namespace trv::sim

namespace trv::sim {

// How one control request to a drive came out.
struct IoctlResult {
  bool ok = false;
  std::uint32_t error = 0;     // the last error when !ok (0 is a possible, odd answer)
  std::uint32_t returned = 0;  // bytes written to the output buffer
};

// Answers one DeviceIoControl sent to an open drive handle, the way a Windows
// storage stack and its drivers would.
IoctlResult DriveIoctl(const SimDrive& drive, std::uint32_t code, const std::uint8_t* in, std::uint32_t inSize,
                       std::uint8_t* out, std::uint32_t outSize);

} // namespace trv::sim
