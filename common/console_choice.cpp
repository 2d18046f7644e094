#include "console_choice.h"

const char16_t kTerminalWindowClass[] = u"CASCADIA_HOSTING_WINDOW_CLASS";

namespace {

// The place of `window` among the visible top-level windows, or -1.
int PlaceOf(WindowHandle window, const std::vector<TopWindow>& windows) {
  if (window == 0) return -1;
  for (std::size_t i = 0; i < windows.size(); ++i) {
    if (windows[i].window == window) return static_cast<int>(i);
  }
  return -1;
}

// Lower ranks first: a shown host by its Z place, then a minimised one,
// then none.
long long RankOf(int place, const std::vector<TopWindow>& windows) {
  const long long count = static_cast<long long>(windows.size());
  if (place < 0) return 2 * count;
  return windows[static_cast<std::size_t>(place)].minimised ? count + place : place;
}

}  // namespace

WindowHandle HostWindowOf(const ConsoleProcess& console, const std::vector<TopWindow>& windows) {
  if (PlaceOf(console.consoleWindow, windows) >= 0) return console.consoleWindow;
  if (console.rootOwner != console.consoleWindow && PlaceOf(console.rootOwner, windows) >= 0) {
    return console.rootOwner;
  }
  WindowHandle found = 0;
  int matches = 0;
  for (const TopWindow& w : windows) {
    if (w.className == kTerminalWindowClass && !console.consoleTitle.empty() && w.title == console.consoleTitle) {
      found = w.window;
      ++matches;
    }
  }
  return matches == 1 ? found : 0;
}

int ChooseConsole(const std::vector<ConsoleProcess>& candidates, const std::vector<TopWindow>& windows) {
  if (candidates.empty()) return kNoConsole;
  if (candidates.size() == 1) return 0;
  std::vector<int> places;
  long long best = -1;
  for (const ConsoleProcess& c : candidates) {
    places.push_back(PlaceOf(HostWindowOf(c, windows), windows));
    const long long rank = RankOf(places.back(), windows);
    if (best < 0 || rank < best) best = rank;
  }
  std::vector<int> top;
  for (std::size_t i = 0; i < candidates.size(); ++i) {
    if (RankOf(places[i], windows) == best) top.push_back(static_cast<int>(i));
  }
  if (top.size() == 1) return top[0];
  const int place = places[static_cast<std::size_t>(top[0])];
  if (place < 0) return kAmbiguousConsole;  // several with no host window
  // Tabs of one host: the one in front gives the host its title (an empty
  // title tells nothing).
  const std::u16string& hostTitle = windows[static_cast<std::size_t>(place)].title;
  if (hostTitle.empty()) return kAmbiguousConsole;
  int front = kAmbiguousConsole;
  for (int i : top) {
    if (candidates[static_cast<std::size_t>(i)].consoleTitle != hostTitle) continue;
    if (front != kAmbiguousConsole) return kAmbiguousConsole;
    front = i;
  }
  return front;
}
