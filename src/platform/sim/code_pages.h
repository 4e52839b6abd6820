// The ANSI code pages the simulated PC knows, for its MultiByteToWideChar.
#pragma once
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace trv::sim {

// Whether the simulated PC can convert text in this code page (936 and 1252).
bool KnownCodePage(std::uint32_t codePage);

// The bytes as UTF-16 text in `codePage`; nothing for a code page it does not
// know. Zero bytes become zero characters. 1252 follows Windows, its five
// undefined bytes becoming the C1 controls of the same value. 936: bytes below
// 0x80 are ASCII, 0x80 is the euro sign, 0x81..0xFE lead a two-byte character;
// a pair without a character, a lead byte without a valid trail byte (the trail
// is then read on its own) and the byte 0xFF become U+FFFD.
std::optional<std::u16string> DecodeCodePage(std::uint32_t codePage, std::span<const std::uint8_t> bytes);

} // namespace trv::sim
