// UTF-8 and UTF-16 conversions: well-formed output whatever the input.
#include <gtest/gtest.h>

#include "platform/text.h"

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
