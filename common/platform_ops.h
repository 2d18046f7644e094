// The desktop services the programs use. One implementation talks to Windows
// (platform_ops_win.cpp); the unit tests link a recording fake instead.
// Every operation reports failure through its result and never throws.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "console_choice.h"
#include "console_keys.h"
#include "platform_calls.h"

// Message box styles and answers the programs use.
constexpr int kMbYesNoCancelQuestion = 35;
constexpr int kMbOkExclamation = 48;
constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;
constexpr int kIdYes = 6;
constexpr int kIdNo = 7;

// Modal; returns the button pressed (6 Yes, 7 No, 2 Cancel, also for Esc and
// the close box, 1 OK), or 0 when the box could not be shown.
int ShowMessageBox(const std::u16string& text, int style, const std::u16string& title);

// Modal input box, centred, with the default text selected. Returns the text
// when confirmed; the empty text when cancelled or confirmed empty.
std::u16string ShowInputBox(const std::u16string& prompt, const std::u16string& title,
                            const std::u16string& defaultText);

// Brings to the front the top-level window whose title equals `title`, or
// failing that one whose title begins with it. Does not wait. False when no
// such window exists or it could not be activated.
bool ActivateWindowByTitle(const std::u16string& title);

// Queues keys to the foreground window without waiting. Only "+{INSERT}"
// (Shift+Insert), exactly so written, is sent; any other text sends nothing
// and fails.
// Also false when the system took none of the keys, or only Shift (which is
// then released): the paste key did not go out.
bool SendKeystrokes(const std::u16string& keys);

// Handles the window messages waiting for this thread, then returns.
void PumpPendingEvents();

// A monotonic clock in seconds, for waits that must not jump at midnight.
double MonotonicSeconds();

// Puts text on the clipboard as plain (Unicode) text, replacing what it held.
bool ClipboardSetText(const std::u16string& text);

// The delivery's offer -------------------------------------------------------
// A delivery offers its text on the clipboard instead of writing it: the
// clipboard lists plain text (with the system's locale), and the text itself
// is handed over only when a program reads it. That read is how the delivery
// learns that SQL*Plus has taken its paste (see delivery.cpp). The content
// carries the formats that keep it out of the clipboard history, the cloud
// clipboard and other clipboard monitors.

// A copy of text only (plain text in any of its forms, and its locale).
struct ClipboardText {
  std::u16string text;
  std::uint32_t locale = 0;  // 0: none known
};

// Empties the clipboard and offers `text` on it; `text` must stay as it is
// until ClipboardLetGo. False, and the clipboard as it was, when it cannot
// be used.
bool ClipboardOffer(const std::u16string& text);

// What has become of the latest offer.
struct OfferNews {
  bool onClipboard = false;  // nobody else has put anything on the clipboard since
  int reads = 0;             // times a program read it (the text was handed over)
  int readsElsewhere = 0;    // of those, reads by a program known not to be the
                             // one of the window `reader`
};
OfferNews ClipboardOfferNews(WindowHandle reader);

// How a change of the clipboard in place of the latest offer went.
enum class ClipboardChange {
  kDone,
  kLeftAlone,  // someone else's content is there, which must stay
  kBusy,       // the clipboard could not be used just now (held by another
               // program for longer than one call tries)
};

// Offers `text` again, in one opening of the clipboard: in place of the
// latest offer, or of what someone else has put on the clipboard since, when
// that is text only (plain text in any of its forms and its locale, or
// nothing at all); that text then goes to `aside` and `keptAside` is set.
// Anything else (a picture, files, formatted text, or content whose owner
// does not answer) is left alone.
ClipboardChange ClipboardOfferAgain(const std::u16string& text, ClipboardText& aside, bool& keptAside);

// Puts `aside` back in place of the latest offer; left alone when someone
// else has put something on the clipboard since the offer.
ClipboardChange ClipboardPutBack(const ClipboardText& aside);

// Hands over the text of the latest offer where it is still unread on the
// clipboard, so that the clipboard keeps it after this program has ended,
// and gives up the window that offered it. A program that has offered must
// call it before it ends.
void ClipboardLetGo();

// Reads the clipboard's plain text into `out`. Returns false only when the
// clipboard could not be read (e.g. another program holds it open); a
// clipboard without text gives true and the empty text.
bool ClipboardGetText(std::u16string& out);

// The default system sound.
void Beep();

// Full path of the current directory; empty on failure.
std::u16string CurrentDirectory();

// The window in front and a window's title, for checking where a keystroke
// would go. No window (0) is in front while the front window's thread has
// not yet taken the keyboard focus: a key typed then reaches no window.
WindowHandle ForegroundWindow();
std::u16string WindowTitle(WindowHandle window);

// Reads a whole file into `out`. False when it cannot be opened or read
// (missing, locked, a directory).
bool ReadFileBytes(const std::u16string& path, std::string& out);

// True when the window answers a message within about a second (or no longer
// exists); false when its thread is busy or hung, so that nothing should wait
// on it.
bool WindowAnswers(WindowHandle window);

// How a window of another program took a harmless message sent to it.
enum class WindowReply {
  kAnswered,  // answered within about a second, or the window is gone
  kHung,      // no answer in time, or the system counts the window hung
  kRefused,   // the system would not deliver it (the window's program runs
              // with higher rights than ours): nothing we send reaches it
};
WindowReply AskWindow(WindowHandle window);

// True when the program of `window` runs with higher rights than ours (a
// higher integrity level): the system then drops the messages and keys we
// send it. False where that cannot be told (Windows XP has no integrity
// levels).
bool RunsWithHigherRights(WindowHandle window);

// Waits up to `seconds` without using the processor, handling this
// thread's window messages as they arrive; returns when the time is up.
void WaitHandlingEvents(double seconds);

// True while Ctrl, Alt, Shift or a Windows key is held down on the keyboard.
bool ModifierKeysDown();

// Deliveries of all our running programs in this session, one at a time.
// TakeDeliveryTurn waits for the running one to end, asleep and handling
// events meanwhile, for kDeliveryTurnWaitSeconds at most; false when the
// turn did not come in that time (nothing may then be written or pasted).
// Where there is no turn to be had for another reason (the system is out of
// resources), the delivery goes ahead without it: true. EndDeliveryTurn lets
// the next one go; it does nothing when no turn is held. A turn taken while
// this program holds one already nests: the last End lets go.
//
// A delivery holds the turn until SQL*Plus has taken its paste. While
// SQL*Plus answers, that takes some 10 s at the most (a keystroke delivery:
// the answer check 1 s, the settling second, held keys up to 1 s, the front
// check 0.5 s, the caught-up check 1 s, the keys' way past the keyboard
// hooks 2 s, three answers up to 3 s, and the clipboard's own tries); the
// wait is three times that. A SQL*Plus that runs a long statement holds the
// turn for as long as it runs.
constexpr double kDeliveryTurnWaitSeconds = 30.0;
bool TakeDeliveryTurn();
void EndDeliveryTurn();

// The error code of the last system call that failed in this thread.
std::uint32_t LastSystemError();
constexpr std::uint32_t kErrorInvalidWindowHandle = 1400;  // the window is gone

// Takes the program's own window out of sight (nothing when it is not
// shown, or is 0).
void HideWindow(WindowHandle window);

// Console programs ----------------------------------------------------------
// A console program's window is its console's (conhost.exe's or a terminal's),
// known only while attached to that console. Text reaches such a program by
// key presses written to its console's input.

// The running programs of the kind asked for that have a console, each with
// its console's window, that window's root owner and the console's title.
// sqlplus.exe is known by its file name (any letter case); SQLcl by its
// launcher sql.exe whose folder's parent holds lib\dbtools-sqlcl.jar (a
// sql.exe elsewhere, or whose file cannot be located, is left out).
// Programs that cannot be opened or whose console cannot be attached
// (another user's, an elevated one) are left out without a word.
std::vector<ConsoleProcess> FindConsoleProcesses(ConsoleProgram program);

// The visible top-level windows, from the top of the Z order down, each
// with its class, its title, its owner and whether it is minimised, a tool
// window or cloaked.
std::vector<TopWindow> VisibleTopWindows();

// Attaches this program to the console of `process` (leaving any console of
// its own first) and opens that console's input. The console's control events
// (Ctrl+C, Ctrl+Break) are ignored while attached. False, and not attached,
// when the process has ended, its id now belongs to another process, or its
// console cannot be attached or opened.
bool AttachToConsoleOf(const ConsoleProcess& process);

// Writes keys[0..count) into the attached console's input in one call, one
// input record per key, unless the attached process has ended: then the
// console may serve another program (the command prompt it was started
// from), and nothing is written. Returns at once: the keys wait in the input
// until the program reads them. `written` is how many of the first keys the
// console took (it may take fewer than asked).
ConsoleWrite WriteConsoleKeys(const ConsoleKey* keys, std::size_t count, std::size_t& written);

// Closes the console input and leaves the console.
void DetachFromConsole();

// Brings a visible top-level window to the front by its handle, without
// waiting. False when it does not exist, is not visible or could not be
// brought forward.
bool ActivateWindow(WindowHandle window);
