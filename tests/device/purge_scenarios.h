// Simulated PCs for the firmware purge tests, shared by the device and report tests.
#pragma once
#include <functional>
#include <vector>

#include "modern_pc.h"
#include "platform/sim/sim_platform.h"
#include "test_support.h"

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

// Disk 1, a SATA hard disk of 10 MiB with no volume, with Security (estimates of
// 2 and 4 minutes) and Sanitize modelled, alone in a PC with Windows `os`;
// `ata` changes its ata object.
inline sim::Scenario AtaPurgePc(const nlohmann::json& os, const nlohmann::json& ata = nlohmann::json::object()) {
  nlohmann::json drive = {{"number", 1}, {"bus", 11}, {"sectors", 20480},
                          {"ata", {{"identify", IdentifyHex({{83, 0x4000}, {255, 0x00A5}})}, {"rotationRate", 7200},
                                   {"security", {{"normalEraseMinutes", 2}, {"enhancedEraseMinutes", 4}}},
                                   {"sanitize", nlohmann::json::object()}}}};
  if (ata.is_object()) drive["ata"].merge_patch(ata);
  return Scenario({{"os", os}, {"drives", nlohmann::json::array({drive})}, {"volumes", nlohmann::json::array()}});
}
inline const nlohmann::json kVista = {{"major", 6}, {"minor", 0}, {"build", 6002}, {"csd", "Service Pack 2"}};
inline const nlohmann::json kWindows10 = {{"major", 10}, {"minor", 0}, {"build", 19045}, {"csd", ""}};
inline const nlohmann::json kWindowsPe = {{"major", 10}, {"minor", 0}, {"build", 19045}, {"csd", ""}, {"windowsPe", true}};

// That disk opened for reading and writing, as a purge opens it.
struct AtaPurgeDisk {
  explicit AtaPurgeDisk(const sim::Scenario& pc) : sim(pc) {
    h = sim.CreateFileW(u"\\\\.\\PhysicalDrive1", win::GENERIC_READ | win::GENERIC_WRITE, 3, win::OPEN_EXISTING, 0);
    sim.journal().Clear();
  }
  // The IOCTL_ATA_PASS_THROUGH records sent, as the driver got them.
  std::vector<std::vector<std::uint8_t>> Sent() {
    std::vector<std::vector<std::uint8_t>> out;
    for (const auto* e : sim.journal().Find("DeviceIoControl"))
      if (e->code == 0x0004D02C) out.push_back(e->input);
    return out;
  }
  sim::SimPlatform sim;
  win::Handle h;
};

} // namespace trv::test
