// SQL*Plus as a console program: the keys a text becomes, the choice among
// several consoles, and the delivery's console step against the fake.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

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

// The situations a console may be shown in, and the one chosen.
TEST(ConsoleChoice, TheConsoleTheUserLooksAt) {
  const std::u16string kTerm = kTerminalWindowClass, kConsole = u"ConsoleWindowClass";
  // Classic consoles 11 and 12 (their own windows); pseudo windows 21 to 24,
  // hidden unless listed; terminal windows 90 to 92; 95 a window owned by
  // nobody here.
  auto classic = [](std::uint32_t id, WindowHandle w, const char16_t* title) {
    return ConsoleProcess{id, id, w, w, title, ConsoleProgram::kSqlPlus};
  };
  auto pseudo = [](std::uint32_t id, WindowHandle w, WindowHandle owner, const char16_t* title) {
    return ConsoleProcess{id, id, w, owner, title, ConsoleProgram::kSqlPlus};
  };
  // A pseudo window as a terminal shows it: visible, 0 x 0, untitled, a
  // tool window owned by the terminal's window, just above it.
  auto shownPseudo = [](WindowHandle w, WindowHandle owner) {
    return TopWindow{w, false, kPseudoConsoleWindowClass, u"", owner, true, false};
  };
  const TopWindow c11{11, false, kConsole, u"test"}, c12{12, false, kConsole, u"prod"};
  const TopWindow t90{90, false, kTerm, u"prod"}, t91{91, false, kTerm, u"test"};
  const TopWindow shell90{90, false, kTerm, u"Windows PowerShell"}, dev92{92, false, kTerm, u"dev"};
  const TopWindow p21 = shownPseudo(21, 90), p22 = shownPseudo(22, 90), p23 = shownPseudo(23, 92),
                  p24 = shownPseudo(24, 92);
  const TopWindow minimised90{90, true, kTerm, u"prod"}, cloaked12{12, false, kConsole, u"prod", 0, false, true};
  const TopWindow cloaked90{90, false, kTerm, u"prod", 0, false, true};
  const std::vector<ConsoleProcess> tabs = {pseudo(1, 21, 90, u"test"), pseudo(2, 22, 90, u"prod")};
  const std::vector<ConsoleProcess> twoTerminals = {pseudo(1, 21, 90, u"test"), pseudo(2, 22, 90, u"prod"),
                                                    pseudo(3, 23, 92, u"dev"), pseudo(4, 24, 92, u"build")};
  struct Case {
    const char* situation;
    std::vector<ConsoleProcess> consoles;
    std::vector<TopWindow> windows;  // visible, topmost first
    int chosen;
  };
  const std::vector<Case> cases = {
      {"none", {}, {t90}, kNoConsole},
      {"one classic console", {classic(1, 11, u"test")}, {t90, c11}, 0},
      {"two classic consoles: the higher", {classic(1, 11, u"test"), classic(2, 12, u"prod")}, {c12, t90, c11}, 1},
      {"the higher one minimised: the shown one",
       {classic(1, 11, u"test"), classic(2, 12, u"prod")}, {{12, true, kConsole, u"prod"}, c11}, 0},
      {"a lone classic console minimised", {classic(1, 11, u"test")}, {t90, {11, true, kConsole, u"test"}}, 0},
      // Tabs of one terminal whose pseudo windows are hidden.
      {"two tabs of one terminal: the one whose title the terminal bears", tabs, {t90}, 1},
      {"two tabs of one title", {pseudo(1, 21, 90, u"prod"), pseudo(2, 22, 90, u"prod")}, {t90}, kAmbiguousConsole},
      {"two tabs, neither in front", {pseudo(1, 21, 90, u"a"), pseudo(2, 22, 90, u"b")}, {t90}, kConsoleNotShown},
      {"two tabs, no titles known", {pseudo(1, 21, 90, u""), pseudo(2, 22, 90, u"b")}, {{90, false, kTerm, u""}},
       kConsoleNotShown},
      // The terminal shows each tab's pseudo window just above itself.
      {"shown pseudo windows above their terminal: the tab in front", tabs, {p21, p22, t90, c11}, 1},
      {"shown pseudo windows in the other order", tabs, {p22, p21, t90, c11}, 1},
      {"the tab in front a shell, sqlplus only behind", tabs, {p21, p22, shell90}, kConsoleNotShown},
      {"a lone sqlplus in a tab behind a shell", {pseudo(1, 21, 90, u"test")}, {p21, shell90}, kConsoleNotShown},
      {"a lone sqlplus behind another tab, pseudo window hidden", {pseudo(1, 21, 90, u"test")}, {t90},
       kConsoleNotShown},
      {"a lone sqlplus in the tab in front", {pseudo(2, 22, 90, u"prod")}, {p22, t90}, 0},
      {"two terminal windows of one process: the upper one's tab in front", twoTerminals,
       {p21, p22, t90, p23, p24, dev92}, 1},
      {"two terminal windows, the lower one above now", twoTerminals, {p23, p24, dev92, p21, p22, t90}, 2},
      {"two terminal windows, the upper one showing a shell: the lower one's tab", twoTerminals,
       {p21, p22, shell90, p23, p24, dev92}, 2},
      {"a terminal above a classic console", {classic(1, 11, u"test"), pseudo(2, 22, 90, u"prod")},
       {p22, t90, c11}, 1},
      {"a terminal above a classic console, its sqlplus tab behind", {classic(1, 11, u"test"), pseudo(2, 22, 90, u"x")},
       {p22, t90, c11}, 0},
      {"a classic console above a terminal", {classic(1, 11, u"test"), pseudo(2, 22, 90, u"prod")},
       {c11, p22, t90}, 0},
      {"a minimised terminal alone, its tab in front", {pseudo(2, 22, 90, u"prod")}, {minimised90}, 0},
      {"a minimised terminal alone, its tab behind", {pseudo(1, 21, 90, u"test")}, {minimised90}, kConsoleNotShown},
      {"a minimised terminal above a shown classic console", {classic(1, 11, u"test"), pseudo(2, 22, 90, u"prod")},
       {minimised90, c11}, 0},
      // Another virtual desktop.
      {"a cloaked classic console above a shown one", {classic(1, 11, u"test"), classic(2, 12, u"prod")},
       {cloaked12, c11}, 0},
      {"a cloaked classic console above a minimised one", {classic(1, 11, u"test"), classic(2, 12, u"prod")},
       {cloaked12, {11, true, kConsole, u"test"}}, 0},
      {"a cloaked classic console alone", {classic(2, 12, u"prod")}, {t91, cloaked12}, kConsoleNotShown},
      {"a cloaked terminal alone, its tab in front", {pseudo(2, 22, 90, u"prod")}, {cloaked90}, kConsoleNotShown},
      // Owners and titles that tell little.
      {"owner gone, the terminal's title matches",
       {pseudo(1, 21, 95, u"prod"), classic(2, 11, u"test")}, {t90, c11}, 0},
      {"owner gone, no title matches: the classic console",
       {pseudo(1, 21, 95, u"gone"), classic(2, 11, u"test")}, {t90, c11}, 1},
      {"owned by a window not shown (a hidden terminal), alone", {pseudo(1, 21, 95, u"gone")}, {t90},
       kConsoleNotShown},
      {"unowned, found by its terminal's title",
       {pseudo(1, 21, 21, u"test"), classic(2, 12, u"prod")}, {t91, c12}, 0},
      {"unowned pseudo window shown on top: not its host, its terminal is below the classic console",
       {pseudo(1, 21, 21, u"test"), classic(2, 12, u"prod")}, {shownPseudo(21, 0), c12, t91}, 1},
      {"unowned, two terminals of that title", {pseudo(1, 21, 21, u"prod"), classic(2, 11, u"x")},
       {t90, {92, false, kTerm, u"prod"}, c11}, 1},
      {"no owner, no title: alone it is served", {pseudo(1, 21, 21, u"sqlplus")}, {t90}, 0},
      {"no owner, no title: a classic console wins", {pseudo(1, 21, 21, u"sqlplus"), classic(2, 11, u"t")},
       {t90, c11}, 1},
      {"no owner, no title, beside a tab behind another", {pseudo(1, 21, 21, u"sqlplus"), pseudo(2, 22, 90, u"x")},
       {p22, t90}, kConsoleNotShown},
      {"two with no host window", {pseudo(1, 21, 21, u"a"), pseudo(2, 22, 0, u"b")}, {t90}, kAmbiguousConsole},
  };
  for (const Case& c : cases) EXPECT_EQ(ChooseConsole(c.consoles, c.windows), c.chosen) << c.situation;
  // The host of each kind: own window, owner, title, none; never an owned,
  // tool or pseudo-console window.
  const std::vector<TopWindow> windows = {t90, t91, c11};
  EXPECT_EQ(HostWindowOf(classic(1, 11, u"x"), windows), 11);
  EXPECT_EQ(HostWindowOf(pseudo(1, 21, 90, u"x"), windows), 90);
  EXPECT_EQ(HostWindowOf(pseudo(1, 21, 90, u"x"), {p21, t90}), 90);
  EXPECT_EQ(HostWindowOf(pseudo(1, 21, 21, u"test"), windows), 91);
  EXPECT_EQ(HostWindowOf(pseudo(1, 21, 21, u"test"), {shownPseudo(21, 0), t91}), 91);
  EXPECT_EQ(HostWindowOf(pseudo(1, 21, 21, u"x"), {shownPseudo(21, 0), t91}), 0);
  EXPECT_EQ(HostWindowOf(pseudo(1, 21, 95, u"gone"), windows), 0);
  EXPECT_EQ(HostWindowOf(pseudo(1, 21, 21, u"test"), {t90, {12, false, kConsole, u"test"}}), 0);  // not a terminal
  const TopWindow ownedConsole{11, false, kConsole, u"x", 95, false, false}, toolOwner{95, false, kTerm, u"x", 0, true};
  EXPECT_EQ(HostWindowOf(pseudo(1, 11, 95, u"x"), {ownedConsole, toolOwner, {96, false, kTerm, u"x"}}), 96);
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
};

// Command mode types into the console and brings nothing forward; keystroke
// mode brings the console's window forward first, for the settling second
// (activated again every 50 ms) where asked. Either way the text is on the
// clipboard for good before the typing, which no reader of it waits for.
TEST_F(ConsoleDelivery, TheTextIsTypedIntoTheConsoleWhoseWindowKeystrokeModeBringsForward) {
  for (const bool keystroke : {false, true}) {
    for (const bool settle : {false, true}) {
      fake::Reset();
      AddConsole(40, 1, 300, 2);
      Set(u"active", keystroke ? u"YES" : u"no");
      fake::State().tick = 0.001;
      double firstActivation = -1, typing = -1;
      bool letGoFirst = false;
      fake::State().onCall = [&](const std::string& c) {
        if (c.rfind("ActivateWindow(", 0) == 0 && firstActivation < 0) firstActivation = fake::State().now;
        if (c.rfind("WriteConsoleKeys", 0) == 0 && typing < 0) {
          typing = fake::State().now;
          letGoFirst = fake::State().letGo;
        }
      };
      DeliverToSqlPlus(u"select 1\r\nfrom dual;\r\n", kOwn, settle);
      const std::string label = std::string(keystroke ? "keys" : "command") + (settle ? " settle" : "");
      EXPECT_EQ(Typed(0), u"select 1\rfrom dual;\r") << label;
      EXPECT_EQ(fake::State().clipboard, u"select 1\r\nfrom dual;\r\n") << label;
      EXPECT_TRUE(letGoFirst) << label;
      EXPECT_EQ(fake::State().attachedTo, 0u) << label;
      EXPECT_EQ(fake::State().keysElsewhere + fake::Count("Beep()"), 0) << label;
      const std::vector<WindowHandle>& forward = fake::State().broughtForward;
      EXPECT_NEAR(forward.size(), !keystroke ? 0 : settle ? 21 : 1, settle ? 2 : 0) << label;
      EXPECT_EQ(std::count(forward.begin(), forward.end(), 300), static_cast<long>(forward.size())) << label;
      if (keystroke) {
        EXPECT_GE(typing - firstActivation, settle ? 1.0 : 0) << label;
        EXPECT_LT(typing - firstActivation, settle ? 1.1 : 0.1) << label;
      }
    }
  }
}

TEST_F(ConsoleDelivery, TheGuiWindowWinsAndTheConsoleGetsNothing) {
  AddConsole(40, 1, 300, 0);
  fake::State().windowsByTitle[u"Oracle SQL*Plus"] = 77;
  fake::State().classOf[77] = u"sqlplusWClass";
  DeliverToSqlPlus(u"x;\r\n", kOwn, true);
  EXPECT_EQ(fake::State().handed, std::vector<std::string>{"command"});
  EXPECT_EQ(Typed(0), u"");
}

TEST_F(ConsoleDelivery, OnlyConsoleNoTurnsTheSearchOff) {
  for (const char16_t* value : {u"no", u"NO", u"  No  "}) {
    fake::Reset();
    AddConsole(40, 1, 300, 0);
    Set(u"console", value);
    DeliverToSqlPlus(u"x;\r\n", kOwn, false);
    EXPECT_EQ(Typed(0), u"") << text::ToUtf8(value);
    EXPECT_EQ(fake::State().clipboard, u"x;\r\n");
    EXPECT_EQ(fake::Count("Beep()"), 1);
  }
  for (const char16_t* value : {u"yes", u"0", u"off", u"n", u""}) {
    fake::Reset();
    AddConsole(40, 1, 300, 0);
    Set(u"console", value);
    DeliverToSqlPlus(u"x;\r\n", kOwn, false);
    EXPECT_EQ(Typed(0), u"x;\r") << text::ToUtf8(value);
    EXPECT_EQ(fake::Count("Beep()"), 0);
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

TEST_F(ConsoleDelivery, OnlyTheTabInFrontReceivesItsTerminalComesForwardAndEveryConsoleNotServedBeeps) {
  // Two tabs of one terminal (window 90, titled as its tab in front), their
  // consoles' pseudo windows shown the way the terminal shows them: 0 x 0
  // tool windows owned by it, just above it. A classic console below.
  auto tabs = [&](const char16_t* terminal, const char16_t* first, const char16_t* second) {
    fake::Reset();
    Set(u"active", u"yes");
    fake::State().topWindows[0] = {201, false, kPseudoConsoleWindowClass, u"", 90, true};
    fake::State().topWindows[1] = {202, false, kPseudoConsoleWindowClass, u"", 90, true};
    fake::State().topWindows[2] = {90, false, kTerminalWindowClass, terminal};
    AddConsole(40, 1, 201, -1).rootOwner = 90;
    fake::State().consoles[0].title = first;
    AddConsole(41, 2, 202, -1).rootOwner = 90;
    fake::State().consoles[1].title = second;
    AddConsole(42, 3, 300, 5).title = u"classic";
  };
  tabs(u"prod", u"test", u"prod");
  DeliverToSqlPlus(u"x\ty;\r\n", kOwn, false);
  EXPECT_EQ(Typed(1), u"x\ty;\r");
  EXPECT_EQ(Typed(0) + Typed(2), u"");
  // The terminal, never the pseudo window.
  EXPECT_EQ(fake::State().broughtForward, std::vector<WindowHandle>{90});
  EXPECT_EQ(fake::Count("Beep"), 0);

  // Found, but none to type into: nothing is attached, activated or typed,
  // the text stays on the clipboard and the program beeps.
  const char* const notServed[] = {"two tabs of one title", "a lone sqlplus in a tab behind a shell",
                                   "a lone classic console on another virtual desktop"};
  for (const char* situation : notServed) {
    tabs(u"prod", u"prod", u"prod");
    if (situation == notServed[1]) {
      fake::State().topWindows[2].title = u"Windows PowerShell";
      fake::State().consoles.resize(1);
    } else if (situation == notServed[2]) {
      fake::State().consoles.erase(fake::State().consoles.begin(), fake::State().consoles.begin() + 2);
      fake::State().consoles[0].zOrder = -1;
      fake::State().topWindows[3] = {300, false, u"ConsoleWindowClass", u"classic", 0, false, true};
    }
    DeliverToSqlPlus(u"x;\r\n", kOwn, false);
    std::u16string typed;
    for (const auto& c : fake::State().consoles) typed += c.typed;
    EXPECT_EQ(typed, u"") << situation;
    EXPECT_EQ(fake::Count("Beep()"), 1) << situation;
    EXPECT_TRUE(fake::State().broughtForward.empty()) << situation;
    EXPECT_EQ(fake::State().clipboard, u"x;\r\n") << situation;
  }

  // SQLcl: its line editor completes on Tab, which is typed as a space.
  fake::Reset();
  AddConsole(43, 1, 300, 0).exeName = u"sql.exe";
  DeliverToSqlPlus(u"select\ta\r\nfrom\tdual;\r\n", kOwn, false);
  EXPECT_EQ(Typed(0), u"select a\rfrom dual;\r");
}

TEST_F(ConsoleDelivery, AConsoleThatEndsBeforeOrWhileTypingGetsNothingElsewhere) {
  // Gone between the search and the attach: nothing attached, nothing typed.
  AddConsole(40, 1, 300, 0);
  AddConsole(41, 2, 301, 1);
  fake::State().onCall = [&](const std::string& c) {
    if (c.rfind("TypeIntoConsoleOf", 0) == 0) fake::State().consoles[0].running = false;
  };
  DeliverToSqlPlus(u"x;\r\n", kOwn, true);
  EXPECT_EQ(Typed(0) + Typed(1), u"");  // the other console is not tried
  EXPECT_EQ(fake::State().clipboard, u"x;\r\n");
  EXPECT_EQ(fake::Count("Beep()"), 1);

  // Gone after the attach: the typing fails, the console is still left.
  fake::Reset();
  AddConsole(40, 1, 300, 0);
  fake::State().onCall = [&](const std::string& c) {
    if (c.rfind("WriteConsoleKeys", 0) == 0) fake::State().consoles[0].running = false;
  };
  DeliverToSqlPlus(u"x;\r\n", kOwn, false);
  EXPECT_EQ(Typed(0), u"");
  EXPECT_EQ(fake::State().attachedTo, 0u);
  EXPECT_EQ(fake::State().attachedTo, 0u);
  EXPECT_EQ(fake::Count("Beep()"), 1);
}

// Sizes of the writes into the console, in order.
std::vector<std::size_t> WriteSizes() {
  std::vector<std::size_t> out;
  for (const auto& c : fake::State().calls) {
    if (c.rfind("WriteConsoleKeys(", 0) == 0) out.push_back(std::stoul(c.substr(17)));
  }
  return out;
}

TEST_F(ConsoleDelivery, AHugeTextGoesInWritesOfAtMost32KbEveryKeyOnceWhateverTheConsoleRefusesOrTakes) {
  std::u16string text;
  for (int n = 0; text.size() < 150000; ++n) text += u"insert into t values (" + text::FromUtf8(std::to_string(n)) + u");\r\n";
  std::u16string expected;
  for (char16_t c : text) {
    if (c != u'\n') expected.push_back(c);
  }
  static_assert(kMaxKeysPerConsoleCall * kConsoleRecordBytes * kConsoleRecordsPerKey <= 32 * 1024, "32 KB");
  struct Console {
    const char* what;
    std::size_t refuseAbove, takesAtMost, largestWritten;
    long refused;
  };
  for (const Console& c : {Console{"takes all", SIZE_MAX, SIZE_MAX, 1638, 0}, Console{"refuses above 500", 500, SIZE_MAX, 409, 2},
                           Console{"takes 300 of each", SIZE_MAX, 300, 1638, 0},
                           Console{"refuses above 1000, takes 77", 1000, 77, 819, 1}}) {
    fake::Reset();
    AddConsole(40, 1, 300, 0);
    fake::State().refuseWritesAbove = c.refuseAbove;
    fake::State().writeTakesAtMost = c.takesAtMost;
    DeliverToSqlPlus(text, kOwn, false);
    EXPECT_TRUE(Typed(0) == expected) << c.what << ": " << Typed(0).size() << " of " << expected.size();
    std::vector<std::size_t> sizes = WriteSizes();
    // Once refused, a size is not tried again.
    const auto refused = std::partition(sizes.begin(), sizes.end(), [&](std::size_t n) { return n <= c.refuseAbove; });
    EXPECT_EQ(sizes.end() - refused, c.refused) << c.what;
    EXPECT_EQ(*std::max_element(sizes.begin(), refused), c.largestWritten) << c.what;
  }

  // Refused down to the floor: the typing stops, nothing beyond is typed.
  fake::Reset();
  AddConsole(40, 1, 300, 0);
  fake::State().refuseWritesAbove = kMinKeysPerConsoleCall - 1;
  DeliverToSqlPlus(text, kOwn, false);
  EXPECT_EQ(Typed(0), u"");
  EXPECT_EQ(WriteSizes().back(), 25u);  // 1638, 819, 409, 204, 102, 51, 25; 12 is below the floor
  EXPECT_EQ(fake::State().attachedTo, 0u);

  // The program ends after two writes: the third fails and is the last.
  fake::Reset();
  AddConsole(40, 1, 300, 0);
  int writes = 0;
  fake::State().onCall = [&](const std::string& c) {
    if (c.rfind("WriteConsoleKeys", 0) == 0 && ++writes == 3) fake::State().consoles[0].running = false;
  };
  DeliverToSqlPlus(text, kOwn, false);
  EXPECT_EQ(fake::Count("WriteConsoleKeys("), 3);
  EXPECT_EQ(Typed(0).size(), 2 * kMaxKeysPerConsoleCall);
  EXPECT_EQ(fake::State().attachedTo, 0u);
}

TEST_F(ConsoleDelivery, FailedClipboardWriteTypesNothing) {
  AddConsole(40, 1, 300, 0);
  fake::State().clipboardWriteFails = true;
  DeliverToSqlPlus(u"x;\r\n", kOwn, false);
  EXPECT_EQ(Typed(0), u"");
}

}  // namespace
