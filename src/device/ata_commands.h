// The ATA Security and Sanitize commands' codes and signatures, as ACS-3 sets
// them, shared by the commands the program sends and the simulated drives that
// answer them.
#pragma once
#include <cstdint>

namespace trv::device::atacmd {

inline constexpr std::uint8_t kIdentifyDevice = 0xEC;

// The Security feature set. SET PASSWORD, UNLOCK, ERASE UNIT and DISABLE
// PASSWORD carry one 512-byte block (PIO data-out); PREPARE and FREEZE LOCK none.
inline constexpr std::uint8_t kSecuritySetPassword = 0xF1;
inline constexpr std::uint8_t kSecurityUnlock = 0xF2;
inline constexpr std::uint8_t kSecurityErasePrepare = 0xF3;
inline constexpr std::uint8_t kSecurityEraseUnit = 0xF4;
inline constexpr std::uint8_t kSecurityFreezeLock = 0xF5;
inline constexpr std::uint8_t kSecurityDisablePassword = 0xF6;

// The password block: word 0 holds the control bits, words 1-16 the password
// (32 bytes, as given, not byte-swapped), word 17 the master password identifier
// (SET PASSWORD of the master password only).
inline constexpr std::uint16_t kPasswordMaster = 1 << 0;       // identifier: 0 user, 1 master
inline constexpr std::uint16_t kPasswordEnhanced = 1 << 1;     // ERASE UNIT: enhanced erase
inline constexpr std::uint16_t kPasswordMasterMaximum = 1 << 8;  // SET PASSWORD: security level maximum (0: high)
inline constexpr std::size_t kPasswordAt = 2;   // byte offset of the password in the block
inline constexpr std::size_t kPasswordBytes = 32;

// SANITIZE DEVICE (B4h, 48-bit, no data): the FEATURE field names the function.
inline constexpr std::uint8_t kSanitizeDevice = 0xB4;
inline constexpr std::uint16_t kSanitizeStatusExt = 0x0000;
inline constexpr std::uint16_t kCryptoScrambleExt = 0x0011;
inline constexpr std::uint16_t kBlockEraseExt = 0x0012;
inline constexpr std::uint16_t kOverwriteExt = 0x0014;
inline constexpr std::uint16_t kSanitizeFreezeLockExt = 0x0020;
inline constexpr std::uint16_t kSanitizeAntifreezeLockExt = 0x0040;
// The LBA field's signature each function needs (OVERWRITE: in LBA 47:32; its
// LBA 31:0 is the pattern).
inline constexpr std::uint64_t kCryptoScrambleSignature = 0x0000'4372'7970ull;  // "Cryp"
inline constexpr std::uint64_t kBlockEraseSignature = 0x0000'426B'4572ull;      // "BkEr"
inline constexpr std::uint64_t kOverwriteSignature = 0x4F57ull;                 // "OW", in LBA 47:32
inline constexpr std::uint64_t kFreezeLockSignature = 0x0000'4672'4C6Bull;      // "FrLk"
inline constexpr std::uint64_t kAntifreezeSignature = 0x0000'416E'7469ull;      // "Anti"
// COUNT field bits.
inline constexpr std::uint16_t kSanitizeClearFailure = 1 << 0;  // STATUS EXT: leave the failed state
inline constexpr std::uint16_t kSanitizeFailureMode = 1 << 4;   // the op may be cleared when it fails
inline constexpr std::uint16_t kOverwriteInvert = 1 << 7;
inline constexpr std::uint16_t kOverwritePassMask = 0x000F;     // 0: sixteen passes
// SANITIZE STATUS EXT's normal output, COUNT field bits.
inline constexpr std::uint16_t kSanitizeCompletedWithoutError = 1 << 15;
inline constexpr std::uint16_t kSanitizeInProgress = 1 << 14;
inline constexpr std::uint16_t kSanitizeFrozen = 1 << 13;
inline constexpr std::uint16_t kSanitizeAntifreeze = 1 << 12;
// Its error output, LBA 7:0: why a sanitize command was aborted.
inline constexpr std::uint8_t kReasonUnknown = 0, kReasonUnsuccessful = 1, kReasonUnsupported = 2,
                              kReasonFrozen = 3, kReasonAntifreeze = 4;

// What a request through IOCTL_ATA_PASS_THROUGH may wait, in seconds (30 hours).
inline constexpr std::uint32_t kLongestTimeoutSeconds = 108'000;

// The one user password Windows PE lets a security erase use.
inline constexpr char kWindowsPePassword[] = "AutoATAWindowsString12345678901";

} // namespace trv::device::atacmd
