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
  // How each paste reached SQL*Plus.
  using Handed = std::vector<std::string>;
  const Handed& HandedOver() { return fake::State().handed; }
  // Nothing was done outside the turn, which is free again.
  void ExpectAllInTheTurn(const std::string& label = "") {
    EXPECT_EQ(fake::State().outsideTurn, 0) << label;
    EXPECT_EQ(fake::State().deliveryTurns, 0) << label;
  }
};

TEST_F(Delivery, CommandModeWithoutSettingsPostsPasteCommand) {
  SqlPlusRunning();
  DeliverToSqlPlus(u"select 1;\r\n", kOwn, true);
  EXPECT_EQ(HandedOver(), Handed{"command"});
  EXPECT_TRUE(fake::State().broughtForward.empty());  // SQL*Plus stays where it is
  EXPECT_EQ(Pasted(), std::vector<std::u16string>{u"select 1;\r\n"});
  EXPECT_EQ(fake::State().clipboard, u"select 1;\r\n");
  EXPECT_TRUE(fake::State().letGo);  // the clipboard keeps it after the program
}

TEST_F(Delivery, OnlyTheWordYesSelectsKeystrokeMode) {
  for (const char16_t* value : {u"y", u"true", u"1", u"no", u"yes please", u"", u"yes", u"YES", u"  yEs  "}) {
    fake::Reset();
    SqlPlusRunning();
    Active(value);
    DeliverToSqlPlus(u"x;\r\n", kOwn, false);
    const bool keys = text::ToLower(text::Trim(value)) == u"yes";
    EXPECT_EQ(HandedOver(), Handed{keys ? "keys" : "command"}) << text::ToUtf8(value);
    EXPECT_EQ(fake::State().broughtForward, std::vector<WindowHandle>(keys ? 1 : 0, kSqlPlus));
  }
}

// Without the settling option the keys follow the one activation at once;
// with it, SQL*Plus is activated again every 50 ms for a second first,
// asleep in between (the fake's clock moves 1 ms a reading: spinning would
// activate it hundreds of times).
TEST_F(Delivery, SettlingKeepsSqlPlusInFrontForASecondBeforeTheKeys) {
  for (const bool settle : {false, true}) {
    fake::Reset();
    SqlPlusRunning();
    Active(u"yes");
    fake::State().tick = 0.001;
    double firstActivation = -1;
    fake::State().onCall = [&](const std::string& c) {
      if (c.rfind("ActivateWindowByTitle", 0) == 0 && firstActivation < 0) firstActivation = fake::State().now;
    };
    DeliverToSqlPlus(u"x;\r\n", kOwn, settle);
    EXPECT_EQ(HandedOver(), Handed{"keys"});
    const double waited = fake::State().handedAt - firstActivation;
    EXPECT_GE(waited, settle ? 1.0 : 0) << settle;
    EXPECT_LT(waited, settle ? 1.1 : 0.1) << settle;
    EXPECT_NEAR(fake::State().broughtForward.size(), settle ? 21 : 1, settle ? 2 : 0) << settle;
  }
}

TEST_F(Delivery, WindowOfAnotherClassIsFoundByTitleAlone) {
  SqlPlusRunning(u"SomeOtherClass");
  DeliverToSqlPlus(u"x;\r\n", kOwn, false);
  EXPECT_EQ(HandedOver(), Handed{"command"});
  EXPECT_EQ(Pasted(), std::vector<std::u16string>{u"x;\r\n"});
}

TEST_F(Delivery, NoSqlPlusAnywhereLeavesTheTextOnTheClipboardAndBeeps) {
  Active(u"yes");
  DeliverToSqlPlus(u"select 1;\r\n", kOwn, true);
  EXPECT_EQ(fake::State().clipboard, u"select 1;\r\n");
  EXPECT_TRUE(fake::State().letGo);
  EXPECT_TRUE(HandedOver().empty() && fake::State().broughtForward.empty());
  // Nothing was pasted anywhere: silence would look like success.
  EXPECT_EQ(fake::Count("Beep()"), 1);
}

TEST_F(Delivery, EmptyTextIsStillDelivered) {
  SqlPlusRunning();
  fake::State().clipboard = u"old";
  DeliverToSqlPlus(u"", kOwn, false);
  EXPECT_EQ(fake::State().clipboard, u"");
  EXPECT_EQ(HandedOver(), Handed{"command"});
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
    EXPECT_TRUE(HandedOver().empty() && fake::State().broughtForward.empty());
    EXPECT_EQ(fake::State().keysElsewhere, 0);
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
  EXPECT_EQ(HandedOver(), Handed{"keys"});
}

TEST_F(Delivery, KeystrokeIsNeverTypedIntoAnotherProgram) {
  SqlPlusRunning();
  Active(u"yes");
  fake::State().windowsByTitle[u"Notepad"] = 90;
  fake::State().foreground = 90;
  fake::State().activationFails = true;
  DeliverToSqlPlus(u"x;\r\n", kOwn, true);
  EXPECT_EQ(fake::State().keysElsewhere, 0);
  EXPECT_EQ(HandedOver(), Handed{"command"});
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
  EXPECT_EQ(HandedOver(), Handed{"command"});
  EXPECT_EQ(Pasted(), std::vector<std::u16string>{u"x;\r\n"});

  // The system takes none of the keys (another program's input is shielded
  // from ours, say).
  fake::Reset();
  SqlPlusRunning();
  Active(u"yes");
  fake::State().keystrokesRefused = true;
  DeliverToSqlPlus(u"x;\r\n", kOwn, true);
  EXPECT_EQ(HandedOver(), Handed{"command"});
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
    EXPECT_TRUE(fake::State().broughtForward.empty()) << keystroke;
    EXPECT_EQ(HandedOver(), Handed{"command"});
    EXPECT_EQ(Pasted(), std::vector<std::u16string>{u"x;\r\n"});
    EXPECT_GE(took, 20);
    EXPECT_LT(took, 23);
    ExpectAllInTheTurn();
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
  EXPECT_TRUE(HandedOver().empty());  // the post to a gone window just fails
  EXPECT_EQ(fake::State().keysElsewhere, 0);
  EXPECT_EQ(fake::Count("Beep"), 0);  // (a refused post beeps: see below)
  EXPECT_EQ(fake::State().clipboard, u"x;\r\n");
}

TEST_F(Delivery, HeldShortcutKeysAreWaitedForBrieflyThenThePasteCommandGoesInstead) {
  // Let go after 0.3 s: the keys go out once they are up.
  SqlPlusRunning();
  Active(u"yes");
  fake::State().modifierKeysUpAt = fake::State().now + 0.3;
  DeliverToSqlPlus(u"x;\r\n", kOwn, false);
  EXPECT_EQ(HandedOver(), Handed{"keys"});

  // Held on: Shift+Insert would arrive as Ctrl+Alt+Shift+Insert.
  fake::Reset();
  SqlPlusRunning();
  Active(u"yes");
  fake::State().modifierKeysUpAt = 1e9;
  const double start = fake::State().now;
  DeliverToSqlPlus(u"x;\r\n", kOwn, true);
  EXPECT_EQ(HandedOver(), Handed{"command"});
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
      EXPECT_TRUE(HandedOver().empty() && fake::State().broughtForward.empty()) << keystroke << refusedOnly;
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
    // The text is handed over for good before the turn goes.
    EXPECT_TRUE(fake::State().letGo) << setup;
    ExpectAllInTheTurn(std::to_string(setup));
  }

  // Another delivery holds the turn for longer than the wait: nothing is
  // written, nothing pasted, and the user hears a beep.
  fake::Reset();
  SqlPlusRunning();
  fake::State().clipboard = u"the user's copy";
  fake::State().deliveryTurnRefused = true;
  DeliverToSqlPlus(u"x;\r\n", kOwn, true);
  EXPECT_EQ(fake::State().clipboardWrites, 0);
  EXPECT_TRUE(HandedOver().empty());
  EXPECT_EQ(fake::Count("Beep()"), 1);
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
      DeliverToSqlPlus(u"select 1;\r\n", kOwn, false);
      const double took = fake::State().now - fake::State().handedAt;
      const std::string label = std::to_string(static_cast<int>(c.takes)) + (keystroke ? " keys" : " command");
      EXPECT_EQ(HandedOver(), Handed{keystroke ? "keys" : "command"}) << label;
      EXPECT_EQ(Pasted(), c.pasted ? std::vector<std::u16string>{u"select 1;\r\n"} : std::vector<std::u16string>{})
          << label;
      const double grace = keystroke && c.takes == Takes::kNeverButAnswers ? 2 : 0;
      EXPECT_GE(took, c.atLeast + grace) << label;
      EXPECT_LT(took, c.below + grace) << label;
      EXPECT_EQ(fake::State().clipboard, u"select 1;\r\n") << label;
      ExpectAllInTheTurn(label);
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
      EXPECT_GE(fake::State().now - fake::State().handedAt, busy ? 3 : 0) << label;
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
        const bool due = afterThePaste ? call.rfind("SleepHandling", 0) == 0 && !HandedOver().empty()
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
        EXPECT_EQ(HandedOver().size(), afterThePaste ? 1u : 0u) << label;
      } else {
        EXPECT_EQ(fake::State().clipboard, u"delete from t;") << label;
        EXPECT_EQ(fake::State().clipboardLocale, 0x409u) << label;  // with its own locale
        EXPECT_EQ(Pasted(), std::vector<std::u16string>{u"x;\r\n"}) << label;
        EXPECT_EQ(fake::Count("Beep()"), 0) << label;
      }
      // After the paste the turn is held until SQL*Plus, busy for 3 s, has
      // got to it (read, or answered again).
      if (afterThePaste) {
        EXPECT_GE(took, 4) << label;
      }
      ExpectAllInTheTurn(label);
    }
  }
}

}  // namespace
