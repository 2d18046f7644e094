#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "delivery.h"
#include "fake_platform.h"
#include "text.h"

namespace {

const std::u16string kIni = u"c:\\vorn3\\tovrin.ini";
constexpr WindowHandle kSqlPlus = 77;
constexpr WindowHandle kOwn = 5;

class Delivery : public ::testing::Test {
 protected:
  void SetUp() override { fake::Reset(); }

  void SqlPlusRunning(const std::u16string& windowClass = u"sqlplusWClass") {
    fake::State().windowsByTitle[u"Oracle SQL*Plus"] = kSqlPlus;
    fake::State().classOf[kSqlPlus] = windowClass;
  }
  void Active(const std::u16string& value) { fake::State().ini[kIni][u"sql plus"][u"active"] = value; }

  // The calls that matter to SQL*Plus, in order, without the setup noise.
  std::vector<std::string> Actions() {
    std::vector<std::string> out;
    for (const auto& c : fake::State().calls) {
      for (const char* p : {"ClipboardSetText", "FindWindow", "GetPrivateProfileString", "ActivateWindowByTitle",
                            "PumpPendingEvents", "SendKeystrokes", "PostMessage"}) {
        if (c.rfind(p, 0) == 0) out.push_back(c);
      }
    }
    return out;
  }
};

TEST_F(Delivery, CommandModeWithoutSettingsPostsPasteCommand) {
  SqlPlusRunning();
  DeliverToSqlPlus(u"select 1;\r\n", kOwn, true);
  EXPECT_EQ(Actions(), (std::vector<std::string>{
                           "ClipboardSetText(select 1;\r\n)",
                           "FindWindowW(sqlplusWClass,Oracle SQL*Plus)",
                           "GetPrivateProfileStringW(sql plus,active,,200,c:\\vorn3\\tovrin.ini)",
                           "PostMessageW(77,273,201,0)",
                       }));
  EXPECT_EQ(fake::State().clipboard, u"select 1;\r\n");
}

TEST_F(Delivery, OnlyTheWordYesSelectsKeystrokeMode) {
  for (const char16_t* value : {u"y", u"true", u"1", u"no", u"yes please", u""}) {
    fake::Reset();
    SqlPlusRunning();
    Active(value);
    DeliverToSqlPlus(u"x;\r\n", kOwn, false);
    EXPECT_EQ(fake::Count("PostMessageW(77,273,201,0)"), 1) << text::ToUtf8(value);
    EXPECT_EQ(fake::Count("SendKeystrokes") + fake::Count("ActivateWindowByTitle"), 0);
  }
  for (const char16_t* value : {u"yes", u"YES", u"  yEs  "}) {
    fake::Reset();
    SqlPlusRunning();
    Active(value);
    DeliverToSqlPlus(u"x;\r\n", kOwn, false);
    EXPECT_EQ(fake::Count("SendKeystrokes(+{INSERT})"), 1) << text::ToUtf8(value);
    EXPECT_EQ(fake::Count("PostMessage"), 0);
  }
}

TEST_F(Delivery, KeystrokeModeWithoutSettlingActivatesPumpsTypes) {
  SqlPlusRunning();
  Active(u"yes");
  DeliverToSqlPlus(u"x;\r\n", kOwn, false);
  const auto actions = Actions();
  const std::vector<std::string> tail(actions.end() - 3, actions.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"ActivateWindowByTitle(Oracle SQL*Plus)", "PumpPendingEvents()",
                                            "SendKeystrokes(+{INSERT})"}));
}

TEST_F(Delivery, SettlingReactivatesEvery50msForOneSecondAndSleepsInBetween) {
  SqlPlusRunning();
  Active(u"yes");
  fake::State().tick = 0.001;
  double firstActivation = -1, keystroke = -1;
  fake::State().onCall = [&](const std::string& c) {
    if (c.rfind("ActivateWindowByTitle", 0) == 0 && firstActivation < 0) firstActivation = fake::State().now;
    if (c.rfind("SendKeystrokes", 0) == 0) keystroke = fake::State().now;
  };
  DeliverToSqlPlus(u"x;\r\n", kOwn, true);
  EXPECT_GE(keystroke - firstActivation, 1.0);
  EXPECT_LT(keystroke - firstActivation, 1.1);
  EXPECT_NEAR(fake::Count("ActivateWindowByTitle"), 21, 2);
  // Between two activations the program sleeps, never more than 50 ms.
  const auto& calls = fake::State().calls;
  for (int i = fake::Find("ActivateWindowByTitle"), next; (next = fake::Find("ActivateWindowByTitle", i + 1)) >= 0;
       i = next) {
    const int wait = fake::Find("WaitHandlingEvents(", i);
    ASSERT_TRUE(wait > i && wait < next) << "no wait before activation " << next;
    EXPECT_LE(std::stod(calls[wait].substr(19)), 0.05);
  }
  EXPECT_EQ(fake::Count("SendKeystrokes(+{INSERT})"), 1);
}

TEST_F(Delivery, WindowOfAnotherClassIsFoundByTitleAlone) {
  SqlPlusRunning(u"SomeOtherClass");
  DeliverToSqlPlus(u"x;\r\n", kOwn, false);
  EXPECT_EQ(fake::Count("FindWindowW(sqlplusWClass,Oracle SQL*Plus)"), 1);
  EXPECT_EQ(fake::Count("FindWindowW(<null>,Oracle SQL*Plus)"), 1);
  EXPECT_EQ(fake::Count("PostMessageW(77,273,201,0)"), 1);
}

TEST_F(Delivery, NoSqlPlusLeavesTheTextOnTheClipboardAndNothingElse) {
  Active(u"yes");
  DeliverToSqlPlus(u"select 1;\r\n", kOwn, true);
  EXPECT_EQ(fake::State().clipboard, u"select 1;\r\n");
  EXPECT_EQ(Actions(), (std::vector<std::string>{"ClipboardSetText(select 1;\r\n)",
                                                 "FindWindowW(sqlplusWClass,Oracle SQL*Plus)",
                                                 "FindWindowW(<null>,Oracle SQL*Plus)",
                                                 "GetPrivateProfileStringW(sql plus,console,,200,c:\\vorn3\\tovrin.ini)"}));
  EXPECT_EQ(fake::Count("FindConsoleProcesses(sqlplus.exe)"), 1);
  EXPECT_EQ(fake::Count("AttachToConsoleOf"), 0);
}

TEST_F(Delivery, EmptyTextIsStillDelivered) {
  SqlPlusRunning();
  fake::State().clipboard = u"old";
  DeliverToSqlPlus(u"", kOwn, false);
  EXPECT_EQ(fake::State().clipboard, u"");
  EXPECT_EQ(fake::Count("PostMessageW(77,273,201,0)"), 1);
}

TEST_F(Delivery, FailedClipboardWritePastesNothing) {
  // The clipboard still holds older text (e.g. a template the user has just
  // cancelled): pasting it would run it in SQL*Plus.
  SqlPlusRunning();
  fake::State().clipboard = u"commit; or rollback;";
  fake::State().clipboardWriteFails = true;
  for (bool keystroke : {false, true}) {
    Active(keystroke ? u"yes" : u"no");
    DeliverToSqlPlus(u"", kOwn, false);
    EXPECT_EQ(fake::Count("PostMessage") + fake::Count("SendKeystrokes") + fake::Count("ActivateWindowByTitle"), 0);
  }
}

TEST_F(Delivery, KeystrokeWaitsBrieflyForAnActivationStillUnderWay) {
  SqlPlusRunning();
  Active(u"yes");
  fake::State().activationFails = true;  // the call reports nothing done...
  int waits = 0;
  fake::State().onCall = [&](const std::string& c) {
    // ...but it lands later.
    if (c.rfind("WaitHandlingEvents", 0) == 0 && ++waits == 3) fake::State().foreground = kSqlPlus;
  };
  DeliverToSqlPlus(u"x;\r\n", kOwn, false);
  EXPECT_EQ(fake::Count("SendKeystrokes(+{INSERT})"), 1);
  EXPECT_EQ(fake::Count("PostMessage"), 0);
}

TEST_F(Delivery, KeystrokeIsNeverTypedIntoAnotherProgram) {
  SqlPlusRunning();
  Active(u"yes");
  fake::State().windowsByTitle[u"Notepad"] = 90;
  fake::State().foreground = 90;
  fake::State().activationFails = true;
  DeliverToSqlPlus(u"x;\r\n", kOwn, true);
  EXPECT_EQ(fake::Count("SendKeystrokes"), 0);
  EXPECT_EQ(fake::Count("PostMessageW(77,273,201,0)"), 1);
}

TEST_F(Delivery, AKeystrokeThatCannotGoOutBecomesThePasteCommand) {
  // SQL*Plus stops answering while it takes the activation: typing then
  // would be lost in its queue, or reach it at an unknown time.
  SqlPlusRunning();
  Active(u"yes");
  fake::State().onCall = [](const std::string& c) {
    if (c.rfind("ActivateWindowByTitle", 0) == 0) fake::State().hungWindows = {kSqlPlus};
  };
  DeliverToSqlPlus(u"x;\r\n", kOwn, false);
  EXPECT_EQ(fake::Count("SendKeystrokes"), 0);
  EXPECT_EQ(fake::Count("PostMessageW(77,273,201,0)"), 1);

  // The system takes none of the keys (another program's input is shielded
  // from ours, say).
  fake::Reset();
  SqlPlusRunning();
  Active(u"yes");
  fake::State().keystrokesRefused = true;
  DeliverToSqlPlus(u"x;\r\n", kOwn, true);
  EXPECT_EQ(fake::Count("SendKeystrokes(+{INSERT})"), 1);
  EXPECT_EQ(fake::Count("PostMessageW(77,273,201,0)"), 1);
}

TEST_F(Delivery, AHungSqlPlusIsNeitherActivatedNorTypedIntoButGetsThePasteCommand) {
  for (const bool settle : {false, true}) {
    fake::Reset();
    SqlPlusRunning();
    Active(u"yes");
    fake::State().hungWindows = {kSqlPlus};
    DeliverToSqlPlus(u"x;\r\n", kOwn, settle);
    EXPECT_EQ(Actions(), (std::vector<std::string>{
                             "ClipboardSetText(x;\r\n)",
                             "FindWindowW(sqlplusWClass,Oracle SQL*Plus)",
                             "GetPrivateProfileStringW(sql plus,active,,200,c:\\vorn3\\tovrin.ini)",
                             "PostMessageW(77,273,201,0)",
                         }));
  }
}

TEST_F(Delivery, SqlPlusClosingDuringTheSettlingWaitEndsQuietly) {
  SqlPlusRunning();
  Active(u"yes");
  int activations = 0;
  fake::State().onCall = [&](const std::string& c) {
    if (c.rfind("ActivateWindowByTitle", 0) == 0 && ++activations == 10) {
      fake::State().windowsByTitle.clear();
      fake::State().foreground = 0;
    }
  };
  DeliverToSqlPlus(u"x;\r\n", kOwn, true);
  EXPECT_EQ(fake::Count("SendKeystrokes"), 0);
  EXPECT_EQ(fake::Count("PostMessageW(77,273,201,0)"), 1);  // the post to a gone window just fails
}

TEST_F(Delivery, HeldShortcutKeysAreWaitedForBrieflyThenThePasteCommandGoesInstead) {
  // Let go after 0.3 s: the keys go out once they are up.
  SqlPlusRunning();
  Active(u"yes");
  fake::State().modifierKeysUpAt = fake::State().now + 0.3;
  DeliverToSqlPlus(u"x;\r\n", kOwn, false);
  EXPECT_EQ(fake::Count("SendKeystrokes(+{INSERT})"), 1);
  EXPECT_GE(fake::Count("ModifierKeysDown()"), 2);
  EXPECT_EQ(fake::Count("PostMessage"), 0);

  // Held on: Shift+Insert would arrive as Ctrl+Alt+Shift+Insert.
  fake::Reset();
  SqlPlusRunning();
  Active(u"yes");
  fake::State().modifierKeysUpAt = 1e9;
  const double start = fake::State().now;
  DeliverToSqlPlus(u"x;\r\n", kOwn, true);
  EXPECT_EQ(fake::Count("SendKeystrokes"), 0);
  EXPECT_EQ(fake::Count("PostMessageW(77,273,201,0)"), 1);
  EXPECT_LT(fake::State().now - start, 2.5);  // the settling second and at most one more
}

TEST_F(Delivery, ARefusingOrHigherRightsSqlPlusGetsNothingAndTheUserHearsABeep) {
  for (const bool keystroke : {false, true}) {
    for (const bool refusedOnly : {false, true}) {
      fake::Reset();
      SqlPlusRunning();
      Active(keystroke ? u"yes" : u"no");
      (refusedOnly ? fake::State().refusedWindows : fake::State().higherRightsWindows) = {kSqlPlus};
      DeliverToSqlPlus(u"x;\r\n", kOwn, true);
      // Only a post that the system then refuses is tried.
      EXPECT_EQ(fake::Count("PostMessage"), refusedOnly && !keystroke ? 1 : 0) << keystroke << refusedOnly;
      EXPECT_EQ(fake::Count("SendKeystrokes") + fake::Count("ActivateWindowByTitle"), 0);
      EXPECT_EQ(fake::Count("Beep()"), 1);
      EXPECT_EQ(fake::State().clipboard, u"x;\r\n");
    }
  }
}

TEST_F(Delivery, EveryDeliveryRunsInItsTurnUntilSqlPlusHasTakenThePaste) {
  for (const int setup : {0, 1, 2, 3}) {
    fake::Reset();
    if (setup != 0) SqlPlusRunning();
    if (setup == 2) Active(u"yes");
    if (setup == 3) fake::State().clipboardWriteFails = true;
    DeliverToSqlPlus(u"x;\r\n", kOwn, true);
    const auto& calls = fake::State().calls;
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.front(), "TakeDeliveryTurn()") << setup;
    EXPECT_EQ(calls.back(), "EndDeliveryTurn()") << setup;
    if (setup == 1 || setup == 2) {
      // After the paste, SQL*Plus answers messages sent one after another.
      const int paste = std::max(fake::Find("PostMessage"), fake::Find("SendKeystrokes"));
      ASSERT_GE(paste, 0);
      EXPECT_EQ(fake::Count("AskWindow(77)") - (setup == 2 ? 1 : 0), 3) << setup;
      EXPECT_GT(fake::Find("AskWindow(77)", paste), paste);
    }
  }
}

TEST_F(Delivery, ATextCopiedMeanwhileIsReplacedByOursForThePasteAndThenPutBack) {
  // The user copies something else (another tovrin's text, say) while
  // SQL*Plus is held in front.
  SqlPlusRunning();
  Active(u"yes");
  int activations = 0;
  fake::State().onCall = [&](const std::string& c) {
    if (c.rfind("ActivateWindowByTitle", 0) == 0 && ++activations == 5) {
      fake::State().clipboard = u"delete from t;";
      ++fake::State().clipboardChanges;
    }
  };
  DeliverToSqlPlus(u"x;\r\n", kOwn, true);
  EXPECT_EQ(fake::Count("ClipboardSetText(x;\r\n)"), 2);
  EXPECT_LT(fake::Find("ClipboardSetText", 1), fake::Find("SendKeystrokes(+{INSERT})"));
  // Once SQL*Plus has taken ours, the user's text is back, for the next
  // tovrin (which waits for its turn before it reads the clipboard).
  EXPECT_GT(fake::Find("ClipboardSetText(delete from t;)"), fake::Find("AskWindow(77)", fake::Find("SendKeystrokes")));
  EXPECT_EQ(fake::State().clipboard, u"delete from t;");

  // When ours cannot be put back, nothing is pasted.
  fake::Reset();
  SqlPlusRunning();
  Active(u"no");
  fake::State().onCall = [&](const std::string& c) {
    if (c.rfind("GetPrivateProfileString", 0) == 0) {
      ++fake::State().clipboardChanges;
      fake::State().clipboardWriteFails = true;
    }
  };
  DeliverToSqlPlus(u"x;\r\n", kOwn, false);
  EXPECT_EQ(fake::Count("PostMessage"), 0);
}

}  // namespace
