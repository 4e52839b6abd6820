// The sample of sectors that proves a firmware purge: the first and the last
// MiB, one stripe per GiB and a seeded set of random sectors are read and
// hashed (SHA-256, sector by sector) before the purge, and read again after
// it. A block erase must leave every sampled sector zeros (or the pattern the
// drive says deallocated blocks read as); a crypto erase must leave no sampled
// sector that held data with its old hash. Memory stays bounded whatever the
// disk's size: at most kMaxSampleStripes stripes, and 33 bytes a sector kept.
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "format/erase_observer.h"
#include "format/purge_result.h"
#include "format/sha256.h"

namespace trv::format {

inline constexpr std::int64_t kSampleEndBytes = 1'048'576;    // the first and the last MiB
inline constexpr std::int64_t kSampleStripeBytes = 65'536;    // one stripe of this size per GiB
inline constexpr std::int64_t kSampleGiB = 1'073'741'824;
inline constexpr std::int64_t kMaxSampleStripes = 1'024;      // past 1 TiB the stripes spread out
inline constexpr std::int64_t kSampleRandomSectors = 256;
inline constexpr std::int64_t kSampleReadBytes = 1'048'576;   // the largest read of the sample

// What a sector after the purge must read as.
enum class SampleExpect {
  NewContent,  // crypto erase: no sector that held data keeps its old hash
  Zeros,       // block erase: zeros
  ZerosOrOnes, // block erase on a drive whose deallocated blocks read FFh
};

// Sector runs [first, first + count) of the sample, sorted, disjoint.
struct SectorRun {
  std::int64_t first = 0;
  std::int64_t count = 0;
};

// The sample's sectors on a disk of `sectors` sectors of `sectorSize` bytes.
std::vector<SectorRun> SampleSectors(std::int64_t sectors, std::int64_t sectorSize, std::uint64_t seed);

class PurgeSampler {
 public:
  PurgeSampler(win::Platform& platform, win::Handle disk, std::int64_t sectors, std::int64_t sectorSize,
               std::uint64_t seed);

  // Reads and hashes every sampled sector; fills seed, sectors, nonZeroBefore,
  // unreadable and digestBefore of `sample`.
  void ReadBefore(PurgeSample& sample);
  // Where nothing can be read before (a locked drive): seed and sectors
  // only, every sector counted unreadable; the sample after then proves
  // zeros, or nothing (NoEvidence) for new content.
  void NothingBefore(PurgeSample& sample);
  // Reads them again and says whether they read as `expect` says; fills the
  // rest of `sample`, its result included.
  void ReadAfter(SampleExpect expect, PurgeSample& sample);

 private:
  struct Kept {
    Sha256::Digest digest{};
    bool readable = false;
    bool nonZero = false;
  };
  // Reads the run's sectors, a piece at a time, and hands each to `sector`
  // (its data, or none when it could not be read).
  template <typename Each>
  void ReadRun(const SectorRun& run, std::uint8_t* buffer, Each&& sector);

  win::Platform& p_;
  win::Handle disk_;
  std::int64_t sectorSize_;
  std::uint64_t seed_;
  std::vector<SectorRun> runs_;
  std::vector<Kept> kept_;
};

} // namespace trv::format
