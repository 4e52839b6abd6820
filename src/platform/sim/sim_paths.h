// Small path and text helpers the simulated PC's files share: folder keys
// (lower case, no trailing backslash) and how the journal writes numbers.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "platform/text.h"

namespace trv::sim {

inline std::string Hex32(std::uint64_t v) {
  char b[24];
  std::snprintf(b, sizeof b, "0x%llX", static_cast<unsigned long long>(v));
  return b;
}

inline std::string U8(std::u16string_view s) { return Utf16ToUtf8(s); }

// A folder's key without trailing backslashes, and whether a key lies below it.
inline std::u16string FolderKey(std::u16string_view path) {
  std::u16string key = AsciiLower(path);
  while (!key.empty() && key.back() == u'\\') key.pop_back();
  return key;
}
inline bool Below(std::u16string_view key, std::u16string_view folder) {
  return key.size() > folder.size() && key.substr(0, folder.size()) == folder && key[folder.size()] == u'\\';
}

// A key's folder: everything before its last backslash ("" for none).
inline std::u16string ParentKey(std::u16string_view key) {
  const auto slash = key.find_last_of(u'\\');
  return slash == std::u16string_view::npos ? std::u16string() : std::u16string(key.substr(0, slash));
}

} // namespace trv::sim
