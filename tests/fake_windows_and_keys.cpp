// Windows and keys of the fake world: activation, the paste keys, and how
// the windows answer. (FindWindow and PostMessage are entry points of the
// platform call layer: fake_calls.cpp.)
#include <algorithm>

#include "fake_platform.h"
#include "text.h"
#include "windows_and_keys.h"

using fake::State;

namespace {

bool Listed(const std::vector<WindowHandle>& list, WindowHandle window) {
  return std::find(list.begin(), list.end(), window) != list.end();
}

bool BringForward(WindowHandle window) {
  State().foreground = window;
  State().broughtForward.push_back(window);
  return true;
}

// Asks a window as SendMessageTimeout does: a window that does not answer
// takes the whole second of the time-out; a window that is gone answers.
WindowReply Ask(WindowHandle window) {
  fake::SqlPlusRuns();
  fake::World& w = State();
  if (Listed(w.refusedWindows, window)) return WindowReply::kRefused;
  const bool busy = fake::IsSqlPlus(window) && w.now < w.sqlPlusBusyUntil;
  if (!Listed(w.hungWindows, window) && !busy) return WindowReply::kAnswered;
  w.now += 1.0;
  return WindowReply::kHung;
}

}  // namespace

bool ActivateWindowByTitle(const std::u16string& title) {
  fake::Record("ActivateWindowByTitle(" + text::ToUtf8(title) + ")");
  fake::World& w = State();
  if (w.activationFails) return false;
  const auto exact = w.windowsByTitle.find(title);
  if (exact != w.windowsByTitle.end()) return BringForward(exact->second);
  for (const auto& it : w.windowsByTitle) {
    if (text::StartsWith(it.first, title)) return BringForward(it.second);
  }
  return false;
}

bool ActivateWindow(WindowHandle window) {
  fake::Record("ActivateWindow(" + std::to_string(window) + ")");
  if (window == 0 || State().activationFails) return false;
  return BringForward(window);
}

bool SendPasteKeys() {
  fake::Record("SendPasteKeys()");
  if (State().keystrokesRefused) return false;
  if (fake::IsSqlPlus(State().foreground)) {
    fake::HandPaste("keys");
  } else {
    ++State().keysElsewhere;
  }
  return true;
}

bool ModifierKeysDown() {
  fake::Record("ModifierKeysDown()");
  return State().now < State().modifierKeysUpAt;
}

WindowHandle ForegroundWindow() { return State().foreground; }

std::u16string WindowTitle(WindowHandle window) {
  for (const auto& it : State().windowsByTitle) {
    if (it.second == window) return it.first;
  }
  return std::u16string();
}

bool WindowAnswers(WindowHandle window) {
  fake::Record("WindowAnswers(" + std::to_string(window) + ")");
  return Ask(window) != WindowReply::kHung;
}

WindowReply AskWindow(WindowHandle window) {
  fake::Record("AskWindow(" + std::to_string(window) + ")");
  return Ask(window);
}

bool RunsWithHigherRights(WindowHandle window) {
  fake::Record("RunsWithHigherRights(" + std::to_string(window) + ")");
  return Listed(State().higherRightsWindows, window);
}

std::uint32_t LastSystemError() { return State().lastError; }

void HideWindow(WindowHandle window) {
  fake::Record("HideWindow(" + std::to_string(window) + ")");
  State().hidden.push_back(window);
}
