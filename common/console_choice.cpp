#include "console_choice.h"

const char16_t kTerminalWindowClass[] = u"CASCADIA_HOSTING_WINDOW_CLASS";
const char16_t kPseudoConsoleWindowClass[] = u"PseudoConsoleWindow";

namespace {

// The place of `window` among the visible top-level windows, or -1.
int PlaceOf(WindowHandle window, const std::vector<TopWindow>& windows) {
  if (window == 0) return -1;
  for (std::size_t i = 0; i < windows.size(); ++i) {
    if (windows[i].window == window) return static_cast<int>(i);
  }
  return -1;
}

// A window a console can be read in: not owned, no tool window, no
// pseudo-console window.
bool CanHost(const TopWindow& w) {
  return w.owner == 0 && !w.toolWindow && w.className != kPseudoConsoleWindowClass;
}

// Where a console is shown: the host's place (-1 for none), and whether
// the host is a terminal (found by owner or by title) rather than the
// console's own window.
struct Host {
  int place;
  bool terminal;
};

Host HostOf(const ConsoleProcess& console, const std::vector<TopWindow>& windows) {
  const int own = PlaceOf(console.consoleWindow, windows);
  if (own >= 0 && CanHost(windows[static_cast<std::size_t>(own)])) return {own, false};
  if (console.rootOwner != console.consoleWindow) {
    const int owner = PlaceOf(console.rootOwner, windows);
    if (owner >= 0 && CanHost(windows[static_cast<std::size_t>(owner)])) return {owner, true};
  }
  int found = -1;
  for (std::size_t i = 0; i < windows.size(); ++i) {
    const TopWindow& w = windows[i];
    if (w.className == kTerminalWindowClass && CanHost(w) && !console.consoleTitle.empty() &&
        w.title == console.consoleTitle) {
      if (found >= 0) return {-1, false};
      found = static_cast<int>(i);
    }
  }
  return {found, found >= 0};
}

}  // namespace

WindowHandle HostWindowOf(const ConsoleProcess& console, const std::vector<TopWindow>& windows) {
  const int place = HostOf(console, windows).place;
  return place >= 0 ? windows[static_cast<std::size_t>(place)].window : 0;
}

int ChooseConsole(const std::vector<ConsoleProcess>& candidates, const std::vector<TopWindow>& windows) {
  if (candidates.empty()) return kNoConsole;
  const int count = static_cast<int>(windows.size());
  // Lower ranks first: a shown host by its Z place, then a minimised one.
  // -1 for a console the user cannot be looking at, -2 for no host.
  std::vector<int> ranks(candidates.size());
  int best = -1;
  bool hidden = false;
  for (std::size_t i = 0; i < candidates.size(); ++i) {
    const ConsoleProcess& c = candidates[i];
    const Host host = HostOf(c, windows);
    int rank = -2;
    if (host.place >= 0) {
      const TopWindow& w = windows[static_cast<std::size_t>(host.place)];
      const bool behind = host.terminal && (c.consoleTitle.empty() || c.consoleTitle != w.title);
      rank = w.cloaked || behind ? -1 : w.minimised ? count + host.place : host.place;
    } else if (c.rootOwner != 0 && c.rootOwner != c.consoleWindow) {
      rank = -1;  // owned by a window that is not shown: a hidden terminal
    }
    ranks[i] = rank;
    if (rank == -1) hidden = true;
    if (rank >= 0 && (best < 0 || rank < best)) best = rank;
  }
  if (best < 0) {
    if (candidates.size() == 1 && ranks[0] == -2) return 0;
    return hidden ? kConsoleNotShown : kAmbiguousConsole;
  }
  // Several consoles in the best host (tabs of a terminal, or programs
  // sharing one console): the one in front gives the host its title (an
  // empty title tells nothing).
  const std::u16string& hostTitle = windows[static_cast<std::size_t>(best % count)].title;
  int atTop = 0, only = 0, inFront = 0, front = 0;
  for (std::size_t i = 0; i < candidates.size(); ++i) {
    if (ranks[i] != best) continue;
    ++atTop;
    only = static_cast<int>(i);
    if (!hostTitle.empty() && candidates[i].consoleTitle == hostTitle) {
      ++inFront;
      front = static_cast<int>(i);
    }
  }
  if (atTop == 1) return only;
  return inFront == 1 ? front : kAmbiguousConsole;
}
