// The drive behind Windows' view, on the simulated PC: a USB dock's bridge
// that gives every drive its own serial, an NVMe controller whose serial
// Windows does not show, the medium, and what an overwrite cannot reach.
#include <gtest/gtest.h>

#include "cli/cli_support.h"
#include "format/format_support.h"
#include "modern_pc.h"

using namespace trv::test;
using nlohmann::json;

namespace {

constexpr char kBridgeSerial[] = "0000000000000123";
constexpr char kRecords[] = "C:\\Users\\User\\AppData\\Local\\Trevasso\\records";

// The modern PC's disk 2, a Seagate ST9160821AS in a USB dock, fast; `serial`
// replaces the drive's own (5MAC2QTA) as another drive of the same model's.
json DockedSeagate(const std::string& serial = "") {
  json disk = ModernPcJson()["drives"][2];
  disk["media"] = FastMedia();
  if (!serial.empty()) disk["sat"]["serial"] = serial;
  return disk;
}

trv::sim::Scenario ModernWithDisk2(const json& disk) {
  return ModernPc([&](json& pc) { pc["drives"][2] = disk; });
}

// The default PC's WDC data disk (E: and F:), fast, with changes to its ATA side.
json DefaultDataDisk(const json& ata = json::object()) {
  json disk = json::parse(trv::sim::DefaultScenarioJson())["drives"][1];
  disk["media"] = FastMedia();
  disk["ata"].update(ata);
  return disk;
}

std::vector<std::string> Codes(const json& notReached) {
  std::vector<std::string> codes;
  for (const json& item : notReached) codes.push_back(item["code"]);
  return codes;
}

} // namespace

TEST(CliIdentity, ListNamesEachDriveAsItNamesItselfBesideWindowsView) {
  auto run = CliOn(std::make_unique<trv::sim::SimPlatform>(ModernPc()), "list --json");
  ASSERT_EQ(run.code, 0) << run.host.err;
  const json disks = run.Json()["disks"];
  ASSERT_EQ(disks.size(), 4u);
  // The NVMe system disk: the controller's serial, not the one Windows makes up.
  EXPECT_EQ(disks[0]["serial"], "S4EVNX0N612345K");
  EXPECT_EQ(disks[0]["model"], "Samsung SSD 970 EVO Plus 500GB");
  EXPECT_EQ(disks[0]["identity_source"], "nvme");
  EXPECT_EQ(disks[0]["windows"]["serial"], "0025_38B5_91B0_1A2C.");
  EXPECT_EQ(disks[0]["media"], "nvme");
  // The Intel SSD on SATA states word 217 = 1: solid state.
  EXPECT_EQ(disks[1]["media"], "ssd");
  EXPECT_EQ(disks[1]["identity_source"], "ata");
  // The Seagate behind its bridge (issue: list showed "ST916082 1AS" and the bridge's serial).
  EXPECT_EQ(disks[2]["model"], "ST9160821AS");
  EXPECT_EQ(disks[2]["firmware"], "3.CLH");
  EXPECT_EQ(disks[2]["serial"], "5MAC2QTA");
  EXPECT_EQ(disks[2]["identity_source"], "sat");
  EXPECT_EQ(disks[2]["windows"], (json{{"model", "ST916082 1AS"}, {"firmware", "0508"}, {"serial", kBridgeSerial}}));
  EXPECT_EQ(disks[2]["confirm_serial"], "5MAC2QTA");
  EXPECT_EQ(disks[2]["media"], "unknown") << "an ATA-7 drive states no rotation rate";
  // The USB stick cannot be asked: Windows' view is all there is.
  EXPECT_EQ(disks[3]["identity_source"], "windows");
  EXPECT_EQ(disks[3]["serial"], disks[3]["windows"]["serial"]);

  auto text = CliOn(std::make_unique<trv::sim::SimPlatform>(ModernPc()), "list");
  const std::string out = text.host.out;
  const auto line2 = out.substr(out.find("\n2 "), out.find('\n', out.find("\n2 ") + 1) - out.find("\n2 "));
  for (const char* part : {"unknown", "ST9160821AS", "3.CLH", "5MAC2QTA", "ST916082 1AS, serial 0000000000000123"})
    EXPECT_NE(line2.find(part), std::string::npos) << part << "\n" << out;
  EXPECT_NE(out.find("NVMe SSD"), std::string::npos) << out;
  EXPECT_EQ(text.platform->journal().Count("WriteFile"), 0u);

  // A drive that states its rotation rate is a hard disk.
  EXPECT_EQ(Cli(PcWithDisk1(DefaultDataDisk({{"rotationRate", 7200}})), "list --json").Json()["disks"][1]["media"], "hdd");
}

TEST(CliIdentity, TwoDrivesInOneDockAreTwoDisksEachConfirmedByItsLabel) {
  const auto first = ModernWithDisk2(DockedSeagate()), second = ModernWithDisk2(DockedSeagate("5MAC2QTB"));
  // Windows cannot tell them apart: the bridge names both the same.
  EXPECT_EQ(Cli(first, "list --json").Json()["disks"][2]["windows"],
            Cli(second, "list --json").Json()["disks"][2]["windows"]);

  auto a = Cli(first, "erase 2 --quick --confirm-serial 5MAC2QTA --json");
  auto b = Cli(second, "erase 2 --quick --confirm-serial 5MAC2QTB --json");
  ASSERT_EQ(a.code, 0) << a.host.err;
  ASSERT_EQ(b.code, 0) << b.host.err;
  EXPECT_EQ(a.Json()["disk"]["serial"], "5MAC2QTA");
  EXPECT_EQ(b.Json()["disk"]["serial"], "5MAC2QTB");
  EXPECT_EQ(a.Json()["disk"]["windows"]["serial"], kBridgeSerial);
  EXPECT_EQ(a.platform->FilesWritten(trv::Utf8ToUtf16(kRecords)).front(),
            trv::Utf8ToUtf16(std::string(kRecords) + "\\2026-12-08_170509_5MAC2QTA.json"));
  EXPECT_EQ(b.platform->FilesWritten(trv::Utf8ToUtf16(kRecords)).front(),
            trv::Utf8ToUtf16(std::string(kRecords) + "\\2026-12-08_170509_5MAC2QTB.json"));
  const std::string text = *a.platform->FileContent(a.platform->FilesWritten(trv::Utf8ToUtf16(kRecords)).back());
  for (const char* line : {"Serial:             5MAC2QTA\r\n",
                           "Identity from:      the drive, through its USB bridge (ATA IDENTIFY DEVICE by SAT)\r\n",
                           "Windows shows:      ST916082 1AS, firmware 0508, serial 0000000000000123\r\n"})
    EXPECT_NE(text.find(line), std::string::npos) << line << text;

  // Windows' serial names the disk too; another drive's label does not, and the refusal names both serials.
  EXPECT_EQ(Cli(second, std::string("erase 2 --quick --confirm-serial ") + kBridgeSerial).code, 0);
  auto wrong = Cli(second, "erase 2 --quick --confirm-serial 5MAC2QTA");
  EXPECT_EQ(wrong.code, 4);
  EXPECT_NE(wrong.host.err.find("the drive's own serial is 5MAC2QTB, Windows shows 0000000000000123; either names it; "
                                "nothing was written"),
            std::string::npos)
      << wrong.host.err;
  EXPECT_TRUE(wrong.platform->Media(2)->changed.Empty());

  // The first drive is pulled after the scan asked it, and the second put in its place.
  json swapped = DockedSeagate();
  swapped["swap"] = {{"afterOpens", 2}, {"drive", DockedSeagate("5MAC2QTB")}};
  auto swap = Cli(ModernWithDisk2(swapped), "erase 2 --quick --confirm-serial 5MAC2QTA");
  EXPECT_EQ(swap.code, 4) << swap.host.err;
  EXPECT_NE(swap.host.err.find("refused: the disk was changed; nothing was written. Chosen: ST9160821AS, serial 5MAC2QTA "
                               "(Windows shows ST916082 1AS, serial 0000000000000123), 160,041,885,696 bytes; now: "
                               "ST9160821AS, serial 5MAC2QTB"),
            std::string::npos)
      << swap.host.err;
  EXPECT_EQ(swap.platform->journal().Count("WriteFile"), 0u);
  EXPECT_TRUE(swap.platform->Media(2)->changed.Empty());
}

TEST(CliIdentity, TheRecordSaysWhatTheOverwriteCouldNotReach) {
  // The WDC as Windows shows it on XP (2,096 sectors short), with 1,000 more
  // sectors behind a host protected area.
  json disk = DefaultDataDisk({{"nativeSectors", 976'774'168}});
  disk["sectors"] = 976'771'072;
  auto run = Cli(PcWithDisk1(disk), "erase 1 --quick --confirm-serial WD-WCAPW0493929 --json");
  ASSERT_EQ(run.code, 5) << run.host.err;
  const json record = run.Json();
  // Trimmed, as list and the text record show it (the record's JSON had a leading blank).
  EXPECT_EQ(record["disk"]["model"], "WDC WD5000AAKS-00TMA0");
  EXPECT_EQ(record["disk"]["windows"]["model"], "WDC WD5000AAKS-00TMA0");
  const json& notReached = record["not_reached"];
  ASSERT_EQ(Codes(notReached), (std::vector<std::string>{"past-windows-size", "host-protected-area"})) << notReached;
  EXPECT_EQ(notReached[0]["begin"], 500'106'788'864);
  EXPECT_EQ(notReached[0]["end"], 500'107'862'016);
  EXPECT_EQ(notReached[1]["bytes"], 512'000);
  EXPECT_EQ(notReached[1]["end"], 976'774'168LL * 512);

  // An SSD: its spare cells, and nothing else; the text record names it.
  auto ssd = CliOn(std::make_unique<trv::sim::SimPlatform>(ModernPc([](json& pc) {
                     pc["drives"][1]["media"] = FastMedia();
                   })),
                   "erase 1 --quick --confirm-serial CVPR109301UZ120LGN --json");
  ASSERT_EQ(ssd.code, 0) << ssd.host.err;
  EXPECT_EQ(ssd.Json()["disk"]["media"], "ssd");
  EXPECT_EQ(Codes(ssd.Json()["not_reached"]), std::vector<std::string>{"ssd-spare-cells"});
  EXPECT_FALSE(ssd.Json()["not_reached"][0].contains("begin"));
  const std::string text = *ssd.platform->FileContent(ssd.platform->FilesWritten(trv::Utf8ToUtf16(kRecords)).back());
  EXPECT_NE(text.find("Media:              SATA SSD\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("Not reached:        an SSD keeps spare and remapped cells"), std::string::npos) << text;
}

TEST(WindowIdentity, TheWindowsTextsStayWindowsViewItsRecordFollowsTheDrive) {
  const std::string script = "select DriveList 2; click btContinue; tab 1; check cbQuickWipe; click btRunBenchmarks; click btOk; answer Yes";
  auto a = Play(ModernWithDisk2(DockedSeagate()), script);
  auto b = Play(ModernWithDisk2(DockedSeagate("5MAC2QTB")), script);
  // The activity log's lines (the title included) are the same for both drives.
  EXPECT_EQ(RunLog(a), RunLog(b));
  const auto files = b.platform->FilesWritten(trv::Utf8ToUtf16(kRecords));
  ASSERT_EQ(files.size(), 2u);
  EXPECT_EQ(files[0], trv::Utf8ToUtf16(std::string(kRecords) + "\\2026-12-08_170509_5MAC2QTB.json"));
  const json record = json::parse(*b.platform->FileContent(files[0]));
  EXPECT_EQ(record["disk"]["serial"], "5MAC2QTB");
  EXPECT_EQ(record["disk"]["identity_source"], "sat");
  EXPECT_EQ(record["outcome"], "completed");
}
