#include <gtest/gtest.h>

#include "clipboard_sender.h"
#include "fake_platform.h"

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
  EXPECT_EQ(fake::Count("PostMessageW(77,273,201,0)"), 1);
}

TEST_F(ClipboardSender, NothingToSendLeavesTheClipboardUntouched) {
  for (const char16_t* content : {u"", u"  \r\n\r\n", u"== a\r\n\r\n==b"}) {
    fake::Reset();
    fake::State().clipboard = content;
    RunClipboardSender(5);
    EXPECT_EQ(fake::State().clipboardWrites, 0);
    EXPECT_EQ(fake::State().clipboard, content);
    EXPECT_EQ(fake::Count("FindWindow"), 0);
  }
}

TEST_F(ClipboardSender, UnreadableClipboardOrNoTurnSendsNothing) {
  fake::State().clipboard = u"select 1;";
  fake::State().clipboardReadFails = true;
  RunClipboardSender(5);
  EXPECT_EQ(fake::State().calls,
            (std::vector<std::string>{"TakeDeliveryTurn()", "ClipboardGetText()", "EndDeliveryTurn()"}));

  // Without the turn (another delivery holds it for longer than the wait)
  // the clipboard is not even read: the user hears a beep, and what the user
  // copied stays to be sent again.
  fake::Reset();
  fake::State().clipboard = u"select 1;";
  fake::State().deliveryTurnRefused = true;
  RunClipboardSender(5);
  EXPECT_EQ(fake::State().calls, (std::vector<std::string>{"TakeDeliveryTurn()", "Beep()"}));
}

TEST_F(ClipboardSender, KeystrokeModeUsesTheSettlingWait) {
  fake::State().ini[u"c:\\vorn3\\tovrin.ini"][u"sql plus"][u"active"] = u"yes";
  fake::State().clipboard = u"select 1;";
  RunClipboardSender(5);
  EXPECT_GT(fake::Count("ActivateWindowByTitle"), 10);
  EXPECT_EQ(fake::Count("SendKeystrokes(+{INSERT})"), 1);
  // The clipboard is read in the turn, which lasts until the paste is taken.
  EXPECT_EQ(fake::State().calls.front(), "TakeDeliveryTurn()");
  EXPECT_EQ(fake::State().calls.back(), "EndDeliveryTurn()");
  EXPECT_EQ(fake::State().deliveryTurns, 0);
}

}  // namespace
