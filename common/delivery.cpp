#include "delivery.h"

#include <algorithm>
#include <vector>

#include "console_choice.h"
#include "console_keys.h"
#include "platform_ops.h"
#include "settings.h"

const char16_t kSqlPlusClass[] = u"sqlplusWClass";
const char16_t kSqlPlusTitle[] = u"Oracle SQL*Plus";

namespace {

constexpr double kSettleSeconds = 1.0;
// Through the settling second SQL*Plus is activated again this often; in
// between, the program sleeps until a message arrives or the time is up.
constexpr double kReactivateSeconds = 0.05;
const char16_t kPasteKeys[] = u"+{INSERT}";

bool PostPasteCommand(WindowHandle sqlPlus) {
  return WinPostMessage(sqlPlus, kWmCommand, kSqlPlusPasteCommand, 0) != 0;
}

// How long to let an activation that is still under way complete before the
// keystroke is given up for the paste command.
constexpr double kFrontWaitSeconds = 0.5;
constexpr double kFrontPollSeconds = 0.01;

// How long the keys the user may still hold (Ctrl+Alt of the shortcut key
// that started tovrin) may stay down before the keystroke is given up.
constexpr double kModifierWaitSeconds = 1.0;
constexpr double kModifierPollSeconds = 0.02;

// The paste is taken once SQL*Plus has answered this many messages in a
// row after it (see WaitUntilPasteTaken).
constexpr int kPasteRoundTrips = 3;
// The paste keys' way from the system's input to SQL*Plus's queue.
constexpr double kInputArrivalSeconds = 0.05;

// True when a keystroke now would reach SQL*Plus: the window in front is the
// one found, or bears SQL*Plus's exact title.
bool SqlPlusInFront(WindowHandle sqlPlus) {
  const WindowHandle front = ForegroundWindow();
  return front != 0 && (front == sqlPlus || WindowTitle(front) == kSqlPlusTitle);
}

// Activation may take effect a little after the call (it does under Wine);
// handle events until SQL*Plus is in front, for a short while at most.
bool WaitForSqlPlusInFront(WindowHandle sqlPlus) {
  const double start = MonotonicSeconds();
  while (!SqlPlusInFront(sqlPlus)) {
    if (MonotonicSeconds() > start + kFrontWaitSeconds) return false;
    WaitHandlingEvents(kFrontPollSeconds);
  }
  return true;
}

// SendInput does not release the keys the user holds: Shift+Insert typed
// while Ctrl or Alt is still down (tovrin is started by Ctrl+Alt+Q) arrives
// as Ctrl+Alt+Shift+Insert, which pastes nothing. True once they are up;
// false when they stay down for a second.
bool ModifierKeysReleased() {
  const double start = MonotonicSeconds();
  while (ModifierKeysDown()) {
    if (MonotonicSeconds() > start + kModifierWaitSeconds) return false;
    WaitHandlingEvents(kModifierPollSeconds);
  }
  return true;
}

// SQL*Plus takes the paste later, in its own thread: the posted command
// when its turn in the queue comes, the keys once they have reached the
// queue from the system's input and theirs comes. Another delivery (of
// another of our programs, waiting for its turn) must not replace the
// clipboard before that. A message sent to SQL*Plus is answered when its
// thread next looks at its queue, and that look then hands out at most one
// queued message; the next message sent is answered only once that one has
// been handled. So three answers in a row mean that at least the two queued
// messages ahead have been handled: the posted command, or the Shift and
// the Insert of the paste keys, once they have reached the queue (unless
// SQL*Plus handles other messages inside its paste handler before it reads
// the clipboard). Each message waits at most the answer time-out: a
// SQL*Plus that stops answering meanwhile is running what it took, or will
// not take anything soon. True once the paste is taken; false when SQL*Plus
// stopped answering first.
bool WaitUntilPasteTaken(WindowHandle sqlPlus) {
  for (int i = 0; i < kPasteRoundTrips; ++i) {
    if (AskWindow(sqlPlus) != WindowReply::kAnswered) return false;
  }
  return true;
}

// Pastes the text into SQL*Plus: by the keys when `byKeys` and they go
// out, else by the paste command; then waits until SQL*Plus has taken it.
// The user may have copied something else since the delivery wrote the
// clipboard (the text for the next tovrin, while SQL*Plus was held in
// front): a paste then would run that. Our text is put back for the paste
// (when that fails, nothing is pasted), and the user's text once SQL*Plus
// has taken ours, so that it is there for whoever reads it next. False only
// when the paste command could not be posted.
bool Paste(WindowHandle sqlPlus, bool byKeys, const std::u16string& text, std::uint32_t written) {
  std::u16string newer;
  if (ClipboardChangeCount() != written) {
    if (!ClipboardGetText(newer)) newer.clear();
    if (!ClipboardSetText(text)) return true;
  }
  const bool keysSent = byKeys && SendKeystrokes(kPasteKeys);
  if (!keysSent && !PostPasteCommand(sqlPlus)) return false;
  if (keysSent) WaitHandlingEvents(kInputArrivalSeconds);
  if (WaitUntilPasteTaken(sqlPlus) && !newer.empty()) ClipboardSetText(newer);
  return true;
}

// SQL*Plus takes an activation in its own thread, after whatever was sent to
// it before (a deactivation still pending from an earlier switch, say); keys
// typed before that is done may reach no window. A message sent now is
// answered only once that is behind it; then SQL*Plus must still be in front.
bool SqlPlusCaughtUp(WindowHandle sqlPlus) { return WindowAnswers(sqlPlus) && SqlPlusInFront(sqlPlus); }

// Activates a window and handles the events that follow; with `settle`, keeps
// it in front for a second (on a monotonic clock, so the wait ends on time
// also across midnight), activating it again every 50 ms and sleeping in
// between.
template <typename Activate>
void BringForward(Activate activate, bool settle) {
  activate();
  PumpPendingEvents();
  if (!settle) return;
  const double end = MonotonicSeconds() + kSettleSeconds;
  for (double now = MonotonicSeconds(); now < end; now = MonotonicSeconds()) {
    WaitHandlingEvents(std::min(kReactivateSeconds, end - now));
    activate();
  }
}

void PasteByKeystroke(WindowHandle sqlPlus, bool settle, const std::u16string& text, std::uint32_t written) {
  const WindowReply reply = AskWindow(sqlPlus);
  // The system drops whatever this program sends SQL*Plus, keys included
  // (SendInput still reports them sent): the text stays on the clipboard
  // and the beep tells the user to paste it by hand.
  if (reply == WindowReply::kRefused) {
    Beep();
    return;
  }
  // A SQL*Plus that is busy or hung would hold the activation (and this
  // program) for as long as it does not answer, and a keystroke would not
  // reach it anyway: it gets the paste command, which it takes when it wakes.
  if (reply == WindowReply::kHung) {
    Paste(sqlPlus, false, text, written);
    return;
  }
  BringForward([] { ActivateWindowByTitle(kSqlPlusTitle); }, settle);
  // Shift+Insert goes to whatever window is in front. When that is not
  // SQL*Plus (activation failed, or something else took the front), typing
  // would paste the statement into another program: post the paste command
  // to SQL*Plus instead. The same when the keys could not be sent at all,
  // or the user's own keys would turn them into another shortcut.
  const bool keysCanGo = ModifierKeysReleased() && WaitForSqlPlusInFront(sqlPlus) && SqlPlusCaughtUp(sqlPlus);
  Paste(sqlPlus, keysCanGo, text, written);
}

// SQL*Plus as a console program (sqlplus.exe in a command prompt or a
// terminal) has no window of its own to look for; SQLcl is served the same
// way.
const char16_t kConsoleKey[] = u"console";  // "no" turns the console search off

// After both window searches found nothing: type the text into the console
// the user is looking at, of a running sqlplus.exe or SQLcl, if there is
// one. When nothing tells which of several consoles the user sees, or none is
// shown (a tab behind another, another virtual desktop), nothing is typed
// anywhere and the program beeps: the text stays on the clipboard.
// Keystroke mode brings forward the window the console is shown in (a
// terminal's window for a tab, restored when minimised); either way the keys
// go into that console's input and nowhere else.
void DeliverToConsoleSqlPlus(const std::u16string& text, WindowHandle ownWindow, bool settle) {
  const std::u16string iniName = GetIniName(ownWindow, kSettingsPath, kSettingsPath);
  if (ReadIniString(iniName, kSettingsSection, kConsoleKey, true) == u"no") return;
  std::vector<ConsoleProcess> consoles = FindConsoleProcesses(ConsoleProgram::kSqlPlus);
  for (ConsoleProcess& c : FindConsoleProcesses(ConsoleProgram::kSqlcl)) consoles.push_back(c);
  if (consoles.empty()) return;
  const std::vector<TopWindow> windows = VisibleTopWindows();
  const int chosen = ChooseConsole(consoles, windows);
  if (chosen < 0) {
    Beep();
    return;
  }
  const ConsoleProcess& target = consoles[static_cast<std::size_t>(chosen)];
  const WindowHandle host = HostWindowOf(target, windows);
  const bool keystroke = ReadIniString(iniName, kSettingsSection, kSettingsKey, true) == u"yes";
  if (!AttachToConsoleOf(target)) {  // it ended meanwhile: the text stays on the clipboard
    Beep();
    return;
  }
  if (keystroke && host != 0) BringForward([host] { ActivateWindow(host); }, settle);
  // In pieces: a huge text never needs its keys all at once, and the typing
  // stops with the first piece that does not go in.
  const bool tabAsSpace = target.program == ConsoleProgram::kSqlcl;
  std::size_t limit = kMaxKeysPerConsoleCall;
  std::vector<ConsoleKey> keys;
  keys.reserve(kMaxKeysPerConsoleCall);
  for (std::size_t next = 0; next < text.size();) {
    keys.clear();
    next = AppendConsoleKeys(text, next, kMaxKeysPerConsoleCall, keys, tabAsSpace);
    if (!WriteConsoleKeysInPieces(keys, limit, WriteConsoleKeys)) break;
  }
  DetachFromConsole();
}

// The delivery proper, while this program has its turn.
void DeliverInTurn(const std::u16string& text, WindowHandle ownWindow, bool settle) {
  // A paste after a failed write would make SQL*Plus run whatever the
  // clipboard held before: for marlet, the template the user has just
  // cancelled or edited. Nothing is pasted then.
  if (!ClipboardSetText(text)) return;
  const std::uint32_t written = ClipboardChangeCount();

  const std::u16string sqlPlusClass = kSqlPlusClass;
  WindowHandle sqlPlus = WinFindWindow(&sqlPlusClass, kSqlPlusTitle);
  if (sqlPlus == 0) sqlPlus = WinFindWindow(nullptr, kSqlPlusTitle);
  if (sqlPlus == 0) {
    DeliverToConsoleSqlPlus(text, ownWindow, settle);
    return;
  }

  // Neither keys nor messages reach a SQL*Plus that runs with higher rights
  // (as administrator, say): the user pastes by hand.
  if (RunsWithHigherRights(sqlPlus)) {
    Beep();
    return;
  }

  const std::u16string iniName = GetIniName(ownWindow, kSettingsPath, kSettingsPath);
  const std::u16string mode = ReadIniString(iniName, kSettingsSection, kSettingsKey, true);
  if (mode == u"yes") {
    PasteByKeystroke(sqlPlus, settle, text, written);
  } else if (!Paste(sqlPlus, false, text, written) && AskWindow(sqlPlus) == WindowReply::kRefused) {
    Beep();  // the system refused the post, as it does for higher rights
  }
}

}  // namespace

void DeliverToSqlPlus(const std::u16string& text, WindowHandle ownWindow, bool settle) {
  // Two of our programs delivering at once (two tovrins started one right
  // after the other) would each replace the other's text on the clipboard
  // before SQL*Plus has taken it: one statement would run twice and the
  // other never. Each delivery runs in its turn, from writing the clipboard
  // until SQL*Plus has taken the paste.
  TakeDeliveryTurn();
  DeliverInTurn(text, ownWindow, settle);
  EndDeliveryTurn();
}
