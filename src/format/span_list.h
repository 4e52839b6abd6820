// Lists of byte ranges built in increasing offset order.
#pragma once
#include <cstdint>
#include <vector>

#include "format/erase_observer.h"

namespace trv::format {

// Appends [begin, end), merging it with the last range when they touch.
inline void AppendSpan(std::vector<Span>& list, std::int64_t begin, std::int64_t end) {
  if (begin >= end) return;
  if (!list.empty() && list.back().end >= begin) {
    if (end > list.back().end) list.back().end = end;
  } else {
    list.push_back({begin, end});
  }
}

inline std::int64_t TotalBytes(const std::vector<Span>& list) {
  std::int64_t total = 0;
  for (const Span& s : list) total += s.Bytes();
  return total;
}

} // namespace trv::format
