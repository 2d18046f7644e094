#include "delivery.h"

#include <limits>
#include <vector>

#include "boxes.h"
#include "clipboard.h"
#include "console.h"
#include "console_choice.h"
#include "console_keys.h"
#include "settings.h"
#include "waiting.h"
#include "windows_and_keys.h"

const char16_t kSqlPlusClass[] = u"sqlplusWClass";
const char16_t kSqlPlusTitle[] = u"Oracle SQL*Plus";

namespace {

constexpr double kSettleSeconds = 1.0;
// Through the settling second SQL*Plus is activated again this often; in
// between, the program sleeps until a message arrives or the time is up.
constexpr double kReactivateSeconds = 0.05;

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

// The paste's way past the low-level keyboard hooks of the desktop: each
// may hold a key for up to its time-out (LowLevelHooksTimeout, at most one
// second from Windows 10 1709 on) before the system passes it on.
constexpr double kKeysOnTheirWaySeconds = 2.0;
// SQL*Plus has handled everything queued before these answers in a row.
constexpr int kAnswersInARow = 3;
// How often a SQL*Plus that does not answer is asked again.
constexpr double kAskAgainSeconds = 0.25;
// How long the clipboard may be held by another program (a loaded machine)
// before a change of it in place of our offer is given up.
constexpr double kClipboardPatienceSeconds = 5.0;

// True when a keystroke now would reach SQL*Plus: the window in front is the
// one found, or bears SQL*Plus's exact title.
bool SqlPlusInFront(WindowHandle sqlPlus) {
  const WindowHandle front = ForegroundWindow();
  return front != 0 && (front == sqlPlus || WindowTitle(front) == kSqlPlusTitle);
}

// Activation may take effect a little after the call (it does under Wine);
// handle events until SQL*Plus is in front, for a short while at most. All
// messages: our own window takes its deactivation meanwhile.
bool WaitForSqlPlusInFront(WindowHandle sqlPlus) {
  return WaitUntil([sqlPlus] { return SqlPlusInFront(sqlPlus); }, kFrontWaitSeconds, kFrontPollSeconds, Messages::kAll);
}

// SendInput does not release the keys the user holds: Shift+Insert typed
// while Ctrl or Alt is still down (tovrin is started by Ctrl+Alt+Q) arrives
// as Ctrl+Alt+Shift+Insert, which pastes nothing. True once they are up;
// false when they stay down for a second. All messages are handled
// meanwhile, as in every wait of the delivery: a reader of our offer (see
// below) is answered whenever it comes, and our window stays alive.
bool ModifierKeysReleased() {
  return WaitUntil([] { return !ModifierKeysDown(); }, kModifierWaitSeconds, kModifierPollSeconds, Messages::kAll);
}

// How the delivery knows that SQL*Plus has taken its paste.
//
// SQL*Plus takes the paste in its own thread, some time after we hand it
// over: the posted command when its turn in the queue comes, the keys once
// they have passed the desktop's keyboard hooks and reached its queue. Until
// then the clipboard must keep our text: another delivery (a second tovrin,
// started for the next statement) that wrote its own meanwhile would have it
// pasted twice and ours never. So each delivery runs in the session's
// delivery turn, which it keeps until the paste is provably no longer
// pending, and the user's own copy made in between is kept aside until then.
//
// The proof is the clipboard's delayed rendering: the delivery offers its
// text (SetClipboardData with no data) and hands it over when a program
// reads it, in WM_RENDERFORMAT, which the reader's GetClipboardData sends
// while it holds the clipboard open. A read after the paste has gone out is
// SQL*Plus taking it: the reader holds the clipboard open until it has the
// text, so nothing can replace it before. Such a read may come seconds or
// minutes later (SQL*Plus was busy running a statement); it is handled
// whenever it comes, since every wait here handles the messages sent to
// this thread.
//
// Other readers: clipboard history, clipboard managers and remote-desktop
// clipboards may read a new clipboard at once. The offer carries the
// formats that keep it from the monitors that honour them. A read before
// the paste proves nothing and leaves nothing to prove the paste by: the
// text is offered again right before the paste, with no message handled in
// between. A read after the paste by a window of another program (the
// window the reader opened the clipboard with tells) is not counted. Left
// over: a program that reads the fresh offer between that last offer and
// SQL*Plus's read, and opened the clipboard without a window, passes for
// SQL*Plus; the delivery then ends early, and a delivery after it that
// writes before SQL*Plus has read has its own text pasted twice. (Wine's
// clipboard bridge to X11 reads nothing until an X program asks.) Nor can
// a copy the user makes in the very moment SQL*Plus opens the clipboard be
// told from one made before: SQL*Plus then pastes the user's.
//
// Without a read there is still an end: SQL*Plus answering several messages
// in a row after the paste. A message sent to SQL*Plus is answered when its
// thread next looks at its queue, and that look hands out at most one
// queued message (or finds the queue empty); the next message sent is
// answered only once that one has been handled. So kAnswersInARow answers
// mean that what was queued before them has been handled: the posted
// command, or the keys once they are in the queue; keys are given
// kKeysOnTheirWaySeconds to get there first. If SQL*Plus read the clipboard
// meanwhile, its read was answered before those answers came. With no read,
// the keys went elsewhere or another program had read our text first (and
// SQL*Plus pasted it without asking): either way nothing is pending any
// more. A window that is gone answers at once. While SQL*Plus does not answer
// (it runs a statement, or hangs), the delivery keeps waiting, for as long as
// it takes: a delivery that gave up then, letting the next write the
// clipboard, would bring back the double paste. There is no bound on this
// wait, and so none on the program's life: ending while a paste is pending
// would let the next delivery write, and the turn of an ended program is
// free. The program then lives, asleep, until SQL*Plus wakes or is closed.
//
// The user's copy made meanwhile: text only is taken aside, our text is
// offered again for the paste, and theirs is put back once the paste is
// taken. Anything else (a picture, files, formatted text) is never touched:
// before the paste nothing is pasted then and the user hears a beep; after
// the paste (a busy SQL*Plus) the paste already handed over pastes whatever
// text that copy holds when SQL*Plus gets to it, and the user hears a beep.

// The user's newer copy, while it is kept aside.
struct UsersCopy {
  ClipboardText aside;
  bool kept = false;
};

// Changes the clipboard in place of our offer, trying again for a while
// (handling all messages meanwhile) while another program holds it.
template <typename Change>
ClipboardChange Patiently(Change change) {
  return RetryWhile(ClipboardChange::kBusy, change, kClipboardPatienceSeconds, kAskAgainSeconds, Messages::kAll);
}

ClipboardChange OfferAgain(const std::u16string& text, UsersCopy& copy) {
  return Patiently([&] { return ClipboardOfferAgain(text, copy.aside, copy.kept); });
}

// Puts the user's copy back, if one was kept aside. Should the clipboard
// stay busy for that long, the copy is lost: the user hears a beep.
void PutBack(UsersCopy& copy) {
  if (copy.kept && Patiently([&] { return ClipboardPutBack(copy.aside); }) == ClipboardChange::kBusy) Beep();
}

// Makes the clipboard ready for the paste: our text offered and unread,
// with a copy of the user's made since taken aside. False, with a beep, when
// that copy holds more than text (it stays) or the clipboard cannot be used:
// nothing may be pasted then.
bool ReadyForPaste(const std::u16string& text, WindowHandle sqlPlus, UsersCopy& copy) {
  const OfferNews news = ClipboardOfferNews(sqlPlus);
  if (news.onClipboard && news.reads == 0) return true;
  if (OfferAgain(text, copy) == ClipboardChange::kDone) return true;
  Beep();
  return false;
}

// Waits, asleep and handling messages, until SQL*Plus has taken the paste
// handed over (by keys when `byKeys`) or nothing is pending any more (see
// above): as long as that takes. All messages are handled: the read is
// answered by our window, and the user's copy is noticed there.
void WaitUntilPasteTaken(WindowHandle sqlPlus, bool byKeys, const std::u16string& text, UsersCopy& copy) {
  const double keysArrived = byKeys ? MonotonicSeconds() + kKeysOnTheirWaySeconds : 0;
  bool offered = true;  // our text is on the clipboard to be read
  int answers = 0;
  // True once the paste is taken; false to sleep kAskAgainSeconds first.
  const auto taken = [&] {
    for (;;) {  // without a sleep while SQL*Plus answers
      const OfferNews news = ClipboardOfferNews(sqlPlus);
      if (offered && news.reads > news.readsElsewhere) return true;  // SQL*Plus read it
      if (offered && !news.onClipboard) {
        // The user copied something while the paste is pending: ours again
        // for it, or, when theirs is more than text, theirs stays (and no
        // earlier copy kept aside may replace it).
        answers = 0;
        if (OfferAgain(text, copy) == ClipboardChange::kDone) continue;
        Beep();
        copy.kept = false;
        offered = false;
      }
      if (MonotonicSeconds() < keysArrived) return false;
      const WindowReply reply = AskWindow(sqlPlus);
      if (reply == WindowReply::kRefused) return true;  // nothing we send reaches it
      if (reply != WindowReply::kAnswered) {
        answers = 0;
        return false;
      }
      if (++answers >= kAnswersInARow) return true;
    }
  };
  WaitUntil(taken, std::numeric_limits<double>::infinity(), kAskAgainSeconds, Messages::kAll);
}

// Pastes the text into SQL*Plus: by the keys when `byKeys` and they go
// out, else by the paste command; then waits until SQL*Plus has taken it,
// and puts back the copy the user made meanwhile. The program's own window
// goes out of sight once the paste is handed over: the wait may be long.
void Paste(WindowHandle sqlPlus, bool byKeys, const std::u16string& text, WindowHandle ownWindow) {
  UsersCopy copy;
  if (!ReadyForPaste(text, sqlPlus, copy)) return;
  const bool keysSent = byKeys && SendPasteKeys();
  if (keysSent || PostPasteCommand(sqlPlus)) {
    HideWindow(ownWindow);
    WaitUntilPasteTaken(sqlPlus, keysSent, text, copy);
  } else if (LastSystemError() != kErrorInvalidWindowHandle) {
    // Refused (a SQL*Plus with higher rights: ERROR_ACCESS_DENIED) or its
    // queue is full: the user pastes by hand. (Gone: nothing to tell.)
    Beep();
  }
  PutBack(copy);
}

// SQL*Plus takes an activation in its own thread, after whatever was sent to
// it before (a deactivation still pending from an earlier switch, say); keys
// typed before that is done may reach no window. A message sent now is
// answered only once that is behind it; then SQL*Plus must still be in front.
bool SqlPlusCaughtUp(WindowHandle sqlPlus) { return WindowAnswers(sqlPlus) && SqlPlusInFront(sqlPlus); }

// Activates a window and handles the events that follow; with `settle`, keeps
// it in front for a second (on a monotonic clock, so the wait ends on time
// also across midnight), activating it again after each 50 ms asleep, all
// messages handled meanwhile.
template <typename Activate>
void BringForward(Activate activate, bool settle) {
  activate();
  PumpPendingEvents();
  if (!settle) return;
  bool asleep = false;  // the first call comes before the first sleep
  WaitUntil(
      [&activate, &asleep] {
        if (asleep) activate();
        asleep = true;
        return false;
      },
      kSettleSeconds, kReactivateSeconds, Messages::kAll);
}

void PasteByKeystroke(WindowHandle sqlPlus, bool settle, const std::u16string& text, WindowHandle ownWindow) {
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
    Paste(sqlPlus, false, text, ownWindow);
    return;
  }
  BringForward([] { ActivateWindowByTitle(kSqlPlusTitle); }, settle);
  // Shift+Insert goes to whatever window is in front. When that is not
  // SQL*Plus (activation failed, or something else took the front), typing
  // would paste the statement into another program: post the paste command
  // to SQL*Plus instead. The same when the keys could not be sent at all,
  // or the user's own keys would turn them into another shortcut.
  const bool keysCanGo = ModifierKeysReleased() && WaitForSqlPlusInFront(sqlPlus) && SqlPlusCaughtUp(sqlPlus);
  Paste(sqlPlus, keysCanGo, text, ownWindow);
}

// SQL*Plus as a console program (sqlplus.exe in a command prompt or a
// terminal) has no window of its own to look for; SQLcl is served the same
// way. After both window searches found nothing: type the text into the
// console the user is looking at, of a running sqlplus.exe or SQLcl, if
// there is one. Whenever nothing is typed (no such console, or the search is
// turned off; nothing tells which of several consoles the user sees, or none
// is shown: a tab behind another, another virtual desktop), or the typing
// stops before the end, the program beeps: the text stays on the clipboard.
// Keystroke mode brings forward the window the console is shown in (a
// terminal's window for a tab, restored when minimised); either way the keys
// go into that console's input and nowhere else.
void DeliverToConsoleSqlPlus(const std::u16string& text, const DeliverySettings& settings, bool settle) {
  // No SQL*Plus anywhere: without the beep this would look like success.
  if (!settings.consoleSearch) {
    Beep();
    return;
  }
  std::vector<ConsoleProcess> consoles = FindConsoleProcesses(ConsoleProgram::kSqlPlus);
  for (ConsoleProcess& c : FindConsoleProcesses(ConsoleProgram::kSqlcl)) consoles.push_back(c);
  if (consoles.empty()) {
    Beep();
    return;
  }
  const std::vector<TopWindow> windows = VisibleTopWindows();
  const int chosen = ChooseConsole(consoles, windows);
  if (chosen < 0) {
    Beep();
    return;
  }
  const ConsoleProcess& target = consoles[static_cast<std::size_t>(chosen)];
  const WindowHandle host = HostWindowOf(target, windows);
  const bool tabAsSpace = target.program == ConsoleProgram::kSqlcl;
  const bool typedAll = TypeIntoConsoleOf(target, [&](const ConsoleKeyWriter& write) {
    if (settings.keystroke && host != 0) BringForward([host] { ActivateWindow(host); }, settle);
    // In pieces: a huge text never needs its keys all at once, and the
    // typing stops with the first piece that does not go in.
    std::size_t limit = kMaxKeysPerConsoleCall;
    std::vector<ConsoleKey> keys;
    keys.reserve(kMaxKeysPerConsoleCall);
    bool typed = true;
    for (std::size_t next = 0; next < text.size() && typed;) {
      keys.clear();
      next = AppendConsoleKeys(text, next, kMaxKeysPerConsoleCall, keys, tabAsSpace);
      typed = WriteConsoleKeysInPieces(keys, limit, write);
    }
    return typed;
  });
  // It ended meanwhile (nothing typed), or the typing stopped before the
  // end: the text stays on the clipboard.
  if (!typedAll) Beep();
}

// The delivery proper, while this program has its turn.
void DeliverInTurn(const std::u16string& text, WindowHandle ownWindow, bool settle) {
  // A paste after a failed write would make SQL*Plus run whatever the
  // clipboard held before: for marlet, the template the user has just
  // cancelled or edited. Nothing is pasted then.
  if (!ClipboardOffer(text)) return;

  const std::u16string sqlPlusClass = kSqlPlusClass;
  WindowHandle sqlPlus = WinFindWindow(&sqlPlusClass, kSqlPlusTitle);
  if (sqlPlus == 0) sqlPlus = WinFindWindow(nullptr, kSqlPlusTitle);
  // Read anew for every delivery, once SQL*Plus has been looked for.
  const DeliverySettings settings = ReadDeliverySettings(ownWindow);
  if (sqlPlus == 0) {
    // No paste to prove: the text is handed over to the clipboard at once,
    // so that no program reading it waits on this one while it types.
    ClipboardLetGo();
    DeliverToConsoleSqlPlus(text, settings, settle);
    return;
  }

  // Neither keys nor messages reach a SQL*Plus that runs with higher rights
  // (as administrator, say): the user pastes by hand.
  if (RunsWithHigherRights(sqlPlus)) {
    Beep();
    return;
  }

  if (settings.keystroke) {
    PasteByKeystroke(sqlPlus, settle, text, ownWindow);
  } else {
    Paste(sqlPlus, false, text, ownWindow);
  }
}

}  // namespace

void DeliverToSqlPlus(const std::u16string& text, WindowHandle ownWindow, bool settle) {
  // Two of our programs delivering at once (two tovrins started one right
  // after the other) would each replace the other's text on the clipboard
  // before SQL*Plus has taken it: one statement would run twice and the
  // other never. Each delivery runs in its turn, from writing the clipboard
  // until SQL*Plus has taken the paste; without the turn it writes nothing
  // and pastes nothing, and the user hears a beep.
  if (!TakeDeliveryTurn()) {
    Beep();
    return;
  }
  DeliverInTurn(text, ownWindow, settle);
  // The clipboard keeps the text after the program has ended.
  ClipboardLetGo();
  EndDeliveryTurn();
}
