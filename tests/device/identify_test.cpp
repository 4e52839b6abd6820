// Identification of one disk from the storage stack's answers, seen through the
// scan: the debug lines of the disk and the record the device table gets.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "device/scan_support.h"

using nlohmann::json;
using trv::test::DiskTrace;
using trv::test::Scan;
using trv::test::U8;

namespace {

bool Has(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// One disk at number 0 with these fields merged over a plain SATA disk.
trv::app::HeadlessRun ScanOne(const json& fields = json::object()) {
  json disk = {{"number", 0}, {"bus", 11}, {"device", {{"product", "ST3500418AS"}, {"revision", "CC38"}, {"serial", "5VM1"}}}};
  disk.merge_patch(fields);
  return Scan(json::array({disk}));
}

const trv::device::TIdentifyDeviceData& Only(const trv::app::HeadlessRun& run) {
  EXPECT_EQ(run.app->dev.DeviceCount, 1);
  return run.app->dev.Devices[1].IdentifyData;
}

// A raw device descriptor: Size, the four text offsets, then `tail` from byte 40.
std::string RawDevice(std::uint32_t size, std::uint32_t vendor, std::uint32_t product, std::uint32_t revision,
                      std::uint32_t serial, const std::string& tailHex) {
  auto le = [](std::uint32_t v) {
    char b[12];
    std::snprintf(b, sizeof b, "%02x%02x%02x%02x", v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF, v >> 24);
    return std::string(b);
  };
  return le(40) + le(size) + "00000000" + le(vendor) + le(product) + le(revision) + le(serial) + le(11) + le(0) +
         "00000000" + tailHex;
}

} // namespace

TEST(Identify, SizesSectorsAndTransferLimits) {
  auto big = ScanOne({{"length", 500107862016LL}, {"adapter", {{"maxTransfer", 131072}}}});
  EXPECT_EQ(Only(big).LBA, 976773168);
  EXPECT_EQ(Only(big).SectorSize, 512);
  EXPECT_EQ(Only(big).MaximumSectorsTransfer, 250);  // 256 is capped
  auto usual = ScanOne({{"adapter", {{"maxTransfer", 65536}}}});
  EXPECT_EQ(Only(usual).MaximumSectorsTransfer, 128);

  // A negative length is no length: no sectors, so the disk cannot be chosen.
  auto negative = ScanOne({{"length", -512}});
  EXPECT_TRUE(Has(DiskTrace(negative, 0), "Media \"Length\" = -512"));
  EXPECT_EQ(Only(negative).LBA, 0);

  // Sectors below 512 bytes: no sector count, and the size is raised to 512.
  auto small = ScanOne({{"bytesPerSector", 256}, {"sectors", 1000}, {"adapter", {{"maxTransfer", 65536}}}});
  const auto trace = DiskTrace(small, 0);
  EXPECT_TRUE(Has(trace, "Sector size = 256"));
  EXPECT_TRUE(Has(trace, "Sectors: 0"));
  EXPECT_TRUE(Has(trace, "SectorSize: 256"));
  EXPECT_TRUE(Has(trace, "MaxTransfer: 128"));
  EXPECT_EQ(Only(small).LBA, 0);
  EXPECT_EQ(Only(small).SectorSize, 512);
  EXPECT_FALSE(Only(small).RemovableMedia);
  EXPECT_TRUE(Only(ScanOne({{"removable", true}})).RemovableMedia);
}

TEST(Identify, FailedAdapterQueryFallsBackToFlashBus) {
  for (int error : {1, 0}) {  // any failure, even one without an error code
    auto run = ScanOne({{"fail", {{"adapter", error}}}, {"sectors", 1000}});
    const auto trace = DiskTrace(run, 0);
    EXPECT_TRUE(Has(trace, "Skipped 0"));
    EXPECT_TRUE(Has(trace, "MaxTransfer: 128"));
    EXPECT_EQ(Only(run).BusType, 201);
    EXPECT_EQ(Only(run).IsIDESlave, 0);  // bus 201 is never probed
    EXPECT_EQ(U8(run.app->FmChoose.DriveList.items()[0][0]), "FLASH");
  }
}

TEST(Identify, FailingGeometryOrLengthLeavesTheDiskOut) {
  auto geometry = ScanOne({{"fail", {{"geometry", 1}}}});
  EXPECT_EQ(DiskTrace(geometry, 0), (std::vector<std::string>{"Trying device \\\\.\\PhysicalDrive0",
                                                               "Identifying the device...", "Getting geometry...",
                                                               "Done. Status = 0;   "}));
  EXPECT_EQ(geometry.app->dev.DeviceCount, 0);

  auto length = ScanOne({{"fail", {{"length", 21}}}});
  const auto trace = DiskTrace(length, 0);
  ASSERT_GE(trace.size(), 3u);
  EXPECT_EQ(std::vector<std::string>(trace.end() - 3, trace.end()),
            (std::vector<std::string>{"Getting disk length...", "Error accessing device: The device is not ready.",
                                      "Done. Status = 0;   "}));
  EXPECT_EQ(length.app->dev.DeviceCount, 0);
  EXPECT_EQ(length.platform->OpenHandleCount(), 0u);
}

TEST(Identify, FailuresWithoutAnErrorCodeCountAsAnswersWithNothingInThem) {
  auto run = ScanOne({{"fail", {{"geometry", 0}, {"length", 0}, {"device", 0}}}});
  const auto trace = DiskTrace(run, 0);
  EXPECT_EQ(std::count(trace.begin(), trace.end(), "Done 0"), 3);
  EXPECT_TRUE(Has(trace, "Sector size = 0"));
  EXPECT_TRUE(Has(trace, "Media \"Length\" = 0"));
  EXPECT_TRUE(Has(trace, "Sectors: 0"));
  const auto& id = Only(run);
  EXPECT_EQ(id.LBA, 0);
  EXPECT_EQ(id.SectorSize, 512);
  EXPECT_EQ(U8(id.Model), "Storage Device");
  EXPECT_EQ(U8(id.FW), "0000");
  EXPECT_EQ(U8(id.SN), "000000");
  EXPECT_TRUE(Has(trace, "Done. Status = -1; Storage Device  000000"));
}

TEST(Identify, VendorProductAndRevisionTexts) {
  auto noVendor = ScanOne();
  EXPECT_TRUE(Has(DiskTrace(noVendor, 0), "VendorID:  "));
  EXPECT_EQ(U8(Only(noVendor).Model), " ST3500418AS");

  auto ataOnly = ScanOne({{"device", {{"vendor", "  ATA     "}, {"product", nullptr}, {"revision", nullptr}}}});
  const auto trace = DiskTrace(ataOnly, 0);
  EXPECT_TRUE(Has(trace, "VendorID: ATA "));
  EXPECT_TRUE(Has(trace, "ProductID: "));
  EXPECT_EQ(U8(Only(ataOnly).Model), "ATA ");
  EXPECT_EQ(U8(Only(ataOnly).FW), "0000");

  // Bytes become the characters of the same code, without a code page.
  auto latin = ScanOne({{"device", {{"vendor", "Caf\u00e9"}, {"serial", "\t 12 \x01"}}}});
  EXPECT_EQ(U8(Only(latin).Model), "Caf\u00e9 ST3500418AS");
  EXPECT_EQ(U8(Only(latin).SN), "12");
}

TEST(Identify, TextsPointingPastTheAnswerAreCutShort) {
  // Vendor at 40 runs to the Size position inclusive; product starts past the
  // buffer; revision runs off its end; the serial lies beyond Size.
  std::string tail = "41424344454647";  // "ABCDEFG" without a terminating zero
  tail += std::string(2 * (508 - 47), '0');
  tail += "585959";  // "XYY" at 508..510, then byte 511 set and byte 512 cut off by the buffer
  tail += "5a5a";
  const std::string raw = RawDevice(43, 40, 600, 508, 44, tail);
  auto run = ScanOne({{"device", raw}});
  const auto trace = DiskTrace(run, 0);
  EXPECT_TRUE(Has(trace, "VendorID: ABCD "));
  EXPECT_TRUE(Has(trace, "ProductID: "));
  EXPECT_TRUE(Has(trace, "ProductRevision: "));  // position 508 is past Size 43
  EXPECT_TRUE(Has(trace, "SerialNumber: "));

  const std::string huge = RawDevice(0xFFFFFFFF, 508, 0xFFFFFFFF, 0, 0, tail);
  auto past = ScanOne({{"device", huge}});
  EXPECT_TRUE(Has(DiskTrace(past, 0), "VendorID: XYYZ "));  // up to the last byte of the 512
  EXPECT_EQ(U8(Only(past).Model), "XYYZ ");
}

TEST(Identify, ADescriptorLargerThanTheFirstAnswerIsAskedForAgainWhole) {
  // A long product text pushes the serial past the first 512 bytes: the size
  // the first answer states is asked for, and the serial is read from it.
  auto run = ScanOne({{"device", {{"product", std::string(600, 'P')}, {"serial", "FAR-SERIAL-42"}}}});
  EXPECT_EQ(U8(Only(run).SN), "FAR-SERIAL-42");
  EXPECT_EQ(U8(Only(run).Model), " " + std::string(600, 'P'));
  std::vector<std::string> outputs;
  for (const auto* e : run.platform->journal().Find("DeviceIoControl"))
    if (e->detail.rfind("code=0x2D1400 in=12 ", 0) == 0 && e->input.size() == 12 && e->input[0] == 0)
      outputs.push_back(e->detail.substr(0, e->detail.find(" ->")));
  EXPECT_EQ(outputs, (std::vector<std::string>{"code=0x2D1400 in=12 out=512", "code=0x2D1400 in=12 out=660"}));
}

TEST(Identify, FortyCharacterSerialsAreDecodedWhenTheyAreHex) {
  struct Case {
    const char* reported;
    const char* stored;
  };
  for (const Case& c : {Case{"2020202057202d44435750413057393439333932", "WD-WCAPW0493929"},
                        Case{"3557353535353535353535353535353535353535", "W5555555555555555555"},
                        Case{"35574_414 413535353535353535353535353535", "W5ABAB55555555555555"},
                        Case{"3557616263646566676869707172737475767778", "W5badcfehgpirqtsvuxw"},
                        Case{"4d35434151324154202020202020202020202020", "5MAC2QTA"},
                        Case{"G557353535353535353535353535353535353535", "G557353535353535353535353535353535353535"}}) {
    auto run = ScanOne({{"device", {{"serial", c.reported}}}});
    EXPECT_TRUE(Has(DiskTrace(run, 0), "Performing the WinXP SN trick...")) << c.reported;
    EXPECT_EQ(U8(Only(run).SN), c.stored) << c.reported;
  }
  auto shorter = ScanOne({{"device", {{"serial", "202020205720"}}}});
  EXPECT_FALSE(Has(DiskTrace(shorter, 0), "Performing the WinXP SN trick..."));
  EXPECT_EQ(U8(Only(shorter).SN), "202020205720");
}

// SCSI_ADAPTER_BUS_INFO with one bus of one unit, and the first 4 bytes of
// that unit's record (path 0, target 1, lun 0, claimed), cut there.
const std::string kOneUnitAtTwelve = "01000000 01070000 0c000000 00010001 ";

TEST(Identify, SlavePositionIsProbedForAtaAndSataOnly) {
  struct Case {
    int bus;
    json extra;
    int slave;
  };
  for (const Case& c : {Case{3, {{"smartVersion", {{"deviceMap", 0x02}}}}, 1},
                        Case{11, {{"smartVersion", {{"deviceMap", 0x01}}}}, 0},
                        Case{3, {{"smartVersion", {{"deviceMap", 0x04}}}}, 0},
                        Case{11, {{"smartVersion", {{"deviceMap", 0x80}}}}, 1},
                        // Without S.M.A.R.T. the first inquiry record's target decides.
                        Case{3, {{"scsiInquiry", {{"targetId", 1}}}}, 1},
                        Case{3, {{"scsiInquiry", {{"targetId", 2}}}}, 0},
                        Case{3, {{"fail", {{"inquiry", 1}}}}, 0},
                        // Byte 13 counts only as the target of a unit record at 12: one bus
                        // with a unit whose record starts there, and an answer that holds it.
                        Case{3, {{"scsiInquiry", kOneUnitAtTwelve + "24000000 00000000"}}, 1},
                        Case{3, {{"scsiInquiry", kOneUnitAtTwelve}}, 0},
                        Case{3, {{"scsiInquiry", "02000000 01070000 14000000 01070000 14000000 00010001 24000000"}}, 0},
                        Case{3, {{"scsiInquiry", "01000000 00070000 0c000000 00010001 24000000 00000000"}}, 0},
                        Case{7, {{"smartVersion", {{"deviceMap", 0x02}}}}, 0}}) {
    json fields = c.extra;
    fields["bus"] = c.bus;
    auto run = ScanOne(fields);
    EXPECT_EQ(Only(run).IsIDESlave, c.slave) << fields.dump();
    const auto& j = run.platform->journal();
    const bool probed = std::any_of(j.entries().begin(), j.entries().end(),
                                    [](const auto& e) { return e.code == 0x00074080; });
    EXPECT_EQ(probed, c.bus != 7) << fields.dump();
  }
}
