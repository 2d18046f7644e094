#include "text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using text::FromUtf8;
using text::IsValidUtf8;
using text::ToLower;
using text::ToUtf8;

TEST(TextUtf8, DecodesWellFormedText) {
  EXPECT_EQ(FromUtf8(""), u"");
  EXPECT_EQ(FromUtf8("select 1;\r\n"), u"select 1;\r\n");
  EXPECT_EQ(FromUtf8("\xC3\xA9"), u"\u00E9");
  EXPECT_EQ(FromUtf8("\xE7\xA4\xBE\xE5\x93\xA1"), u"社員");
  EXPECT_EQ(FromUtf8("\xEF\xBF\xBF"), u"\uFFFF");
  // Above the BMP: one surrogate pair.
  EXPECT_EQ(FromUtf8("\xF0\x9F\x98\x80"), u"\U0001F600");
  EXPECT_EQ(FromUtf8("\xF0\x9F\x98\x80").size(), 2u);
  EXPECT_EQ(FromUtf8("\xF4\x8F\xBF\xBF"), u"\U0010FFFF");
}

TEST(TextUtf8, InvalidBytesBecomeReplacementCharacters) {
  // Each bad byte gives U+FFFD and decoding goes on with the next one, so no
  // good character after a bad sequence is swallowed.
  EXPECT_EQ(FromUtf8("a\x80z"), u"a\uFFFDz");
  EXPECT_EQ(FromUtf8("\xFF\xFE"), u"\uFFFD\uFFFD");
  EXPECT_EQ(FromUtf8("\xE7\xA4z"), u"\uFFFD\uFFFDz");      // truncated, then ASCII
  EXPECT_EQ(FromUtf8("\xE7\xA4"), u"\uFFFD\uFFFD");        // truncated at the end
  EXPECT_EQ(FromUtf8("\xF0\x9F\x98"), u"\uFFFD\uFFFD\uFFFD");
  EXPECT_EQ(FromUtf8("\xE7\xE7\xA4\xBE"), u"\uFFFD社");    // bad lead, then a good one
  // Overlong forms never decode to the character they spell ("/" here).
  EXPECT_EQ(FromUtf8("\xC0\xAF"), u"\uFFFD\uFFFD");
  EXPECT_EQ(FromUtf8("\xE0\x80\xAF"), u"\uFFFD\uFFFD\uFFFD");
  // Encoded surrogates and code points above U+10FFFF are refused.
  EXPECT_EQ(FromUtf8("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");
  EXPECT_EQ(FromUtf8("\xF4\x90\x80\x80"), u"\uFFFD\uFFFD\uFFFD\uFFFD");
}

TEST(TextUtf8, EncodesSurrogatesSafely) {
  EXPECT_EQ(ToUtf8(u"社員 a"), "\xE7\xA4\xBE\xE5\x93\xA1 a");
  EXPECT_EQ(ToUtf8(u"\U0001F600"), "\xF0\x9F\x98\x80");
  EXPECT_EQ(ToUtf8(u"\U0010FFFF"), "\xF4\x8F\xBF\xBF");
  const std::string replacement = "\xEF\xBF\xBD";
  // Lone or misordered surrogates become U+FFFD, never a CESU-8 sequence.
  EXPECT_EQ(ToUtf8(std::u16string(1, 0xD83D)), replacement);
  EXPECT_EQ(ToUtf8(std::u16string(1, 0xDE00)), replacement);
  EXPECT_EQ(ToUtf8(std::u16string{0xD83D, u'a'}), replacement + "a");
  EXPECT_EQ(ToUtf8(std::u16string{0xDE00, 0xD83D}), replacement + replacement);
  EXPECT_TRUE(IsValidUtf8(ToUtf8(std::u16string{u'x', 0xDFFF, 0xD800})));
}

TEST(TextUtf8, RoundTrip) {
  const std::u16string s = u"select * from 社員 where 名前 = '\U0001F600\u00E9';\r\n";
  EXPECT_EQ(FromUtf8(ToUtf8(s)), s);
  EXPECT_TRUE(IsValidUtf8(ToUtf8(s)));
}

TEST(TextUtf8, Validity) {
  EXPECT_TRUE(IsValidUtf8(""));
  EXPECT_TRUE(IsValidUtf8("select 1;"));
  EXPECT_TRUE(IsValidUtf8("\xE7\xA4\xBE\xE5\x93\xA1"));
  EXPECT_TRUE(IsValidUtf8("\xF0\x9F\x98\x80"));
  EXPECT_TRUE(IsValidUtf8("\xED\x9F\xBF"));      // U+D7FF, just below the surrogates
  EXPECT_TRUE(IsValidUtf8("\xEE\x80\x80"));      // U+E000, just above them
  EXPECT_TRUE(IsValidUtf8("\xF4\x8F\xBF\xBF"));  // U+10FFFF

  EXPECT_FALSE(IsValidUtf8("\x80"));               // lone continuation byte
  EXPECT_FALSE(IsValidUtf8("\xC0\x80"));           // overlong NUL
  EXPECT_FALSE(IsValidUtf8("\xC1\xBF"));           // overlong
  EXPECT_FALSE(IsValidUtf8("\xE0\x9F\xBF"));       // overlong three-byte form
  EXPECT_FALSE(IsValidUtf8("\xF0\x8F\xBF\xBF"));   // overlong four-byte form
  EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));       // U+D800
  EXPECT_FALSE(IsValidUtf8("\xED\xBF\xBF"));       // U+DFFF
  EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80"));   // above U+10FFFF
  EXPECT_FALSE(IsValidUtf8("\xF8\x88\x80\x80\x80"));
  EXPECT_FALSE(IsValidUtf8("\xE7\xA4"));           // truncated at the end
  EXPECT_FALSE(IsValidUtf8("\xF0\x9F\x98"));
  EXPECT_FALSE(IsValidUtf8("\xE7\xA4 "));          // cut short by ASCII
  EXPECT_FALSE(IsValidUtf8(std::string("a\0\xC3", 3)));
}

TEST(TextLower, LowersLettersOnly) {
  EXPECT_EQ(ToLower(u"SELECT * FROM Tab;"), u"select * from tab;");
  EXPECT_EQ(ToLower(u"ÀÉÖØÞ"), u"àéöøþ");
  EXPECT_EQ(ToLower(u"ＡＺ"), u"ａｚ");
  // Neighbours of the capital ranges, and letters without a plain lower
  // form, stay as they are.
  const std::u16string untouched = u"@[`{09_×ß÷ÿ\u00BF＠［ｚ社員ア\U0001F600";
  EXPECT_EQ(ToLower(untouched), untouched);
}

TEST(TextTrim, OnlyU0020IsASpace) {
  EXPECT_EQ(text::Trim(u"  a b  "), u"a b");
  EXPECT_EQ(text::Trim(u"\t a \u3000"), u"\t a \u3000");
  EXPECT_EQ(text::TrimTrailing(u"  a  "), u"  a");
  EXPECT_EQ(text::TrimLeading(u"  a  "), u"a  ");
  EXPECT_EQ(text::Trim(u"   "), u"");
  EXPECT_TRUE(text::IsBlank(u""));
  EXPECT_TRUE(text::IsBlank(u"   "));
  EXPECT_FALSE(text::IsBlank(u" \t "));
  EXPECT_FALSE(text::IsBlank(u"\u3000"));
}

TEST(TextCompare, IgnoresTheCaseOfAsciiLettersOnly) {
  EXPECT_TRUE(text::EqualsIgnoringAsciiCase(u"SQLPlus.EXE", u"sqlplus.exe"));
  EXPECT_FALSE(text::EqualsIgnoringAsciiCase(u"sqlplus.exe", u"sqlplus.ex"));
  EXPECT_FALSE(text::EqualsIgnoringAsciiCase(u"ＳＱＬ", u"ｓｑｌ"));  // full-width letters are not ASCII
  EXPECT_FALSE(text::EqualsIgnoringAsciiCase(u"@[", u"`{"));       // the neighbours of A-Z
}

}  // namespace
