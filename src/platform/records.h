// Little-endian field access on raw record bytes. Reads outside the buffer give
// 0 and writes outside it are dropped, so a short or malformed answer can never
// cause an out-of-range access.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>

namespace trv::rec {

inline std::uint64_t GetLE(std::span<const std::uint8_t> b, std::size_t off, std::size_t width) {
  if (off > b.size() || width > b.size() - off) return 0;
  std::uint64_t v = 0;
  for (std::size_t i = 0; i < width; ++i) v |= std::uint64_t{b[off + i]} << (8 * i);
  return v;
}
inline std::uint8_t U8(std::span<const std::uint8_t> b, std::size_t off) { return static_cast<std::uint8_t>(GetLE(b, off, 1)); }
inline std::uint16_t U16(std::span<const std::uint8_t> b, std::size_t off) { return static_cast<std::uint16_t>(GetLE(b, off, 2)); }
inline std::uint32_t U32(std::span<const std::uint8_t> b, std::size_t off) { return static_cast<std::uint32_t>(GetLE(b, off, 4)); }
inline std::uint64_t U64(std::span<const std::uint8_t> b, std::size_t off) { return GetLE(b, off, 8); }
inline std::int64_t I64(std::span<const std::uint8_t> b, std::size_t off) { return static_cast<std::int64_t>(GetLE(b, off, 8)); }

inline void PutLE(std::span<std::uint8_t> b, std::size_t off, std::size_t width, std::uint64_t v) {
  if (off > b.size() || width > b.size() - off) return;
  for (std::size_t i = 0; i < width; ++i) b[off + i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void Put8(std::span<std::uint8_t> b, std::size_t off, std::uint8_t v) { PutLE(b, off, 1, v); }
inline void Put16(std::span<std::uint8_t> b, std::size_t off, std::uint16_t v) { PutLE(b, off, 2, v); }
inline void Put32(std::span<std::uint8_t> b, std::size_t off, std::uint32_t v) { PutLE(b, off, 4, v); }
inline void Put64(std::span<std::uint8_t> b, std::size_t off, std::uint64_t v) { PutLE(b, off, 8, v); }

// OSVERSIONINFOW: size, major, minor, build, platform id, then 128 UTF-16 units of CSD text.
inline constexpr std::uint32_t kOsVersionInfoSize = 276;
// LOGFONTW: 5 LONGs, 8 BYTEs, 32 UTF-16 units of face name.
inline constexpr std::size_t kLogFontSize = 92;
inline constexpr std::size_t kLogFontFaceOffset = 28;
// SYSTEMTIME: eight WORDs.
inline constexpr std::size_t kSystemTimeSize = 16;
inline constexpr std::size_t kSystemTimeYear = 0, kSystemTimeMonth = 2, kSystemTimeDayOfWeek = 4, kSystemTimeDay = 6,
                             kSystemTimeHour = 8, kSystemTimeMinute = 10, kSystemTimeSecond = 12,
                             kSystemTimeMilliseconds = 14;

} // namespace trv::rec
