// UTF-16 text helpers shared by every layer.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace trv {

std::u16string Utf8ToUtf16(std::string_view s);
// Well-formed UTF-8: a lone surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view s);
std::u16string DecimalText(std::int64_t value);
std::u16string DecimalText(std::uint64_t value);
inline std::u16string DecimalText(std::int32_t v) { return DecimalText(static_cast<std::int64_t>(v)); }
inline std::u16string DecimalText(std::uint32_t v) { return DecimalText(static_cast<std::uint64_t>(v)); }
// Lower-cases A to Z only (command-line switches are ASCII).
std::u16string AsciiLower(std::u16string_view s);
std::u16string AsciiUpper(std::u16string_view s);
// Removes leading and trailing characters whose code is 32 or less.
std::u16string TrimControl(std::u16string_view s);
// Control characters as they can never break or hide a line: C0 and DEL as
// their Unicode control pictures (U+2400...), C1 as the replacement character.
std::u16string ControlPictures(std::u16string_view s);
bool EqualsIgnoreAsciiCase(std::u16string_view a, std::u16string_view b);

} // namespace trv
