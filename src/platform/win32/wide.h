// UTF-16 texts of the core (char16_t) as the system's wide strings (wchar_t)
// and back. On Windows both are 16-bit UTF-16 code units.
#pragma once
#include <string>
#include <string_view>

namespace trv::win32 {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wide characters are UTF-16 code units");

inline std::wstring Wide(std::u16string_view s) { return std::wstring(s.begin(), s.end()); }
inline std::u16string Narrow16(std::wstring_view s) { return std::u16string(s.begin(), s.end()); }
inline std::u16string Narrow16(const wchar_t* s) { return s ? Narrow16(std::wstring_view(s)) : std::u16string(); }

} // namespace trv::win32
