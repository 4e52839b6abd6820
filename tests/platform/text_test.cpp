// UTF-8 and UTF-16 conversions and decimal texts: well-formed output whatever the input.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "platform/text.h"

using trv::DecimalText;
using trv::Utf16ToUtf8;
using trv::Utf8ToUtf16;

TEST(Utf8ToUtf16, DecodesOneToFourByteSequences) {
  EXPECT_EQ(Utf8ToUtf16("A"), u"A");
  EXPECT_EQ(Utf8ToUtf16("\xC2\xB0"), u"\u00B0");                  // °
  EXPECT_EQ(Utf8ToUtf16("\xE7\xA3\x81\xE7\x9B\x98"), u"\u78C1\u76D8");  // 磁盘
  EXPECT_EQ(Utf8ToUtf16("\xEF\xBF\xBF"), u"\uFFFF");
  EXPECT_EQ(Utf8ToUtf16("\xF0\x9F\x92\xBE"), u"\U0001F4BE");       // a surrogate pair
  EXPECT_EQ(Utf8ToUtf16("\xF4\x8F\xBF\xBF"), u"\U0010FFFF");
}

// Bytes 0x80 and above are negative where char is signed: only their value counts.
TEST(Utf8ToUtf16, TakesContinuationBytesByTheirUnsignedValue) {
  EXPECT_EQ(Utf8ToUtf16("\xDF\xBF"), u"\u07FF");
  EXPECT_EQ(Utf8ToUtf16("\xC3\x80"), u"\u00C0");
  EXPECT_EQ(Utf8ToUtf16("\xE0\xBF\xBF"), u"\u0FFF");
}

TEST(Utf8ToUtf16, ReplacesAStrayOrCutOffLeadByte) {
  EXPECT_EQ(Utf8ToUtf16("\x80"), u"\uFFFD");
  EXPECT_EQ(Utf8ToUtf16("a\xE7\xA3"), u"a\uFFFD\uFFFD");
  EXPECT_EQ(Utf8ToUtf16("\xF0\x9F\x92"), u"\uFFFD\uFFFD\uFFFD");
}

TEST(Utf16ToUtf8, RoundTripsEveryLength) {
  const std::u16string text = u"A\u00B0\u78C1\U0001F4BE\U0010FFFF";
  EXPECT_EQ(Utf8ToUtf16(Utf16ToUtf8(text)), text);
}

TEST(DecimalText, WritesTheWholeRangeOfBothSignednesses) {
  EXPECT_EQ(DecimalText(std::int64_t{0}), u"0");
  EXPECT_EQ(DecimalText(std::int64_t{-1}), u"-1");
  EXPECT_EQ(DecimalText(std::int64_t{-1234567}), u"-1234567");
  EXPECT_EQ(DecimalText(std::numeric_limits<std::int64_t>::min()), u"-9223372036854775808");
  EXPECT_EQ(DecimalText(std::numeric_limits<std::int64_t>::max()), u"9223372036854775807");
  EXPECT_EQ(DecimalText(std::numeric_limits<std::uint64_t>::max()), u"18446744073709551615");
  EXPECT_EQ(DecimalText(std::int32_t{-42}), u"-42");
  EXPECT_EQ(DecimalText(std::uint32_t{4294967295u}), u"4294967295");
}

TEST(Text, ConversionsGiveWellFormedTextForAnyInput) {
  const std::u16string text = u"Serial \u4E2D\u6587 \U0001F600 \x01";
  EXPECT_EQ(trv::Utf8ToUtf16(trv::Utf16ToUtf8(text)), text);
  // Half a pair, either half, alone or at the end: U+FFFD, never CESU-8 bytes.
  EXPECT_EQ(trv::Utf16ToUtf8(u"\xD83D" u"A\xDE00"), "\xEF\xBF\xBD" "A\xEF\xBF\xBD");
  EXPECT_EQ(trv::Utf16ToUtf8(u"\xDE00\xD83D\xDE00\xD83D"), "\xEF\xBF\xBD\xF0\x9F\x98\x80\xEF\xBF\xBD");
  // F7 BF BF BF would be U+1FFFFF: no surrogate pair holds it.
  EXPECT_EQ(trv::Utf8ToUtf16("\xF7\xBF\xBF\xBF" "A"), u"\uFFFD" u"A");
  EXPECT_EQ(trv::Utf8ToUtf16("\xF4\x8F\xBF\xBF"), u"\U0010FFFF");
}
