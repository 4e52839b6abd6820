// Saving erase records on the simulated PC: the folder chain, never
// overwriting, failures told with their step, and the headless output.
#include <gtest/gtest.h>

#include "platform/sim/sim_platform.h"
#include "record_support.h"
#include "test_support.h"

using nlohmann::json;
using trv::format::SaveRecord;
using trv::format::SavedRecord;
using namespace trv::test;
namespace win = trv::win;

namespace {

const std::u16string kLocal = u"C:\\Users\\User\\AppData\\Local";
const std::u16string kRecords = kLocal + u"\\Trevasso\\records";
const std::u16string kStem = kRecords + u"\\2026-12-08_170509_WD-WMAYP0123456";

std::vector<std::string> Calls(trv::sim::SimPlatform& p, const std::string& call) {
  std::vector<std::string> out;
  for (const auto& e : p.journal().Find(call)) out.push_back(e->detail);
  return out;
}

// A simulated PC whose n-th file write, flush or close fails with 1117; or
// whose writes from the n-th on succeed without writing anything.
class FailingFiles : public trv::sim::SimPlatform {
 public:
  enum class Step { Write, EmptyWrite, Flush, Close };
  FailingFiles(Step step, int n) : SimPlatform(Scenario()), step_(step), n_(n) {}
  bool WriteFile(win::Handle h, const void* data, std::uint32_t size, std::uint32_t* written) override {
    if (step_ == Step::EmptyWrite && ++count_ >= n_) return *written = 0, true;
    return !Fails(Step::Write) && SimPlatform::WriteFile(h, data, size, written);
  }
  bool FlushFileBuffers(win::Handle h) override { return !Fails(Step::Flush) && SimPlatform::FlushFileBuffers(h); }
  bool CloseHandle(win::Handle h) override { return SimPlatform::CloseHandle(h) && !Fails(Step::Close); }
  std::uint32_t GetLastError() override { return failed_ ? 1117 : SimPlatform::GetLastError(); }

 private:
  bool Fails(Step step) { return failed_ = step_ == step && ++count_ == n_; }
  Step step_;
  int n_, count_ = 0;
  bool failed_ = false;
};

} // namespace

TEST(SaveRecord, MakesTheFolderChainAndBothFilesAndNeverOverwrites) {
  // An earlier run left only its JSON file under the first name.
  trv::sim::SimPlatform p(Scenario({{"files", {{U8(kStem + u".json"), "earlier"}}}}));
  const auto record = QuickWipeRecord();
  ASSERT_EQ(trv::format::DefaultRecordsFolder(p), kRecords);
  const SavedRecord first = SaveRecord(p, kRecords + u"\\", record);
  ASSERT_TRUE(first.saved) << first.error;
  // Every folder of the chain is asked for; here all exist (the earlier run's file is in the last),
  // and Windows answers 183 for each.
  const std::string exists = " -> failed error=183";
  EXPECT_EQ(Calls(p, "CreateDirectoryW"),
            (std::vector<std::string>{"C:\\Users" + exists, "C:\\Users\\User" + exists, "C:\\Users\\User\\AppData" + exists,
                                      U8(kLocal) + exists, U8(kLocal) + "\\Trevasso" + exists, U8(kRecords) + exists}));
  EXPECT_EQ(first.textPath, kStem + u"_2.txt") << "a record's two files share their name";
  EXPECT_EQ(first.jsonPath, kStem + u"_2.json");
  EXPECT_EQ(p.FileContent(first.textPath), trv::format::RecordText(record));
  EXPECT_EQ(p.FileContent(first.jsonPath), trv::format::RecordJson(record));
  EXPECT_EQ(p.FileContent(kStem + u".json"), "earlier");
  EXPECT_EQ(SaveRecord(p, kRecords, record).jsonPath, kStem + u"_3.json");
  EXPECT_EQ(Calls(p, "FlushFileBuffers").size(), 4u);
  for (const std::string& create : Calls(p, "CreateFileW"))  // looked for, or created only when new
    EXPECT_TRUE(create.find("disposition=3") != std::string::npos || create.find("disposition=1") != std::string::npos);
  EXPECT_EQ(p.OpenHandleCount(), 0u);

  // A share keeps its server and share name; doubled backslashes make no empty folder.
  trv::sim::SimPlatform share(Scenario());
  SaveRecord(share, u"\\\\server\\share\\logs\\\\trevasso", record);
  EXPECT_EQ(Calls(share, "CreateDirectoryW"),
            (std::vector<std::string>{"\\\\server\\share\\logs", "\\\\server\\share\\logs\\\\trevasso"}));
}

TEST(SaveRecord, FailuresTellTheErrorAndPathOfTheirStepAndLeaveNoHandleOpen) {
  const auto record = QuickWipeRecord();
  const auto check = [&](trv::sim::SimPlatform& p, std::u16string_view folder, std::uint32_t error,
                         const std::u16string& path) {
    const SavedRecord saved = SaveRecord(p, folder, record);
    EXPECT_FALSE(saved.saved);
    EXPECT_EQ(saved.error, error);
    EXPECT_EQ(saved.failedPath, path);
    EXPECT_EQ(p.OpenHandleCount(), 0u);
  };
  // The records folder exists but takes no file.
  trv::sim::SimPlatform full(Scenario({{"readOnlyFolders", json::array({U8(kRecords)})}}));
  check(full, kRecords, win::ERROR_ACCESS_DENIED, kStem + u".txt");
  // The folder above it takes no folder: the records folder is never made.
  trv::sim::SimPlatform locked(Scenario({{"readOnlyFolders", json::array({"c:\\users\\user\\appdata\\local\\TREVASSO"})}}));
  check(locked, kRecords, win::ERROR_ACCESS_DENIED, kRecords);
  EXPECT_TRUE(Calls(locked, "CreateFileW").empty());
  // No local application data folder: no default, and an empty folder is not the current drive's root.
  trv::sim::SimPlatform none(Scenario({{"localAppData", ""}}));
  check(none, trv::format::DefaultRecordsFolder(none), win::ERROR_PATH_NOT_FOUND, u"");
  EXPECT_TRUE(none.journal().entries().empty());

  using Step = FailingFiles::Step;
  for (auto [step, n, error, path] : {std::tuple{Step::Write, 1, 1117u, kStem + u".txt"},
                                      {Step::EmptyWrite, 1, win::ERROR_DISK_FULL, kStem + u".txt"},  // no endless loop
                                      {Step::Flush, 2, 1117u, kStem + u".json"},
                                      {Step::Close, 2, 1117u, kStem + u".json"}}) {
    FailingFiles p(step, n);
    check(p, kRecords, error, path);
  }
}

TEST(SaveRecord, TimesAndComputerNameComeFromTheMachine) {
  trv::sim::SimPlatform p(Scenario());
  EXPECT_EQ(trv::format::LocalTimeNow(p), (trv::format::TimeStamp{2026, 12, 8, 17, 5, 9, 0}));
  EXPECT_EQ(trv::format::UtcTimeNow(p), (trv::format::TimeStamp{2026, 12, 8, 9, 5, 9, 0}));
  EXPECT_EQ(p.GetComputerNameW(), u"TREVASSO-PC");
  // West of Greenwich, late on New Year's Eve: UTC is already in the next year.
  trv::sim::SimPlatform west(Scenario({{"clock", {{"start", "2026-12-31 22:30:00"}, {"utcOffsetMinutes", -300}}}}));
  west.Sleep(1234);
  EXPECT_EQ(trv::format::LocalTimeNow(west), (trv::format::TimeStamp{2026, 12, 31, 22, 30, 1, 234}));
  EXPECT_EQ(trv::format::UtcTimeNow(west), (trv::format::TimeStamp{2027, 1, 1, 3, 30, 1, 234}));
  EXPECT_EQ(Calls(west, "GetSystemTime"), std::vector<std::string>{"2027-01-01 03:30:01.234"});
}

TEST(HeadlessRecord, ReportPrintsEachFileWrittenBelowTheRecordsFolder) {
  auto run = Play(Scenario({{"files", {{U8(kRecords + u"\\old.txt"), "not written by this run"}}}}));
  const auto record = QuickWipeRecord();
  ASSERT_TRUE(SaveRecord(*run.platform, kRecords, record).saved);
  ASSERT_TRUE(SaveRecord(*run.platform, kLocal + u"\\Elsewhere", record).saved);
  const std::string report = run.Report();
  // In path order: the JSON file, then the text file, each in full.
  const std::string head = "== Record " + U8(kStem) + ".json\n  | {\n  |   \"format\": \"trevasso-erase-record\",\n";
  const std::string text = "  | }\n== Record " + U8(kStem) + ".txt\n  | Erase record\n  | \n  | A quick wipe is not a "
                           "sanitization: only bytes 0 to 10,240,000 and 500,106,813,440 to 500,107,862,016 were "
                           "written; the rest of the disk still holds its data.\n  | \n  | Outcome:            completed\n";
  const auto at = report.find("== Record ");
  ASSERT_NE(at, std::string::npos) << report;
  EXPECT_EQ(report.compare(at, head.size(), head), 0) << report.substr(at);
  EXPECT_NE(report.find(text), std::string::npos) << report.substr(at);
  const std::string last = "  | 2026/12/8 17:05:21   Low-level format is complete.\n";
  EXPECT_EQ(report.substr(report.size() - last.size()), last);
  EXPECT_EQ(report.find("old.txt"), std::string::npos);
  EXPECT_EQ(report.find("Elsewhere"), std::string::npos);
  EXPECT_EQ(report.find('\r'), std::string::npos);
}
