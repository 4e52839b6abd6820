// The three fields of an erase record that the person erasing gives: who,
// which asset, under which ticket (the console's switches, the window's form).
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace trv::format {

// Given by the person or the script that erases; empty: not given.
struct AuditFields {
  std::u16string operatorName, asset, ticket;
  bool operator==(const AuditFields&) const = default;
};

// The most characters an audit field holds: a name, an inventory number or a
// ticket reference, never a letter.
inline constexpr std::size_t kAuditFieldMaxLength = 128;
// At most kAuditFieldMaxLength characters and no control character (a line
// break would forge a line of the text record).
bool AuditFieldAcceptable(std::u16string_view text);

} // namespace trv::format
