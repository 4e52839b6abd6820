// The simulated PCs built into the programs, by name: "default" (Windows 7, ATA
// and SATA disks, docs/scenario.md) and "modern" (Windows 10 22H2 with an NVMe
// system disk, a SATA SSD, a USB-SATA bridge and a USB stick).
#pragma once
#include <string>
#include <string_view>

#include "platform/sim/scenario.h"

namespace trv::sim {

const std::string& ModernScenarioJson();  // src/platform/sim/modern_pc.json
// The built-in PC of this name; throws ScenarioError for an unknown name.
Scenario BuiltInScenario(std::string_view name);

} // namespace trv::sim
