// Which of several running console programs receives the text: the one in
// the console the user is looking at.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform_calls.h"

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

// The window the user sees a console in, from the visible top-level windows:
// the console's own window when it is visible (a classic console); else,
// for a hidden pseudo-console window, its root owner when that is a visible
// window (a terminal that owns its pseudo windows); else the one terminal
// window whose title equals the console's title, when exactly one does.
// 0 when none of these is found.
WindowHandle HostWindowOf(const ConsoleProcess& console, const std::vector<TopWindow>& windows);

// Choosing found nobody, or found several with nothing to tell which one the
// user sees.
constexpr int kNoConsole = -1;
constexpr int kAmbiguousConsole = -2;

// The index of the console to serve. One candidate alone is served
// whatever its window. Otherwise candidates rank by their host window:
// visible and not minimised first, then minimised, each by its place in the
// Z order; no host window last. Several consoles in the best host are tabs
// of one terminal: the tab in front is the one whose title equals the
// host's title, and it alone is chosen. Two or more at the top that nothing
// tells apart (tabs of one title, or consoles with no host window) give
// kAmbiguousConsole; no candidate gives kNoConsole.
int ChooseConsole(const std::vector<ConsoleProcess>& candidates, const std::vector<TopWindow>& windows);
