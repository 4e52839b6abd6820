// SHA-256 (FIPS 180-4), written here because no one library serves both the
// Linux and the Windows builds. It hashes the program's own file for the
// erase record, and is meant for sectors later: it takes data in pieces of
// any size.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace trv::format {

class Sha256 {
 public:
  using Digest = std::array<std::uint8_t, 32>;

  Sha256();
  void Update(std::span<const std::uint8_t> data);
  // The digest of everything given; the object then starts over.
  Digest Finish();

 private:
  void Block(const std::uint8_t* block);

  std::array<std::uint32_t, 8> state_{};
  std::array<std::uint8_t, 64> pending_{};
  std::size_t pendingSize_ = 0;
  std::uint64_t totalBytes_ = 0;
};

// 64 lowercase hex digits.
std::string HexDigest(const Sha256::Digest& digest);

} // namespace trv::format
