// Expected lines of the details report shared by its tests.
#pragma once
#include <string>
#include <vector>

namespace trv::test {

using ReportLines = std::vector<std::string>;

// Lines 1 to 5. The virtual clock of the built-in PCs starts at 2026-12-08 17:05:09.
inline ReportLines DetailsHeader(const std::string& description) {
  return {" ", "当前日期和时间：2026/12/8 17:05:09", "Trevasso 4.12; https://trevasso.example.org/",
          "设备详细信息" + description, " "};
}

// The last lines of every report: here, why no firmware purge would run.
inline ReportLines PurgeNone(const std::string& why) { return {" ", "固件清除: 此处不可用: " + why}; }
inline const std::string kPurgeBus = "only disks on an ATA, SATA or NVMe connection can be purged";
inline const std::string kPurgeSystemDisk = "the system disk";  // disk 0 of the default PC holds C:
inline const std::string kPurgeUsb = "connected through USB";

inline ReportLines Join(ReportLines a, const ReportLines& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

} // namespace trv::test
