// The desktop services on Windows. The input box lives in input_box_win.cpp,
// the clipboard in clipboard_win.cpp, the waits and the delivery's turn in
// waiting_win.cpp.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "newer_windows_win.h"
#include "platform_ops.h"
#include "system_text_win.h"
#include "wide_win.h"

namespace {

// A window of another program that takes longer than this to answer a
// message counts as hung: whatever would wait on it is given up instead.
constexpr UINT kAnswerTimeoutMs = 1000;

// A pump that never finds its queue empty (a window that keeps repainting
// without validating) must still return.
constexpr int kMaxPumpedMessages = 10000;

constexpr ULONGLONG kMaxFileBytes = 1ULL << 30;

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

int ShowMessageBox(const std::u16string& text, int style, const std::u16string& title) {
  // Owned by this thread's active window, which stays disabled while the box
  // is up; with none, the box disables the thread's other windows instead.
  HWND owner = GetActiveWindow();
  UINT type = static_cast<UINT>(style);
  if (owner == nullptr) type |= MB_TASKMODAL;
  return MessageBoxW(owner, wide::Ptr(text), wide::Ptr(title), type);
}

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

bool SendKeystrokes(const std::u16string& keys) {
  // The one sequence the programs send; nothing else is typed.
  if (keys != u"+{INSERT}") return false;
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

void PumpPendingEvents() {
  MSG message;
  for (int handled = 0; handled < kMaxPumpedMessages; ++handled) {
    if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) return;
    if (message.message == WM_QUIT) {
      // Leave the quit request for the program's own message loop.
      PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

double MonotonicSeconds() {
  LARGE_INTEGER frequency;
  LARGE_INTEGER counter;
  if (!QueryPerformanceFrequency(&frequency) || frequency.QuadPart <= 0 || !QueryPerformanceCounter(&counter)) {
    return static_cast<double>(newer_windows::TickCount64()) / 1000.0;
  }
  // Split to keep the precision of a large counter.
  const long long whole = counter.QuadPart / frequency.QuadPart;
  const long long rest = counter.QuadPart % frequency.QuadPart;
  return static_cast<double>(whole) + static_cast<double>(rest) / static_cast<double>(frequency.QuadPart);
}

bool WindowAnswers(WindowHandle window) { return AskWindow(window) == WindowReply::kAnswered; }

void Beep() { MessageBeep(MB_OK); }

std::uint32_t LastSystemError() { return GetLastError(); }

void HideWindow(WindowHandle window) {
  HWND handle = wide::ToHwnd(window);
  if (handle != nullptr && IsWindowVisible(handle)) ShowWindow(handle, SW_HIDE);
}

std::u16string CurrentDirectory() {
  // The directory may change between the sizing call and the read; try again
  // then, a few times.
  for (int attempt = 0; attempt < 4; ++attempt) {
    const DWORD needed = GetCurrentDirectoryW(0, nullptr);
    if (needed == 0) return std::u16string();
    std::vector<wchar_t> buffer(needed, L'\0');
    const DWORD length = GetCurrentDirectoryW(needed, buffer.data());
    if (length == 0) return std::u16string();
    if (length < needed) return wide::FromWide(buffer.data(), length);
  }
  return std::u16string();
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

bool ReadFileBytes(const std::u16string& path, std::string& out) {
  out.clear();
  // A path with a NUL in it would name another file to the system.
  if (path.empty() || path.find(u'\0') != std::u16string::npos) return false;
  HANDLE file = CreateFileW(wide::Ptr(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;

  bool done = false;
  BY_HANDLE_FILE_INFORMATION info;
  LARGE_INTEGER size;
  // Only plain files on disk: a directory, a console or a pipe is refused
  // (reading a console would wait for typing).
  if (GetFileType(file) == FILE_TYPE_DISK && GetFileInformationByHandle(file, &info) &&
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && GetFileSizeEx(file, &size) &&
      size.QuadPart >= 0 && static_cast<ULONGLONG>(size.QuadPart) <= kMaxFileBytes) {
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(size.QuadPart));
    char chunk[64 * 1024];
    done = true;
    for (;;) {
      DWORD got = 0;
      if (!ReadFile(file, chunk, sizeof(chunk), &got, nullptr)) {
        done = false;
        break;
      }
      if (got == 0) break;
      if (bytes.size() + got > kMaxFileBytes) {  // grew past the limit while read
        done = false;
        break;
      }
      bytes.append(chunk, got);
    }
    if (done) out.swap(bytes);
  }
  CloseHandle(file);
  return done;
}

// The keyboard and the other programs' windows -----------------------------

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
