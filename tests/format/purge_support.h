// The erase command with a firmware purge, on a simulated PC whose disk 1 is
// a small fast NVMe disk: the engine alone, as the window and the console
// drive it, with an observer that can press Stop or end the session.
#pragma once
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "format/format_command.h"
#include "format/run_watch.h"
#include "format/same_disk.h"
#include "platform/sim/sim_platform.h"
#include "platform/text.h"
#include "test_support.h"

namespace trv::test {

inline constexpr std::int64_t kPurgeDiskSectors = 131'072;  // 64 MiB
inline constexpr char16_t kPurgeRecords[] = u"C:\\Users\\User\\AppData\\Local\\Trevasso\\records";

// An NVMe disk offering crypto and block sanitize and a crypto format (SANICAP
// 3, FNA 4); `sanitize` is its scenario object, `controller` changes its
// Identify Controller fields, `number` its disk number.
inline nlohmann::json NvmeDisk(const nlohmann::json& sanitize, const nlohmann::json& controller = nlohmann::json::object(),
                               int number = 1) {
  const std::string n = std::to_string(number);
  nlohmann::json ctrl = {{"model", "ACME NVMe " + n}, {"serial", "NV" + n}, {"firmware", "1.0"},
                         {"namespaces", 1},         {"fna", "0x04"},     {"sanicap", "0x00000003"}};
  ctrl.update(controller);
  return {{"number", number},
          {"bus", 17},
          {"sectors", kPurgeDiskSectors},
          {"media", {{"megabytesPerSecond", 100000}}},
          {"device", {{"vendor", "ACME"}, {"product", "NVMe " + n}, {"revision", "1.0"}, {"serial", "NV" + n}}},
          {"nvme",
           {{"identifyController", ctrl},
            {"identifyNamespace", {{"size", kPurgeDiskSectors}, {"formats", {{{"data", 512}}}}}},
            {"sanitize", sanitize}}}};
}

// A PC of Windows build `build` with `drives`, no volumes.
inline sim::Scenario PurgePc(std::uint32_t build, const nlohmann::json& drives) {
  return Scenario({{"os", {{"major", 10}, {"minor", 0}, {"build", build}, {"csd", ""}}},
                   {"drives", drives},
                   {"volumes", nlohmann::json::array()}});
}

class PurgeEngine : public format::EraseObserver {
 public:
  explicit PurgeEngine(const sim::Scenario& pc, std::uint32_t disk = 1) : platform(pc), number(disk) {
    handle = platform.CreateFileW(DiskPath(disk), win::GENERIC_READ | win::GENERIC_WRITE, 0, win::OPEN_EXISTING, 0);
  }

  // The erase as a front end asks for it: the chosen disk as it answers now.
  format::EraseCommandResult Erase(std::optional<format::PurgeChoice> purge, bool verify = false,
                                   bool quickWipe = false) {
    format::FormatContext ctx{platform, *this, false, stop, volumes, u'.', &saveNow, &watch};
    format::EraseRequest request;
    request.target = {handle, kPurgeDiskSectors, 512};
    request.deviceNumber = number;
    request.deviceTitle = u"ACME NVMe";
    request.productLine = u"Trevasso";
    request.program = u"Trevasso";
    request.version = u"4.12";
    request.chosen = format::ReadDiskIdentity(platform, handle, number, true);
    request.purge = purge;
    request.verify = verify;
    request.quickWipe = quickWipe;
    request.sampleSeed = 7;
    return format::EraseDevice(ctx, request);
  }

  // Sector `lba` of disk `disk` as it reads now (empty: unreadable).
  std::vector<std::uint8_t> Sector(std::uint32_t disk, std::int64_t lba) {
    const bool own = disk == number;
    const auto h = own ? handle : platform.CreateFileW(DiskPath(disk), win::GENERIC_READ, 3, win::OPEN_EXISTING, 0);
    std::vector<std::uint8_t> data(512);
    std::uint32_t read = 0;
    const bool ok = platform.SetFilePointerEx(h, lba * 512, nullptr, 0) && platform.ReadFile(h, data.data(), 512, &read);
    if (!own) platform.CloseHandle(h);
    return ok ? data : std::vector<std::uint8_t>{};
  }

  // The details of the journal's REINITIALIZE_MEDIA requests.
  std::vector<std::string> PurgeRequests() {
    std::vector<std::string> out;
    for (const auto& e : platform.journal().entries())
      if (e.detail.find("IOCTL_STORAGE_REINITIALIZE_MEDIA") != std::string::npos) out.push_back(e.detail);
    return out;
  }

  // Writes to a disk (a record's files aside).
  std::size_t DiskWrites() {
    std::size_t n = 0;
    for (const auto* w : platform.journal().Find("WriteFile")) n += w->detail.rfind("offset=", 0) == 0 ? 1 : 0;
    return n;
  }

  // The JSON records saved, in order.
  std::vector<nlohmann::json> Records() const {
    std::vector<nlohmann::json> out;
    for (const auto& f : platform.FilesWritten(kPurgeRecords))
      if (f.ends_with(u".json") && f.find(u"ata-password-") == std::u16string::npos)
        out.push_back(nlohmann::json::parse(*platform.FileContent(f)));
    return out;
  }

  bool Logged(const std::string& part) const {
    for (const std::string& l : log)
      if (l.find(part) != std::string::npos) return true;
    return false;
  }

  void Log(const std::u16string& m) override { log.push_back(Utf16ToUtf8(m)); }
  void LogBilingual(const std::u16string& window, const std::u16string& english) override {
    (void)window;
    Log(english);
  }
  void LogBare(const std::u16string& l) override { log.push_back(Utf16ToUtf8(l)); }
  void ShowProgress(const format::BlockProgress& p) override { percents.push_back(p.percent); }
  void ShowSpeed(const std::u16string& t) override { speed = t; }
  std::u16string SpeedShown() override { return speed; }
  void ShowComplete() override { complete = true; }
  void ProcessMessages() override {
    ++pumps;
    if (pumps == stopAtPump) stop = true;
    // The front end's slot is there only while the run can save early.
    if (endSessionAtPump > 0 && pumps >= endSessionAtPump && saveNow && !sessionEnded) {
      sessionEnded = true;
      saveNow();
    }
  }
  // The read-back after a purge begins (the second call): where a session may end.
  void FormatRunning() override {
    if (++running == 2 && endSessionInReadBack && saveNow) saveNow();
  }
  void PurgeEnded(const format::PurgeResult& purge, const format::VerifyResult* verify) override {
    (void)verify;
    ended = purge.outcome;
  }

  sim::SimPlatform platform;
  std::uint32_t number;
  win::Handle handle = win::kInvalidHandle;
  bool stop = false;
  int pumps = 0, stopAtPump = 0, endSessionAtPump = 0, running = 0;
  bool endSessionInReadBack = false;
  std::vector<win::Handle> volumes;
  std::function<void()> saveNow;
  format::RunWatch watch;
  std::vector<std::string> log;
  std::vector<int> percents;
  std::u16string speed;
  bool complete = false, sessionEnded = false;
  std::optional<format::PurgeOutcome> ended;

 private:
  static std::u16string DiskPath(std::uint32_t disk) {
    return u"\\\\.\\PhysicalDrive" + Utf8ToUtf16(std::to_string(disk));
  }
};

} // namespace trv::test
