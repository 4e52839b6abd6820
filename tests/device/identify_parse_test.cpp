#include <gtest/gtest.h>

#include <string>

#include "device/identify_parse.h"
#include "platform/sim/drive_capture.h"
#include "platform/sim/sim_platform.h"
#include "test_support.h"

using trv::device::AtaBlock;
using trv::device::T_IDE_PASSPORT;
using trv::test::U8;

namespace {

AtaBlock Block(std::initializer_list<std::pair<int, std::uint16_t>> words) {
  AtaBlock b{};
  for (auto [n, v] : words) {
    b[2 * n] = static_cast<std::uint8_t>(v & 0xFF);
    b[2 * n + 1] = static_cast<std::uint8_t>(v >> 8);
  }
  return b;
}

// Every field of the record, in record order, as one comparable text.
std::string Describe(const T_IDE_PASSPORT& p) {
  auto n = [](auto v) { return std::to_string(static_cast<long long>(v)); };
  return "name=" + U8(p.name) + " fw=" + U8(p.fw) + " sn=" + U8(p.sn) + " lba28=" + n(p.lba28support) +
         " lba48=" + n(p.lba48support) + " s28=" + n(p.lba28sectors) + " s48=" + n(p.lba48sectors) +
         " s=" + n(p.lbasectors) + " rm=" + n(p.readmultiplesectors) + " sec=" + n(p.securitysupport) +
         " locked=" + n(p.locked) + " max=" + n(p.lockedmax) + " hpa=" + n(p.hpasupport) +
         " smart=" + n(p.smartsupport) + " smarton=" + n(p.smartenabled) + " aam=" + n(p.aamsupport) +
         " dma=" + n(p.dmasupport) + " dmasup=" + n(p.dmamodesupport) + " dmasel=" + n(p.dmamodeselected) +
         " rem=" + n(p.isremovable) + " pkt=" + n(p.ispacket) + " buf=" + n(p.buffersize) +
         " ss=" + n(p.sectorsize) + " q=" + n(p.QueueSupported) + " qd=" + n(p.QueueDepth) +
         " stream=" + n(p.StreamingSupported);
}

// The block decoded on a PC whose ANSI code page is `codePage`.
T_IDE_PASSPORT Parse(const AtaBlock& block, std::uint32_t codePage = 1252) {
  trv::sim::SimPlatform pc(trv::test::Scenario({{"ansiCodePage", codePage}}));
  return trv::device::ParseIdentifyData(block, pc);
}

T_IDE_PASSPORT FromCapture(const std::string& file) {
  const auto capture = trv::sim::LoadDriveCapture(trv::test::TestDataDir() + "/drives/" + file);
  EXPECT_TRUE(capture.identify.has_value()) << file;
  return Parse(capture.identify.value_or(AtaBlock{}));
}

} // namespace

TEST(ParseIdentifyData, AllZeroBlockGivesTheEmptyRecordWith512ByteSectors) {
  EXPECT_EQ(Describe(Parse(AtaBlock{})),
            "name= fw= sn= lba28=0 lba48=0 s28=0 s48=0 s=0 rm=0 sec=0 locked=0 max=0 hpa=0 smart=0 smarton=0 "
            "aam=0 dma=0 dmasup=0 dmasel=0 rem=0 pkt=0 buf=0 ss=512 q=0 qd=0 stream=0");
}

TEST(ParseIdentifyData, LbaCapacities) {
  // 268435455 in words 60/61 and 976773168 in words 100..103.
  const std::initializer_list<std::pair<int, std::uint16_t>> big = {
      {60, 0xFFFF}, {61, 0x0FFF}, {83, 0x0400}, {100, 0x6030}, {101, 0x3A38}};
  auto noLba = Block(big);  // word 49 bit 9 clear: nothing counts
  auto p = Parse(noLba);
  EXPECT_FALSE(p.lba28support);
  EXPECT_FALSE(p.lba48support);
  EXPECT_EQ(p.lba28sectors, 0);
  EXPECT_EQ(p.lba48sectors, 0);
  EXPECT_EQ(p.lbasectors, 0);

  auto both = Block(big);
  both[98] = 0x00, both[99] = 0x02;  // word 49 = 0x0200
  p = Parse(both);
  EXPECT_TRUE(p.lba28support);
  EXPECT_TRUE(p.lba48support);
  EXPECT_EQ(p.lba28sectors, 268435455);
  EXPECT_EQ(p.lba48sectors, 976773168);
  EXPECT_EQ(p.lbasectors, 976773168);

  // A small disk that reports the same count in both places.
  p = Parse(Block({{49, 0x0200}, {60, 0x4BB0}, {61, 0x0DF9}, {83, 0x0400}, {100, 0x4BB0}, {101, 0x0DF9}}));
  EXPECT_TRUE(p.lba28support);
  EXPECT_FALSE(p.lba48support);
  EXPECT_EQ(p.lba48sectors, 0);
  EXPECT_EQ(p.lbasectors, 234441648);

  // Word 83 bit 10 clear: the 48-bit count is ignored however large.
  p = Parse(Block({{49, 0x0200}, {60, 0xFFFF}, {61, 0x0FFF}, {100, 0x6030}, {101, 0x3A38}}));
  EXPECT_FALSE(p.lba48support);
  EXPECT_EQ(p.lbasectors, 268435455);

  // A 48-bit count with its top bit set is negative as a signed number and never greater.
  p = Parse(Block({{49, 0x0200}, {60, 0x0001}, {83, 0x0400}, {103, 0x8000}}));
  EXPECT_FALSE(p.lba48support);
  EXPECT_EQ(p.lbasectors, 1);
  p = Parse(Block({{49, 0x0200}, {60, 0x0001}, {83, 0x0400}, {103, 0x7FFF}}));
  EXPECT_TRUE(p.lba48support);
  EXPECT_EQ(p.lbasectors, 0x7FFF000000000000LL);
}

TEST(ParseIdentifyData, NumbersFromSingleWords) {
  auto p = Parse(Block({{75, 31}, {21, 16384}, {47, 0x8010}}));
  EXPECT_TRUE(p.QueueSupported);
  EXPECT_EQ(p.QueueDepth, 31);
  EXPECT_EQ(p.buffersize, 8388608u);
  EXPECT_EQ(p.readmultiplesectors, 0x10);
  // Word 75 is taken whole, not masked to its depth bits.
  p = Parse(Block({{75, 0xFFFF}, {21, 0xFFFF}}));
  EXPECT_EQ(p.QueueDepth, 65535);
  EXPECT_EQ(p.buffersize, 65535u * 512u);
}

TEST(ParseIdentifyData, DmaModesAreTheHighestSetBits) {
  struct Case {
    std::uint16_t w88;
    int supported, selected;
  };
  for (auto c : {Case{0x203F, 5, 5}, Case{0x407F, 6, 6}, Case{0x0001, 0, 0}, Case{0x0000, 0, 0},
                 Case{0x40FF, 6, 6} /* bit 7 is not a mode bit */, Case{0x8080, 0, 0}}) {
    auto p = Parse(Block({{49, 0x0100}, {53, 0x0004}, {88, c.w88}}));
    EXPECT_TRUE(p.dmasupport);
    EXPECT_EQ(p.dmamodesupport, c.supported) << std::hex << c.w88;
    EXPECT_EQ(p.dmamodeselected, c.selected) << std::hex << c.w88;
  }
  // Without word 49 bit 8 and word 53 bit 2 together the modes stay 0.
  for (auto b : {Block({{49, 0x0100}, {88, 0x407F}}), Block({{53, 0x0004}, {88, 0x407F}})}) {
    auto p = Parse(b);
    EXPECT_FALSE(p.dmasupport);
    EXPECT_EQ(p.dmamodesupport, 0);
    EXPECT_EQ(p.dmamodeselected, 0);
  }
}

TEST(ParseIdentifyData, FeatureFlagsAndTheirPrerequisites) {
  // Security bits in word 128 count only with word 82 bit 1.
  auto p = Parse(Block({{82, 0x0000}, {128, 0x0106}}));
  EXPECT_FALSE(p.securitysupport);
  EXPECT_FALSE(p.locked);
  EXPECT_FALSE(p.lockedmax);
  // Bit 2 is the lock; bit 1 (a password is set) alone is not.
  p = Parse(Block({{82, 0x0002}, {128, 0x0104}}));
  EXPECT_TRUE(p.securitysupport);
  EXPECT_TRUE(p.locked);
  EXPECT_TRUE(p.lockedmax);
  p = Parse(Block({{82, 0x0002}, {128, 0x0102}}));
  EXPECT_FALSE(p.locked);
  EXPECT_TRUE(p.lockedmax);
  p = Parse(Block({{82, 0x0002}, {128, 0x0004}}));
  EXPECT_TRUE(p.locked);
  EXPECT_FALSE(p.lockedmax);

  // S.M.A.R.T. enabled counts only when supported.
  EXPECT_FALSE(Parse(Block({{85, 0x0001}})).smartenabled);
  p = Parse(Block({{82, 0x0401}, {83, 0x0200}, {84, 0x0010}, {85, 0x0001}}));
  EXPECT_TRUE(p.smartsupport);
  EXPECT_TRUE(p.smartenabled);
  EXPECT_TRUE(p.hpasupport);
  EXPECT_TRUE(p.aamsupport);
  EXPECT_TRUE(p.StreamingSupported);
  EXPECT_FALSE(p.isremovable);
  EXPECT_FALSE(p.ispacket);
}

TEST(ParseIdentifyData, TextsAreByteSwappedAnsiAndTrimmed) {
  AtaBlock b{};
  // Serial: first word stored as 0x32 0x31 reads "12"; blanks and zeros around it.
  const std::uint8_t serial[20] = {0x32, 0x31, 0x34, 0x33, ' ', 0x35, 0, 0, ' ', ' ', 0, 0, 0, 0, 0, 0, 0, 0, ' ', ' '};
  std::copy(std::begin(serial), std::end(serial), b.begin() + 20);
  // Firmware: a tab in front, two inner blanks, zeros behind.
  const std::uint8_t fw[8] = {'A', '\t', ' ', '1', 'B', ' ', 0, 0};
  std::copy(std::begin(fw), std::end(fw), b.begin() + 46);
  // Model: bytes 0x80, 0xE9, 0x81 are Windows-1252 characters; the inner blank stays.
  const std::uint8_t model[8] = {'A', 'Z', 0x80, ' ', 0x81, 0xE9, ' ', ' '};
  std::copy(std::begin(model), std::end(model), b.begin() + 54);
  const AtaBlock before = b;
  auto p = Parse(b, 1252);
  EXPECT_EQ(U8(p.sn), "12345");
  EXPECT_EQ(U8(p.fw), "A1  B");
  EXPECT_EQ(p.name, u"ZA \u20AC\u00E9\u0081");
  EXPECT_EQ(b, before);  // the caller's block is left as the device sent it
}

TEST(ParseIdentifyData, TextsFollowTheSystemsAnsiCodePage) {
  // A model "中文盘" in GBK, as a drive stores it: the two bytes of each word swapped.
  AtaBlock b{};
  const std::uint8_t model[8] = {0xD0, 0xD6, 0xC4, 0xCE, 0xCC, 0xC5, ' ', ' '};
  std::copy(std::begin(model), std::end(model), b.begin() + 54);
  EXPECT_EQ(Parse(b, 936).name, u"中文盘");  // a Chinese Windows
  EXPECT_EQ(Parse(b, 1252).name, u"\u00D6\u00D0\u00CE\u00C4\u00C5\u00CC");  // a Western one
  // A GBK lead byte cut off at the end of the field does not swallow what follows.
  AtaBlock cut{};
  const std::uint8_t serial[4] = {'1', 'A', 0xD6, '2'};  // "A12", then a lead byte before zero filler
  std::copy(std::begin(serial), std::end(serial), cut.begin() + 20);
  EXPECT_EQ(Parse(cut, 936).sn, u"A12\uFFFD");
}

TEST(ParseIdentifyData, SectorSizeIsTheLogicalSectorSizeTheDriveReports) {
  struct Case {
    std::uint16_t w106, w117, w118;
    std::int64_t size;
  };
  for (auto c : {Case{0x5000, 2048, 0, 4096},       // 4096-byte logical sectors
                 Case{0x5000, 256, 0, 512},         // the smallest accepted
                 Case{0x5000, 0x8000, 0, 65536},    // the largest accepted
                 Case{0x5000, 0x8001, 0, 512},      // too large
                 Case{0x5000, 255, 0, 512},         // too small
                 Case{0x5000, 0, 0, 512},
                 Case{0x5000, 2048, 1, 512},        // the high word counts too: far too large
                 Case{0x4000, 2048, 0, 512},        // bit 12 clear: 512
                 Case{0xD000, 2048, 0, 512},        // bit 15 set: word 106 not valid
                 Case{0x1000, 2048, 0, 512},        // bit 14 clear: word 106 not valid
                 Case{0x6003, 2048, 0, 512}}) {     // 4096-byte physical, 512-byte logical sectors
    auto p = Parse(Block({{106, c.w106}, {117, c.w117}, {118, c.w118}}));
    EXPECT_EQ(p.sectorsize, c.size) << std::hex << c.w106 << " " << c.w117 << " " << c.w118;
  }
}

// The captured drives, decoded by hand from their words (see the comments).
// Differences to the testdata table: the table counts queue depth as word 75 + 1
// while the record holds word 75 itself; "unknown" cache is buffersize 0; and a
// 48-bit count that is not larger than the 28-bit one does not count.
TEST(ParseIdentifyData, CapturedDrives) {
  // w49 0x2F00, w53 7, w47 0x8010 on all five: LBA and DMA supported, read multiple 16.
  // ST9160821AS: w83 0x7D09 (48-bit yes, AAM no), w82 0x346B, w85 0x3469, w128 0x0029 (no
  // password, not locked), w88 0x203F, w21 16384, w75 31, w84 0x6023, w106 0x4000 (no logical size).
  EXPECT_EQ(Describe(FromCapture("ST9160821AS--3.CLH")),
            "name=ST9160821AS fw=3.CLH sn=5MAC2QTA lba28=1 lba48=1 s28=268435455 s48=312581808 s=312581808 rm=16 "
            "sec=1 locked=0 max=0 hpa=1 smart=1 smarton=1 aam=0 dma=1 dmasup=5 dmasel=5 rem=0 pkt=0 buf=8388608 "
            "ss=512 q=1 qd=31 stream=0");
  // WDC: w83 0x7F61 (48-bit, AAM), w128 0x0001, w88 0x207F (mode 6 supported, 5 selected), w21 32768.
  EXPECT_EQ(Describe(FromCapture("WDC_WD5000AAKS--00TMA0-12.01C01")),
            "name=WDC WD5000AAKS-00TMA0 fw=12.01C01 sn=WD-WCAPW0493929 lba28=1 lba48=1 s28=268435455 "
            "s48=976773168 s=976773168 rm=16 sec=1 locked=0 max=0 hpa=1 smart=1 smarton=1 aam=1 dma=1 dmasup=6 "
            "dmasel=5 rem=0 pkt=0 buf=16777216 ss=512 q=1 qd=31 stream=0");
  // INTEL: words 100..103 equal words 60/61, so no 48-bit addressing (the table lists 234441648).
  // w128 0x012B: bit 1 (a password is set) and bit 8 (maximum level) set, bit 2 clear: not
  // locked. w21 0: no cache size.
  EXPECT_EQ(Describe(FromCapture("INTEL_SSDSA2CW120G3--4PC10302")),
            "name=INTEL SSDSA2CW120G3 fw=4PC10302 sn=CVPR109301UZ120LGN lba28=1 lba48=0 s28=234441648 s48=0 "
            "s=234441648 rm=16 sec=1 locked=0 max=1 hpa=1 smart=1 smarton=1 aam=0 dma=1 dmasup=6 dmasel=6 rem=0 "
            "pkt=0 buf=0 ss=512 q=1 qd=31 stream=0");
  // Maxtor: w83 0x4309 (no 48-bit, AAM yes), w82 0x7C69 (no security), w75 0, w21 4096.
  EXPECT_EQ(Describe(FromCapture("Maxtor_96147H8--BAC51KJ0")),
            "name=Maxtor 96147H8 fw=BAC51KJ0 sn=N80BR8EC lba28=1 lba48=0 s28=120060864 s48=0 s=120060864 rm=16 "
            "sec=0 locked=0 max=0 hpa=1 smart=1 smarton=1 aam=1 dma=1 dmasup=5 dmasel=5 rem=0 pkt=0 buf=2097152 "
            "ss=512 q=0 qd=0 stream=0");
  // SAMSUNG: w83 0x7F01, w128 0x0021, w88 0x40FF (bit 7 is no mode bit: 6 and 6), w21 32768.
  EXPECT_EQ(Describe(FromCapture("SAMSUNG_HD501LJ--CR100-12")),
            "name=SAMSUNG HD501LJ fw=CR100-12 sn=S0MUJ1NQ110060 lba28=1 lba48=1 s28=268435455 s48=976773168 "
            "s=976773168 rm=16 sec=1 locked=0 max=0 hpa=1 smart=1 smarton=1 aam=1 dma=1 dmasup=6 dmasel=6 rem=0 "
            "pkt=0 buf=16777216 ss=512 q=1 qd=31 stream=0");
}
