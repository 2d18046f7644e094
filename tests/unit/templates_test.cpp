// The template catalogue: built-ins, the template file's line kinds and its
// end, the split into 500-unit pieces, the file encodings, bad input, and the
// filling of the list at window load.
#include "templates.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_list.h"
#include "fake_platform.h"
#include "text.h"

namespace {

using Items = std::vector<std::u16string>;

// A few Shift-JIS characters, enough for the tests: a stand-in for the
// system's ANSI conversion (code page 932). Unknown lead bytes become U+30FB.
std::u16string FakeCp932ToWide(const std::string& bytes) {
  std::u16string out;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    if (b < 0x80) {
      out.push_back(b);
      continue;
    }
    const unsigned pair = i + 1 < bytes.size() ? (b << 8) | static_cast<unsigned char>(bytes[i + 1]) : 0;
    switch (pair) {
      case 0x81A1: out.push_back(u'■'); break;
      case 0x8EF3: out.push_back(u'受'); break;
      case 0x928D: out.push_back(u'注'); break;
      default: out.push_back(u'・'); break;
    }
    ++i;
  }
  return out;
}

std::u16string Repeat(char16_t c, std::size_t n) { return std::u16string(n, c); }

// A template text of exactly n code units: "■T: " and then x's.
std::u16string TemplateOfLength(std::size_t n) { return u"■T: " + Repeat(u'x', n - 4); }

}  // namespace

TEST(BuiltInTemplates, AreTheElevenOfTheCatalogueInOrder) {
  const Items expected = {
      u"■コミット or ロールバック: commit; or rollback;",
      u"■dbms_output: set serverout on;",
      u"■テーブルレイアウト: describe 受注m;",
      u"■テーブルリスト: select * from tab;",
      u"■テーブルコピー: create table 受注w as select * from 受注m;",
      u"■テーブルクリア: truncate table ダミー;",
      u"■テーブル削除: drop table/view ダミー;",
      u"■レコード参照: select * from ダミー where ... order by ...;",
      u"■レコード追加: insert into ダミー () values ();",
      u"■レコード修正: update ダミー set ... where ...;",
      u"■レコード削除: delete from ダミー where ...;",
  };
  EXPECT_EQ(BuiltInTemplates(), expected);
}

// ---- Splitting ------------------------------------------------------------------

TEST(SplitTemplate, CutsAtFiveHundredUnitsWithContinuationPrefix) {
  EXPECT_TRUE(SplitTemplate(u"").empty());
  EXPECT_EQ(SplitTemplate(u"■A: "), Items{u"■A: "});

  const std::u16string t500 = TemplateOfLength(500);
  EXPECT_EQ(SplitTemplate(t500), Items{t500});

  const std::u16string t501 = TemplateOfLength(500) + u"Z";
  EXPECT_EQ(SplitTemplate(t501), (Items{t501.substr(0, 500), u"   Z"}));

  const std::u16string t1001 = TemplateOfLength(1001);
  const Items p1001 = SplitTemplate(t1001);
  ASSERT_EQ(p1001.size(), 3u);
  EXPECT_EQ(p1001[0], t1001.substr(0, 500));
  EXPECT_EQ(p1001[1], u"   " + t1001.substr(500, 500));
  EXPECT_EQ(p1001[2], u"   " + t1001.substr(1000));
  EXPECT_EQ(p1001[2].size(), 4u);

  // Characters 1-500, 501-1,000 and 1,001-1,203, each marked so a misplaced
  // cut shows.
  const std::u16string t1203 = u"■T: " + Repeat(u'a', 496) + Repeat(u'b', 500) + Repeat(u'c', 203);
  ASSERT_EQ(t1203.size(), 1203u);
  EXPECT_EQ(SplitTemplate(t1203),
            (Items{u"■T: " + Repeat(u'a', 496), u"   " + Repeat(u'b', 500), u"   " + Repeat(u'c', 203)}));
}

TEST(SplitTemplate, CutsWhereTheCountFallsEvenInsideALineBreak) {
  // 498 units, then CR LF: the cut lies between the CR and the LF.
  const std::u16string t = TemplateOfLength(499) + u"\r\nnext";
  const Items pieces = SplitTemplate(t);
  ASSERT_EQ(pieces.size(), 2u);
  EXPECT_EQ(pieces[0].back(), u'\r');
  EXPECT_EQ(pieces[1], u"   \nnext");
  EXPECT_EQ(pieces[0] + pieces[1].substr(3), t);
}

// ---- Reading the template file's text ------------------------------------------

TEST(ParseTemplateText, WorkedExample) {
  const std::u16string file =
      u"sample templates\r\n"
      u"■Daily count   \r\n"
      u"  select count(*)\r\n"
      u"    from 受注m;  \r\n"
      u"■Clear work table\r\n"
      u"== run before the nightly load ==\r\n"
      u"truncate table 受注w;\r\n"
      u"\r\n"
      u"■Unfinished\r\n";
  EXPECT_EQ(ParseTemplateText(file), (Items{u"■Daily count: select count(*)\r\n    from 受注m;\r\n",
                                            u"■Clear work table: truncate table 受注w;\r\n"}));
}

// The file's end: a header that is the last line gives nothing, whatever line
// break follows it; one more (empty) line after it gives its bare label.
TEST(ParseTemplateText, HeaderOnTheLastLine) {
  EXPECT_EQ(ParseTemplateText(u"■A"), Items{});
  EXPECT_EQ(ParseTemplateText(u"■A\r\n"), Items{});
  EXPECT_EQ(ParseTemplateText(u"■A\r"), Items{});
  EXPECT_EQ(ParseTemplateText(u"■A\r\n\r\n"), Items{u"■A: "});
  EXPECT_EQ(ParseTemplateText(u"■A\r\n\r"), Items{u"■A: "});
  EXPECT_EQ(ParseTemplateText(u"■A\r\r"), Items{u"■A: "});
  EXPECT_EQ(ParseTemplateText(u"■A\r\n   "), Items{u"■A: "});
  EXPECT_EQ(ParseTemplateText(u"■A\r\n==\r\n"), Items{u"■A: "});
  // A body line ends with CR LF in the template whether or not the file ends
  // after it without a break.
  EXPECT_EQ(ParseTemplateText(u"■A\r\nx"), Items{u"■A: x\r\n"});
  EXPECT_EQ(ParseTemplateText(u"■A\r\nx\r\n"), Items{u"■A: x\r\n"});
  // The last template of the file and a header on the last line after it.
  EXPECT_EQ(ParseTemplateText(u"■A\r\nx\r\n■B\r\n"), Items{u"■A: x\r\n"});
  EXPECT_EQ(ParseTemplateText(u"■A\r\nx\r\n■B\r\n\r\n"), (Items{u"■A: x\r\n", u"■B: "}));
}

TEST(ParseTemplateText, TextsWithoutTemplates) {
  EXPECT_EQ(ParseTemplateText(u""), Items{});
  EXPECT_EQ(ParseTemplateText(u"\r\n"), Items{});
  EXPECT_EQ(ParseTemplateText(u"select 1;\r\n== x\r\n\r\n ■A\r\n"), Items{});
}

TEST(ParseTemplateText, LineEndsAreCrLfOrLoneCrOnly) {
  // Lone LF stays inside the line: the whole file is one line, and a header
  // that is the only line is the last one.
  EXPECT_EQ(ParseTemplateText(u"■A\nselect 1;\nselect 2;\n"), Items{});
  EXPECT_EQ(ParseTemplateText(u"■A\r\nselect 1;\nselect 2;  \r\n"), Items{u"■A: select 1;\nselect 2;\r\n"});
  // A lone LF right after a header's CR LF starts the next line.
  EXPECT_EQ(ParseTemplateText(u"■A\r\n\nx\r\n"), Items{u"■A: \nx\r\n"});
  // A lone CR ends a line just like CR LF.
  EXPECT_EQ(ParseTemplateText(u"pre\r■A\rx\ry\r■B\r\n"), Items{u"■A: x\r\ny\r\n"});
  // A lone LF before a "■" keeps it from starting the line.
  EXPECT_EQ(ParseTemplateText(u"■A\r\nx\n■B\r\n\r\n"), Items{u"■A: x\n■B\r\n"});
}

TEST(ParseTemplateText, LineKindsAreDecidedOnTheUntrimmedLine) {
  // Two headers in a row: the first is a bare label.
  EXPECT_EQ(ParseTemplateText(u"■A\r\n■B\r\nx\r\n"), (Items{u"■A: ", u"■B: x\r\n"}));
  // Trailing spaces of a header go; a space after "■" stays; so do inner ones.
  EXPECT_EQ(ParseTemplateText(u"■A  \r\n■ A b \r\n■\r\n\r\n"), (Items{u"■A: ", u"■ A b: ", u"■: "}));
  // Spaces before "==" or "■" make a body line; tabs are no blank.
  EXPECT_EQ(ParseTemplateText(u"■A\r\n  ==x\r\n\t\t\r\n ■B\r\n=x\r\n==\r\n\r\n"),
            Items{u"■A: ==x\r\n\t\t\r\n ■B\r\n=x\r\n"});
  // A header that begins with "==" after the "■" is still a header.
  EXPECT_EQ(ParseTemplateText(u"■==\r\nx\r\n"), Items{u"■==: x\r\n"});
  // Only U+0020 counts as a space: an ideographic space is kept.
  EXPECT_EQ(ParseTemplateText(u"■A\u3000\r\n\u3000x\r\n"), Items{u"■A\u3000: \u3000x\r\n"});
}

TEST(ParseTemplateText, OnlyTheFirstBodyLineLosesItsIndentation) {
  EXPECT_EQ(ParseTemplateText(u"■A\r\n\r\n==\r\n   select *  \r\n\r\n     from t;\r\n  where 1=1;\r\n"),
            Items{u"■A: select *\r\n     from t;\r\n  where 1=1;\r\n"});
}

TEST(ParseTemplateText, LongTemplatesAreSplitInFileOrder) {
  // Label "■T: " (4) + 1,197 units + CR LF = 1,203 units: items 1 to 3, then
  // the next template.
  const std::u16string body = Repeat(u'a', 496) + Repeat(u'b', 500) + Repeat(u'c', 201);
  const Items items = ParseTemplateText(u"■T\r\n" + body + u"\r\n■U\r\ny\r\n");
  ASSERT_EQ(items.size(), 4u);
  EXPECT_EQ(items[0], u"■T: " + Repeat(u'a', 496));
  EXPECT_EQ(items[1], u"   " + Repeat(u'b', 500));
  EXPECT_EQ(items[2], u"   " + Repeat(u'c', 201) + u"\r\n");
  EXPECT_EQ(items[3], u"■U: y\r\n");
}

// ---- Encodings ----------------------------------------------------------------

TEST(DecodeTemplateFile, ByteOrderMarksSelectUtf8OrUtf16) {
  // UTF-8 with its mark; the mark is not part of the text.
  EXPECT_EQ(DecodeTemplateFile("\xEF\xBB\xBF" "\xE2\x96\xA0" "A\r\n", FakeCp932ToWide), u"■A\r\n");
  // UTF-16 LE with its mark, a character beyond the BMP included.
  const std::string utf16("\xFF\xFE" "\xA0\x25" "A\0" "\x3D\xD8\x00\xDE" "\r\0\n\0", 14);
  EXPECT_EQ(DecodeTemplateFile(utf16, FakeCp932ToWide), u"■A\U0001F600\r\n");
  // Just a mark: an empty text.
  EXPECT_EQ(DecodeTemplateFile("\xEF\xBB\xBF", FakeCp932ToWide), u"");
  EXPECT_EQ(DecodeTemplateFile("\xFF\xFE", FakeCp932ToWide), u"");
}

TEST(DecodeTemplateFile, UnmarkedFilesAreUtf8OnlyWhenWellFormedAndBeyondAscii) {
  // Well-formed UTF-8 with Japanese: read as UTF-8, converter not consulted.
  EXPECT_EQ(DecodeTemplateFile("\xE2\x96\xA0" "A\r\n\xE5\x8F\x97", nullptr), u"■A\r\n受");
  // Shift-JIS with Japanese: not UTF-8, so the code page.
  EXPECT_EQ(DecodeTemplateFile("\x81\xA1" "A\r\n\x8E\xF3\x92\x8D" "m;", FakeCp932ToWide), u"■A\r\n受注m;");
  // Plain ASCII: the code page, as always.
  EXPECT_EQ(DecodeTemplateFile("select 1;",
                               [](const std::string&) -> std::u16string { return u"from the code page"; }),
            u"from the code page");
  // UTF-8 that turns ill-formed at its very end is the code page's too.
  EXPECT_EQ(DecodeTemplateFile("\xE5\x8F\x97\xE5\x8F", [](const std::string& b) -> std::u16string {
              return std::u16string(b.size(), u'?');
            }),
            u"?????");
  // No converter at all: each byte as its own code point.
  EXPECT_EQ(DecodeTemplateFile("a\xA0\xFF", nullptr), u"a\u00A0\u00FF");
}

TEST(DecodeTemplateFile, DamagedUnicodeFilesDecodeWithoutLoss) {
  // Ill-formed sequences after a UTF-8 mark: one U+FFFD per bad byte, the
  // rest kept (overlong, surrogate, truncated, stray continuation).
  EXPECT_EQ(DecodeTemplateFile("\xEF\xBB\xBF" "a\xC0\xAF" "b\xED\xA0\x80" "c\x80" "d\xE5\x8F", nullptr),
            u"a\uFFFD\uFFFDb\uFFFD\uFFFD\uFFFDc\uFFFDd\uFFFD\uFFFD");
  // UTF-16 LE: an unpaired surrogate is kept as it is; an odd last byte is
  // U+FFFD.
  const std::string odd("\xFF\xFE" "\x00\xD8" "A\0" "B", 7);
  EXPECT_EQ(DecodeTemplateFile(odd, nullptr), (std::u16string{0xD800, u'A', 0xFFFD}));
}

TEST(DecodeTemplateFile, ABrokenCharacterStaysInItsOwnLine) {
  // A Shift-JIS lead byte (0x82) with nothing after it, at the end of a line
  // ended by CR LF, by a lone CR, and at the end of the file. The code page's
  // decoder takes the next byte as the character's second byte; given the CR,
  // the header below would join the template above it.
  const std::string sjis =
      "\x81\xA1" "A\r\n-- \x82\r\n"
      "\x81\xA1" "B\r-- \x82\r"
      "\x81\xA1" "C\r\nselect 3;\r\n"
      "\x81\xA1" "D\r\nx \x82";
  EXPECT_EQ(ParseTemplateText(DecodeTemplateFile(sjis, FakeCp932ToWide)),
            (Items{u"■A: -- ・\r\n", u"■B: -- ・\r\n", u"■C: select 3;\r\n", u"■D: x ・\r\n"}));

  // The same in UTF-8 with its mark: a cut-short sequence before each break
  // and at the end becomes U+FFFD in its line.
  const std::string utf8 =
      "\xEF\xBB\xBF"
      "\xE2\x96\xA0" "A\r\n-- \xE5\x8F\r\n"
      "\xE2\x96\xA0" "B\r-- \xE5\r"
      "\xE2\x96\xA0" "C\r\nselect 3;\r\n\r\n\xE5\x8F";
  EXPECT_EQ(ParseTemplateText(DecodeTemplateFile(utf8, nullptr)),
            (Items{u"■A: -- \uFFFD\uFFFD\r\n", u"■B: -- \uFFFD\r\n", u"■C: select 3;\r\n\uFFFD\uFFFD\r\n"}));
}

TEST(DecodeTemplateFile, NulBytesAreKeptAsCharacters) {
  const std::string withNul("\xE2\x96\xA0" "A\r\nx\0y\r\n", 11);
  const std::u16string decoded = DecodeTemplateFile(withNul, nullptr);
  EXPECT_EQ(decoded, std::u16string(u"■A\r\nx\0y\r\n", 9));
  EXPECT_EQ(ParseTemplateText(decoded + u"\r\n"), Items{std::u16string(u"■A: x\0y\r\n", 9)});
}

// ---- Bad input ----------------------------------------------------------------

TEST(TemplateFileBadInput, FiftyMegabyteFileGoesThroughWhole) {
  // 50 MB of UTF-8 templates: header, indented body, separator, blank.
  const std::string block =
      "\xE2\x96\xA0\xE5\x8F\x97\xE6\xB3\xA8 count\r\n"
      "  select count(*) from \xE5\x8F\x97\xE6\xB3\xA8m  \r\n"
      "   where x = 1;\r\n"
      "== ==\r\n"
      "\r\n";
  const std::size_t blocks = 50 * 1000 * 1000 / block.size();
  std::string bytes;
  bytes.reserve(blocks * block.size() + 2);
  for (std::size_t i = 0; i < blocks; ++i) bytes += block;
  bytes += "\r\n";  // so that the last header is not the last line
  const Items items = ParseTemplateText(DecodeTemplateFile(bytes, nullptr));
  ASSERT_EQ(items.size(), blocks);
  EXPECT_EQ(items.front(), u"■受注 count: select count(*) from 受注m\r\n   where x = 1;\r\n");
  EXPECT_EQ(items.back(), items.front());
}

TEST(TemplateFileBadInput, MillionCharacterLinesAsBodyAndAsHeader) {
  const std::u16string longLine = Repeat(u'x', 1000 * 1000);
  const Items body = ParseTemplateText(u"■A\r\n" + longLine + u"\r\n");
  // "■A: " + 1,000,000 + CR LF = 1,000,006 units: 2,001 items.
  ASSERT_EQ(body.size(), 2001u);
  EXPECT_EQ(body[0].size(), 500u);
  EXPECT_EQ(body[1000].size(), 503u);
  EXPECT_EQ(body.back(), u"   xxxx\r\n");

  const Items header = ParseTemplateText(u"■" + longLine + u"\r\n\r\n");
  ASSERT_EQ(header.size(), 2001u);  // 1,000,003 units
  EXPECT_EQ(header.back(), u"   x: ");

  // A single line without any break: it is the last line, nothing comes of it.
  EXPECT_EQ(ParseTemplateText(u"■" + longLine), Items{});
}

// ---- Filling the list ---------------------------------------------------------

class FillTemplateListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fake::Reset();
    fake::ResetList();
  }
};

TEST_F(FillTemplateListTest, WithoutAFileTheListHoldsTheBuiltInsOnly) {
  FillTemplateList(FakeCp932ToWide);
  EXPECT_EQ(fake::List().items, BuiltInTemplates());
  EXPECT_EQ(fake::Count("ShowMessageBox"), 0);
}

TEST_F(FillTemplateListTest, FileTemplatesFollowTheBuiltIns) {
  fake::State().files[u"c:\\vorn3\\marlet.txt"] =
      "\x81\xA1" "Orders\r\n  select * from \x8E\xF3\x92\x8D" "m;\r\n\x81\xA1" "Last\r\n";
  FillTemplateList(FakeCp932ToWide);
  Items expected = BuiltInTemplates();
  expected.push_back(u"■Orders: select * from 受注m;\r\n");
  EXPECT_EQ(fake::List().items, expected);
}

TEST_F(FillTemplateListTest, EmptyOrHeaderlessFilesAddNothing) {
  for (const std::string& bytes : {std::string(), std::string("just notes\r\n== ==\r\n")}) {
    fake::ResetList();
    fake::State().files[kTemplateFilePath] = bytes;
    FillTemplateList(FakeCp932ToWide);
    EXPECT_EQ(fake::List().items, BuiltInTemplates());
  }
}

TEST_F(FillTemplateListTest, MissingAnsiConverterDoesNotStopTheReading) {
  fake::State().files[kTemplateFilePath] = "\x81\xA1" "A\r\n\x81\xA1" "B\r\nx\r\n";
  FillTemplateList(nullptr);
  // No "■" without the converter: the file gives nothing, and nothing breaks.
  EXPECT_EQ(fake::List().items, BuiltInTemplates());
  fake::ResetList();
  fake::State().files[kTemplateFilePath] = "\xEF\xBB\xBF\xE2\x96\xA0" "B\r\nx\r\n";
  FillTemplateList(nullptr);
  ASSERT_EQ(fake::List().items.size(), 12u);
  EXPECT_EQ(fake::List().items.back(), u"■B: x\r\n");
}
