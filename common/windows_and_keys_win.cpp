// Other programs' windows and the keyboard on Windows.
#include <windows.h>

#include <cstdint>
#include <string>

#include "newer_windows_win.h"
#include "system_text_win.h"
#include "wide_win.h"
#include "windows_and_keys.h"

static_assert(kWmCommand == WM_COMMAND, "WM_COMMAND");

namespace {

// A window of another program that takes longer than this to answer a
// message counts as hung: whatever would wait on it is given up instead.
constexpr UINT kAnswerTimeoutMs = 1000;

struct TitleSearch {
  const std::u16string* title;
  HWND exact;
  HWND prefix;
};

BOOL CALLBACK MatchWindowTitle(HWND window, LPARAM param) {
  TitleSearch& search = *reinterpret_cast<TitleSearch*>(param);
  std::u16string title;
  if (!IsWindowVisible(window) || !system_text::ReadWindowText(window, title)) return TRUE;
  if (title == *search.title) {
    search.exact = window;
    return FALSE;  // an exact match wins; stop looking
  }
  if (search.prefix == nullptr && title.compare(0, search.title->size(), *search.title) == 0) {
    search.prefix = window;
  }
  return TRUE;
}

bool BringToFront(HWND window) {
  // Restored without waiting for the window's thread, which may be busy.
  if (IsIconic(window)) ShowWindowAsync(window, SW_RESTORE);
  if (GetForegroundWindow() == window) return true;

  // Windows lets a process take the foreground only in some circumstances;
  // sharing the input state with the thread now in front is the usual way
  // past that lock. Wine has no such lock, where this is harmless. A thread
  // that does not answer is never joined: sharing its input state would
  // stall this program with it.
  const DWORD ownThread = GetCurrentThreadId();
  HWND front = GetForegroundWindow();
  const DWORD frontThread = front != nullptr ? GetWindowThreadProcessId(front, nullptr) : 0;
  const bool attached = frontThread != 0 && frontThread != ownThread && WindowAnswers(wide::FromHwnd(front)) &&
                        AttachThreadInput(ownThread, frontThread, TRUE) != FALSE;
  BOOL done = SetForegroundWindow(window);
  if (attached) {
    BringWindowToTop(window);
    AttachThreadInput(ownThread, frontThread, FALSE);
  }
  return done != FALSE || GetForegroundWindow() == window;
}

INPUT KeyInput(WORD virtualKey, bool up, bool extended) {
  INPUT input = {};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = virtualKey;
  input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC));
  input.ki.dwFlags = (up ? KEYEVENTF_KEYUP : 0) | (extended ? KEYEVENTF_EXTENDEDKEY : 0);
  return input;
}

}  // namespace

bool ActivateWindowByTitle(const std::u16string& title) {
  if (title.empty()) return false;
  TitleSearch search = {&title, nullptr, nullptr};
  EnumWindows(MatchWindowTitle, reinterpret_cast<LPARAM>(&search));
  HWND window = search.exact != nullptr ? search.exact : search.prefix;
  if (window == nullptr) return false;
  return BringToFront(window);
}

bool ActivateWindow(WindowHandle handle) {
  HWND window = wide::ToHwnd(handle);
  // An invisible window (the hidden stand-in window of a console that a
  // terminal program shows) is not brought forward: it would take the focus
  // away from every window the user can see.
  if (window == nullptr || !IsWindow(window) || !IsWindowVisible(window)) return false;
  return BringToFront(window);
}

bool SendPasteKeys() {
  INPUT inputs[4] = {
      KeyInput(VK_SHIFT, false, false),
      KeyInput(VK_INSERT, false, true),
      KeyInput(VK_INSERT, true, true),
      KeyInput(VK_SHIFT, true, false),
  };
  const UINT queued = SendInput(4, inputs, sizeof(INPUT));
  if (queued == 4) return true;
  // Never leave a key held down: release whatever went out pressed.
  if (queued == 2) SendInput(1, &inputs[2], sizeof(INPUT));
  if (queued >= 1) SendInput(1, &inputs[3], sizeof(INPUT));
  return queued >= 2;  // Insert went out pressed: the paste may have happened
}

bool WindowAnswers(WindowHandle window) { return AskWindow(window) == WindowReply::kAnswered; }

std::uint32_t LastSystemError() { return GetLastError(); }

void HideWindow(WindowHandle window) {
  HWND handle = wide::ToHwnd(window);
  if (handle != nullptr && IsWindowVisible(handle)) ShowWindow(handle, SW_HIDE);
}

WindowHandle ForegroundWindow() {
  HWND front = GetForegroundWindow();
  if (front == nullptr) return 0;
  // Activating another program's window completes in that program's thread:
  // until it has handled the activation, no window of it has the keyboard
  // focus, and keys sent meanwhile are lost. The thread's input state is read
  // from the system, without waiting on the thread.
  GUITHREADINFO info = {};
  info.cbSize = sizeof(info);
  const DWORD thread = GetWindowThreadProcessId(front, nullptr);
  if (thread != 0 && GetGUIThreadInfo(thread, &info) && info.hwndFocus == nullptr) return 0;
  return wide::FromHwnd(front);
}

std::u16string WindowTitle(WindowHandle window) {
  HWND handle = wide::ToHwnd(window);
  std::u16string title;
  if (handle != nullptr && IsWindow(handle)) system_text::ReadWindowText(handle, title);
  return title;
}

bool ModifierKeysDown() {
  // GetAsyncKeyState reads the keyboard as it is now, not as this thread's
  // messages have seen it. Where the system will not tell (another desktop
  // is active), it answers 0: not down.
  const int keys[] = {VK_SHIFT, VK_CONTROL, VK_MENU, VK_LWIN, VK_RWIN};
  for (const int key : keys) {
    if ((GetAsyncKeyState(key) & 0x8000) != 0) return true;
  }
  return false;
}

WindowReply AskWindow(WindowHandle handle) {
  HWND window = wide::ToHwnd(handle);
  DWORD_PTR result = 0;
  SetLastError(ERROR_SUCCESS);
  if (SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kAnswerTimeoutMs, &result) != 0) {
    return WindowReply::kAnswered;
  }
  const DWORD error = GetLastError();
  if (!IsWindow(window)) return WindowReply::kAnswered;  // gone: holds nothing up
  // A time-out is ERROR_TIMEOUT (0 on Windows 2000); SMTO_ABORTIFHUNG gives
  // up at once on a window that the system counts hung already. Any other
  // failure is the system refusing the message: User Interface Privilege
  // Isolation answers ERROR_ACCESS_DENIED for a window of a program with
  // higher rights.
  if (error == ERROR_TIMEOUT || error == ERROR_SUCCESS || IsHungAppWindow(window)) return WindowReply::kHung;
  return WindowReply::kRefused;
}

bool RunsWithHigherRights(WindowHandle handle) {
  HWND window = wide::ToHwnd(handle);
  DWORD process = 0;
  if (window == nullptr || GetWindowThreadProcessId(window, &process) == 0 || process == 0) return false;
  DWORD theirs = 0;
  DWORD ours = 0;
  return newer_windows::ProcessIntegrityLevel(process, theirs) &&
         newer_windows::ProcessIntegrityLevel(GetCurrentProcessId(), ours) && theirs > ours;
}
