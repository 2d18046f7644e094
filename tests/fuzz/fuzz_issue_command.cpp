// Fuzz target: marlet's issue command Command1_Click over a fake template
// list and a recording fake desktop.
//
// From the input the target builds a list (built-in templates, templates of
// any length split as the template reader splits them, stray continuation
// pieces, arbitrary and very short items), a selected index from -1 to one
// past the last item, a typed text, the answers of the input and message
// boxes, clipboard failures and a foreign clipboard change during the
// clipboard pass, list failures, and a SQL*Plus window that may be missing,
// in either paste mode.
//
// Checked after every run:
// - either the window stayed open and nothing happened on the clipboard, in
//   a box or towards SQL*Plus, or the window was closed exactly once and at
//   most one text was delivered, pasted at most once;
// - a delivered text fits the kind of the text that was current at the start:
//   commit question -> "commit;" / "rollback;" / empty by the answer; table
//   layout -> "describe <name>;" or empty; edit -> the trimmed answer ending
//   in ";" or empty; otherwise a prepared statement text (ends with CR LF,
//   last line ends with ";" or "/", preparing it again changes nothing); every
//   text but the empty one ends with CR LF; a box is shown only for its kind;
// - a text SQL*Plus could not take as it is (sqlplus_lines.h) is not
//   delivered: one box says why and the window closes; otherwise the text is
//   delivered with its long lines broken;
// - a failed list or clipboard-pass operation never leads to a delivery;
// - without failures, typed text and a template picked by any of its pieces
//   are delivered exactly as they should be.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "fake_list.h"
#include "fake_platform.h"
#include "issue_command.h"
#include "sqlplus_lines.h"
#include "statement_text.h"
#include "template_format.h"
#include "templates.h"
#include "text.h"

namespace {

constexpr WindowHandle kSqlPlus = 7;
constexpr char16_t kHead = u'\u25A0';  // ■

using item_format::Kind;

// Labels for generated templates: the built-ins' (every kind, and plain
// ones), near misses and labels without (or with more than one) ": ".
const std::vector<std::u16string> kLabels = [] {
  std::vector<std::u16string> labels = {
      u"■x: ", u"■テーブルレイアウト:", u"■コミット or ロールバック:", u"■a: b: ", u"■", u"■ : ", u"■a:b",
  };
  for (const item_format::BuiltIn& builtIn : item_format::kBuiltIns) labels.emplace_back(builtIn.label);
  return labels;
}();

const char kCommitBox[] =
    "ShowMessageBox(トランザクションをコミットしますか?\n"
    "はい = commit、いいえ = rollback、ｷｬﾝｾﾙ = なにもしない,35,コミット or ロールバック)";
const char kLayoutBox[] = "ShowInputBox(テーブル名を入力して下さい。,テーブルレイアウト,受注m)";
const char kEditBoxStart[] = "ShowInputBox(SQL を編集入力して下さい。,SQL 発行,";
const char kFindSqlPlus[] = "FindWindowW(sqlplusWClass,";
const char kSetClipboard[] = "ClipboardSetText(";  // the clipboard pass
const char kOfferClipboard[] = "ClipboardOffer(";  // the delivery's write
const char kNotSentBoxEnd[] = ",48,SQL 発行)";  // the box that says why nothing was sent

// The kind by the table of the built-in labels, as the command must find it.
using item_format::KindOf;

// ---- Building the scenario ----------------------------------------------------

struct Scenario {
  std::vector<std::u16string> items;
  std::vector<int> origin;  // per item: the template it is a piece of, or -1
  std::vector<std::u16string> templates;
  int selected = -1;
  std::u16string typed;
  std::u16string inputAnswer;
  bool hasInputAnswer = false;
  int messageAnswer = 2;
  bool hasMessageAnswer = false;
  unsigned writeFailMask = 0;  // bit n: the n-th clipboard write fails
  unsigned readFailMask = 0;   // bit n: the n-th clipboard read fails
  bool replaceOnRead = false;  // another program changes the clipboard before the read
  std::u16string replacement;
  int failSetSelectedAt = -1;
  int failGetCurrentTextAt = -1;
  int failGetItemTextAt = -1;
  bool sqlPlusPresent = true;
  bool keystrokeMode = false;
  bool activationFails = false;
};

// Characters that matter to the code (space, CR, LF, ";", "/", "=", ":",
// "■") and some that must pass unharmed (tab, ideographic space, Japanese,
// lone surrogates). Entry 0 stands for a CR LF pair.
const char16_t kAlphabet[] = {0,    u'a', u'b',  u' ',  u' ',  u' ',   u'\r',  u'\n',  u';', u'/',
                              u'=', u':', kHead, u'受', u'\t', 0x3000, 0xD800, 0xDC00, u'(', u'1'};
constexpr std::size_t kAlphabetSize = sizeof kAlphabet / sizeof kAlphabet[0];

std::u16string RandomText(FuzzedDataProvider& in, std::size_t maxLength) {
  const std::size_t length = in.ConsumeIntegralInRange<std::size_t>(0, maxLength);
  std::u16string s;
  for (std::size_t i = 0; i < length && in.remaining_bytes() > 0; ++i) {
    const char16_t c = kAlphabet[in.ConsumeIntegral<std::uint8_t>() % kAlphabetSize];
    if (c == 0) {
      s += u"\r\n";
    } else {
      s.push_back(c);
    }
  }
  return s;
}

// A body that may run well past the 500-unit piece length: a short chunk
// repeated.
std::u16string RandomBody(FuzzedDataProvider& in) {
  std::u16string chunk = RandomText(in, 24);
  if (chunk.empty() || !in.ConsumeBool()) return chunk;
  const std::size_t target = in.ConsumeIntegralInRange<std::size_t>(0, 1600);
  std::u16string body;
  while (body.size() < target) body += chunk;
  return body.substr(0, target);
}

void AddTemplate(Scenario& s, const std::u16string& whole) {
  const int index = static_cast<int>(s.templates.size());
  s.templates.push_back(whole);
  for (const std::u16string& piece : SplitTemplate(whole)) {
    s.items.push_back(piece);
    s.origin.push_back(index);
  }
}

void AddStray(Scenario& s, const std::u16string& item) {
  s.items.push_back(item);
  s.origin.push_back(-1);
}

Scenario Build(FuzzedDataProvider& in) {
  Scenario s;
  const int count = in.ConsumeIntegralInRange<int>(0, 14);
  for (int k = 0; k < count; ++k) {
    switch (in.ConsumeIntegralInRange<int>(0, 5)) {
      case 0: {
        const auto& builtIns = BuiltInTemplates();
        AddTemplate(s, builtIns[in.ConsumeIntegralInRange<std::size_t>(0, builtIns.size() - 1)]);
        break;
      }
      case 1:
      case 2: {
        const std::u16string& label = kLabels[in.ConsumeIntegralInRange<std::size_t>(0, kLabels.size() - 1)];
        AddTemplate(s, label + RandomBody(in));
        break;
      }
      case 3:
        AddStray(s, u"   " + RandomText(in, 30));
        break;
      case 4:
        AddStray(s, RandomText(in, 30));
        break;
      default: {
        static const char16_t* const kShort[] = {u"", u" ", u"  ", u"   ", u"■", u"■: ", u"  ■a: b"};
        AddStray(s, kShort[in.ConsumeIntegralInRange<int>(0, 6)]);
        break;
      }
    }
  }
  s.selected = in.ConsumeIntegralInRange<int>(-1, static_cast<int>(s.items.size()));
  s.typed = in.ConsumeBool()
                ? RandomText(in, 30)
                : kLabels[in.ConsumeIntegralInRange<std::size_t>(0, kLabels.size() - 1)] + RandomText(in, 20);
  s.hasInputAnswer = in.ConsumeBool();
  if (s.hasInputAnswer) s.inputAnswer = RandomText(in, 20);
  s.hasMessageAnswer = in.ConsumeBool();
  if (s.hasMessageAnswer) {
    static const int kAnswers[] = {6, 7, 2, 1, 0};
    s.messageAnswer = kAnswers[in.ConsumeIntegralInRange<int>(0, 4)];
  }
  if (in.ConsumeIntegralInRange<int>(0, 3) == 0) {
    s.writeFailMask = in.ConsumeIntegralInRange<unsigned>(0, 3);
    s.readFailMask = in.ConsumeIntegralInRange<unsigned>(0, 1);
  }
  s.replaceOnRead = in.ConsumeIntegralInRange<int>(0, 5) == 0;
  if (s.replaceOnRead) s.replacement = RandomText(in, 30);
  if (in.ConsumeIntegralInRange<int>(0, 5) == 0) {
    s.failSetSelectedAt = in.ConsumeIntegralInRange<int>(-1, 4);
    s.failGetCurrentTextAt = in.ConsumeIntegralInRange<int>(-1, 4);
    s.failGetItemTextAt = in.ConsumeIntegralInRange<int>(-1, 4);
  }
  s.sqlPlusPresent = in.ConsumeIntegralInRange<int>(0, 7) != 0;
  s.keystrokeMode = in.ConsumeBool();
  s.activationFails = in.ConsumeIntegralInRange<int>(0, 7) == 0;
  return s;
}

// ---- Running it ---------------------------------------------------------------

struct Observed {
  int clipboardSets = 0;
  int clipboardGets = 0;
  bool passFailed = false;  // a write or read of the clipboard pass failed
  int pendingFailedWrite = -1;
};

Observed g_observed;
const Scenario* g_scenario = nullptr;

void OnCall(const std::string& call) {
  fake::World& w = fake::State();
  const Scenario& s = *g_scenario;
  if (call.rfind(kSetClipboard, 0) == 0 || call.rfind(kOfferClipboard, 0) == 0) {
    const int n = g_observed.clipboardSets++;
    w.clipboardWriteFails = n < 8 && ((s.writeFailMask >> n) & 1u) != 0;
    if (w.clipboardWriteFails) g_observed.pendingFailedWrite = n;
  } else if (call == "ClipboardGetText()") {
    // Only the clipboard pass reads; a failed write just before it belongs
    // to the pass too.
    const int n = g_observed.clipboardGets++;
    w.clipboardReadFails = n < 8 && ((s.readFailMask >> n) & 1u) != 0;
    if (w.clipboardReadFails || g_observed.pendingFailedWrite >= 0) g_observed.passFailed = true;
    if (s.replaceOnRead) w.clipboard = s.replacement;
  }
}

void Fail(const char* what, const std::string& detail) {
  std::fprintf(stderr, "PROPERTY FAILED: %s\n  %s\n", what, detail.c_str());
  const Scenario& s = *g_scenario;
  std::fprintf(stderr, "  selected %d of %zu items, typed: %s\n", s.selected, s.items.size(),
               text::ToUtf8(s.typed).c_str());
  std::fprintf(stderr,
               "  input answer %d: %s; message answer %d: %d; clipboard write/read failure masks %u/%u; "
               "replaced on read %d: %s\n  list failures at select %d, read %d, item read %d; SQL*Plus %d, "
               "keystrokes %d, "
               "activation fails %d\n",
               s.hasInputAnswer, text::ToUtf8(s.inputAnswer).c_str(), s.hasMessageAnswer, s.messageAnswer,
               s.writeFailMask, s.readFailMask, s.replaceOnRead, text::ToUtf8(s.replacement).c_str(),
               s.failSetSelectedAt, s.failGetCurrentTextAt, s.failGetItemTextAt, s.sqlPlusPresent, s.keystrokeMode, s.activationFails);
  for (std::size_t k = 0; k < s.items.size(); ++k) {
    std::fprintf(stderr, "  item %zu (template %d): %s\n", k, s.origin[k], text::ToUtf8(s.items[k]).c_str());
  }
  std::fprintf(stderr, "  calls:\n");
  for (const std::string& c : fake::State().calls) std::fprintf(stderr, "    %s\n", c.c_str());
  std::abort();
}

#define CHECK(cond, what, detail)    \
  do {                               \
    if (!(cond)) Fail(what, detail); \
  } while (0)

bool IsStatementText(const std::u16string& t) {
  if (t.size() < 3 || t.compare(t.size() - 2, 2, u"\r\n") != 0) return false;
  const char16_t last = t[t.size() - 3];
  return (last == u';' || last == u'/') && PrepareStatementText(t, false) == t;
}

// `text` as it goes to SQL*Plus, its long lines broken; `refused` when it
// cannot go at all.
std::u16string Fitted(std::u16string text, bool& refused) {
  refused = sqlplus_lines::FitLines(text).found != sqlplus_lines::Found::kNothing;
  return text;
}

// The argument of a recorded call "Name(argument)".
std::string Argument(const std::string& call, std::size_t prefixLength) {
  return call.substr(prefixLength, call.size() - prefixLength - 1);
}

// What the command should deliver for a kind once a non-empty prepared text
// has come out of step 5; for kPlain, the prepared text itself.
std::u16string ExpectedForKind(Kind kind, const Scenario& s, const std::u16string& prepared) {
  switch (kind) {
    case Kind::kCommitQuestion:
      return s.messageAnswer == 6 ? u"commit;\r\n" : s.messageAnswer == 7 ? u"rollback;\r\n" : u"";
    case Kind::kTableLayout: {
      const std::u16string name = text::Trim(s.inputAnswer);
      return name.empty() ? u"" : u"describe " + name + u";\r\n";
    }
    case Kind::kEdit: {
      std::u16string answer = text::Trim(s.inputAnswer);
      if (answer.empty()) return answer;
      if (answer.back() != u';') answer.push_back(u';');
      return answer + u"\r\n";
    }
    case Kind::kPlain:
      break;
  }
  return prepared;
}

void Run(const Scenario& s) {
  fake::Reset();
  fake::ResetList(s.items, s.selected, s.typed);
  fake::ListWorld& list = fake::List();
  list.failSetSelectedAt = s.failSetSelectedAt;
  list.failGetCurrentTextAt = s.failGetCurrentTextAt;
  list.failGetItemTextAt = s.failGetItemTextAt;

  fake::World& w = fake::State();
  if (s.sqlPlusPresent) {
    w.windowsByTitle[u"Oracle SQL*Plus"] = kSqlPlus;
    w.classOf[kSqlPlus] = u"sqlplusWClass";
  }
  w.ini[u"c:\\vorn3\\tovrin.ini"][u"sql plus"][u"active"] = s.keystrokeMode ? u"yes" : u"no";
  w.activationFails = s.activationFails;
  w.clipboard = u"what the user had";
  if (s.hasInputAnswer) w.inputBoxAnswers.push_back(s.inputAnswer);
  if (s.hasMessageAnswer) w.messageBoxAnswers.push_back(s.messageAnswer);
  g_observed = Observed();
  w.onCall = OnCall;

  Command1_Click();

  w.onCall = nullptr;
}

// Where the selection ends when the walk selects every item it looks at:
// up from the selected item to a head item (or item 0), then down over the
// pieces to the next head item or the list's end.
int StepByStepSelection(const Scenario& s) {
  int selected = s.selected;
  const std::u16string current = selected >= 0 ? s.items[selected] : s.typed;
  const auto isHead = [](const std::u16string& t) { return !t.empty() && t[0] == kHead; };
  if (!isHead(current)) {
    bool found = false;
    for (int i = selected; i >= 0 && !found; --i) {
      selected = i;
      found = isHead(s.items[i]);
    }
    if (!found && text::Trim(current).empty()) return selected;
  }
  if (selected < 0) return selected;
  // A template that asks keeps its head item selected while it asks.
  if (KindOf(current) != item_format::Kind::kPlain) return selected;
  for (int i = selected + 1; i < static_cast<int>(s.items.size()); ++i) {
    selected = i;
    if (isHead(s.items[i])) break;
  }
  return selected;
}

void Check(const Scenario& s) {
  const fake::ListWorld& list = fake::List();
  int notSent = 0;
  for (const std::string& call : fake::State().calls) {
    notSent += call.rfind("ShowMessageBox(", 0) == 0 && call.size() >= sizeof kNotSentBoxEnd - 1 &&
               call.compare(call.size() - (sizeof kNotSentBoxEnd - 1), sizeof kNotSentBoxEnd - 1, kNotSentBoxEnd) == 0;
  }
  const int boxes = fake::Count("ShowInputBox(") + fake::Count("ShowMessageBox(") - notSent;
  const int pastes = static_cast<int>(fake::State().handed.size()) + fake::State().keysElsewhere;
  // The delivery's own write is its offer. When it fails, the delivery stops
  // there: nothing is looked for and nothing is pasted.
  const auto& calls = fake::State().calls;
  const int offer = fake::Find(kOfferClipboard);
  const bool deliveryWriteFailed = offer >= 0 && fake::Count(kFindSqlPlus) == 0;
  const int deliveries = fake::Count(kOfferClipboard);

  if (list.closeCount == 0) {
    CHECK(fake::Count("Clipboard") == 0, "window left open after touching the clipboard", "");
    CHECK(boxes == 0, "window left open after showing a box", "");
    CHECK(deliveries == 0 && pastes == 0, "window left open after a delivery", "");
  } else {
    CHECK(list.closeCount == 1, "window closed more than once", std::to_string(list.closeCount));
    CHECK(deliveries <= 1, "more than one delivery", std::to_string(deliveries));
  }
  CHECK(boxes <= 1, "more than one box", std::to_string(boxes));
  CHECK(notSent <= 1, "more than one box saying why nothing was sent", std::to_string(notSent));
  if (notSent == 1) {
    CHECK(deliveries == 0 && list.closeCount == 1, "a text said not sent was sent, or the window stayed open", "");
  }
  if (deliveries == 0) {
    CHECK(pastes == 0, "pasted without a delivery", "");
    CHECK(boxes == 0 || notSent == 1, "a box was shown but nothing delivered", "");
  } else {
    CHECK(pastes == (s.sqlPlusPresent && !deliveryWriteFailed ? 1 : 0), "wrong number of pastes",
          std::to_string(pastes));
  }

  // A failure before the check point must stop the command.
  const bool listFailed = (s.failSetSelectedAt >= 0 && s.failSetSelectedAt < list.setSelectedCalls) ||
                          (s.failGetCurrentTextAt >= 0 && s.failGetCurrentTextAt < list.getCurrentTextCalls) ||
                          (s.failGetItemTextAt >= 0 && s.failGetItemTextAt < list.getItemTextCalls);
  // (A selected index past the last item, which the real list never reports,
  // is only checked for the general shape above: the fake then shows the
  // typed text as the selected item's.)
  if (listFailed || g_observed.passFailed) {
    CHECK(deliveries == 0, "delivered after a failed step", "");
  }

  // The delivered text, as recorded (UTF-8; a lone surrogate shows as U+FFFD).
  std::string delivered;
  std::u16string delivered16;
  if (deliveries == 1) {
    delivered = Argument(calls[offer], sizeof kOfferClipboard - 1);
    delivered16 = text::FromUtf8(delivered);
    const bool endsWithCrLf = delivered16.size() >= 2 && delivered16.compare(delivered16.size() - 2, 2, u"\r\n") == 0;
    CHECK(delivered16.empty() || endsWithCrLf, "delivered text does not end with CR LF", delivered);
  }

  // The kind comes from the text current at the start.
  const bool selectedInRange = s.selected >= 0 && s.selected < static_cast<int>(s.items.size());
  const std::u16string initial = s.failGetCurrentTextAt == 0 ? u"" : selectedInRange ? s.items[s.selected] : s.typed;
  const Kind kind = KindOf(initial);
  if (kind != Kind::kCommitQuestion) {
    CHECK(fake::Count("ShowMessageBox(") == notSent, "question box for another kind", "");
  }
  if (kind != Kind::kTableLayout) CHECK(fake::Count(kLayoutBox) == 0, "table name box for another kind", "");
  if (kind != Kind::kEdit) CHECK(fake::Count(kEditBoxStart) == 0, "edit box for another kind", "");

  if (deliveries == 1) {
    switch (kind) {
      case Kind::kCommitQuestion:
        CHECK(fake::Count(kCommitBox) == 1, "commit question not asked as it should be", "");
        break;
      case Kind::kTableLayout:
        CHECK(fake::Count(kLayoutBox) == 1, "table name not asked as it should be", "");
        break;
      case Kind::kEdit: {
        CHECK(fake::Count(kEditBoxStart) == 1, "edit box not shown", "");
        const std::string& box = fake::State().calls[fake::Find(kEditBoxStart)];
        const std::u16string shown = text::FromUtf8(Argument(box, sizeof kEditBoxStart - 1));
        CHECK(IsStatementText(shown + u"\r\n"), "edit box does not show a prepared text", box);
        break;
      }
      case Kind::kPlain:
        CHECK(IsStatementText(delivered16), "delivered text is not a prepared statement text", delivered);
        break;
    }
    if (kind != Kind::kPlain) {
      bool refused = false;
      const std::u16string expected = Fitted(ExpectedForKind(kind, s, u""), refused);
      CHECK(!refused && delivered == text::ToUtf8(expected), "delivered text does not fit the answer", delivered);
    }
  }

  // Exact outcomes where no failure was injected.
  const bool noFailures =
      s.failSetSelectedAt < 0 && s.failGetCurrentTextAt < 0 && s.failGetItemTextAt < 0 && s.writeFailMask == 0 &&
      s.readFailMask == 0;
  if (!noFailures) return;

  if (s.selected < static_cast<int>(s.items.size())) {
    CHECK(list.selected == StepByStepSelection(s), "the selection did not end where an item-by-item walk leaves it (or on the template that asks)",
          std::to_string(list.selected) + " instead of " + std::to_string(StepByStepSelection(s)));
  }

  if (s.selected == -1) {
    // Typed text.
    const std::u16string typed = text::Trim(s.typed);
    if (typed.empty()) {
      CHECK(list.closeCount == 0, "empty typed text closed the window", "");
      return;
    }
    CHECK(list.closeCount == 1, "typed text left the window open", "");
    if (s.typed[0] == kHead) {
      CHECK(deliveries == 0, "typed text beginning with the head mark was delivered", "");
      return;
    }
    std::u16string working = typed;
    if (working.back() != u';' && working.back() != u'/') working.push_back(u';');
    bool refused = false;
    const std::u16string expected = Fitted(PrepareStatementText(working, false), refused);
    if (refused) {
      CHECK(deliveries == 0 && notSent == 1, "typed text that cannot be pasted was sent", text::ToUtf8(expected));
      return;
    }
    CHECK(deliveries == 1 && delivered == text::ToUtf8(expected), "typed text not delivered as prepared",
          text::ToUtf8(expected));
    return;
  }

  if (!selectedInRange || s.origin[s.selected] < 0) return;
  // A template picked by one of its pieces, with nothing stray right below it.
  const int t = s.origin[s.selected];
  int first = s.selected;
  while (first > 0 && s.origin[first - 1] == t) --first;
  int last = s.selected;
  while (last + 1 < static_cast<int>(s.items.size()) && s.origin[last + 1] == t) ++last;
  if (last + 1 < static_cast<int>(s.items.size()) && !text::StartsWith(s.items[last + 1], u"■")) return;

  const std::u16string& whole = s.templates[t];
  const std::size_t colon = whole.find(u": ");
  if (colon == std::u16string::npos) {
    CHECK(list.closeCount == 0, "template without label end closed the window", "");
    return;
  }
  CHECK(list.closeCount == 1, "template left the window open", "");
  const std::u16string working = s.replaceOnRead ? s.replacement : whole.substr(colon + 2);
  const std::string passCall = kSetClipboard + text::ToUtf8(whole.substr(colon + 2)) + ")";
  CHECK(fake::Count(kSetClipboard) >= 1 && fake::State().calls[fake::Find(kSetClipboard)] == passCall,
        "clipboard pass did not carry the template's SQL text", text::ToUtf8(whole));
  const std::u16string prepared = PrepareStatementText(working, false);
  if (prepared.empty()) {
    CHECK(deliveries == 0, "blank template delivered", "");
    return;
  }
  const Kind templateKind = s.selected == first ? KindOf(whole) : Kind::kPlain;
  bool refused = false;
  const std::u16string expected = Fitted(ExpectedForKind(templateKind, s, prepared), refused);
  if (refused) {
    CHECK(deliveries == 0 && notSent == 1, "template that cannot be pasted was sent", text::ToUtf8(whole));
    return;
  }
  CHECK(deliveries == 1, "template not delivered", text::ToUtf8(whole));
  CHECK(delivered == text::ToUtf8(expected), "template delivered wrongly", text::ToUtf8(expected));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const Scenario s = Build(in);
  g_scenario = &s;
  Run(s);
  Check(s);
  g_scenario = nullptr;
  return 0;
}
