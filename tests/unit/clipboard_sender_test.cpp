#include <gtest/gtest.h>

#include "clipboard_sender.h"
#include "fake_platform.h"
#include "fitted_lines.h"
#include "text.h"

namespace {

class ClipboardSender : public ::testing::Test {
 protected:
  void SetUp() override {
    fake::Reset();
    fake::State().windowsByTitle[u"Oracle SQL*Plus"] = 77;
    fake::State().classOf[77] = u"sqlplusWClass";
  }
};

TEST_F(ClipboardSender, PreparesWithSeparatorLinesDroppedAndDelivers) {
  fake::State().clipboard = u"==== part 1\r\n select 1 from dual  \r\n\r\n ==kept\r\n";
  RunClipboardSender(5);
  EXPECT_EQ(fake::State().clipboard, u"select 1 from dual\r\n ==kept\r\n;\r\n");
  EXPECT_EQ(fake::State().pasted, std::vector<std::u16string>{fake::State().clipboard});
}

TEST_F(ClipboardSender, NothingToSendLeavesTheClipboardUntouched) {
  for (const char16_t* content : {u"", u"  \r\n\r\n", u"== a\r\n\r\n==b"}) {
    fake::Reset();
    fake::State().clipboard = content;
    RunClipboardSender(5);
    EXPECT_EQ(fake::State().clipboardWrites, 0);
    EXPECT_EQ(fake::State().clipboard, content);
    EXPECT_TRUE(fake::State().handed.empty());
  }
}

TEST_F(ClipboardSender, UnreadableClipboardOrNoTurnSendsNothing) {
  fake::State().clipboard = u"select 1;";
  fake::State().clipboardReadFails = true;
  RunClipboardSender(5);
  EXPECT_EQ(fake::State().clipboardWrites + fake::Count("Beep()"), 0);
  EXPECT_TRUE(fake::State().handed.empty());
  EXPECT_EQ(fake::State().deliveryTurns + fake::State().outsideTurn, 0);

  // Without the turn (another delivery holds it for longer than the wait)
  // the clipboard is not even read: the user hears a beep, and what the user
  // copied stays to be sent again.
  fake::Reset();
  fake::State().clipboard = u"select 1;";
  fake::State().deliveryTurnRefused = true;
  RunClipboardSender(5);
  EXPECT_EQ(fake::Count("ClipboardGetText()") + fake::State().clipboardWrites, 0);
  EXPECT_TRUE(fake::State().handed.empty());
  EXPECT_EQ(fake::Count("Beep()"), 1);
}

TEST_F(ClipboardSender, KeystrokeModeUsesTheSettlingWait) {
  fake::State().ini[u"c:\\vorn3\\tovrin.ini"][u"sql plus"][u"active"] = u"yes";
  fake::State().clipboard = u"select 1;";
  RunClipboardSender(5);
  EXPECT_GT(fake::State().broughtForward.size(), 10u);
  EXPECT_EQ(fake::State().handed, std::vector<std::string>{"keys"});
  // The clipboard is read in the turn, which lasts until the paste is taken.
  EXPECT_EQ(fake::State().deliveryTurns + fake::State().outsideTurn, 0);
}

TEST_F(ClipboardSender, LongLinesAreBrokenAndWhatCannotBePastedStaysOnTheClipboardWithABeep) {
  std::u16string ids;
  for (int id = 1; id <= 1600; ++id) ids += (id > 1 ? u", " : u"") + text::FromUtf8(std::to_string(id));
  const std::u16string copied = u"delete from orders\r\nwhere id in (" + ids + u")";
  fake::State().clipboard = copied;
  RunClipboardSender(5);
  EXPECT_EQ(fitted_lines::Problem(copied + u"\r\n;\r\n", fake::State().clipboard, sqlplus_lines::kLimitBytes), "");
  EXPECT_EQ(SplitLines(fake::State().clipboard).size(), 6u);
  EXPECT_EQ(fake::State().pasted, std::vector<std::u16string>{fake::State().clipboard});
  EXPECT_EQ(fake::Count("Beep()"), 0);

  for (const std::u16string& content : {u"insert into t values ('" + std::u16string(3000, u'x') + u"')",
                                         std::u16string(u"insert into t values ('first\r\n/\r\nlast')")}) {
    fake::Reset();
    fake::State().clipboard = content;
    RunClipboardSender(5);
    EXPECT_EQ(fake::Count("Beep()"), 1);
    EXPECT_EQ(fake::State().clipboardWrites, 0);
    EXPECT_EQ(fake::State().clipboard, content);
    EXPECT_TRUE(fake::State().handed.empty());
    EXPECT_EQ(fake::State().deliveryTurns, 0);
  }
}

}  // namespace
