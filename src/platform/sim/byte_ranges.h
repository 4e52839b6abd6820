// A set of byte ranges [begin, end) kept merged and sorted, so a simulated 2 TB
// disk can remember what was written to it without holding its bytes.
#pragma once
#include <cstdint>
#include <map>
#include <vector>

namespace trv::sim {

struct ByteRange {
  std::int64_t begin = 0;
  std::int64_t end = 0;  // one past the last byte
  bool operator==(const ByteRange&) const = default;
};

class ByteRanges {
 public:
  void Add(std::int64_t begin, std::int64_t end);
  void Remove(std::int64_t begin, std::int64_t end);
  bool Contains(std::int64_t offset) const;
  // Whether any byte of [begin, end) is in the set.
  bool Intersects(std::int64_t begin, std::int64_t end) const;
  std::int64_t Bytes() const;
  bool Empty() const { return ranges_.empty(); }
  std::vector<ByteRange> List() const;

 private:
  std::map<std::int64_t, std::int64_t> ranges_;  // begin -> end
};

} // namespace trv::sim
