// Decoding of the 512-byte ATA IDENTIFY DEVICE block into a T_IDE_PASSPORT.
#pragma once
#include <cstdint>
#include <string>

#include "device/ata.h"
#include "device/device_records.h"

namespace trv::device {

// A pure function of the block: no device access, no logging, no failure. Every
// field of the result is written; fields without a source keep their empty value.
T_IDE_PASSPORT ParseIdentifyData(const AtaBlock& block);

// One byte of the ANSI code page as a UTF-16 character. The program decodes
// device texts as Windows-1252 (Western): 0x00..0x7F and 0xA0..0xFF equal their
// Latin-1 code points, 0x80..0x9F are the 1252 punctuation and letters, and the
// five bytes 1252 leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) become the C1
// control characters of the same value, as Windows' own conversion does.
char16_t AnsiCharacter(std::uint8_t byte);

} // namespace trv::device
