#include "statement_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "readable_text.h"

namespace {

std::u16string Prepare(const std::u16string& raw, bool dropSeparatorLines) {
  return PrepareStatementText(T(raw), dropSeparatorLines);
}

// For the cases where both callers must get the same result.
void ExpectEitherWay(const std::u16string& raw, const std::u16string& expected) {
  EXPECT_EQ(Prepare(raw, true), T(expected)) << "with separator lines dropped";
  EXPECT_EQ(Prepare(raw, false), T(expected)) << "with separator lines kept";
}

TEST(StatementText, WorkedShapes) {
  ExpectEitherWay(u"", u"");
  ExpectEitherWay(u"select␣*␣from␣tab;", u"select␣*␣from␣tab;⏎");
  ExpectEitherWay(u"select␣1␣from␣dual", u"select␣1␣from␣dual⏎;⏎");
  ExpectEitherWay(u"␣␣select␣a⏎⏎␣␣␣from␣t␣␣␣⏎", u"select␣a⏎␣␣␣from␣t⏎;⏎");
  ExpectEitherWay(u"begin⏎␣␣null;⏎end;⏎/", u"begin⏎␣␣null;⏎end;⏎/⏎");
  EXPECT_EQ(Prepare(u"====␣part␣1⏎delete␣from␣t;", true), T(u"delete␣from␣t;⏎"));
  EXPECT_EQ(Prepare(u"====␣part␣1⏎delete␣from␣t;", false), T(u"====␣part␣1⏎delete␣from␣t;⏎"));
}

TEST(StatementText, LineBreakIsOnlyCrLf) {
  // A lone LF or CR is an ordinary character: the text stays one line, and
  // only the spaces at its very end are cut.
  ExpectEitherWay(u"select␣1\nfrom␣dual;␣␣", u"select␣1\nfrom␣dual;⏎");
  ExpectEitherWay(u"select␣1\rfrom␣dual;", u"select␣1\rfrom␣dual;⏎");
  ExpectEitherWay(u"select␣1␣␣\n␣␣from␣dual", u"select␣1␣␣\n␣␣from␣dual⏎;⏎");
  // LF CR is not a break either.
  ExpectEitherWay(u"a;\n\rb;", u"a;\n\rb;⏎");
  // In CR CR LF the break is the second CR with the LF; the first CR stays
  // in the line and, being its last character, asks for the ";" line.
  ExpectEitherWay(u"a;\r⏎b;", u"a;\r⏎b;⏎");
  ExpectEitherWay(u"a\r⏎", u"a\r⏎;⏎");
  // A lone CR or LF at the very end of the text belongs to the last line.
  ExpectEitherWay(u"a;⏎b;\r", u"a;⏎b;\r⏎;⏎");
  ExpectEitherWay(u"a;⏎\n", u"a;⏎\n⏎;⏎");
  // A line of nothing but a lone CR or LF is not blank.
  ExpectEitherWay(u"a;⏎\r⏎b;", u"a;⏎\r⏎b;⏎");
}

TEST(StatementText, TextEndingInCrLfGivesNoExtraLine) {
  ExpectEitherWay(u"select␣1;⏎", u"select␣1;⏎");
  ExpectEitherWay(u"select␣1;⏎⏎⏎", u"select␣1;⏎");
  ExpectEitherWay(u"select␣1⏎", u"select␣1⏎;⏎");
  ExpectEitherWay(u"⏎select␣1;", u"select␣1;⏎");
}

TEST(StatementText, NothingToSend) {
  for (const bool drop : {true, false}) {
    EXPECT_EQ(Prepare(u"␣", drop), u"");
    EXPECT_EQ(Prepare(u"␣␣␣⏎⏎␣⏎", drop), u"");
    EXPECT_EQ(Prepare(u"⏎", drop), u"");
    EXPECT_EQ(Prepare(u"⏎⏎⏎⏎", drop), u"");
  }
  EXPECT_EQ(Prepare(u"==", true), u"");
  EXPECT_EQ(Prepare(u"==⏎␣␣⏎====␣part␣1␣⏎⏎==;⏎", true), u"");
}

TEST(StatementText, SeparatorLines) {
  // Kept as ordinary lines when they are not dropped.
  EXPECT_EQ(Prepare(u"==", false), T(u"==⏎;⏎"));
  EXPECT_EQ(Prepare(u"select␣1;⏎====", false), T(u"select␣1;⏎====⏎;⏎"));
  // Dropped anywhere: first, between, last, with or without a final CR LF.
  EXPECT_EQ(Prepare(u"==a⏎select␣1⏎==b⏎from␣dual;⏎==c", true), T(u"select␣1⏎from␣dual;⏎"));
  EXPECT_EQ(Prepare(u"select␣1;⏎==⏎", true), T(u"select␣1;⏎"));
  // A dropped last line does not count for the terminator.
  EXPECT_EQ(Prepare(u"select␣1⏎==;", true), T(u"select␣1⏎;⏎"));
  EXPECT_EQ(Prepare(u"select␣1⏎==;", false), T(u"select␣1⏎==;⏎"));
  // Not separators: a single "=", "=" then something else, "==" further on,
  // "==" behind a lone LF (the line starts before it).
  EXPECT_EQ(Prepare(u"=⏎=␣=⏎a␣==␣b;", true), T(u"=⏎=␣=⏎a␣==␣b;⏎"));
  EXPECT_EQ(Prepare(u"x\n==;", true), T(u"x\n==;⏎"));
  EXPECT_EQ(Prepare(u"select␣1⏎=", true), T(u"select␣1⏎=⏎;⏎"));
  // The test is made on the untrimmed line: spaces before "==" keep the line,
  // and its own leading spaces stay unless it is the first line kept.
  EXPECT_EQ(Prepare(u"select␣1⏎␣␣==␣note;", true), T(u"select␣1⏎␣␣==␣note;⏎"));
  EXPECT_EQ(Prepare(u"␣==␣note⏎select␣1;", true), T(u"==␣note⏎select␣1;⏎"));
  // Full-width equals signs are not "==".
  EXPECT_EQ(Prepare(u"＝＝⏎select␣1;", true), T(u"＝＝⏎select␣1;⏎"));
}

TEST(StatementText, Trimming) {
  // Trailing spaces go from every line; leading spaces stay except on the
  // first line kept, also when blank or dropped lines come before it.
  ExpectEitherWay(u"␣␣a␣␣⏎␣␣b␣␣⏎␣␣c;␣␣", u"a⏎␣␣b⏎␣␣c;⏎");
  EXPECT_EQ(Prepare(u"⏎␣␣⏎==⏎␣␣␣select␣1;", true), T(u"select␣1;⏎"));
  // Only U+0020 is a space: tabs and the ideographic space stay, and a line
  // of them is not blank.
  ExpectEitherWay(u"\tselect␣1;\t", u"\tselect␣1;\t⏎;⏎");
  ExpectEitherWay(u"a;⏎\t⏎b;", u"a;⏎\t⏎b;⏎");
  ExpectEitherWay(u"\u3000select␣1;\u3000", u"\u3000select␣1;\u3000⏎;⏎");
  ExpectEitherWay(u"a;⏎\u3000", u"a;⏎\u3000⏎;⏎");
  // Spaces inside a line stay.
  ExpectEitherWay(u"select␣␣␣1␣␣from␣dual;", u"select␣␣␣1␣␣from␣dual;⏎");
  // Spaces before a lone CR are inside the line, not at its end.
  ExpectEitherWay(u"a;␣␣\r␣␣", u"a;␣␣\r⏎;⏎");
}

TEST(StatementText, TerminatorIsTheLastCharacterOfTheLastLine) {
  ExpectEitherWay(u"select␣1;", u"select␣1;⏎");
  ExpectEitherWay(u"select␣1;␣␣␣", u"select␣1;⏎");
  ExpectEitherWay(u"end;⏎/", u"end;⏎/⏎");
  ExpectEitherWay(u"/", u"/⏎");
  ExpectEitherWay(u";", u";⏎");
  // A ";" that closes a comment still counts.
  ExpectEitherWay(u"select␣1␣from␣dual␣--␣done;", u"select␣1␣from␣dual␣--␣done;⏎");
  // Only the last line decides; a ";" earlier or inside it does not.
  ExpectEitherWay(u"select␣1;⏎select␣2", u"select␣1;⏎select␣2⏎;⏎");
  ExpectEitherWay(u"select␣';'␣from␣dual", u"select␣';'␣from␣dual⏎;⏎");
  ExpectEitherWay(u"select␣1␣from␣dual\t", u"select␣1␣from␣dual\t⏎;⏎");
  ExpectEitherWay(u"insert␣into␣t␣values␣(1)", u"insert␣into␣t␣values␣(1)⏎;⏎");
  ExpectEitherWay(u"select␣*␣from␣社員", u"select␣*␣from␣社員⏎;⏎");
  ExpectEitherWay(u"select␣1；", u"select␣1；⏎;⏎");  // full-width semicolon
  // A line of spaces and ";" is not blank and terminates the text.
  ExpectEitherWay(u"select␣1⏎␣␣␣;", u"select␣1⏎␣␣␣;⏎");
  ExpectEitherWay(u"⏎␣␣␣;␣␣⏎", u";⏎");
  // The first of the last three units is looked at: a one-character last
  // line and a text of one line both work.
  ExpectEitherWay(u"a", u"a⏎;⏎");
  ExpectEitherWay(u"a;⏎b", u"a;⏎b⏎;⏎");
}

TEST(StatementText, NonBmpTextPassesThrough) {
  // Surrogate pairs are two ordinary code units; nothing splits them.
  ExpectEitherWay(u"select␣'\U0001F600'␣from␣dual", u"select␣'\U0001F600'␣from␣dual⏎;⏎");
  ExpectEitherWay(u"select␣'\U0001F600'", u"select␣'\U0001F600'⏎;⏎");
}

TEST(StatementText, PreparedTextStaysAsItIs) {
  const std::u16string raws[] = {
      u"select␣*␣from␣tab;",
      u"select␣1␣from␣dual",
      u"␣␣select␣a⏎⏎␣␣␣from␣t␣␣␣⏎",
      u"begin⏎␣␣null;⏎end;⏎/",
      u"====␣part␣1⏎delete␣from␣t;",
      u"a;\r⏎b\n⏎\r",
      u"x⏎␣␣␣;",
      u"\tselect␣1\t",
      u"select␣'\U0001F600'",
  };
  for (const auto& raw : raws) {
    for (const bool drop : {true, false}) {
      const std::u16string once = Prepare(raw, drop);
      EXPECT_EQ(PrepareStatementText(once, drop), once) << "drop=" << drop;
    }
  }
  // Text prepared for marlet stays as it is in either mode unless it holds a
  // separator line.
  const std::u16string marlet = Prepare(u"select␣1⏎from␣dual", false);
  EXPECT_EQ(PrepareStatementText(marlet, true), marlet);
}

TEST(StatementText, LargeTextIsNotCopiedIntoADoubledBuffer) {
  // The worst case for growth: nothing to trim, no final CR LF, no
  // terminator, so both the CR LF and the ";" line are added at the end.
  const std::u16string raw(1 << 20, u'a');
  const std::u16string result = PrepareStatementText(raw, true);
  EXPECT_EQ(result.size(), raw.size() + 5);
  EXPECT_LT(result.capacity(), raw.size() + raw.size() / 2);
}

// Checks the shape of a result against the rules every result obeys.
void ExpectWellShaped(const std::u16string& raw, bool drop, const std::u16string& result) {
  SCOPED_TRACE(::testing::Message() << "drop=" << drop);
  ASSERT_LE(result.size(), raw.size() + 5);
  if (result.empty()) return;
  ASSERT_GE(result.size(), 3u);
  ASSERT_EQ(result.substr(result.size() - 2), u"\r\n");
  ASSERT_NE(result[0], u' ');
  const char16_t last = result[result.size() - 3];
  EXPECT_TRUE(last == u';' || last == u'/');
  std::size_t start = 0;
  bool first = true;
  while (start < result.size()) {
    const std::size_t end = result.find(u"\r\n", start);
    ASSERT_NE(end, std::u16string::npos);
    const std::u16string line = result.substr(start, end - start);
    if (line.find_first_not_of(u' ') == std::u16string::npos) {
      ADD_FAILURE() << "blank line kept";
    } else {
      EXPECT_NE(line.back(), u' ') << "trailing space kept";
    }
    // The first kept line may begin with "==" once its leading spaces are gone.
    if (drop && !first) {
      EXPECT_NE(line.substr(0, 2), u"==") << "separator line kept";
    }
    first = false;
    start = end + 2;
  }
}

TEST(StatementText, RandomTextKeepsTheShape) {
  // Short texts over the characters that matter, so that every combination
  // of breaks, spaces, separators and terminators comes up.
  const char16_t alphabet[] = {u' ', u' ', u'\r', u'\n', u'\r', u'\n', u'=', u'=', u';', u'/', u'a', u'\t'};
  std::uint32_t seed = 12345;
  const auto next = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return seed >> 8;
  };
  for (int round = 0; round < 20000; ++round) {
    std::u16string raw;
    const std::size_t length = next() % 24;
    for (std::size_t i = 0; i < length; ++i) raw += alphabet[next() % (sizeof alphabet / sizeof alphabet[0])];
    for (const bool drop : {true, false}) {
      const std::u16string result = PrepareStatementText(raw, drop);
      ExpectWellShaped(raw, drop, result);
      if (!drop || result.compare(0, 2, u"==") != 0) {
        EXPECT_EQ(PrepareStatementText(result, drop), result);
      }
      if (::testing::Test::HasFailure()) {
        FAIL() << "raw text: " << ::testing::PrintToString(raw);
      }
    }
  }
}

}  // namespace
