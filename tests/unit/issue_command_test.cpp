#include "issue_command.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "fake_list.h"
#include "fake_platform.h"
#include "fitted_lines.h"
#include "readable_text.h"
#include "templates.h"
#include "text.h"

namespace {

std::string U8(const std::u16string& s) { return text::ToUtf8(s); }

// The list as marlet fills it without a template file.
const std::vector<std::u16string>& kBuiltIns = BuiltInTemplates();
constexpr int kCommitItem = 0;
constexpr int kDbmsOutputItem = 1;
constexpr int kLayoutItem = 2;
constexpr int kTableListItem = 3;

constexpr WindowHandle kSqlPlus = 7;
const char kEditBoxStart[] = "ShowInputBox(SQL を編集入力して下さい。,SQL 発行,";
const char kLayoutBox[] = "ShowInputBox(テーブル名を入力して下さい。,テーブルレイアウト,受注m)";
const char kCommitBox[] =
    "ShowMessageBox(トランザクションをコミットしますか?\n"
    "はい = commit、いいえ = rollback、ｷｬﾝｾﾙ = なにもしない,35,コミット or ロールバック)";

std::vector<std::u16string> WithBuiltIns(const std::vector<std::u16string>& more) {
  std::vector<std::u16string> items = kBuiltIns;
  items.insert(items.end(), more.begin(), more.end());
  return items;
}

class IssueCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    fake::Reset();
    fake::ResetList();
    fake::State().windowsByTitle[u"Oracle SQL*Plus"] = kSqlPlus;
    fake::State().classOf[kSqlPlus] = u"sqlplusWClass";
  }

  void Issue(const std::vector<std::u16string>& items, int selected, const std::u16string& typed = u"") {
    fake::ResetList(items, selected, typed);
    Command1_Click();
  }

  // SQL*Plus was handed a paste.
  static bool Delivered() { return !fake::State().handed.empty(); }
  static bool Closed() { return fake::List().closeCount == 1; }
  static int Boxes() { return fake::Count("ShowInputBox") + fake::Count("ShowMessageBox"); }

  // The run handed `sent` to SQL*Plus once and closed the window.
  static void ExpectSent(const std::u16string& sent) {
    EXPECT_EQ(fake::State().handed, std::vector<std::string>{"command"});
    EXPECT_EQ(U8(fake::State().clipboard), U8(sent));
    EXPECT_EQ(fake::List().closeCount, 1);
  }

  // The run closed the window without a hand-over.
  static void ExpectClosedWithoutSending() {
    EXPECT_FALSE(Delivered());
    EXPECT_EQ(fake::List().closeCount, 1);
  }

  // The run did nothing the user could see: the window stays open.
  static void ExpectLeftOpen() {
    EXPECT_FALSE(Delivered());
    EXPECT_EQ(fake::State().clipboardWrites, 0);
    EXPECT_EQ(Boxes(), 0);
    EXPECT_EQ(fake::List().closeCount, 0);
  }
};

// ---- Plain templates --------------------------------------------------------

TEST_F(IssueCommand, PlainTemplatesAreSentWithoutQuestion) {
  Issue(kBuiltIns, kTableListItem);
  ExpectSent(T(u"select * from tab;⏎"));
  EXPECT_EQ(Boxes(), 0);

  SetUp();
  Issue(kBuiltIns, kDbmsOutputItem);
  ExpectSent(T(u"set serverout on;⏎"));
  EXPECT_EQ(Boxes(), 0);

  // A user template of several lines, unterminated: prepared like any text.
  SetUp();
  Issue(WithBuiltIns({T(u"■Daily count: select count(*)⏎    from 受注m⏎")}), 11);
  ExpectSent(T(u"select count(*)⏎    from 受注m⏎;⏎"));
  EXPECT_EQ(Boxes(), 0);
}

TEST_F(IssueCommand, LinesBeginningWithTwoEqualSignsAreKept) {
  Issue(WithBuiltIns({T(u"■Compare: select 1 from dual where 1⏎==1;")}), 11);
  ExpectSent(T(u"select 1 from dual where 1⏎==1;⏎"));
}

TEST_F(IssueCommand, TemplateTextGoesThroughTheClipboardAndTheReadBackIsSent) {
  // The clipboard hands back something else (as a narrower character set
  // would): that is what goes on.
  fake::State().onCall = [](const std::string& call) {
    if (call == "ClipboardGetText()") fake::State().clipboard = u"select ? from tab;";
  };
  Issue(kBuiltIns, kTableListItem);
  // The clipboard pass and the delivery run in one delivery turn, so that
  // no other delivery's text comes in between.
  EXPECT_EQ(fake::Count("ClipboardSetText(select * from tab;)"), 1);
  EXPECT_EQ(fake::State().turnsTaken, 1);
  EXPECT_EQ(fake::State().outsideTurn + fake::State().deliveryTurns, 0);
  ExpectSent(T(u"select ? from tab;⏎"));
  EXPECT_EQ(fake::State().clipboardWrites, 2);  // the pass, then the delivery
}

TEST_F(IssueCommand, WithoutTheTurnNothingIsWrittenOrSentAndTheWindowStaysOpen) {
  // Another delivery holds the turn for longer than the wait.
  fake::State().clipboard = u"the user's copy";
  fake::State().deliveryTurnRefused = true;
  Issue(kBuiltIns, kTableListItem);
  EXPECT_EQ(fake::Count("Beep()"), 1);
  EXPECT_EQ(fake::State().clipboardWrites, 0);
  EXPECT_EQ(U8(fake::State().clipboard), "the user's copy");
  EXPECT_FALSE(Delivered());
  EXPECT_EQ(fake::List().closeCount, 0);

  // A click handled while the command waits for the turn starts no second
  // command; a window closed meanwhile sends nothing.
  SetUp();
  int clicks = 0;
  fake::State().onCall = [&](const std::string& call) {
    if (call == "TakeDeliveryTurn()" && clicks++ == 0) Command1_Click();
  };
  Issue(kBuiltIns, kTableListItem);
  ExpectSent(T(u"select * from tab;⏎"));
  EXPECT_EQ(fake::Count("ClipboardSetText"), 1);

  SetUp();
  fake::State().onCall = [](const std::string& call) {
    if (call == "TakeDeliveryTurn()") fake::List().handle = 0;
  };
  Issue(kBuiltIns, kTableListItem);
  EXPECT_EQ(fake::State().clipboardWrites, 0);
  EXPECT_FALSE(Delivered());
  EXPECT_EQ(fake::State().deliveryTurns, 0);
}

TEST_F(IssueCommand, DeliversWithoutTheSettlingWait) {
  fake::State().ini[u"c:\\vorn3\\tovrin.ini"][u"sql plus"][u"active"] = u"yes";
  Issue(kBuiltIns, kTableListItem);
  EXPECT_EQ(fake::State().broughtForward.size(), 1u);
  EXPECT_EQ(fake::State().handed, std::vector<std::string>{"keys"});
  EXPECT_EQ(U8(fake::State().clipboard), "select * from tab;\r\n");
  EXPECT_TRUE(Closed());
}

TEST_F(IssueCommand, SplitsAtTheFirstColonSpace) {
  // The rest of a label that holds ": " becomes part of the SQL text.
  Issue(WithBuiltIns({u"■note: keep: select 1 from dual;"}), 11);
  ExpectSent(T(u"keep: select 1 from dual;⏎"));
}

TEST_F(IssueCommand, ItemWithoutColonSpaceLeavesTheWindowOpen) {
  Issue(WithBuiltIns({u"■no label:select 1;"}), 11);
  ExpectLeftOpen();
  EXPECT_EQ(fake::List().selected, 11);
}

// ---- Edit kind --------------------------------------------------------------

TEST_F(IssueCommand, EditKindOffersEveryEditLabelForEditing) {
  for (int item = 4; item <= 10; ++item) {
    SCOPED_TRACE(item);
    SetUp();
    const std::u16string sql = kBuiltIns[item].substr(kBuiltIns[item].find(u": ") + 2);
    fake::State().inputBoxAnswers = {sql};
    Issue(kBuiltIns, item);
    EXPECT_EQ(fake::Count(std::string(kEditBoxStart) + U8(sql) + ")"), 1);
    EXPECT_EQ(Boxes(), 1);
    ExpectSent(sql + u"\r\n");
  }
}

TEST_F(IssueCommand, WhileItAsksTheListShowsTheChosenTemplate) {
  // Reading the next item (the end of the chosen template) must not select
  // it: after テーブルクリア that would show テーブル削除 while the user is
  // asked to confirm the truncate.
  for (int item : {0, 2, 4, 5, 6, 7, 8, 9, 10}) {
    SCOPED_TRACE(item);
    SetUp();
    fake::State().inputBoxAnswers = {u"x"};
    fake::State().messageBoxAnswers = {2};  // Cancel
    Issue(kBuiltIns, item);
    EXPECT_EQ(Boxes(), 1);
    EXPECT_TRUE(fake::List().selectionMoves.empty());
    EXPECT_EQ(fake::List().selected, item);
  }
}

TEST_F(IssueCommand, EditAnswerIsTrimmedAndGetsOneSemicolon) {
  // An answer without ";" gets one directly after its last character, also
  // when it ends in "/"; the answer is not prepared again.
  const struct {
    const char16_t* answer;
    const char16_t* sent;
  } cases[] = {
      {u"  delete from t where id = 1  ", u"delete from t where id = 1;⏎"},
      {u"delete from t;", u"delete from t;⏎"},
      {u"delete from t /", u"delete from t /;⏎"},
      {u"  a  ⏎⏎  b", u"a  ⏎⏎  b;⏎"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(U8(c.answer));
    SetUp();
    fake::State().inputBoxAnswers = {T(c.answer)};
    Issue(kBuiltIns, 10);
    ExpectSent(T(c.sent));
  }
}

TEST_F(IssueCommand, EditBoxShowsThePreparedTextWithoutItsFinalLineBreak) {
  fake::State().inputBoxAnswers = {u"x"};
  Issue(WithBuiltIns({T(u"■レコード参照: select *   ⏎⏎  from t")}), 11);
  EXPECT_EQ(fake::Count(std::string(kEditBoxStart) + "select *\r\n  from t\r\n;)"), 1);
  ExpectSent(T(u"x;⏎"));
}

TEST_F(IssueCommand, ClearedOrCancelledEditHandsOverTheEmptyText) {
  for (const std::u16string answer : {u"", u"   "}) {
    SetUp();
    fake::State().clipboard = u"old";
    fake::State().inputBoxAnswers = {answer};
    Issue(kBuiltIns, 5);
    EXPECT_EQ(fake::Count("ShowInputBox"), 1);
    ExpectSent(u"");
  }
}

// ---- Table layout kind ------------------------------------------------------

TEST_F(IssueCommand, TableLayoutSendsDescribeOfTheAnsweredName) {
  const struct {
    const char16_t* answer;
    const char16_t* sent;
  } cases[] = {
      {u"受注m", u"describe 受注m;⏎"},
      {u"  emp  ", u"describe emp;⏎"},
      {u"", u""},
      {u"  ", u""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(U8(c.answer));
    SetUp();
    fake::State().inputBoxAnswers = {c.answer};
    Issue(kBuiltIns, kLayoutItem);
    EXPECT_EQ(fake::Count(kLayoutBox), 1);
    EXPECT_EQ(Boxes(), 1);
    ExpectSent(T(c.sent));
  }
}

TEST_F(IssueCommand, TableLayoutIgnoresTheTemplatesOwnSql) {
  fake::State().inputBoxAnswers = {u"dept"};
  Issue(WithBuiltIns({u"■テーブルレイアウト: select 1 from dual;"}), 11);
  ExpectSent(T(u"describe dept;⏎"));
}

// ---- Commit question --------------------------------------------------------

TEST_F(IssueCommand, CommitQuestionAnswers) {
  const struct {
    int answer;
    const char16_t* sent;
  } cases[] = {
      {6, u"commit;⏎"},
      {7, u"rollback;⏎"},
      {2, u""},
      {0, u""},  // the box could not be shown
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.answer);
    SetUp();
    fake::State().messageBoxAnswers = {c.answer};
    Issue(kBuiltIns, kCommitItem);
    EXPECT_EQ(fake::Count(kCommitBox), 1);
    EXPECT_EQ(Boxes(), 1);
    ExpectSent(T(c.sent));
  }
}

// ---- Lines SQL*Plus would drop or act on -----------------------------------

TEST_F(IssueCommand, LongLinesAreBrokenAndWhatCannotBePastedIsNotSentButExplained) {
  // Typed: an IN list of 1,600 ids on one line, sent broken to fit.
  std::u16string ids;
  for (int id = 1; id <= 1600; ++id) ids += (id > 1 ? u", " : u"") + text::FromUtf8(std::to_string(id));
  const std::u16string typed = u"delete from orders where id in (" + ids + u")";
  Issue(kBuiltIns, -1, typed);
  EXPECT_TRUE(Delivered());
  const std::u16string sent = fake::State().clipboard;
  EXPECT_EQ(fitted_lines::Problem(typed + u";\r\n", sent, sqlplus_lines::kLimitBytes), "");
  EXPECT_EQ(SplitLines(sent).size(), 4u);

  // Edited: the answer holds a literal that no line can hold, after a line
  // that is broken to fit; nothing is sent and the box says why.
  SetUp();
  fake::State().inputBoxAnswers = {u"insert into t (a, b) values (" + ids + u", '" + std::u16string(3000, u'x') + u"')"};
  Issue(kBuiltIns, 10);
  ExpectClosedWithoutSending();
  EXPECT_EQ(fake::Count("ShowMessageBox(1 行目「insert into t (a, b) values (1…」は SQL*Plus が受け付ける 1 行の長さ"
                        " (2,499 バイト) を超えていますが、文字列リテラルが長すぎるため、SQL の改行できる所で"
                        "分けても収まりません。\n\nSQL は送信していません。,48,SQL 発行)"),
            1);
  EXPECT_EQ(fake::State().clipboardWrites, 1);  // the template's pass only

  // A template whose literal spans lines and holds a "/" line.
  SetUp();
  Issue(WithBuiltIns({T(u"■Note: insert into notes values ('first⏎  /⏎last');")}), 11);
  ExpectClosedWithoutSending();
  EXPECT_EQ(fake::Count("ShowMessageBox(2 行目「/」は文字列リテラルの中の行ですが、SQL*Plus はこの行だけで"
                        "コマンドとして実行してしまいます (「/」や「.」だけの行、「#」で始まる行)。"
                        "\n\nSQL は送信していません。,48,SQL 発行)"),
            1);
}

// ---- Typed text -------------------------------------------------------------

TEST_F(IssueCommand, TypedTextIsTrimmedAndTerminatedOnItsOwnLine) {
  const struct {
    const char16_t* typed;
    const char16_t* sent;
  } cases[] = {
      {u"select 1 from dual", u"select 1 from dual;⏎"},
      {u"  select 1 from dual  ", u"select 1 from dual;⏎"},
      {u"select 1 from dual;", u"select 1 from dual;⏎"},
      {u"run /", u"run /⏎"},
      // Not a template: no split at ": ", no kind.
      {u"select 'a: b' from dual", u"select 'a: b' from dual;⏎"},
      {u"  ■テーブル削除: x", u"■テーブル削除: x;⏎"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(U8(c.typed));
    SetUp();
    Issue(kBuiltIns, -1, c.typed);
    ExpectSent(T(c.sent));
    EXPECT_EQ(Boxes(), 0);
    // Typed text does not make the trip through the clipboard.
    EXPECT_EQ(fake::Count("ClipboardGetText"), 0);
    EXPECT_EQ(fake::State().clipboardWrites, 1);
  }
}

TEST_F(IssueCommand, NothingTypedLeavesTheWindowOpen) {
  for (const std::u16string typed : {u"", u"    "}) {
    SetUp();
    Issue(kBuiltIns, -1, typed);
    ExpectLeftOpen();
  }
  SetUp();
  Issue({}, -1, u"");
  ExpectLeftOpen();
}

TEST_F(IssueCommand, TypedTextWorksWithAnEmptyList) {
  Issue({}, -1, u"select sysdate from dual");
  ExpectSent(T(u"select sysdate from dual;⏎"));
}

TEST_F(IssueCommand, TypedTextBeginningWithHeadMarkClosesWithoutSending) {
  for (const std::u16string typed : {u"■select 1 from dual;", u"■コミット or ロールバック: commit;",
                                     u"■テーブルレイアウト: x", u"■レコード削除: delete from t;"}) {
    SCOPED_TRACE(U8(typed));
    SetUp();
    fake::State().messageBoxAnswers = {6};
    fake::State().inputBoxAnswers = {u"x"};
    Issue(kBuiltIns, -1, typed);
    ExpectClosedWithoutSending();
    EXPECT_EQ(Boxes(), 0);
    EXPECT_EQ(fake::State().clipboardWrites, 0);
  }
}

// ---- Long templates ---------------------------------------------------------

TEST_F(IssueCommand, ContinuationPieceWalksUpToItsHeadAndSendsTheWholeTemplate) {
  // The head carries an edit label, but the kind tests see the piece's text,
  // which begins with three spaces: no question.
  const auto items = WithBuiltIns({u"■レコード参照: select a,", u"   b,", u"   c from t;",
                                   u"■tail: select 2;"});
  fake::State().inputBoxAnswers = {u"x"};
  Issue(items, 13);
  ExpectSent(T(u"select a,b,c from t;⏎"));
  EXPECT_EQ(Boxes(), 0);
  // Up from 13 to the head at 11, then down over the pieces to the next
  // head: the selection moves once, to where that walk ends.
  EXPECT_EQ(fake::List().selectionMoves, (std::vector<int>{14}));
  EXPECT_EQ(fake::List().selected, 14);
}

TEST_F(IssueCommand, HeadItemGathersItsPiecesUpToTheListsEnd) {
  // The cut may fall between the CR and the LF of one line break.
  const auto items = WithBuiltIns({u"■Long: select 1\r", u"   \n  from dual\r\n", u"   where 1 = 1"});
  Issue(items, 11);
  ExpectSent(T(u"select 1⏎  from dual⏎where 1 = 1⏎;⏎"));
  EXPECT_EQ(fake::List().selectionMoves, (std::vector<int>{13}));
}

TEST_F(IssueCommand, HeadItemWithAnEditLabelAndPiecesIsEditedWhole) {
  fake::State().inputBoxAnswers = {u"select a, b from t"};
  Issue(WithBuiltIns({u"■レコード参照: select a,", u"   b from t;"}), 11);
  EXPECT_EQ(fake::Count(std::string(kEditBoxStart) + "select a,b from t;)"), 1);
  ExpectSent(T(u"select a, b from t;⏎"));
}

TEST_F(IssueCommand, PieceShorterThanItsIndentClosesWithoutSending) {
  Issue(WithBuiltIns({u"■Long: select 1", u"  ", u"   from dual;"}), 11);
  ExpectClosedWithoutSending();
}

TEST_F(IssueCommand, PiecesWithoutAnyHeadAboveSendNothing) {
  // Not a list marlet builds, but it must not go astray: with no head the
  // walk ends at item 0, which is then gathered as the template and has no
  // label.
  Issue({u"   select 1", u"   from dual;"}, 1);
  ExpectLeftOpen();
}

// ---- Templates with nothing to send -----------------------------------------

TEST_F(IssueCommand, BlankTemplateClosesWithoutSendingOrAsking) {
  for (const std::u16string item : {u"■bare: ", u"■テーブル削除:   ", u"■テーブルレイアウト: ",
                                    u"■コミット or ロールバック: \r\n  \r\n"}) {
    SCOPED_TRACE(U8(item));
    SetUp();
    fake::State().messageBoxAnswers = {6};
    fake::State().inputBoxAnswers = {u"x"};
    Issue(WithBuiltIns({item}), 11);
    ExpectClosedWithoutSending();
    EXPECT_EQ(Boxes(), 0);
  }
}

// ---- Failures ---------------------------------------------------------------

TEST_F(IssueCommand, ClipboardFailureDuringThePassClosesWithoutSending) {
  fake::State().clipboardWriteFails = true;
  fake::State().clipboard = u"someone else's text";
  Issue(kBuiltIns, kTableListItem);
  ExpectClosedWithoutSending();
  EXPECT_EQ(U8(fake::State().clipboard), "someone else's text");

  SetUp();
  fake::State().clipboardReadFails = true;
  fake::State().messageBoxAnswers = {6};
  Issue(kBuiltIns, kCommitItem);
  ExpectClosedWithoutSending();
  EXPECT_EQ(Boxes(), 0);
}

TEST_F(IssueCommand, ListFailuresCloseWithoutSending) {
  const auto items = WithBuiltIns({u"■Long: select 1", u"   from dual;"});
  // Moving the selection to the piece after gathering fails.
  fake::ResetList(items, 11);
  fake::List().failSetSelectedAt = 0;
  Command1_Click();
  ExpectClosedWithoutSending();

  // Reading the current text fails.
  SetUp();
  fake::ResetList(items, 11);
  fake::List().failGetCurrentTextAt = 0;
  Command1_Click();
  ExpectClosedWithoutSending();

  // Reading the piece's text fails (the first item read is the head's).
  SetUp();
  fake::ResetList(items, 11);
  fake::List().failGetItemTextAt = 1;
  Command1_Click();
  ExpectClosedWithoutSending();

  // Reading the head's text fails while walking up from the piece.
  SetUp();
  fake::ResetList(items, 12);
  fake::List().failGetItemTextAt = 1;
  Command1_Click();
  ExpectClosedWithoutSending();
}

TEST_F(IssueCommand, SelectedIndexPastTheEndNeitherCrashesNorHangs) {
  for (const int selected : {11, 1000, INT_MAX}) {
    SCOPED_TRACE(selected);
    SetUp();
    fake::ResetList(kBuiltIns, selected, u"   select 1");
    Command1_Click();
    ExpectClosedWithoutSending();
    EXPECT_LE(fake::List().setSelectedCalls + fake::List().getItemTextCalls, 12);
  }
}

}  // namespace
