#include "device/erase_features.h"

#include "device/nvme_records.h"
#include "platform/records.h"

namespace trv::device {

namespace {

bool Bit(std::uint32_t value, int bit) { return ((value >> bit) & 1u) != 0; }

std::uint16_t Word(const AtaBlock& b, std::size_t n) { return rec::U16(b, 2 * n); }

// Words 89 and 90: bits 7:0 give the time in units of 2 minutes (255: more
// than 508 minutes); with bit 15 set (the extended format) bits 14:0 do
// (32767: more than 65,532 minutes). 0: not reported.
EraseTime Time(std::uint16_t word) {
  const bool extended = Bit(word, 15);
  const std::uint32_t value = extended ? (word & 0x7FFFu) : (word & 0xFFu);
  const std::uint32_t largest = extended ? 0x7FFFu : 0xFFu;
  if (value == 0) return {};
  return {true, value == largest, value == largest ? (largest - 1) * 2 : value * 2};
}

} // namespace

EraseFeatures AtaEraseFeatures(const AtaBlock& b) {
  EraseFeatures f;
  // Word 82 counts only with word 83's 01b signature; word 128 bit 0 says it too.
  const bool words82to84 = (Word(b, 83) >> 14) == 0b01;
  const std::uint16_t security = Word(b, 128);
  f.securitySupported = (words82to84 && Bit(Word(b, 82), 1)) || Bit(security, 0);
  if (f.securitySupported) {
    f.securityEnabled = Bit(security, 1);
    f.locked = Bit(security, 2);
    f.frozen = Bit(security, 3);
    f.countExpired = Bit(security, 4);
    f.enhancedEraseSupported = Bit(security, 5);
    f.normalEraseTime = Time(Word(b, 89));
    f.enhancedEraseTime = Time(Word(b, 90));
  }
  const std::uint16_t sanitize = Word(b, 59);
  f.sanitizeSupported = Bit(sanitize, 12);
  if (f.sanitizeSupported) {
    f.cryptoScramble = Bit(sanitize, 13);
    f.overwrite = Bit(sanitize, 14);
    f.blockErase = Bit(sanitize, 15);
  }
  return f;
}

EraseFeatures NvmeEraseFeatures(const NvmeIdentifyBlock& block) {
  const std::span<const std::uint8_t> b(block);
  EraseFeatures f;
  f.nvme = true;
  f.formatNvm = Bit(rec::U16(b, nvme::kCtrlOacs), 1);
  f.fna = rec::U8(b, nvme::kCtrlFna);
  f.formatAllNamespaces = Bit(f.fna, 0);
  f.eraseAllNamespaces = Bit(f.fna, 1);
  f.cryptoEraseOnFormat = Bit(f.fna, 2);
  f.sanicap = rec::U32(b, nvme::kCtrlSanicap);
  f.sanitizeCrypto = Bit(f.sanicap, 0);
  f.sanitizeBlock = Bit(f.sanicap, 1);
  f.sanitizeOverwrite = Bit(f.sanicap, 2);
  return f;
}

} // namespace trv::device
