#include "platform/text.h"

namespace trv {

namespace {

// The low six bits of a UTF-8 continuation byte, taken from the byte's unsigned value.
char32_t Low6(char byte) { return static_cast<unsigned char>(byte) & 0x3Fu; }

} // namespace

std::u16string Utf8ToUtf16(std::string_view s) {
  std::u16string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) {
    const char32_t c = static_cast<unsigned char>(s[i]);
    char32_t cp = 0xFFFD;
    std::size_t len = 1;
    if (c < 0x80) {
      cp = c;
    } else if ((c >> 5) == 0x6 && i + 1 < s.size()) {
      cp = ((c & 0x1F) << 6) | Low6(s[i + 1]);
      len = 2;
    } else if ((c >> 4) == 0xE && i + 2 < s.size()) {
      cp = ((c & 0x0F) << 12) | (Low6(s[i + 1]) << 6) | Low6(s[i + 2]);
      len = 3;
    } else if ((c >> 3) == 0x1E && i + 3 < s.size()) {
      cp = ((c & 0x07) << 18) | (Low6(s[i + 1]) << 12) | (Low6(s[i + 2]) << 6) | Low6(s[i + 3]);
      len = 4;
    }
    i += len;
    if (cp > 0x10FFFF) cp = 0xFFFD;  // beyond Unicode: no surrogate pair can hold it
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    char32_t cp = s[i];
    if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp < 0xE000) {
      cp = 0xFFFD;  // a lone surrogate has no UTF-8 form: encoded, it makes text no reader accepts
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

std::u16string DecimalText(std::uint64_t value) {
  std::u16string digits;
  do {
    digits.insert(digits.begin(), static_cast<char16_t>(u'0' + value % 10));
    value /= 10;
  } while (value != 0);
  return digits;
}

std::u16string DecimalText(std::int64_t value) {
  if (value >= 0) return DecimalText(static_cast<std::uint64_t>(value));
  // Negate in unsigned arithmetic so the smallest value has a magnitude too.
  // The sign is appended to, not put in front of, the digits: GCC 12 sees a
  // false overlap (-Wrestrict) in `u"-" + text` when it inlines the insert.
  std::u16string text = u"-";
  text += DecimalText(static_cast<std::uint64_t>(0) - static_cast<std::uint64_t>(value));
  return text;
}

std::u16string AsciiLower(std::u16string_view s) {
  std::u16string out(s);
  for (auto& c : out)
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
  return out;
}

std::u16string AsciiUpper(std::u16string_view s) {
  std::u16string out(s);
  for (auto& c : out)
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
  return out;
}

std::u16string TrimControl(std::u16string_view s) {
  std::size_t b = 0, e = s.size();
  while (b < e && s[b] <= 32) ++b;
  while (e > b && s[e - 1] <= 32) --e;
  return std::u16string(s.substr(b, e - b));
}

bool EqualsIgnoreAsciiCase(std::u16string_view a, std::u16string_view b) {
  return AsciiLower(a) == AsciiLower(b);
}

std::u16string ControlPictures(std::u16string_view s) {
  std::u16string out;
  out.reserve(s.size());
  for (char16_t c : s) {
    if (c < 0x20) out.push_back(static_cast<char16_t>(0x2400 + c));
    else if (c == 0x7F) out.push_back(u'\u2421');
    else if (c >= 0x80 && c < 0xA0) out.push_back(u'\uFFFD');
    else out.push_back(c);
  }
  return out;
}

} // namespace trv
