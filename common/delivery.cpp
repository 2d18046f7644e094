#include "delivery.h"

#include <vector>

#include "console_choice.h"
#include "console_keys.h"
#include "platform_ops.h"
#include "settings.h"

const char16_t kSqlPlusClass[] = u"sqlplusWClass";
const char16_t kSqlPlusTitle[] = u"Oracle SQL*Plus";

namespace {

constexpr double kSettleSeconds = 1.0;
const char16_t kPasteKeys[] = u"+{INSERT}";

void PostPasteCommand(WindowHandle sqlPlus) { WinPostMessage(sqlPlus, kWmCommand, kSqlPlusPasteCommand, 0); }

// How long to let an activation that is still under way complete before the
// keystroke is given up for the paste command.
constexpr double kFrontWaitSeconds = 0.5;

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
    PumpPendingEvents();
  }
  return true;
}

// SQL*Plus takes an activation in its own thread, after whatever was sent to
// it before (a deactivation still pending from an earlier switch, say); keys
// typed before that is done may reach no window. A message sent now is
// answered only once that is behind it; then SQL*Plus must still be in front.
bool SqlPlusCaughtUp(WindowHandle sqlPlus) { return WindowAnswers(sqlPlus) && SqlPlusInFront(sqlPlus); }

// Activates a window and handles the events that follow; with `settle`, keeps
// it in front for a second (on a monotonic clock, so the wait ends on time
// also across midnight).
template <typename Activate>
void BringForward(Activate activate, bool settle) {
  activate();
  PumpPendingEvents();
  if (!settle) return;
  const double start = MonotonicSeconds();
  while (MonotonicSeconds() <= start + kSettleSeconds) {
    activate();
    PumpPendingEvents();
  }
}

void PasteByKeystroke(WindowHandle sqlPlus, bool settle) {
  // A SQL*Plus that is busy or hung would hold the activation (and this
  // program) for as long as it does not answer, and a keystroke would not
  // reach it anyway: it gets the paste command, which it takes when it wakes.
  if (!WindowAnswers(sqlPlus)) {
    PostPasteCommand(sqlPlus);
    return;
  }
  BringForward([] { ActivateWindowByTitle(kSqlPlusTitle); }, settle);
  // Shift+Insert goes to whatever window is in front. When that is not
  // SQL*Plus (activation failed, or something else took the front), typing
  // would paste the statement into another program: post the paste command
  // to SQL*Plus instead. The same when the keys could not be sent at all.
  if (!(WaitForSqlPlusInFront(sqlPlus) && SqlPlusCaughtUp(sqlPlus) && SendKeystrokes(kPasteKeys))) {
    PostPasteCommand(sqlPlus);
  }
  PumpPendingEvents();
}

// SQL*Plus as a console program (sqlplus.exe in a command prompt or a
// terminal) has no window of its own to look for; SQLcl is served the same
// way.
const char16_t kConsoleKey[] = u"console";  // "no" turns the console search off

// After both window searches found nothing: type the text into the console
// the user is looking at, of a running sqlplus.exe or SQLcl, if there is
// one. When nothing tells which of several consoles the user sees, nothing is
// typed anywhere and the program beeps: the text stays on the clipboard.
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
  if (chosen == kAmbiguousConsole) Beep();
  if (chosen < 0) return;
  const ConsoleProcess& target = consoles[static_cast<std::size_t>(chosen)];
  const WindowHandle host = HostWindowOf(target, windows);
  const bool keystroke = ReadIniString(iniName, kSettingsSection, kSettingsKey, true) == u"yes";
  if (!AttachToConsoleOf(target)) return;  // it ended meanwhile: the text stays on the clipboard
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

}  // namespace

void DeliverToSqlPlus(const std::u16string& text, WindowHandle ownWindow, bool settle) {
  // A paste after a failed write would make SQL*Plus run whatever the
  // clipboard held before: for marlet, the template the user has just
  // cancelled or edited. Nothing is pasted then.
  if (!ClipboardSetText(text)) return;

  const std::u16string sqlPlusClass = kSqlPlusClass;
  WindowHandle sqlPlus = WinFindWindow(&sqlPlusClass, kSqlPlusTitle);
  if (sqlPlus == 0) sqlPlus = WinFindWindow(nullptr, kSqlPlusTitle);
  if (sqlPlus == 0) {
    DeliverToConsoleSqlPlus(text, ownWindow, settle);
    return;
  }

  const std::u16string iniName = GetIniName(ownWindow, kSettingsPath, kSettingsPath);
  const std::u16string mode = ReadIniString(iniName, kSettingsSection, kSettingsKey, true);
  if (mode == u"yes") {
    PasteByKeystroke(sqlPlus, settle);
  } else {
    PostPasteCommand(sqlPlus);
  }
}
