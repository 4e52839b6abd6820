#include "device/identify_parse.h"

#include <array>
#include <cstddef>
#include <span>
#include <utility>

#include "platform/text.h"

namespace trv::device {

namespace {

constexpr std::size_t kWords = 256;

// Word n of the block: the two bytes from 2n, low byte first.
std::uint16_t Word(const AtaBlock& b, std::size_t n) {
  if (n >= kWords) return 0;
  return static_cast<std::uint16_t>(b[2 * n] | (b[2 * n + 1] << 8));
}

bool Bit(std::uint16_t word, int bit) { return ((word >> bit) & 1u) != 0; }

// Swaps the two bytes of each of the words first..last in the copy.
void SwapWords(AtaBlock& b, std::size_t first, std::size_t last) {
  for (std::size_t n = first; n <= last && n < kWords; ++n) std::swap(b[2 * n], b[2 * n + 1]);
}

// The bytes of words first..last (already swapped) as trimmed text in the
// system's ANSI code page, as Windows' own programs read these fields.
std::u16string TextField(win::Platform& platform, const AtaBlock& b, std::size_t first, std::size_t last) {
  const std::span<const std::uint8_t> bytes(b.data() + 2 * first, 2 * (last - first + 1));
  std::u16string text = platform.MultiByteToWideChar(win::CP_ACP, bytes);
  if (text.empty()) {
    // The system could not convert: each byte as the character of its value,
    // so that an ASCII text still reads right.
    for (const std::uint8_t byte : bytes) text.push_back(byte);
  }
  return TrimControl(text);
}

// Number of the highest set bit among `count` bits from `lowBit`; 0 when none.
std::uint8_t HighestBit(std::uint16_t word, int lowBit, int count) {
  for (int k = count - 1; k >= 0; --k)
    if (Bit(word, lowBit + k)) return static_cast<std::uint8_t>(k);
  return 0;
}

// The logical sector size the drive reports in words 106, 117 and 118; 512 when
// it reports none, or one outside 512..65536 bytes.
std::int64_t LogicalSectorSize(const AtaBlock& b) {
  const std::uint16_t w106 = Word(b, 106);
  const bool valid = !Bit(w106, 15) && Bit(w106, 14);
  if (!valid || !Bit(w106, 12)) return 512;
  const std::int64_t words = static_cast<std::int64_t>(Word(b, 117)) | (static_cast<std::int64_t>(Word(b, 118)) << 16);
  const std::int64_t bytes = words * 2;
  return (bytes >= 512 && bytes <= 65536) ? bytes : 512;
}

} // namespace

T_IDE_PASSPORT ParseIdentifyData(const AtaBlock& block, win::Platform& platform) {
  AtaBlock b = block;  // the caller's block stays as the device sent it
  T_IDE_PASSPORT p;

  SwapWords(b, 10, 19);  // serial
  SwapWords(b, 23, 26);  // firmware
  SwapWords(b, 27, 46);  // model
  p.sn = TextField(platform, b, 10, 19);
  p.fw = TextField(platform, b, 23, 26);
  p.name = TextField(platform, b, 27, 46);

  const std::uint16_t w49 = Word(b, 49), w82 = Word(b, 82), w83 = Word(b, 83);

  p.lba28support = Bit(w49, 9);
  if (p.lba28support) {
    p.lba28sectors = static_cast<std::int64_t>(Word(b, 60)) | (static_cast<std::int64_t>(Word(b, 61)) << 16);
    std::uint64_t lba48 = 0;
    for (int k = 3; k >= 0; --k) lba48 = (lba48 << 16) | Word(b, 100 + static_cast<std::size_t>(k));
    // Taken as signed: a value with its top bit set is never greater.
    const auto signed48 = static_cast<std::int64_t>(lba48);
    p.lba48support = Bit(w83, 10) && signed48 > p.lba28sectors;
    if (p.lba48support) p.lba48sectors = signed48;
  }
  p.lbasectors = p.lba48support ? p.lba48sectors : p.lba28sectors;
  p.readmultiplesectors = static_cast<std::uint8_t>(Word(b, 47) & 0xFF);

  p.securitysupport = Bit(w82, 1);
  if (p.securitysupport) {
    const std::uint16_t w128 = Word(b, 128);
    // Bit 1 only says a password is set; bit 2 is the lock itself.
    p.locked = Bit(w128, 2);
    p.lockedmax = Bit(w128, 8);
  }
  p.hpasupport = Bit(w82, 10);
  p.smartsupport = Bit(w82, 0);
  if (p.smartsupport) p.smartenabled = Bit(Word(b, 85), 0);
  p.aamsupport = Bit(w83, 9);

  p.dmasupport = Bit(w49, 8) && Bit(Word(b, 53), 2);
  if (p.dmasupport) {
    const std::uint16_t w88 = Word(b, 88);
    p.dmamodesupport = HighestBit(w88, 0, 7);
    p.dmamodeselected = HighestBit(w88, 8, 7);
  }
  p.isremovable = false;
  p.ispacket = false;
  p.buffersize = static_cast<std::uint32_t>(Word(b, 21)) * 512u;
  p.sectorsize = LogicalSectorSize(b);

  const std::uint16_t w75 = Word(b, 75);
  p.QueueSupported = w75 != 0;
  if (p.QueueSupported) p.QueueDepth = w75;
  p.StreamingSupported = Bit(Word(b, 84), 4);
  return p;
}

} // namespace trv::device
