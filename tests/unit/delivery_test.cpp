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

  // Delivers `text` and returns how long the delivery took (the fake's
  // seconds): as long as it held the turn.
  double Deliver(const std::u16string& text, bool settle = false) {
    const double start = fake::State().now;
    DeliverToSqlPlus(text, kOwn, settle);
    return fake::State().now - start;
  }
  const std::vector<std::u16string>& Pasted() { return fake::State().pasted; }
  // Records in `at` when the paste goes out (keys or command).
  static void WatchHandOver(double& at) {
    fake::State().onCall = [&at](const std::string& call) {
      if (call.rfind("SendPasteKeys", 0) == 0 || call.rfind("PostMessage", 0) == 0) at = fake::State().now;
    };
  }

  // The calls that matter to SQL*Plus, in order, without the setup noise.
  std::vector<std::string> Actions() {
    std::vector<std::string> out;
    for (const auto& c : fake::State().calls) {
      for (const char* p : {"ClipboardOffer", "FindWindow", "GetPrivateProfileString", "ActivateWindowByTitle",
                            "PumpPendingEvents", "SendPasteKeys", "PostMessage"}) {
        if (c.rfind(p, 0) == 0) out.push_back(c);
      }
    }
    return out;
  }
};

TEST_F(Delivery, CommandModeWithoutSettingsPostsPasteCommand) {
  SqlPlusRunning();
  DeliverToSqlPlus(u"select 1;\r\n", kOwn, true);
  EXPECT_EQ(fake::Count("PostMessageW(77,273,201,0)"), 1);
  EXPECT_EQ(fake::Count("ActivateWindowByTitle") + fake::Count("SendPasteKeys"), 0);
  EXPECT_EQ(Pasted(), std::vector<std::u16string>{u"select 1;\r\n"});
  EXPECT_EQ(fake::State().clipboard, u"select 1;\r\n");
  EXPECT_TRUE(fake::State().letGo);  // the clipboard keeps it after the program
}

TEST_F(Delivery, OnlyTheWordYesSelectsKeystrokeMode) {
  for (const char16_t* value : {u"y", u"true", u"1", u"no", u"yes please", u""}) {
    fake::Reset();
    SqlPlusRunning();
    Active(value);
    DeliverToSqlPlus(u"x;\r\n", kOwn, false);
    EXPECT_EQ(fake::Count("PostMessageW(77,273,201,0)"), 1) << text::ToUtf8(value);
    EXPECT_EQ(fake::Count("SendPasteKeys") + fake::Count("ActivateWindowByTitle"), 0);
  }
  for (const char16_t* value : {u"yes", u"YES", u"  yEs  "}) {
    fake::Reset();
    SqlPlusRunning();
    Active(value);
    DeliverToSqlPlus(u"x;\r\n", kOwn, false);
    EXPECT_EQ(fake::Count("SendPasteKeys()"), 1) << text::ToUtf8(value);
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
                                            "SendPasteKeys()"}));
}

TEST_F(Delivery, SettlingReactivatesEvery50msForOneSecondAndSleepsInBetween) {
  SqlPlusRunning();
  Active(u"yes");
  fake::State().tick = 0.001;
  double firstActivation = -1, keystroke = -1;
  fake::State().onCall = [&](const std::string& c) {
    if (c.rfind("ActivateWindowByTitle", 0) == 0 && firstActivation < 0) firstActivation = fake::State().now;
    if (c.rfind("SendPasteKeys", 0) == 0) keystroke = fake::State().now;
  };
  DeliverToSqlPlus(u"x;\r\n", kOwn, true);
  EXPECT_GE(keystroke - firstActivation, 1.0);
  EXPECT_LT(keystroke - firstActivation, 1.1);
  EXPECT_NEAR(fake::Count("ActivateWindowByTitle"), 21, 2);
  // Between two activations the program sleeps, never more than 50 ms.
  const auto& calls = fake::State().calls;
  for (int i = fake::Find("ActivateWindowByTitle"), next; (next = fake::Find("ActivateWindowByTitle", i + 1)) >= 0;
       i = next) {
    const int wait = fake::Find("SleepHandling(", i);
    ASSERT_TRUE(wait > i && wait < next) << "no wait before activation " << next;
    EXPECT_LE(std::stod(calls[wait].substr(14)), 0.05);
  }
  EXPECT_EQ(fake::Count("SendPasteKeys()"), 1);
}

TEST_F(Delivery, WindowOfAnotherClassIsFoundByTitleAlone) {
  SqlPlusRunning(u"SomeOtherClass");
  DeliverToSqlPlus(u"x;\r\n", kOwn, false);
  EXPECT_EQ(fake::Count("FindWindowW(sqlplusWClass,Oracle SQL*Plus)"), 1);
  EXPECT_EQ(fake::Count("FindWindowW(<null>,Oracle SQL*Plus)"), 1);
  EXPECT_EQ(fake::Count("PostMessageW(77,273,201,0)"), 1);
}

TEST_F(Delivery, NoSqlPlusAnywhereLeavesTheTextOnTheClipboardAndBeeps) {
  Active(u"yes");
  DeliverToSqlPlus(u"select 1;\r\n", kOwn, true);
  EXPECT_EQ(fake::State().clipboard, u"select 1;\r\n");
  EXPECT_TRUE(fake::State().letGo);
  EXPECT_EQ(fake::Count("ActivateWindow") + fake::Count("SendPasteKeys") + fake::Count("TypeIntoConsoleOf"), 0);
  // Nothing was pasted anywhere: silence would look like success.
  EXPECT_EQ(fake::Count("Beep()"), 1);
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
    EXPECT_EQ(fake::Count("PostMessage") + fake::Count("SendPasteKeys") + fake::Count("ActivateWindowByTitle"), 0);
  }
}

TEST_F(Delivery, KeystrokeWaitsBrieflyForAnActivationStillUnderWay) {
  SqlPlusRunning();
  Active(u"yes");
  fake::State().activationFails = true;  // the call reports nothing done...
  int waits = 0;
  fake::State().onCall = [&](const std::string& c) {
    // ...but it lands later.
    if (c.rfind("SleepHandling", 0) == 0 && ++waits == 3) fake::State().foreground = kSqlPlus;
  };
  DeliverToSqlPlus(u"x;\r\n", kOwn, false);
  EXPECT_EQ(fake::Count("SendPasteKeys()"), 1);
  EXPECT_EQ(fake::Count("PostMessage"), 0);
}

TEST_F(Delivery, KeystrokeIsNeverTypedIntoAnotherProgram) {
  SqlPlusRunning();
  Active(u"yes");
  fake::State().windowsByTitle[u"Notepad"] = 90;
  fake::State().foreground = 90;
  fake::State().activationFails = true;
  DeliverToSqlPlus(u"x;\r\n", kOwn, true);
  EXPECT_EQ(fake::Count("SendPasteKeys"), 0);
  EXPECT_EQ(fake::Count("PostMessageW(77,273,201,0)"), 1);
}

TEST_F(Delivery, AKeystrokeThatCannotGoOutBecomesThePasteCommand) {
  // SQL*Plus stops answering while it takes the activation: typing then
  // would be lost in its queue, or reach it at an unknown time.
  SqlPlusRunning();
  Active(u"yes");
  fake::State().onCall = [](const std::string& c) {
    if (c.rfind("ActivateWindowByTitle", 0) == 0) fake::State().sqlPlusBusyUntil = fake::State().now + 5;
  };
  DeliverToSqlPlus(u"x;\r\n", kOwn, false);
  EXPECT_EQ(fake::Count("SendPasteKeys"), 0);
  EXPECT_EQ(fake::Count("PostMessageW(77,273,201,0)"), 1);
  EXPECT_EQ(Pasted(), std::vector<std::u16string>{u"x;\r\n"});

  // The system takes none of the keys (another program's input is shielded
  // from ours, say).
  fake::Reset();
  SqlPlusRunning();
  Active(u"yes");
  fake::State().keystrokesRefused = true;
  DeliverToSqlPlus(u"x;\r\n", kOwn, true);
  EXPECT_EQ(fake::Count("SendPasteKeys()"), 1);
  EXPECT_EQ(fake::Count("PostMessageW(77,273,201,0)"), 1);
  EXPECT_EQ(Pasted(), std::vector<std::u16string>{u"x;\r\n"});
}

TEST_F(Delivery, AHungSqlPlusGetsThePasteCommandAndTheTurnIsHeldUntilItWakesAndReads) {
  // Already hung when the delivery starts: it is neither activated nor typed
  // into, and it pastes the text when it wakes, twenty seconds on; the
  // delivery holds the turn until then.
  for (const bool keystroke : {false, true}) {
    fake::Reset();
    SqlPlusRunning();
    Active(keystroke ? u"yes" : u"no");
    fake::State().sqlPlusBusyUntil = fake::State().now + 20;
    const double took = Deliver(u"x;\r\n", true);
    EXPECT_EQ(fake::Count("ActivateWindowByTitle") + fake::Count("SendPasteKeys"), 0) << keystroke;
    EXPECT_EQ(fake::Count("PostMessageW(77,273,201,0)"), 1);
    EXPECT_EQ(Pasted(), std::vector<std::u16string>{u"x;\r\n"});
    EXPECT_GE(took, 20);
    EXPECT_LT(took, 23);
    EXPECT_EQ(fake::State().calls.back(), "EndDeliveryTurn()");
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
  EXPECT_EQ(fake::Count("SendPasteKeys"), 0);
  EXPECT_EQ(fake::Count("PostMessageW(77,273,201,0)"), 1);  // the post to a gone window just fails
  EXPECT_EQ(fake::Count("Beep"), 0);  // (a refused post beeps: see below)
  EXPECT_EQ(fake::State().clipboard, u"x;\r\n");
}

TEST_F(Delivery, HeldShortcutKeysAreWaitedForBrieflyThenThePasteCommandGoesInstead) {
  // Let go after 0.3 s: the keys go out once they are up.
  SqlPlusRunning();
  Active(u"yes");
  fake::State().modifierKeysUpAt = fake::State().now + 0.3;
  DeliverToSqlPlus(u"x;\r\n", kOwn, false);
  EXPECT_EQ(fake::Count("SendPasteKeys()"), 1);
  EXPECT_GE(fake::Count("ModifierKeysDown()"), 2);
  EXPECT_EQ(fake::Count("PostMessage"), 0);

  // Held on: Shift+Insert would arrive as Ctrl+Alt+Shift+Insert.
  fake::Reset();
  SqlPlusRunning();
  Active(u"yes");
  fake::State().modifierKeysUpAt = 1e9;
  const double start = fake::State().now;
  DeliverToSqlPlus(u"x;\r\n", kOwn, true);
  EXPECT_EQ(fake::Count("SendPasteKeys"), 0);
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
      EXPECT_EQ(fake::Count("SendPasteKeys") + fake::Count("ActivateWindowByTitle"), 0);
      EXPECT_EQ(fake::Count("Beep()"), 1);
      EXPECT_EQ(fake::State().clipboard, u"x;\r\n");
    }
  }
}

TEST_F(Delivery, EveryDeliveryRunsInItsTurnAndWithoutItWritesNothing) {
  for (const int setup : {0, 1, 2, 3}) {
    fake::Reset();
    if (setup != 0) SqlPlusRunning();
    if (setup == 2) Active(u"yes");
    if (setup == 3) fake::State().clipboardWriteFails = true;
    DeliverToSqlPlus(u"x;\r\n", kOwn, true);
    const auto& calls = fake::State().calls;
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls.front(), "TakeDeliveryTurn()") << setup;
    EXPECT_EQ(calls.back(), "EndDeliveryTurn()") << setup;
    // The text is handed over for good before the turn goes.
    EXPECT_EQ(calls[calls.size() - 2], "ClipboardLetGo()") << setup;
  }

  // Another delivery holds the turn for longer than the wait: nothing is
  // written, nothing pasted, and the user hears a beep.
  fake::Reset();
  SqlPlusRunning();
  fake::State().clipboard = u"the user's copy";
  fake::State().deliveryTurnRefused = true;
  DeliverToSqlPlus(u"x;\r\n", kOwn, true);
  EXPECT_EQ(fake::State().calls, (std::vector<std::string>{"TakeDeliveryTurn()", "Beep()"}));
  EXPECT_EQ(fake::State().clipboard, u"the user's copy");
}

// What SQL*Plus does with the paste decides how long the turn is held: until
// it reads our offer, or, without a read, until it has answered several
// messages in a row after the paste (keys: once they can have passed the
// keyboard hooks), or is gone; never less while it does not answer.
TEST_F(Delivery, TheTurnIsHeldUntilSqlPlusHasTakenThePasteOrNothingIsPending) {
  using Takes = fake::World::Takes;
  struct Case {
    Takes takes;
    bool pasted;
    double atLeast, below;  // seconds from the hand-over to the turn's end
  };
  const Case cases[] = {
      {Takes::kAtOnce, true, 0, 0.5},
      {Takes::kAfterBusy, true, 3, 4.5},          // busy 3 s, then reads
      {Takes::kNeverButAnswers, false, 0, 0.5},   // keys: 2 s more, for the hooks
      {Takes::kNeverThenGoes, false, 60, 61.5},   // hung, closed after 60 s
  };
  for (const bool keystroke : {false, true}) {
    for (const Case& c : cases) {
      fake::Reset();
      SqlPlusRunning();
      Active(keystroke ? u"yes" : u"no");
      fake::State().sqlPlusTakes = c.takes;
      fake::State().busySeconds = c.takes == Takes::kNeverThenGoes ? 60 : 3;
      double handedOver = 0;
      WatchHandOver(handedOver);
      DeliverToSqlPlus(u"select 1;\r\n", kOwn, false);
      const double took = fake::State().now - handedOver;
      const std::string label = std::to_string(static_cast<int>(c.takes)) + (keystroke ? " keys" : " command");
      EXPECT_EQ(fake::Count(keystroke ? "SendPasteKeys()" : "PostMessageW(77,273,201,0)"), 1) << label;
      EXPECT_EQ(Pasted(), c.pasted ? std::vector<std::u16string>{u"select 1;\r\n"} : std::vector<std::u16string>{})
          << label;
      const double grace = keystroke && c.takes == Takes::kNeverButAnswers ? 2 : 0;
      EXPECT_GE(took, c.atLeast + grace) << label;
      EXPECT_LT(took, c.below + grace) << label;
      EXPECT_EQ(fake::State().clipboard, u"select 1;\r\n") << label;
      EXPECT_EQ(fake::State().calls.back(), "EndDeliveryTurn()") << label;
      EXPECT_EQ(fake::Count("Beep"), 0) << label;
      EXPECT_EQ(fake::State().hidden, std::vector<WindowHandle>{kOwn}) << label;  // out of sight once handed over
    }
  }
}

// A clipboard history (or any reader) that reads each offer at once: its read
// before the paste proves nothing, so the text is offered again right before
// the paste, and its read of that one (a program of its own) is not counted
// either; the delivery then ends by SQL*Plus answering, and not before
// SQL*Plus has taken the paste (busy for 3 s first, or not).
TEST_F(Delivery, AReadByAnotherProgramIsNoProof) {
  for (const bool keystroke : {false, true}) {
    for (const bool busy : {false, true}) {
      fake::Reset();
      SqlPlusRunning();
      Active(keystroke ? u"yes" : u"no");
      fake::State().historyReadsOffers = true;
      if (busy) fake::State().sqlPlusTakes = fake::World::Takes::kAfterBusy;
      double handedOver = 0;
      WatchHandOver(handedOver);
      DeliverToSqlPlus(u"x;\r\n", kOwn, true);
      const std::string label = std::string(keystroke ? "keys" : "command") + (busy ? " busy" : "");
      EXPECT_EQ(Pasted(), std::vector<std::u16string>{u"x;\r\n"}) << label;
      // Keys: the history read while SQL*Plus was held in front. Command:
      // nothing is handled between the offer and the post, so its read
      // comes after the paste, and is told apart by its program.
      EXPECT_EQ(fake::Count("ClipboardOfferAgain(x;\r\n)"), keystroke ? 1 : 0) << label;
      if (keystroke) {
        EXPECT_LT(fake::Find("ClipboardOfferAgain"), fake::Find("SendPasteKeys")) << label;
      }
      EXPECT_GE(fake::State().now - handedOver, busy ? 3 : 0) << label;
      EXPECT_GT(fake::State().offerReadsElsewhere, 0) << label;  // the history did read the last offer
      EXPECT_EQ(fake::State().clipboard, u"x;\r\n") << label;
    }
  }
}

// The user copies something else during a delivery: before the paste (while
// SQL*Plus is held in front) or after it (SQL*Plus busy for 3 s). A copy of
// text only is taken aside, ours is pasted, and theirs is put back once
// SQL*Plus has taken ours; a picture is never touched, and the user hears a
// beep: before the paste nothing is pasted, after it SQL*Plus finds the
// picture and pastes nothing.
TEST_F(Delivery, TheUsersNewerCopyIsNeverDestroyed) {
  for (const bool afterThePaste : {false, true}) {
    for (const bool picture : {false, true}) {
      fake::Reset();
      SqlPlusRunning();
      Active(u"yes");
      fake::State().sqlPlusTakes = fake::World::Takes::kAfterBusy;
      // Another program holds the clipboard for a moment each time it is to
      // be changed (a loaded machine): that changes nothing.
      fake::State().clipboardBusyChanges = 3;
      int activations = 0;
      bool copied = false;
      fake::State().onCall = [&](const std::string& call) {
        const bool due = afterThePaste ? call.rfind("SleepHandling", 0) == 0 && fake::Count("SendPasteKeys") > 0
                                       : call.rfind("ActivateWindowByTitle", 0) == 0 && ++activations == 5;
        if (!due || copied) return;
        copied = true;
        if (picture) {
          fake::UserCopiesPicture();
        } else {
          fake::UserCopies(u"delete from t;");
        }
      };
      const double took = Deliver(u"x;\r\n", true);
      const std::string label = std::string(afterThePaste ? "after" : "before") + (picture ? " picture" : " text");
      ASSERT_TRUE(copied) << label;
      if (picture) {
        EXPECT_TRUE(fake::State().clipboardHoldsMore) << label;
        EXPECT_EQ(fake::State().clipboard, u"") << label;
        EXPECT_EQ(Pasted(), std::vector<std::u16string>{}) << label;
        EXPECT_EQ(fake::Count("Beep()"), 1) << label;
        EXPECT_EQ(fake::Count("SendPasteKeys") + fake::Count("PostMessage"), afterThePaste ? 1 : 0) << label;
        EXPECT_EQ(fake::Count("ClipboardPutBack"), 0) << label;
        EXPECT_EQ(fake::Count("ClipboardOfferAgain"), 4) << label;  // three busy, then left alone
      } else {
        EXPECT_EQ(fake::State().clipboard, u"delete from t;") << label;
        EXPECT_EQ(fake::State().clipboardLocale, 0x409u) << label;  // with its own locale
        EXPECT_EQ(Pasted(), std::vector<std::u16string>{u"x;\r\n"}) << label;
        EXPECT_EQ(fake::Count("Beep()"), 0) << label;
        EXPECT_EQ(fake::Count("ClipboardOfferAgain") + fake::Count("ClipboardPutBack"), 5) << label;
      }
      // After the paste the turn is held until SQL*Plus, busy for 3 s, has
      // got to it (read, or answered again).
      if (afterThePaste) {
        EXPECT_GE(took, 4) << label;
      }
      EXPECT_EQ(fake::State().calls.back(), "EndDeliveryTurn()") << label;
    }
  }
}

}  // namespace
