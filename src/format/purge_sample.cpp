#include "format/purge_sample.h"

#include <algorithm>

#include "format/io_buffer.h"
#include "format/zero_fill.h"

namespace trv::format {

namespace {

// splitmix64: the same seed draws the same sectors on every system.
std::uint64_t NextRandom(std::uint64_t& state) {
  std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

bool AllBytes(const std::uint8_t* data, std::int64_t size, std::uint8_t value) {
  return std::all_of(data, data + size, [value](std::uint8_t b) { return b == value; });
}

std::string DigestOfDigests(const std::vector<Sha256::Digest>& digests) {
  Sha256 all;
  for (const Sha256::Digest& d : digests) all.Update(d);
  return HexDigest(all.Finish());
}

} // namespace

std::vector<SectorRun> SampleSectors(std::int64_t sectors, std::int64_t sectorSize, std::uint64_t seed) {
  std::vector<SectorRun> wanted;
  if (sectors <= 0 || sectorSize <= 0) return wanted;
  const auto add = [&](std::int64_t first, std::int64_t count) {
    first = std::clamp<std::int64_t>(first, 0, sectors);
    count = std::min(count, sectors - first);
    if (count > 0) wanted.push_back({first, count});
  };
  const std::int64_t endSectors = std::max<std::int64_t>(1, kSampleEndBytes / sectorSize);
  add(0, endSectors);
  add(sectors - endSectors, endSectors);
  const std::int64_t gib = sectors / std::max<std::int64_t>(1, kSampleGiB / sectorSize);
  const std::int64_t stripes = std::min(gib, kMaxSampleStripes);
  const std::int64_t stripeSectors = std::max<std::int64_t>(1, kSampleStripeBytes / sectorSize);
  for (std::int64_t i = 1; i <= stripes; ++i) add(sectors / (stripes + 1) * i, stripeSectors);
  std::uint64_t state = seed;
  for (std::int64_t i = 0; i < kSampleRandomSectors; ++i)
    add(static_cast<std::int64_t>(NextRandom(state) % static_cast<std::uint64_t>(sectors)), 1);
  std::sort(wanted.begin(), wanted.end(), [](const SectorRun& a, const SectorRun& b) { return a.first < b.first; });
  std::vector<SectorRun> merged;
  for (const SectorRun& r : wanted) {
    if (!merged.empty() && merged.back().first + merged.back().count >= r.first)
      merged.back().count = std::max(merged.back().count, r.first + r.count - merged.back().first);
    else merged.push_back(r);
  }
  return merged;
}

PurgeSampler::PurgeSampler(win::Platform& platform, win::Handle disk, std::int64_t sectors, std::int64_t sectorSize,
                           std::uint64_t seed)
    : p_(platform), disk_(disk), sectorSize_(sectorSize), seed_(seed), runs_(SampleSectors(sectors, sectorSize, seed)) {}

template <typename Each>
void PurgeSampler::ReadRun(const SectorRun& run, std::uint8_t* buffer, Each&& sector) {
  const std::int64_t pieceSectors = std::max<std::int64_t>(1, kSampleReadBytes / sectorSize_);
  const auto read = [&](std::int64_t first, std::int64_t count) {
    const std::int64_t bytes = count * sectorSize_;
    std::uint32_t got = 0;
    return SeekDevice(p_, disk_, first * sectorSize_) == first * sectorSize_ &&
           p_.ReadFile(disk_, buffer, static_cast<std::uint32_t>(bytes), &got) && got == bytes;
  };
  for (std::int64_t at = run.first; at < run.first + run.count; at += pieceSectors) {
    const std::int64_t count = std::min(pieceSectors, run.first + run.count - at);
    if (read(at, count)) {
      for (std::int64_t i = 0; i < count; ++i) sector(buffer + i * sectorSize_);
      continue;
    }
    // One bad sector must not hide the others of its piece.
    for (std::int64_t i = 0; i < count; ++i) sector(read(at + i, 1) ? buffer : nullptr);
  }
}

void PurgeSampler::ReadBefore(PurgeSample& sample) {
  sample.seed = seed_;
  sample.sectors = 0;
  for (const SectorRun& r : runs_) sample.sectors += r.count;
  kept_.clear();
  kept_.reserve(static_cast<std::size_t>(sample.sectors));
  std::vector<Sha256::Digest> digests;
  digests.reserve(kept_.capacity());
  Sha256 hash;
  IoBuffer buffer(p_, static_cast<std::size_t>(std::max(kSampleReadBytes, sectorSize_)));
  for (const SectorRun& run : runs_) {
    ReadRun(run, buffer.get(), [&](const std::uint8_t* data) {
      Kept k;
      k.readable = data != nullptr;
      if (data) {
        hash.Update({data, static_cast<std::size_t>(sectorSize_)});
        k.digest = hash.Finish();
        k.nonZero = !AllBytes(data, sectorSize_, 0);
      }
      sample.nonZeroBefore += k.nonZero ? 1 : 0;
      sample.unreadable += k.readable ? 0 : 1;
      digests.push_back(k.digest);
      kept_.push_back(k);
    });
  }
  sample.digestBefore = DigestOfDigests(digests);
}

void PurgeSampler::NothingBefore(PurgeSample& sample) {
  sample.seed = seed_;
  sample.sectors = 0;
  for (const SectorRun& r : runs_) sample.sectors += r.count;
  sample.unreadable = sample.sectors;
  kept_.assign(static_cast<std::size_t>(sample.sectors), Kept{});
}

void PurgeSampler::ReadAfter(SampleExpect expect, PurgeSample& sample) {
  std::vector<Sha256::Digest> digests;
  digests.reserve(kept_.size());
  std::int64_t unreadableAfter = 0;
  std::size_t index = 0;
  Sha256 hash;
  IoBuffer buffer(p_, static_cast<std::size_t>(std::max(kSampleReadBytes, sectorSize_)));
  for (const SectorRun& run : runs_) {
    ReadRun(run, buffer.get(), [&](const std::uint8_t* data) {
      const Kept before = index < kept_.size() ? kept_[index] : Kept{};
      ++index;
      Sha256::Digest digest{};
      if (!data) {
        ++unreadableAfter;
        digests.push_back(digest);
        return;
      }
      hash.Update({data, static_cast<std::size_t>(sectorSize_)});
      digest = hash.Finish();
      digests.push_back(digest);
      switch (expect) {
        case SampleExpect::NewContent:
          if (before.readable && before.nonZero && digest == before.digest) ++sample.unchanged;
          break;
        case SampleExpect::ZerosOrOnes:
          if (AllBytes(data, sectorSize_, 0xFF)) break;
          [[fallthrough]];
        case SampleExpect::Zeros:
          if (!AllBytes(data, sectorSize_, 0)) ++sample.notErased;
          break;
      }
    });
  }
  sample.unreadable += unreadableAfter;
  sample.digestAfter = DigestOfDigests(digests);
  using R = PurgeSample::Result;
  if (sample.unchanged > 0 || sample.notErased > 0) sample.result = R::Failed;
  else if (unreadableAfter > 0) sample.result = R::Unreadable;
  else if (expect == SampleExpect::NewContent && sample.nonZeroBefore == 0) sample.result = R::NoEvidence;
  else sample.result = R::Held;
}

} // namespace trv::format
