#include "platform/sim/byte_ranges.h"

#include <algorithm>
#include <iterator>

namespace trv::sim {

void ByteRanges::Add(std::int64_t begin, std::int64_t end) {
  if (begin >= end) return;
  // Swallow every range that overlaps or touches [begin, end).
  auto it = ranges_.upper_bound(begin);
  if (it != ranges_.begin()) {
    auto prev = std::prev(it);
    if (prev->second >= begin) it = prev;
  }
  while (it != ranges_.end() && it->first <= end) {
    begin = std::min(begin, it->first);
    end = std::max(end, it->second);
    it = ranges_.erase(it);
  }
  ranges_[begin] = end;
}

void ByteRanges::Remove(std::int64_t begin, std::int64_t end) {
  if (begin >= end) return;
  auto it = ranges_.upper_bound(begin);
  if (it != ranges_.begin()) --it;
  while (it != ranges_.end() && it->first < end) {
    const std::int64_t b = it->first, e = it->second;
    if (e <= begin) {
      ++it;
      continue;
    }
    it = ranges_.erase(it);
    if (b < begin) ranges_[b] = begin;
    if (e > end) {
      ranges_[end] = e;
      break;
    }
  }
}

bool ByteRanges::Contains(std::int64_t offset) const { return Intersects(offset, offset + 1); }

bool ByteRanges::Intersects(std::int64_t begin, std::int64_t end) const {
  if (begin >= end) return false;
  auto it = ranges_.upper_bound(begin);
  if (it != ranges_.begin() && std::prev(it)->second > begin) return true;
  return it != ranges_.end() && it->first < end;
}

std::int64_t ByteRanges::Bytes() const {
  std::int64_t n = 0;
  for (const auto& [b, e] : ranges_) n += e - b;
  return n;
}

std::vector<ByteRange> ByteRanges::List() const {
  std::vector<ByteRange> out;
  for (const auto& [b, e] : ranges_) out.push_back({b, e});
  return out;
}

} // namespace trv::sim
