#include "platform/sim/code_pages.h"

#include <array>

#include "platform/sim/gbk_table.h"

namespace trv::sim {

namespace {

constexpr char16_t kReplacement = 0xFFFD;

// Windows-1252 for the bytes 0x80..0x9F; the undefined ones keep their value.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80..87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88..8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90..97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98..9F
};

std::u16string DecodeWestern(std::span<const std::uint8_t> bytes) {
  std::u16string text;
  text.reserve(bytes.size());
  for (const std::uint8_t b : bytes)
    text.push_back(b >= 0x80 && b <= 0x9F ? kCp1252High[b - 0x80] : static_cast<char16_t>(b));
  return text;
}

// The cell of a trail byte in a GBK row; none for a byte that cannot trail.
std::optional<std::size_t> TrailCell(std::uint8_t trail) {
  if (trail >= 0x40 && trail <= 0x7E) return trail - 0x40;
  if (trail >= 0x80 && trail <= 0xFE) return trail - 0x80 + (0x7F - 0x40);
  return std::nullopt;
}

std::u16string DecodeGbk(std::span<const std::uint8_t> bytes) {
  std::u16string text;
  text.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const std::uint8_t b = bytes[i];
    if (b < 0x80) {
      text.push_back(b);
    } else if (b == 0x80) {
      text.push_back(0x20AC);
    } else if (b == 0xFF) {
      text.push_back(kReplacement);
    } else {
      const auto cell = i + 1 < bytes.size() ? TrailCell(bytes[i + 1]) : std::nullopt;
      if (!cell) {
        text.push_back(kReplacement);  // the next byte, if any, is read on its own
        continue;
      }
      const std::u16string_view row = kGbkRows[b - 0x81];
      text.push_back(*cell < row.size() ? row[*cell] : kReplacement);
      ++i;
    }
  }
  return text;
}

} // namespace

bool KnownCodePage(std::uint32_t codePage) { return codePage == 936 || codePage == 1252; }

std::optional<std::u16string> DecodeCodePage(std::uint32_t codePage, std::span<const std::uint8_t> bytes) {
  if (codePage == 1252) return DecodeWestern(bytes);
  if (codePage == 936) return DecodeGbk(bytes);
  return std::nullopt;
}

} // namespace trv::sim
