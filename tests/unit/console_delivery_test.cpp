// SQL*Plus as a console program: the keys a text becomes, the choice among
// several consoles, and the delivery's console step against the fake.
#include <gtest/gtest.h>

#include "console_choice.h"
#include "console_keys.h"
#include "delivery.h"
#include "fake_platform.h"
#include "text.h"

namespace {

const std::u16string kIni = u"c:\\vorn3\\tovrin.ini";
constexpr WindowHandle kOwn = 5;

std::u16string Units(const std::vector<ConsoleKey>& keys) {
  std::u16string out;
  for (const ConsoleKey& k : keys) out.push_back(k.unit);
  return out;
}

// The keys for the whole text, taken in pieces of at most `piece` keys.
std::vector<ConsoleKey> KeysFor(const std::u16string& text, std::size_t piece = 1u << 30) {
  std::vector<ConsoleKey> keys;
  for (std::size_t next = 0; next < text.size();) {
    const std::size_t before = keys.size();
    next = AppendConsoleKeys(text, next, piece, keys);
    EXPECT_LE(keys.size() - before, piece);
  }
  return keys;
}

TEST(ConsoleKeys, OneKeyPerUnitEveryLineBreakOneEnterAndNoControlCharacters) {
  using namespace std::string_literals;
  // CR LF, lone CR, lone LF, CR CR LF; a surrogate pair; Tab; Ctrl+C,
  // backspace, escape, NUL and DEL-range units.
  const std::u16string text = u"a\r\nb\rc\nd\r\r\n\u6c0f\U00020BB7\t\u0003\b\u001b\u0000e\u007f\uff76"s;
  const std::u16string expected = u"a\rb\rc\rd\r\r\u6c0f\U00020BB7\te\u007f\uff76";
  // Whole, and in pieces of every size: a CR LF is never split in two
  // Enters, and no unit is lost or doubled at a piece's edge.
  for (std::size_t piece : {std::size_t(1) << 30, std::size_t(1), std::size_t(2), std::size_t(3), std::size_t(5)}) {
    const std::vector<ConsoleKey> keys = KeysFor(text, piece);
    EXPECT_EQ(Units(keys), expected) << piece;
    for (const ConsoleKey& k : keys) {
      const std::uint16_t vk = k.unit == u'\r' ? kVirtualKeyReturn : k.unit == u'\t' ? kVirtualKeyTab : 0;
      EXPECT_EQ(k.virtualKey, vk) << static_cast<int>(k.unit);
    }
  }
  std::vector<ConsoleKey> keys;
  EXPECT_EQ(AppendConsoleKeys(u"ab\r\ncd", 0, 3, keys), 4u);  // the piece ends after the whole CR LF
  EXPECT_EQ(Units(keys), u"ab\r");
  EXPECT_TRUE(KeysFor(u"\u0003\u0000\u001f"s).empty());
  EXPECT_EQ(Units(KeysFor(u"\n\r")), u"\r\r");  // LF CR is two breaks
}

TEST(ConsoleChoice, HighestVisibleWindowElseLatestStart) {
  EXPECT_EQ(ChooseConsole({}), -1);
  // Visible windows: the highest wins, whenever it started.
  EXPECT_EQ(ChooseConsole({{1, 300, 11, 4}, {2, 100, 12, 1}, {3, 500, 13, -1}}), 1);
  // None visible (a terminal's consoles): the one started last.
  EXPECT_EQ(ChooseConsole({{1, 300, 11, -1}, {2, 900, 0, -1}, {3, 500, 13, -1}}), 1);
  EXPECT_EQ(ChooseConsole({{7, 1, 0, -1}}), 0);
}

class ConsoleDelivery : public ::testing::Test {
 protected:
  void SetUp() override { fake::Reset(); }

  fake::World::Console& AddConsole(std::uint32_t id, std::uint64_t started, WindowHandle window, int z) {
    fake::World::Console c;
    c.processId = id;
    c.startTime = started;
    c.window = window;
    c.zOrder = z;
    fake::State().consoles.push_back(c);
    return fake::State().consoles.back();
  }
  void Set(const std::u16string& key, const std::u16string& value) {
    fake::State().ini[kIni][u"sql plus"][key] = value;
  }
  const std::u16string& Typed(std::size_t i) { return fake::State().consoles[i].typed; }
  std::vector<std::string> ConsoleCalls() {
    std::vector<std::string> out;
    for (const auto& c : fake::State().calls) {
      for (const char* p : {"FindConsoleProcesses", "AttachToConsoleOf", "ActivateWindow", "TypeIntoConsole",
                            "DetachFromConsole", "SendKeystrokes", "PostMessage"}) {
        if (c.rfind(p, 0) == 0) out.push_back(c);
      }
    }
    return out;
  }
};

TEST_F(ConsoleDelivery, CommandModeTypesIntoTheConsoleWithoutActivation) {
  AddConsole(40, 1, 300, 2);
  DeliverToSqlPlus(u"select 1\r\nfrom dual;\r\n", kOwn, true);
  EXPECT_EQ(Typed(0), u"select 1\rfrom dual;\r");
  EXPECT_EQ(fake::State().clipboard, u"select 1\r\nfrom dual;\r\n");
  EXPECT_EQ(ConsoleCalls(), (std::vector<std::string>{"FindConsoleProcesses(sqlplus.exe)", "AttachToConsoleOf(40)",
                                                      "TypeIntoConsole(20 keys)", "DetachFromConsole()"}));
  EXPECT_EQ(fake::State().attachedTo, 0u);
}

TEST_F(ConsoleDelivery, KeystrokeModeBringsTheConsoleForwardAndSettlesWhereAsked) {
  AddConsole(40, 1, 300, 2);
  Set(u"active", u"YES");
  DeliverToSqlPlus(u"x;\r\n", kOwn, false);
  EXPECT_EQ(ConsoleCalls(), (std::vector<std::string>{"FindConsoleProcesses(sqlplus.exe)", "AttachToConsoleOf(40)",
                                                      "ActivateWindow(300)", "TypeIntoConsole(3 keys)",
                                                      "DetachFromConsole()"}));

  fake::Reset();
  AddConsole(40, 1, 300, 2);
  Set(u"active", u"yes");
  fake::State().tick = 0.001;
  double firstActivation = -1, typing = -1;
  fake::State().onCall = [&](const std::string& c) {
    if (c.rfind("ActivateWindow(300)", 0) == 0 && firstActivation < 0) firstActivation = fake::State().now;
    if (c.rfind("TypeIntoConsole", 0) == 0) typing = fake::State().now;
  };
  DeliverToSqlPlus(u"x;\r\n", kOwn, true);
  EXPECT_GE(typing - firstActivation, 1.0);
  EXPECT_LT(typing - firstActivation, 1.1);
  EXPECT_NEAR(fake::Count("ActivateWindow(300)"), 21, 2);  // every 50 ms
  EXPECT_EQ(Typed(0), u"x;\r");
  EXPECT_EQ(fake::Count("SendKeystrokes") + fake::Count("PostMessage"), 0);
}

TEST_F(ConsoleDelivery, TheGuiWindowWinsAndTheConsoleGetsNothing) {
  AddConsole(40, 1, 300, 0);
  fake::State().windowsByTitle[u"Oracle SQL*Plus"] = 77;
  fake::State().classOf[77] = u"sqlplusWClass";
  DeliverToSqlPlus(u"x;\r\n", kOwn, true);
  EXPECT_EQ(fake::Count("PostMessageW(77,273,201,0)"), 1);
  EXPECT_EQ(fake::Count("FindConsoleProcesses"), 0);
  EXPECT_EQ(Typed(0), u"");
}

TEST_F(ConsoleDelivery, OnlyConsoleNoTurnsTheSearchOff) {
  for (const char16_t* value : {u"no", u"NO", u"  No  "}) {
    fake::Reset();
    AddConsole(40, 1, 300, 0);
    Set(u"console", value);
    DeliverToSqlPlus(u"x;\r\n", kOwn, false);
    EXPECT_EQ(fake::Count("FindConsoleProcesses"), 0) << text::ToUtf8(value);
    EXPECT_EQ(Typed(0), u"");
    EXPECT_EQ(fake::State().clipboard, u"x;\r\n");
  }
  for (const char16_t* value : {u"yes", u"0", u"off", u"n", u""}) {
    fake::Reset();
    AddConsole(40, 1, 300, 0);
    Set(u"console", value);
    DeliverToSqlPlus(u"x;\r\n", kOwn, false);
    EXPECT_EQ(Typed(0), u"x;\r") << text::ToUtf8(value);
  }
}

TEST_F(ConsoleDelivery, OnlyTheChosenConsoleReceives) {
  AddConsole(40, 100, 300, 3);
  AddConsole(41, 50, 301, 1);   // highest visible window
  AddConsole(42, 900, 0, -1);   // started last, but no visible window
  auto& other = AddConsole(43, 10, 302, 0);
  other.exeName = u"cmd.exe";   // on top, but not SQL*Plus
  DeliverToSqlPlus(u"x;\r\n", kOwn, false);
  EXPECT_EQ(Typed(0), u"");
  EXPECT_EQ(Typed(1), u"x;\r");
  EXPECT_EQ(Typed(2), u"");
  EXPECT_EQ(Typed(3), u"");
}

TEST_F(ConsoleDelivery, AConsoleThatEndsBeforeOrWhileTypingGetsNothingElsewhere) {
  // Gone between the search and the attach: nothing attached, nothing typed.
  AddConsole(40, 1, 300, 0);
  AddConsole(41, 2, 301, 1);
  fake::State().onCall = [&](const std::string& c) {
    if (c.rfind("AttachToConsoleOf", 0) == 0) fake::State().consoles[0].running = false;
  };
  DeliverToSqlPlus(u"x;\r\n", kOwn, true);
  EXPECT_EQ(fake::Count("AttachToConsoleOf"), 1);  // the other console is not tried
  EXPECT_EQ(fake::Count("TypeIntoConsole"), 0);
  EXPECT_EQ(Typed(0) + Typed(1), u"");
  EXPECT_EQ(fake::State().clipboard, u"x;\r\n");

  // Gone after the attach: the typing fails, the console is still left.
  fake::Reset();
  AddConsole(40, 1, 300, 0);
  fake::State().onCall = [&](const std::string& c) {
    if (c.rfind("TypeIntoConsole", 0) == 0) fake::State().consoles[0].running = false;
  };
  DeliverToSqlPlus(u"x;\r\n", kOwn, false);
  EXPECT_EQ(Typed(0), u"");
  EXPECT_EQ(fake::Count("DetachFromConsole()"), 1);
  EXPECT_EQ(fake::State().attachedTo, 0u);
}

TEST_F(ConsoleDelivery, AHugeTextGoesInBoundedPiecesInOrderAndStopsWhenTheProgramEnds) {
  std::u16string text;
  for (int n = 0; text.size() < (1u << 20); ++n) text += u"insert into t values (" + text::FromUtf8(std::to_string(n)) + u");\r\n";
  AddConsole(40, 1, 300, 0);
  DeliverToSqlPlus(text, kOwn, false);
  std::u16string expected;
  for (char16_t c : text) {
    if (c != u'\n') expected.push_back(c);
  }
  EXPECT_TRUE(Typed(0) == expected);
  EXPECT_GE(fake::Count("TypeIntoConsole("), 200);
  EXPECT_EQ(fake::Count("TypeIntoConsole(4096 keys)"), fake::Count("TypeIntoConsole(") - 1);

  fake::Reset();
  AddConsole(40, 1, 300, 0);
  int pieces = 0;
  fake::State().onCall = [&](const std::string& c) {
    if (c.rfind("TypeIntoConsole", 0) == 0 && ++pieces == 3) fake::State().consoles[0].running = false;
  };
  DeliverToSqlPlus(text, kOwn, false);
  EXPECT_EQ(fake::Count("TypeIntoConsole("), 3);  // the failing piece is the last tried
  EXPECT_EQ(Typed(0).size(), 2u * 4096);
  EXPECT_EQ(fake::Count("DetachFromConsole()"), 1);
}

TEST_F(ConsoleDelivery, FailedClipboardWriteTypesNothing) {
  AddConsole(40, 1, 300, 0);
  fake::State().clipboardWriteFails = true;
  DeliverToSqlPlus(u"x;\r\n", kOwn, false);
  EXPECT_EQ(fake::Count("FindConsoleProcesses"), 0);
  EXPECT_EQ(Typed(0), u"");
}

}  // namespace
