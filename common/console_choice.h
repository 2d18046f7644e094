// Which of several running console programs receives the text: the one in
// the console the user is looking at.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "window_handle.h"

// The console programs the text may go to.
enum class ConsoleProgram {
  kSqlPlus,  // sqlplus.exe
  kSqlcl,    // SQLcl (sql.exe beside its own library), whose line editor
             // takes Tab as completion
};

// A running program with a console that could take the text.
struct ConsoleProcess {
  std::uint32_t processId;
  // When it started, in any unit that grows with time (for a reused process
  // id, the start time tells the new process from the old one).
  std::uint64_t startTime;
  // Its console's window (0 when the console has none), that window's root
  // owner (GetAncestor GA_ROOTOWNER: the window itself when it has no owner,
  // 0 when unknown) and the console's title (empty when unknown), all learnt
  // while attached.
  WindowHandle consoleWindow;
  WindowHandle rootOwner;
  std::u16string consoleTitle;
  ConsoleProgram program;
};

// A visible top-level window, as listed from the top of the Z order down.
struct TopWindow {
  WindowHandle window;
  bool minimised;
  std::u16string className;
  std::u16string title;
  WindowHandle owner = 0;   // its owner window (GW_OWNER), 0 for none
  bool toolWindow = false;  // WS_EX_TOOLWINDOW: no button in the taskbar
  // Kept off the screen by the shell though visible (on another virtual
  // desktop, say: DWMWA_CLOAKED); false where Windows cannot tell.
  bool cloaked = false;
};

// Windows Terminal's top-level windows.
extern const char16_t kTerminalWindowClass[];
// The window a pseudo console keeps for the programs that ask for their
// console's window: never one the user reads the console in, even when its
// terminal shows it (0 x 0, owned by the terminal's window).
extern const char16_t kPseudoConsoleWindowClass[];

// The window the user sees a console in, from the visible top-level windows:
// the console's own window when it is a classic console window (listed, not
// a pseudo-console window, owned by no window, no tool window); else the
// root owner of the console's window when that is listed (a terminal that
// owns its pseudo windows); else the one terminal window whose title equals
// the console's title, when exactly one does. An owned window, a tool window
// or a pseudo-console window is never a host. 0 when none is found.
WindowHandle HostWindowOf(const ConsoleProcess& console, const std::vector<TopWindow>& windows);

// Choosing found nobody; found several with nothing to tell which one the
// user sees; or found none the user can be looking at.
constexpr int kNoConsole = -1;
constexpr int kAmbiguousConsole = -2;
constexpr int kConsoleNotShown = -3;

// The index of the console to serve. Not served: a console shown in a
// terminal (its host found by owner or by title) unless it is the tab in
// front, whose title equals the host's; a console whose host is cloaked (on
// another virtual desktop); a console whose window is owned by a window
// that is not shown (a hidden terminal). The rest rank by their host
// window: shown first, then minimised, each by its place in the Z order;
// several consoles in the best host (processes sharing a console, tabs of
// one title) are told apart by the title as tabs are. A single candidate
// with no host found at all is served (in a terminal whose windows tell
// nothing, or a console kept hidden). Two or more at the top that nothing
// tells apart, or several with no host, give kAmbiguousConsole; candidates
// none of which may be served give kConsoleNotShown; no candidate gives
// kNoConsole.
int ChooseConsole(const std::vector<ConsoleProcess>& candidates, const std::vector<TopWindow>& windows);
