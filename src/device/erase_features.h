// What firmware erase a disk offers, read from its identify data only: the ATA
// Security and Sanitize feature sets (IDENTIFY DEVICE words 59, 82, 83, 89, 90
// and 128), and NVMe's Format NVM and Sanitize (Identify Controller OACS, FNA
// and SANICAP). Nothing here sends a command that changes the disk.
#pragma once
#include <cstdint>

#include "device/ata.h"
#include "device/nvme.h"

namespace trv::device {

// An erase time estimate of word 89 or 90, in minutes.
struct EraseTime {
  bool reported = false;
  bool atLeast = false;      // the largest value the format holds: "more than"
  std::uint32_t minutes = 0;
};

struct EraseFeatures {
  bool nvme = false;
  // ATA Security (word 128, with word 82 bit 1).
  bool securitySupported = false, securityEnabled = false, locked = false, frozen = false;
  bool countExpired = false, enhancedEraseSupported = false;
  EraseTime normalEraseTime, enhancedEraseTime;
  // ATA Sanitize (word 59).
  bool sanitizeSupported = false, cryptoScramble = false, blockErase = false, overwrite = false;
  // NVMe Format NVM (OACS bit 1, FNA) and Sanitize (SANICAP).
  bool formatNvm = false, formatAllNamespaces = false, eraseAllNamespaces = false, cryptoEraseOnFormat = false;
  std::uint8_t fna = 0;
  std::uint32_t sanicap = 0;
  bool sanitizeCrypto = false, sanitizeBlock = false, sanitizeOverwrite = false;
};

EraseFeatures AtaEraseFeatures(const AtaBlock& identify);
EraseFeatures NvmeEraseFeatures(const NvmeIdentifyBlock& controller);

} // namespace trv::device
