// Simulated PCs for the firmware purge tests, shared by the device and report tests.
#pragma once
#include <functional>

#include "modern_pc.h"

namespace trv::test {

// The modern PC with a second NVMe disk, 4, that holds no volume: the system
// disk's drive (FNA 04h, SANICAP 3) with three namespaces, on Windows `build`.
inline sim::Scenario WithNvmeDataDisk(int build = 19045, const std::function<void(nlohmann::json&)>& change = {}) {
  return ModernPc([&](nlohmann::json& pc) {
    nlohmann::json disk = pc["drives"][0];
    disk["number"] = 4;
    disk["nvme"]["identifyController"]["namespaces"] = 3;
    pc["drives"].push_back(disk);
    pc["os"]["build"] = build;
    if (change) change(pc);
  });
}

} // namespace trv::test
