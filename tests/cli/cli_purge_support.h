// The simulated PCs of the console's purge tests: the modern PC on a chosen
// Windows build, with an NVMe data disk (number 4, 64 MiB, fast) whose
// sanitize state and capabilities each test sets (docs/scenario.md, "NVMe
// drives"), and what the PC's journal says was sent to it.
#pragma once
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/cli_support.h"
#include "format/format_support.h"
#include "modern_pc.h"

namespace trv::test {

inline constexpr int kNvmeDisk = 4;
inline constexpr char kNvmeSerial[] = "N4SERIAL";
inline constexpr char kPurgeNvme[] = "erase 4 --purge --confirm-serial N4SERIAL";

// The NVMe data disk: crypto and block sanitize (SANICAP bits 0 and 1) and a
// crypto format (FNA bit 2), one namespace; `nvme` fields (a "sanitize"
// object, say) and `drive` fields are merged over it.
inline nlohmann::json NvmeDataDisk(const nlohmann::json& nvme = nlohmann::json::object(),
                                   const nlohmann::json& drive = nlohmann::json::object()) {
  nlohmann::json d = {
      {"number", kNvmeDisk},
      {"bus", 17},
      {"sectors", 131'072},
      {"media", FastMedia()},
      {"device", {{"vendor", "NVMe"}, {"product", "TestNVMe"}, {"revision", "1.0"}, {"serial", "0000_0004."}}},
      {"nvme",
       {{"identifyController",
         {{"model", "TestNVMe 64M"}, {"firmware", "1.0"}, {"serial", kNvmeSerial}, {"namespaces", 1},
          {"fna", "0x04"}, {"sanicap", "0x00000003"}}},
        {"identifyNamespace", {{"size", 131'072}, {"capacity", 131'072}, {"utilization", 131'072}}},
        {"sanitize", {{"durationSeconds", 60}, {"estimates", {{"crypto", 60}, {"block", 120}}}}}}}};
  d["nvme"].merge_patch(nvme);
  d.merge_patch(drive);
  return d;
}

// The modern PC on `build` (major 10; below 10240 it is Windows XP, 5.1) with the NVMe data disk.
inline sim::Scenario ModernPurgePc(std::uint32_t build, const nlohmann::json& disk = NvmeDataDisk()) {
  return ModernPc([&](nlohmann::json& pc) {
    pc["os"]["build"] = build;
    if (build < 10240) pc["os"] = {{"major", 5}, {"minor", 1}, {"build", build}, {"csd", "Service Pack 3"}};
    pc["drives"].push_back(disk);
  });
}

// The requests REINITIALIZE_MEDIA the PC was sent, as its journal decodes them, and their answers
// ("IOCTL_STORAGE_REINITIALIZE_MEDIA no input -> ok returned=0").
inline std::vector<std::string> PurgeRequests(const CliRun& run) {
  constexpr char kRequest[] = "IOCTL_STORAGE_REINITIALIZE_MEDIA";
  std::vector<std::string> sent;
  for (const sim::JournalEntry& e : run.platform->journal().entries())
    if (const auto at = e.detail.find(kRequest); at != std::string::npos) sent.push_back(e.detail.substr(at));
  return sent;
}

// The program's own writes to disks (the record's files are written too, with no offset).
inline std::size_t DiskWrites(const CliRun& run) {
  std::size_t n = 0;
  for (const sim::JournalEntry* w : run.platform->journal().Find("WriteFile")) n += w->detail.starts_with("offset=");
  return n;
}

// The lines a run printed on standard output.
inline std::vector<std::string> OutLines(const CliRun& run) {
  std::vector<std::string> lines;
  std::istringstream in(run.host.out);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

} // namespace trv::test
