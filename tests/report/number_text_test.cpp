#include <gtest/gtest.h>

#include <limits>

#include "report/number_text.h"
#include "test_support.h"

using trv::report::CapacityToStr;
using trv::report::FormatThousands;
using trv::test::U8;

TEST(FormatThousands, GroupsFromTheFifthDigitOn) {
  const std::pair<std::int64_t, const char*> cases[] = {
      {0, "0"},           {9999, "9999"},         {10000, "10,000"},
      {123456, "123,456"}, {999999, "999,999"},   {1000000, "1,000,000"},
      {500107862016, "500,107,862,016"},
      {std::numeric_limits<std::int64_t>::max(), "9,223,372,036,854,775,807"},
  };
  for (const auto& [value, text] : cases) EXPECT_EQ(U8(FormatThousands(value)), text) << value;
}

TEST(CapacityToStr, CutsToTwoDecimalsAtTheThresholds) {
  const std::pair<std::int64_t, const char*> cases[] = {
      {0, "0 bytes"},
      {-5, "-5 bytes"},
      {512, "512 bytes"},
      {99998, "99998 bytes"},
      {99999, "99.99 KB"},
      {100000, "100 KB"},
      {123456, "123.45 KB"},
      {8388608, "8388.6 KB"},
      {9999998, "9999.99 KB"},
      {9999999, "9.99 MB"},
      {1234567890, "1234.56 MB"},
      {9999999998LL, "9999.99 MB"},
      {9999999999LL, "9.99 GB"},
      {80026361856LL, "80.02 GB"},
      {500107862016LL, "500.1 GB"},
      {2000398934016LL, "2000.39 GB"},
      {std::numeric_limits<std::int64_t>::max(), "9223372036.85 GB"},
  };
  for (const auto& [bytes, text] : cases) EXPECT_EQ(U8(CapacityToStr(bytes)), text) << bytes;
  EXPECT_EQ(U8(CapacityToStr(123456, u',')), "123,45 KB");
}

TEST(GetDeviceDescription, TrimsTextsAndUsesTheDiskOwnSectorSize) {
  trv::device::DeviceState state;
  auto& e = state.Devices[1];
  e.DeviceNumber = 1;
  e.IdentifyData = {u"  ABC 500 ", u" FW01", u"SN", 976773168, 512, 11, 128, false, 0};
  EXPECT_EQ(U8(trv::report::GetDeviceDescription(state, 1)), "[1]  ABC 500    FW01    [500.1 GB]");
  e.IdentifyData.FW.clear();
  EXPECT_EQ(U8(trv::report::GetDeviceDescription(state, 1)), "[1]  ABC 500        [500.1 GB]");
  // 4096-byte sectors: the capacity is the sector count times 4096, not 512.
  e.DeviceNumber = 7;
  e.IdentifyData.LBA = 488378646;
  e.IdentifyData.SectorSize = 4096;
  EXPECT_EQ(U8(trv::report::GetDeviceDescription(state, 1)), "[7]  ABC 500        [2000.39 GB]");
}
