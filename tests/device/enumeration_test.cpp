// The scan of \\.\PhysicalDrive0..255 on whole simulated PCs: the debug trace,
// the device table and the count in the selection dialog.
#include <gtest/gtest.h>

#include <algorithm>

#include "device/enumeration.h"
#include "device/scan_support.h"
#include "platform/sim/sim_platform.h"
#include "platform/sinks.h"

using nlohmann::json;
using trv::test::DiskTrace;
using trv::test::Scan;
using trv::test::ScanTrace;
using trv::test::U8;

namespace {

json Sata(int number, const std::string& product, const std::string& serial) {
  return {{"number", number}, {"bus", 11}, {"device", {{"product", product}, {"revision", "CC38"}, {"serial", serial}}}};
}

std::vector<std::string> Skipped(int from, int to) {
  std::vector<std::string> lines;
  for (int n = from; n <= to; ++n) {
    lines.push_back("Trying device \\\\.\\PhysicalDrive" + std::to_string(n));
    lines.push_back("Invalid handle, skipping");
  }
  return lines;
}

} // namespace

TEST(Scan, TraceOfASeveralDiskPcLineByLine) {
  json slave = Sata(0, "ST3500418AS", "5VM1ABCD");
  slave["smartVersion"] = {{"deviceMap", 2}};
  json usb = {{"number", 2},
              {"bus", 7},
              {"removable", true},
              {"sectors", 15646720},
              {"adapter", {{"maxTransfer", 65536}}},
              {"device", {{"vendor", "Kingston"}, {"product", "DataTraveler 2.0"}, {"revision", "PMAP"},
                          {"serial", "001CC0EC3450BB5167C8017F"}}}};
  json broken = Sata(3, "WDC WD10EARS-00Y5B1", "WD-WCAV5R123456");
  broken["fail"] = {{"geometry", 21}};
  auto run = Scan(json::array({slave, {{"number", 1}, {"open", "denied"}}, usb, broken}));

  std::vector<std::string> expected = {
      "Trying device \\\\.\\PhysicalDrive0",
      "Identifying the device...",
      "Getting geometry...",
      "Done -1",
      "Sector size = 512",
      "Getting disk length...",
      "Done -1",
      "Media \"Length\" = 500107862016",
      "Querying storage property (adapter)...",
      "Done -1",
      "Querying storage property (device)...",
      "Done -1",
      "Parsing data...",
      "VendorID:  ",
      "ProductID: ST3500418AS",
      "ProductRevision: CC38",
      "SerialNumber: 5VM1ABCD",
      "Sectors: 976773168",
      "SectorSize: 512",
      "MaxTransfer: 250",
      "Done. Status = -1;  ST3500418AS  5VM1ABCD",
      "Trying device \\\\.\\PhysicalDrive1",
      "Invalid handle, skipping",
      "Trying device \\\\.\\PhysicalDrive2",
      "Identifying the device...",
      "Getting geometry...",
      "Done -1",
      "Sector size = 512",
      "Getting disk length...",
      "Done -1",
      "Media \"Length\" = 8011120640",
      "Querying storage property (adapter)...",
      "Done -1",
      "Querying storage property (device)...",
      "Done -1",
      "Parsing data...",
      "VendorID: Kingston ",
      "ProductID: DataTraveler 2.0",
      "ProductRevision: PMAP",
      "SerialNumber: 001CC0EC3450BB5167C8017F",
      "Sectors: 15646720",
      "SectorSize: 512",
      "MaxTransfer: 128",
      "Done. Status = -1; Kingston DataTraveler 2.0  001CC0EC3450BB5167C8017F",
      "Trying device \\\\.\\PhysicalDrive3",
      "Identifying the device...",
      "Getting geometry...",
      // Not identified: the line carries nothing of the disk before it.
      "Done. Status = 0;   ",
  };
  const auto rest = Skipped(4, 255);
  expected.insert(expected.end(), rest.begin(), rest.end());
  EXPECT_EQ(ScanTrace(run), expected);

  const auto& dev = run.app->dev;
  ASSERT_EQ(dev.DeviceCount, 2);
  EXPECT_EQ(dev.Devices[1].IdentifyData.IsIDESlave, 1);
  EXPECT_EQ(dev.Devices[2].IdentifyData.RemovableMedia, true);
  EXPECT_EQ(dev.Devices[2].IdentifyData.IsIDESlave, 0);
  EXPECT_EQ(dev.Devices[2].DeviceNumber, 2u);
  EXPECT_EQ(U8(run.app->FmChoose.StatusBar.simpleText()), "Disks found: 2");
  // Every scan open is read-only and shared, and every handle is closed again.
  std::size_t opens = 0;
  for (const auto* e : run.platform->journal().Find("CreateFileW")) {
    if (e->detail.find("PhysicalDrive") == std::string::npos) continue;
    ++opens;
    EXPECT_NE(e->detail.find(" access=0x80000000 share=3 disposition=3 flags=0x0 "), std::string::npos) << e->detail;
  }
  EXPECT_EQ(opens, 256u);
  EXPECT_EQ(run.platform->OpenHandleCount(), 0u);
}

TEST(Scan, GapsAreSkippedAndEntriesKeepTheirDriveNumbers) {
  auto run = Scan(json::array({Sata(0, "ST3500418AS", "5VM1ABCD"), Sata(2, "ST9160821AS", "5MAC2QTA")}));
  EXPECT_EQ(DiskTrace(run, 1), (std::vector<std::string>{"Trying device \\\\.\\PhysicalDrive1", "Invalid handle, skipping"}));
  const auto& dev = run.app->dev;
  ASSERT_EQ(dev.DeviceCount, 2);
  EXPECT_EQ(U8(dev.Devices[1].DevicePath), "\\\\.\\PhysicalDrive0");
  EXPECT_EQ(dev.Devices[1].DeviceNumber, 0u);
  EXPECT_EQ(U8(dev.Devices[2].DevicePath), "\\\\.\\PhysicalDrive2");
  EXPECT_EQ(dev.Devices[2].DeviceNumber, 2u);
  EXPECT_EQ(U8(dev.Devices[2].IdentifyData.Model), " ST9160821AS");
  EXPECT_FALSE(dev.Devices[2].IsFile);
  EXPECT_TRUE(dev.Devices[2].FilePath.empty());
  EXPECT_TRUE(dev.Devices[3].DevicePath.empty());
}

// The scan knows no window: run on its own with a status sink and a debug log
// kept as lines (as the console program runs it), it finds the same disks and
// says the same as in the window program.
TEST(Scan, WithoutAnyWindowItGivesTheSameTableTraceAndCount) {
  const json drives = json::array({Sata(0, "ST3500418AS", "5VM1ABCD"), Sata(2, "ST9160821AS", "5MAC2QTA")});
  auto window = Scan(drives);

  trv::sim::SimPlatform platform(trv::test::Scenario({{"drives", drives}}));
  trv::LineList debug;
  trv::StatusText status;
  trv::device::DeviceEnv env{platform, [&](const std::u16string& line) { debug.AddLine(line); },
                             [](const std::u16string& text, const std::u16string&) { FAIL() << U8(text); }};
  trv::device::DeviceState dev;
  trv::device::EnumerateDevices(env, dev, status);

  EXPECT_EQ(U8(status.text()), "Disks found: 2");
  EXPECT_EQ(U8(status.text()), U8(window.app->FmChoose.StatusBar.simpleText()));
  std::vector<std::string> trace;
  for (const auto& line : debug.lines()) trace.push_back(U8(line));
  EXPECT_EQ(trace, ScanTrace(window));
  ASSERT_EQ(dev.DeviceCount, window.app->dev.DeviceCount);
  for (std::size_t i = 1; i <= 2; ++i) {
    EXPECT_EQ(dev.Devices[i].DeviceNumber, window.app->dev.Devices[i].DeviceNumber);
    EXPECT_EQ(U8(dev.Devices[i].IdentifyData.SN), U8(window.app->dev.Devices[i].IdentifyData.SN));
  }
  EXPECT_EQ(platform.OpenHandleCount(), 0u);
}

TEST(Scan, StopsAfterFifteenDisks) {
  json drives = json::array();
  for (int n = 0; n < 20; ++n) drives.push_back(Sata(n, "DISK" + std::to_string(n), "SN" + std::to_string(n)));
  auto run = Scan(drives);
  const auto& dev = run.app->dev;
  EXPECT_EQ(dev.DeviceCount, 15);
  EXPECT_EQ(dev.Devices[15].DeviceNumber, 14u);
  EXPECT_TRUE(dev.Devices[16].DevicePath.empty());
  EXPECT_EQ(U8(run.app->FmChoose.StatusBar.simpleText()), "Disks found: 15");
  const auto trace = ScanTrace(run);
  EXPECT_EQ(trace.back(), "Done. Status = -1;  DISK14  SN14");
  EXPECT_TRUE(DiskTrace(run, 15).empty());  // number 15 is never tried
  std::size_t opens = 0;
  for (const auto* e : run.platform->journal().Find("CreateFileW")) opens += e->detail.find("PhysicalDrive") != std::string::npos;
  EXPECT_EQ(opens, 15u);
}

TEST(Scan, InaccessibleDisksAreSkippedAndNoDiskMeansAnEmptyList) {
  auto run = Scan(json::array({{{"number", 0}, {"open", "absent"}}, {{"number", 1}, {"open", "denied"}},
                               {{"number", 2}, {"open", "inUse"}}}));
  // A disk another program holds open still answers the shared read-only scan.
  EXPECT_EQ(run.app->dev.DeviceCount, 1);
  EXPECT_EQ(run.app->dev.Devices[1].DeviceNumber, 2u);

  auto none = Scan(json::array());
  const auto trace = ScanTrace(none);
  EXPECT_EQ(trace, Skipped(0, 255));
  EXPECT_EQ(U8(none.app->FmChoose.StatusBar.simpleText()), "Disks found: 0");
  EXPECT_TRUE(none.app->FmChoose.DriveList.items().empty());
}

TEST(Scan, FailedDeviceQueryEndsTheProgramInTheMiddleOfTheScan) {
  json denied = Sata(1, "ST3500418AS", "5VM1ABCD");
  denied["fail"] = {{"device", 5}};
  auto run = Scan(json::array({Sata(0, "ST9160821AS", "5MAC2QTA"), denied, Sata(2, "X", "Y")}));
  EXPECT_EQ(run.exitReason, "process ended (code 1)");
  ASSERT_EQ(run.ui->boxes().size(), 1u);
  EXPECT_EQ(U8(run.ui->boxes()[0].text), "Error accessing device: Access is denied.");
  EXPECT_EQ(U8(run.ui->boxes()[0].caption), "Error");
  EXPECT_EQ(run.ui->boxes()[0].flags, 0x10u);
  EXPECT_EQ(ScanTrace(run).back(), "Querying storage property (device)...");
  EXPECT_TRUE(DiskTrace(run, 2).empty());
  EXPECT_EQ(run.app->dev.DeviceCount, 1);
  EXPECT_TRUE(run.app->FmMain.Log_BenchMark.lines().empty());  // start-up never finished
}

TEST(Scan, DefaultPcHasTwoSataDisksAStickAndATooSmallCard) {
  auto run = trv::test::Play(trv::test::Scenario(), "", {u"--debug"});
  const auto& dev = run.app->dev;
  ASSERT_EQ(dev.DeviceCount, 4);
  const auto& items = run.app->FmChoose.DriveList.items();
  ASSERT_EQ(items.size(), 4u);
  EXPECT_EQ(U8(items[0][0]) + "|" + U8(items[0][1]) + "|" + U8(items[0][2]) + "|" + U8(items[0][3]) + "|" + U8(items[0][4]),
            "SATA|INTEL SSDSA2CW120G3|4PC10302|CVPR109301UZ120LGN|234441648");
  EXPECT_EQ(U8(items[1][1]) + "|" + U8(items[1][3]) + "|" + U8(items[1][4]),
            "WDC WD5000AAKS-00TMA0|WD-WCAPW0493929|976773168");
  EXPECT_EQ(U8(items[2][0]) + "|" + U8(items[2][1]), "USB|Kingston DataTraveler 2.0");
  EXPECT_EQ(U8(items[3][0]) + "|" + U8(items[3][3]), "SD|000000");
  EXPECT_LT(dev.Devices[4].IdentifyData.LBA, 65535);
  const auto trace = ScanTrace(run);
  EXPECT_NE(std::find(trace.begin(), trace.end(), "Performing the WinXP SN trick..."), trace.end());
}
