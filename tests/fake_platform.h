// The fakes of the Windows seam for the native tests: one world that one
// fake per seam header works on, each in a file of its own:
//   fake_calls.cpp             platform_entries.h: the entry points behind the
//                              platform call layer (versions, module names,
//                              profiles, FindWindow, PostMessage, GetWindowLong)
//   fake_clipboard.cpp         clipboard.h
//   fake_windows_and_keys.cpp  windows_and_keys.h
//   fake_console.cpp           console.h
//   fake_waiting.cpp           waiting.h
//   fake_boxes.cpp             boxes.h and input_box.h
//   fake_files.cpp             files.h
// and SQL*Plus as they let it act (fake_platform.cpp). Tests set the world
// up, and read from it what the user and SQL*Plus would see: what SQL*Plus
// pasted and how it was told to, what the clipboard holds, what was typed
// into a console. Every operation is also appended to fake::State().calls as
// readable UTF-8 ("ClipboardOffer(select 1)", "Beep()"), for the boxes and
// beeps the user met, and for onCall, which changes the world at a moment.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "console_choice.h"
#include "window_handle.h"

namespace fake {

struct World {
  std::vector<std::string> calls;

  // Clipboard: the plain text a reader gets, and whether it holds anything
  // else besides (a picture, say; UserCopiesPicture() leaves no text).
  std::u16string clipboard;
  bool clipboardHoldsMore = false;
  std::uint32_t clipboardLocale = 0;
  bool clipboardReadFails = false;
  bool clipboardWriteFails = false;
  int clipboardWrites = 0;
  // The latest offer of a delivery: on the clipboard (its text is
  // `clipboard`) until someone else puts something there, read once a
  // program has read it; reads by programs other than SQL*Plus counted apart.
  bool offerOnClipboard = false;
  bool offerRead = false;
  int offerReads = 0;
  int offerReadsElsewhere = 0;
  bool letGo = false;  // ClipboardLetGo since the last offer
  // The clipboard is held by another program for this many of the next
  // changes in place of the offer (ClipboardOfferAgain, ClipboardPutBack).
  int clipboardBusyChanges = 0;
  // A clipboard history that reads every offer at once (before the paste,
  // unless the paste follows without a pause).
  bool historyReadsOffers = false;
  bool historyReadPending = false;

  // What SQL*Plus does with a paste it is handed (the posted command, or the
  // keys while it is in front).
  enum class Takes {
    kAtOnce,             // reads the clipboard as soon as it runs
    kAfterBusy,          // stops answering for `busySeconds`, then reads it
    kNeverButAnswers,    // never reads (the paste went elsewhere) but answers
    kNeverThenGoes,      // stops answering and is closed after `busySeconds`
  };
  Takes sqlPlusTakes = Takes::kAtOnce;
  double busySeconds = 3;
  // How each paste reached SQL*Plus, in order: "keys" (Shift+Insert typed
  // while it was in front) or "command" (its paste command posted), and
  // when the latest did; Shift+Insert typed into another window.
  std::vector<std::string> handed;
  double handedAt = -1;
  int keysElsewhere = 0;
  // The texts SQL*Plus has pasted, in order.
  std::vector<std::u16string> pasted;
  // A paste handed over and not read yet: read at this time (-1: none).
  double pasteReadAt = -1;
  // SQL*Plus does not answer until this time; its window goes at goneAt.
  double sqlPlusBusyUntil = 0;
  double sqlPlusGoneAt = -1;

  // Boxes: answers are taken from the front; when none is left, message
  // boxes answer 2 (Cancel) and input boxes the empty text.
  std::deque<int> messageBoxAnswers;
  std::deque<std::u16string> inputBoxAnswers;

  // Windows: title -> handle, and for FindWindow the class of each handle.
  std::map<std::u16string, WindowHandle> windowsByTitle;
  std::map<WindowHandle, std::u16string> classOf;
  WindowHandle foreground = 0;
  std::vector<WindowHandle> broughtForward;  // by each activation that did
  bool activationFails = false;  // activation reports failure and changes nothing
  bool keystrokesRefused = false;  // the system takes none of the keys

  // Clock: MonotonicSeconds returns `now`, then adds `tick`.
  double now = 1000.0;
  double tick = 0.01;

  // Files read by ReadFileBytes: path -> bytes; a missing path fails.
  std::map<std::u16string, std::string> files;
  std::u16string currentDirectory = u"C:\\work";

  // Entry points.
  std::int32_t platformId = 2;         // reported by GetVersionEx
  bool versionQueryFails = false;      // GetVersionExA returns 0
  bool versionAMissing = false;        // no GetVersionExA entry at all
  std::u16string modulePath = u"C:\\Program Files\\vorn3\\tovrin.exe";
  bool moduleLookupFails = false;
  // INI contents: file -> section -> key -> value (raw, as in the file).
  std::map<std::u16string, std::map<std::u16string, std::map<std::u16string, std::u16string>>> ini;
  std::intptr_t instanceHandle = 0x400000;

  // Windows whose thread does not answer (WindowAnswers gives false).
  std::vector<WindowHandle> hungWindows;
  // Windows that the system refuses messages to (AskWindow), and windows of
  // programs that run with higher rights than ours.
  std::vector<WindowHandle> refusedWindows;
  std::vector<WindowHandle> higherRightsWindows;

  // ModifierKeysDown() answers true until the clock reaches this time.
  double modifierKeysUpAt = 0;
  int deliveryTurns = 0;  // TakeDeliveryTurn calls not yet ended
  int turnsTaken = 0;     // of those, taken while no turn was held
  bool deliveryTurnRefused = false;  // TakeDeliveryTurn waits in vain
  // Clipboard reads and changes, and pastes, made without the turn.
  int outsideTurn = 0;
  std::uint32_t lastError = 0;       // LastSystemError
  std::vector<WindowHandle> hidden;  // HideWindow

  // Called after each recorded call, for tests that change the world while
  // an operation runs (e.g. a window that closes during the settling wait).
  std::function<void(const std::string& call)> onCall;

  // Console programs: FindConsoleProcesses lists the running ones of the
  // name asked for that can be attached; the keys typed into each console
  // collect in `typed` (Enter as CR).
  struct Console {
    std::u16string exeName = u"sqlplus.exe";
    std::uint32_t processId = 0;
    std::uint64_t startTime = 0;
    WindowHandle window = 0;
    int zOrder = -1;
    bool attachable = true;
    WindowHandle rootOwner = 0;  // 0: the window itself (no owner)
    std::u16string title;        // the console's title
    bool minimised = false;      // its window, when visible
    bool running = true;
    std::u16string typed;
  };
  std::vector<Console> consoles;
  std::uint32_t attachedTo = 0;  // 0: not attached
  // Visible top-level windows other than the consoles' own (those with a
  // zOrder take that place), by place in the Z order, 0 the topmost.
  std::map<int, TopWindow> topWindows;
  // A console refuses a write of more keys than this for want of memory,
  // and takes at most writeTakesAtMost keys of a write.
  std::size_t refuseWritesAbove = static_cast<std::size_t>(-1);
  std::size_t writeTakesAtMost = static_cast<std::size_t>(-1);
};

// The fake's state; Reset() gives a fresh world and installs the fake entry
// points into the platform call layer (which also forgets its cached id).
World& State();
void Reset();

// Appends a call to the log (and runs onCall).
void Record(const std::string& call);
// Installs the fake entry points again after a test changed versionAMissing.
void Reinstall();

// The user copies something: text only, or a picture (no text at all).
void UserCopies(const std::u16string& text);
void UserCopiesPicture();

// SQL*Plus's side. IsSqlPlus: the window is its main window. HandPaste: a
// paste reaches it ("keys" or "command"), to be taken as the test scripted.
// SqlPlusRuns: it reads a paste that is due, closes when its time has come;
// the fake's waits call it, tests may too.
bool IsSqlPlus(WindowHandle window);
void HandPaste(const char* how);
void SqlPlusRuns();
// Counts a clipboard read or change, or a paste, made without the turn.
void NoteTurn();

// Count of recorded calls that begin with `prefix`.
int Count(const std::string& prefix);
// Index of the first recorded call that begins with prefix at or after from, or -1.
int Find(const std::string& prefix, int from = 0);

}  // namespace fake
