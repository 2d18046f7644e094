#include "sqlplus_lines.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "fitted_lines.h"
#include "readable_text.h"
#include "text.h"

namespace {

using sqlplus_lines::FitLines;
using sqlplus_lines::Found;
using sqlplus_lines::Holder;
using sqlplus_lines::kLimitBytes;
using sqlplus_lines::LineBytes;
using sqlplus_lines::Outcome;

std::u16string Repeat(const std::u16string& s, std::size_t times) {
  std::u16string out;
  for (std::size_t i = 0; i < times; ++i) out += s;
  return out;
}

std::string Utf8(const std::u16string& s) { return text::ToUtf8(s); }

// Fits `text` and checks the promises of a broken text (fitted_lines.h).
std::u16string FitAndCheck(const std::u16string& text, std::size_t limit = kLimitBytes) {
  std::u16string fitted = text;
  const Outcome outcome = FitLines(fitted, limit);
  EXPECT_EQ(outcome.found, Found::kNothing) << Utf8(text);
  EXPECT_EQ(fitted_lines::Problem(text, fitted, limit), "") << Utf8(text) << "\n->\n" << Utf8(fitted);
  return fitted;
}

// Expects `text` to be refused as said, and left as it was.
void ExpectRefused(const std::u16string& text, Found found, Holder holder, std::size_t line,
                   std::size_t limit = kLimitBytes) {
  std::u16string fitted = text;
  const Outcome outcome = FitLines(fitted, limit);
  EXPECT_EQ(outcome.found, found) << Utf8(text);
  EXPECT_EQ(outcome.holder, holder) << Utf8(text);
  EXPECT_EQ(outcome.line, line) << Utf8(text);
  EXPECT_EQ(fitted, text);
}

TEST(SqlPlusLines, CountsBytesAsTheWidestClientCharacterSetWould) {
  EXPECT_EQ(LineBytes(u""), 0u);
  EXPECT_EQ(LineBytes(u"a\t¢漢ｶ"), 1u + 1 + 2 + 3 + 3);
  EXPECT_EQ(LineBytes(u"𠮷"), 6u);        // a surrogate pair: six bytes in Oracle's UTF8
  EXPECT_EQ(LineBytes(u"\xD800x"), 4u);  // a lone surrogate: three
}

TEST(SqlPlusLines, TextWhoseLinesFitComesBackExactly) {
  const std::u16string ascii = u"select '" + Repeat(u"x", kLimitBytes - 16) + u"' from t";  // 2,499 bytes
  const std::u16string japanese = u"-- " + Repeat(u"漢", 831) + u"abc";                      // 2,499 bytes
  const std::u16string astral = Repeat(u"𠮷", 416) + u"abc";                                  // 2,499 bytes
  ASSERT_EQ(LineBytes(ascii), kLimitBytes);
  ASSERT_EQ(LineBytes(japanese), kLimitBytes);
  ASSERT_EQ(LineBytes(astral), kLimitBytes);
  for (const std::u16string& text : {
           ascii + u"\r\n;\r\n",
           T(u"begin⏎␣␣x␣:=␣'first⏎  a / b⏎not first: #1, x#⏎@script⏎last';⏎end;⏎/⏎"),
           T(u"select␣/*␣a⏎comment␣*/␣1␣from␣dual⏎;⏎"),
           std::u16string(u"select '#b', \"c/\" from t -- it's\n/"),  // a lone LF outside: not a line here
           T(u"select 'left open⏎still open"),  // open at the end: as the user wrote it
           japanese + u"\r\n" + astral + u"\r\n",
           std::u16string(),
       }) {
    std::u16string fitted = text;
    EXPECT_EQ(FitLines(fitted).found, Found::kNothing) << Utf8(text);
    EXPECT_EQ(fitted, text);
  }
}

TEST(SqlPlusLines, ALineOneByteTooLongIsBrokenWhereSqlAllows) {
  // 2,500 bytes of Japanese words and spaces.
  const std::u16string line = u"select " + Repeat(u"漢字 ", 356) + u"a";
  ASSERT_EQ(LineBytes(line), kLimitBytes + 1);
  const std::vector<std::u16string> lines = SplitLines(FitAndCheck(line));
  EXPECT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines.back(), u"a");  // the last space within the limit became the break

  // A character beyond U+FFFF counts six bytes.
  ExpectRefused(u"'" + Repeat(u"𠮷", 417) + u"'", Found::kTooLong, Holder::kLiteral, 1);
}

TEST(SqlPlusLines, AnInListOfSixteenHundredIdsIsBrokenAfterItsCommas) {
  std::u16string spaced, packed;
  for (int id = 1; id <= 1600; ++id) {
    const std::u16string number = text::FromUtf8(std::to_string(id));
    spaced += (id > 1 ? u", " : u"") + number;
    packed += (id > 1 ? u"," : u"") + number;
  }
  // The 8.5 KB list with spaces takes four lines, the one without three.
  for (const auto& [list, listLines] : {std::pair{spaced, 4u}, std::pair{packed, 3u}}) {
    const std::u16string statement = u"delete from orders\r\n where id in (" + list + u")\r\n;\r\n";
    const std::vector<std::u16string> lines = SplitLines(FitAndCheck(statement));
    ASSERT_EQ(lines.size(), listLines + 2);
    EXPECT_EQ(lines.front(), u"delete from orders");
    EXPECT_EQ(lines.back(), u";");
    for (std::size_t i = 1; i < listLines; ++i) {
      EXPECT_GT(LineBytes(lines[i]), kLimitBytes - 8) << "line " << i << " is not filled";
      EXPECT_EQ(lines[i].back(), u',');
    }
  }
}

TEST(SqlPlusLines, NeverBreaksInsideLiteralsQuotedNamesOrComments) {
  // Each holds spaces, tabs and commas, and stands on a line long enough to
  // need breaking around it; it must come out whole on one line.
  const std::vector<std::u16string> held = {
      u"'it''s, a\tlong, one'",
      u"N'ｶﾅ, 漢字 '",
      u"q'[it's ] here, ]'",
      u"Q'{a }, b}'",
      u"q'<a >, b>'",
      u"q'(a ), b)'",
      u"nq'!a ', b!'",
      u"q'あa 'い, bあ'",
      u"q'𠮷a ', b𠮷'",
      u"\"a quoted, name\"",
      u"/* a comment, it's */",
      u"/*+ index(t i1) */",
      u"'a -- b, c'",
      u"'/* x, y'",
      u"'x */ y, z'",
  };
  for (const std::u16string& construct : held) {
    const std::u16string line = u"select a, b, " + construct + u" as c, d, e from t where f = 1";
    const std::u16string fitted = FitAndCheck(line, LineBytes(construct) + 10);
    bool whole = false;
    for (const std::u16string& piece : SplitLines(fitted)) {
      whole = whole || piece.find(construct) != std::u16string::npos;
    }
    EXPECT_TRUE(whole) << Utf8(construct) << " was broken:\n" << Utf8(fitted);
  }

  // A comment at the end of a long line stays whole at the end.
  const std::u16string comment = u"-- the ids, from the sheet; don't edit";
  const std::vector<std::u16string> lines =
      SplitLines(FitAndCheck(u"select * from t where id in (1, 2, 3, 4, 5, 6) " + comment, 45));
  ASSERT_GE(lines.back().size(), comment.size());
  EXPECT_EQ(lines.back().substr(lines.back().size() - comment.size()), comment);
}

TEST(SqlPlusLines, BreaksMakeNoLineThatSqlPlusWouldActOn) {
  // At each limit the last place within reach would make such a line;
  // another must be taken.
  struct Case {
    std::u16string text;
    std::size_t limit;
    std::vector<std::u16string> lines;
  };
  for (const Case& c : std::vector<Case>{
           {T(u"x␣:=␣1;␣y␣:=␣2;"), 8, {u"x :=", u"1; y :=", u"2;"}},  // ";" would run the statement
           {T(u"select␣a␣-␣b"), 10, {u"select a", u"- b"}},          // "-" would continue a command
           {T(u"aa␣bb␣/"), 5, {u"aa", u"bb /"}},                     // "/" alone
           {T(u"aa␣bb␣."), 5, {u"aa", u"bb ."}},                     // "." alone
           {T(u"aa␣bb␣#c"), 5, {u"aa", u"bb #c"}},                   // "#" starts a SQL*Plus command
           {T(u"aa␣bb␣@c"), 5, {u"aa", u"bb @c"}},                   // "@" runs a script
       }) {
    EXPECT_EQ(SplitLines(FitAndCheck(c.text, c.limit)), c.lines) << Utf8(c.text);
  }
  // When no other place is left, nothing is sent.
  ExpectRefused(T(u"a;␣b;␣c;"), Found::kTooLong, Holder::kCode, 1, 3);
  ExpectRefused(T(u"aaa␣/␣bbbb"), Found::kTooLong, Holder::kCode, 1, 4);
  ExpectRefused(T(u"aaa␣.␣bbbb"), Found::kTooLong, Holder::kCode, 1, 4);
}

TEST(SqlPlusLines, RefusesWhatCannotBeBrokenAndSaysWhatAndWhere) {
  const std::u16string long3000 = Repeat(u"x", 3000);
  ExpectRefused(u"insert into t\r\nvalues ('" + long3000 + u"');\r\n", Found::kTooLong, Holder::kLiteral, 2);
  ExpectRefused(u"select \"" + long3000 + u"\" from t", Found::kTooLong, Holder::kQuotedName, 1);
  ExpectRefused(u"select 1 from t -- " + long3000, Found::kTooLong, Holder::kComment, 1);
  ExpectRefused(u"select 1 /* " + long3000 + u" */ from t", Found::kTooLong, Holder::kComment, 1);
  ExpectRefused(u"select " + long3000 + u" from t", Found::kTooLong, Holder::kCode, 1);
  // A literal left open runs to the end: its long line cannot be broken.
  ExpectRefused(u"select 'open\r\n" + Repeat(u"a, ", 1000) + u"\r\n", Found::kTooLong, Holder::kLiteral, 2);
}

TEST(SqlPlusLines, RefusesALineSqlPlusWouldActOnInsideWhatSpansLines) {
  struct Case {
    std::u16string text;
    Holder holder;
    std::size_t line;
  };
  for (const Case& c : std::vector<Case>{
           {T(u"insert␣into␣t␣values␣('first⏎/⏎last');"), Holder::kLiteral, 2},
           {T(u"insert␣into␣t␣values␣('first⏎␣␣/␣␣⏎last');"), Holder::kLiteral, 2},
           {T(u"select␣'a⏎b⏎.⏎c'␣from␣dual;"), Holder::kLiteral, 3},
           {T(u"select␣q'[a⏎#set␣x]'␣from␣dual;"), Holder::kLiteral, 2},
           {T(u"select␣n'a⏎␣␣#␣x'␣from␣dual;"), Holder::kLiteral, 2},
           {T(u"select␣\"a⏎/⏎b\"␣from␣dual;"), Holder::kQuotedName, 2},
           {T(u"select␣1␣/*␣a⏎/⏎*/␣from␣dual;"), Holder::kComment, 2},
           {T(u"select␣1␣from␣dual;␣/*+␣a␣*/␣/*⏎#x␣*/"), Holder::kComment, 2},
           {u"select 'a\n/\nb' from dual;", Holder::kLiteral, 1},  // a lone LF may break the line too
           {T(u"select 'open⏎/"), Holder::kLiteral, 2},             // left open: it runs to the end
       }) {
    ExpectRefused(c.text, Found::kActingLine, c.holder, c.line);
  }
}

// Random SQL-like lines of words, commas, literals of every kind, names and
// comments (some of them spanning lines), broken with small limits: each
// result keeps the promises, or the text is refused and left as it was.
TEST(SqlPlusLines, RandomTextsKeepThePromisesOrAreLeftAsTheyWere) {
  std::mt19937 random(20240611u);
  const std::vector<std::u16string> pieces = {
      u"select", u"a1", u"漢字", u",", u", ", u" ", u"\t", u"  ", u";", u"-", u"/", u".", u"#x", u"@y", u"(", u")",
      u"from", u"b2", u" ", u" ", u", ", u", ", u" ", u"x",
      u"'lit, eral'", u"'it''s'", u"q'[a ' b]'", u"nq'{x, y}'", u"q'!a b!'", u"\"Name, x\"", u"/* c, d */",
      u"-- tail, comment", u"'multi\r\nline'", u"/* multi\r\nline */", u"\r\n", u"𠮷", u"x\ny", u"||"};
  int broken = 0, refused = 0;
  for (int round = 0; round < 3000; ++round) {
    std::u16string text;
    const int count = 1 + static_cast<int>(random() % 60);
    for (int i = 0; i < count; ++i) text += pieces[random() % pieces.size()];
    const std::size_t limit = 16 + random() % 64;
    std::u16string fitted = text;
    const Outcome outcome = FitLines(fitted, limit);
    if (outcome.found == Found::kNothing) {
      ASSERT_EQ(fitted_lines::Problem(text, fitted, limit), "") << Utf8(text) << "\n->\n" << Utf8(fitted);
      broken += fitted != text;
    } else {
      ASSERT_EQ(fitted, text);
      ++refused;
    }
  }
  EXPECT_GT(broken, 600) << "of 3,000";  // the rounds exercise both outcomes
  EXPECT_GT(refused, 600) << "of 3,000";
}

}  // namespace
