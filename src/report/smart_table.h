// The S.M.A.R.T. attribute table: the lines made from one SMART READ DATA block.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "device/ata.h"
#include "report/language.h"

namespace trv::report {

// Blanks after `text` until it is `width` characters long; longer text unchanged.
std::u16string PadRight(std::u16string text, std::uint16_t width);
// Blanks before `text` until it is `width` characters long; longer text unchanged.
std::u16string PadLeft(std::u16string text, std::uint16_t width);

// Two upper-case hex digits, a leading zero below 16.
std::u16string Hex2(std::uint8_t v);

// The column header, the rule, one line per used attribute entry (id not 0;
// all 30 are looked at, in slot order), and a closing single-blank line.
std::vector<std::u16string> SmartTableLines(const device::AtaBlock& smartData, Language language = Language::Chinese);

} // namespace trv::report
