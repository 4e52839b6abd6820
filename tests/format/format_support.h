// Format runs on simulated PCs: whole-program runs with a scripted user, and
// the engine alone on an open disk for sizes the selection dialog refuses.
#pragma once
#include <algorithm>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "format/zero_fill.h"
#include "platform/sim/sim_platform.h"
#include "platform/text.h"
#include "report/number_text.h"
#include "test_support.h"

namespace trv::test {

// A plain disk for format runs: `sectors` of 512 bytes, the given media fields.
inline nlohmann::json PlainDisk(int number, std::int64_t sectors, const nlohmann::json& media = nlohmann::json::object()) {
  // Appended rather than `"TestDisk " + text`, where GCC 12 sees a false overlap (-Wrestrict).
  const std::string n = std::to_string(number);
  nlohmann::json d = {{"number", number},
                      {"bus", 11},
                      {"sectors", sectors},
                      {"device", {{"vendor", "ACME"}, {"product", std::string("TestDisk ").append(n)}, {"revision", "1.0"}, {"serial", std::string("S").append(n)}}}};
  if (!media.empty()) d["media"] = media;
  return d;
}

// The default PC with its drive 1 replaced (and the volumes kept).
inline sim::Scenario PcWithDisk1(const nlohmann::json& disk1, const nlohmann::json& patch = nlohmann::json::object()) {
  nlohmann::json drives = nlohmann::json::parse(sim::DefaultScenarioJson())["drives"];
  drives[1] = disk1;
  nlohmann::json p = patch;
  p["drives"] = drives;
  return Scenario(p);
}

// Media that write and read at memory speed, with the given fields besides.
inline nlohmann::json FastMedia(const nlohmann::json& more = nlohmann::json::object()) {
  nlohmann::json m = {{"megabytesPerSecond", 100000}};
  if (more.is_object()) m.update(more);
  return m;
}

// The default PC whose disk 1 is a fast plain disk of 64 MiB with the given
// media fields: the window's and the console's runs share it.
inline sim::Scenario SmallPc(const nlohmann::json& media = nlohmann::json::object(),
                             const nlohmann::json& patch = nlohmann::json::object()) {
  return PcWithDisk1(PlainDisk(1, 131'072, FastMedia(media)), patch);
}

// How many of `lines` start with `prefix`.
inline std::size_t CountPrefix(const std::vector<std::string>& lines, const std::string& prefix) {
  return static_cast<std::size_t>(
      std::count_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.rfind(prefix, 0) == 0; }));
}

// Opens disk 1 and starts a confirmed format run; `during` is played in the run's pumps.
inline std::string FormatScript(bool quickWipe, const std::string& during = "") {
  return std::string("select DriveList 1; click btContinue; tab 1; ") + (quickWipe ? "check cbQuickWipe; " : "") +
         "click btRunBenchmarks; click btOk; answer Yes" + (during.empty() ? "" : "; " + during);
}

inline constexpr char kRecordSavedPrefix[] = "擦除记录已保存：";

// The activity log of the run: the messages after the three start-up lines,
// up to the line that says where the record went (RecordLine).
inline std::vector<std::string> RunLog(const app::HeadlessRun& run) {
  auto lines = Messages(run.app->FmMain.Log_BenchMark);
  std::vector<std::string> out(lines.begin() + std::min<std::ptrdiff_t>(3, static_cast<std::ptrdiff_t>(lines.size())),
                               lines.end());
  if (!out.empty() && out.back().rfind(kRecordSavedPrefix, 0) == 0) out.pop_back();
  return out;
}

inline constexpr char16_t kDefaultRecords[] = u"C:\\Users\\User\\AppData\\Local\\Trevasso\\records";

// The JSON record of the run, saved in the default folder (null, and a failure, when there is not exactly one).
inline nlohmann::json SavedJson(const app::HeadlessRun& run) {
  const auto files = run.platform->FilesWritten(kDefaultRecords);
  EXPECT_EQ(files.size(), 2u);
  if (files.size() != 2) return nullptr;
  return nlohmann::json::parse(*run.platform->FileContent(files[0]));
}

// A run stopped or cut short: neither the window's log nor its record ends
// with the reminder to partition a disk that was not wholly written; both end
// with `last` (the record's line after its time stamp).
inline void ExpectEndsWithoutReminder(const app::HeadlessRun& run, const std::string& last) {
  const auto log = RunLog(run);
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back(), last);
  const nlohmann::json record = SavedJson(run);
  ASSERT_TRUE(record.is_object());
  const std::string recorded = record["log"].back().get<std::string>();
  EXPECT_TRUE(recorded.ends_with("   " + last)) << recorded;
}

// The log's last line when it says where the run's record was saved, else empty.
inline std::string RecordLine(const app::HeadlessRun& run) {
  const auto lines = Messages(run.app->FmMain.Log_BenchMark);
  return !lines.empty() && lines.back().rfind(kRecordSavedPrefix, 0) == 0 ? lines.back() : std::string();
}

struct Write {
  std::int64_t offset;
  std::int64_t size;
  bool ok;
};
// The disk writes (or reads) of a run, from the journal.
inline std::vector<Write> Writes(const app::HeadlessRun& run, const char* call = "WriteFile") {
  std::vector<Write> out;
  for (const auto* e : run.platform->journal().Find(call)) {
    long long offset = 0, size = 0;
    if (std::sscanf(e->detail.c_str(), "offset=%lld %lld bytes", &offset, &size) == 2)
      out.push_back({offset, size, e->detail.find("-> ok") != std::string::npos});
  }
  return out;
}

inline std::vector<sim::ByteRange> ZeroRanges(const app::HeadlessRun& run, std::uint32_t disk) {
  return run.platform->Media(disk)->zero.List();
}

// The engine alone, on one open disk of a simulated PC.
class EngineRun : public format::EraseObserver {
 public:
  explicit EngineRun(const nlohmann::json& disk, const nlohmann::json& patch = nlohmann::json::object())
      : platform(Scenario(Patched(disk, patch))) {
    handle = platform.CreateFileW(u"\\\\.\\PhysicalDrive" + Utf8ToUtf16(std::to_string(disk["number"].get<int>())),
                                  win::GENERIC_READ | win::GENERIC_WRITE, 0, win::OPEN_EXISTING, 0);
  }
  format::EraseResult Run(std::int64_t sectors, std::int64_t sectorSize, bool quickWipe) {
    format::FormatContext ctx{platform, *this, false, stop, volumes, u'.'};
    return format::LowLevelFormat(ctx, {handle, sectors, sectorSize}, quickWipe);
  }

  void Log(const std::u16string& m) override { log.push_back(Utf16ToUtf8(m)); }
  void LogBare(const std::u16string& l) override { log.push_back(Utf16ToUtf8(l)); }
  void ShowProgress(const format::BlockProgress& p) override { progress.push_back(p); }
  void ShowSpeed(const std::u16string& t) override { speed = t; speeds.push_back(Utf16ToUtf8(t)); }
  std::u16string SpeedShown() override { return speed; }
  void ShowComplete() override { complete = true; }
  void ProcessMessages() override {
    if (++pumps == stopAtPump) stop = true;
  }

  sim::SimPlatform platform;
  win::Handle handle = win::kInvalidHandle;
  bool stop = false;
  int pumps = 0, stopAtPump = 0;
  std::vector<win::Handle> volumes;
  std::vector<std::string> log, speeds;
  std::vector<format::BlockProgress> progress;
  std::u16string speed = u"earlier text";
  bool complete = false;

 private:
  static nlohmann::json Patched(const nlohmann::json& disk, nlohmann::json patch) {
    patch["drives"] = nlohmann::json::array({disk});
    patch["volumes"] = nlohmann::json::array();
    return patch;
  }
};

// A PC whose disk, opened for the erase, has the check of its identity
// cancelled (995): every request to that handle fails so until it is written.
class IdentityCheckCancelled : public sim::SimPlatform {
 public:
  using SimPlatform::SimPlatform;
  win::Handle CreateFileW(std::u16string_view path, std::uint32_t access, std::uint32_t share,
                               std::uint32_t disposition, std::uint32_t flags) override {
    const auto h = SimPlatform::CreateFileW(path, access, share, disposition, flags);
    if (share == 0 && path.starts_with(u"\\\\.\\PhysicalDrive")) erased_ = h;  // the erase opens its disk exclusively
    return h;
  }
  bool DeviceIoControl(win::Handle h, std::uint32_t code, const void* in, std::uint32_t inSize, void* out,
                       std::uint32_t outSize, std::uint32_t* returned) override {
    cancelled_ = h == erased_;
    return !cancelled_ && SimPlatform::DeviceIoControl(h, code, in, inSize, out, outSize, returned);
  }
  std::uint32_t GetLastError() override { return cancelled_ ? win::ERROR_OPERATION_ABORTED : SimPlatform::GetLastError(); }

 private:
  win::Handle erased_ = win::kInvalidHandle;
  bool cancelled_ = false;
};

} // namespace trv::test
