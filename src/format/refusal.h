// A reason an erase may not go on: a stable word a script can act on
// ("system-disk", "page-file"; docs/cli.md) beside the sentence people read.
#pragma once
#include <string>

namespace trv::format {

struct Refusal {
  std::string code;
  std::u16string text;
  bool operator==(const Refusal&) const = default;
};

} // namespace trv::format
