#include "report/smart_table.h"

#include "platform/records.h"
#include "platform/text.h"
#include "report/smart_names.h"

namespace trv::report {

namespace {

// Attribute entries: 30 of 12 bytes from byte 2 of the block.
constexpr std::size_t kFirstEntry = 2, kEntrySize = 12, kEntries = 30;
constexpr std::size_t kId = 0, kCurrent = 3, kWorst = 4, kRaw = 5, kRawBytes = 6;
constexpr std::uint8_t kTemperatureId = 194;  // its lowest raw byte is degrees Celsius

constexpr char16_t kColumnHeader[] =
    u"          属性                      当前   最差          原始       请注意";
// The same columns in English, each word over the end of its numbers.
constexpr char16_t kEnglishColumnHeader[] =
    u" Id  Hex  Attribute                    Current    Worst               Raw  Note";
constexpr std::size_t kRuleWidth = 88;

// The pieces of one attribute line, in order. The name keeps its stored blanks,
// so the columns after it do not line up from line to line.
std::u16string AttributeLine(std::span<const std::uint8_t> entry, Language l) {
  const std::uint8_t id = rec::U8(entry, kId);
  const std::uint64_t raw = rec::GetLE(entry, kRaw, kRawBytes);
  std::u16string line = u" ";
  line += PadRight(DecimalText(std::uint32_t{id}), 3);
  line += u"  ";
  line += Hex2(id);
  line += u"  ";
  line += GetSmartAttributeName(id, l);
  line += u"     ";
  line += PadLeft(DecimalText(std::uint32_t{rec::U8(entry, kCurrent)}), 5);
  line += u"  ";
  line += PadLeft(DecimalText(std::uint32_t{rec::U8(entry, kWorst)}), 7);
  line += u"  ";
  line += PadLeft(DecimalText(raw), 16);
  if (id == kTemperatureId) {
    line += u"  (";
    line += DecimalText(raw % 256);
    line += Say(l, u" 度) ", u" °C)");
  }
  return line;
}

} // namespace

std::u16string Hex2(std::uint8_t v) {
  static constexpr char16_t digits[] = u"0123456789ABCDEF";
  return {digits[v >> 4], digits[v & 15]};
}

std::u16string PadRight(std::u16string text, std::uint16_t width) {
  if (text.size() < width) text.resize(width, u' ');
  return text;
}

std::u16string PadLeft(std::u16string text, std::uint16_t width) {
  if (text.size() < width) text.insert(0, width - text.size(), u' ');
  return text;
}

std::vector<std::u16string> SmartTableLines(const device::AtaBlock& smartData, Language l) {
  std::vector<std::u16string> lines = {Say(l, kColumnHeader, kEnglishColumnHeader), std::u16string(kRuleWidth, u'-')};
  const std::span<const std::uint8_t> block(smartData);
  for (std::size_t k = 0; k < kEntries; ++k) {
    const auto entry = block.subspan(kFirstEntry + k * kEntrySize, kEntrySize);
    if (rec::U8(entry, kId) == 0) continue;  // an unused entry, not the table's end: later ones are shown
    lines.push_back(AttributeLine(entry, l));
  }
  lines.push_back(u" ");
  return lines;
}

} // namespace trv::report
