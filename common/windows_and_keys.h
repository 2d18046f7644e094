// Other programs' windows and the keyboard: finding a window and posting to
// it (the platform call layer's WinFindWindow and WinPostMessage), bringing
// it to the front, typing the paste keys, and asking how it answers.
// Implemented for Windows in windows_and_keys_win.cpp (the two wrappers in
// platform_calls.cpp); the unit tests link a fake.
#pragma once

#include <cstdint>
#include <string>

#include "platform_calls.h"
#include "window_handle.h"

constexpr std::uint32_t kWmCommand = 273;

// Brings to the front the top-level window whose title equals `title`, or
// failing that one whose title begins with it. Does not wait. False when no
// such window exists or it could not be activated.
bool ActivateWindowByTitle(const std::u16string& title);

// Brings a visible top-level window to the front by its handle, without
// waiting. False when it does not exist, is not visible or could not be
// brought forward.
bool ActivateWindow(WindowHandle window);

// Queues the paste keys, Shift+Insert, to the foreground window without
// waiting. False when the system took none of the keys, or only Shift (which
// is then released): the paste key did not go out.
bool SendPasteKeys();

// True while Ctrl, Alt, Shift or a Windows key is held down on the keyboard.
bool ModifierKeysDown();

// The window in front and a window's title, for checking where a keystroke
// would go. No window (0) is in front while the front window's thread has
// not yet taken the keyboard focus: a key typed then reaches no window.
WindowHandle ForegroundWindow();
std::u16string WindowTitle(WindowHandle window);

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

// The error code of the last system call that failed in this thread.
std::uint32_t LastSystemError();
constexpr std::uint32_t kErrorInvalidWindowHandle = 1400;  // the window is gone

// Takes the program's own window out of sight (nothing when it is not
// shown, or is 0).
void HideWindow(WindowHandle window);
