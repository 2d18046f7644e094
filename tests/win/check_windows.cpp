// Checks of the windows: activation by title and Shift+Insert, the keys
// held down, the wait that handles events, how another window answers, and
// the listing of the visible top-level windows.
#include <algorithm>
#include <cstdio>
#include <string>

#include "check.h"
#include "clipboard.h"
#include "console.h"
#include "handles_win.h"
#include "newer_windows_win.h"
#include "waiting.h"
#include "wide_win.h"
#include "windows_and_keys.h"

namespace {

void SendKey(WORD key, bool up) {
  INPUT input = {};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = key;
  input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  SendInput(1, &input, sizeof(INPUT));
}

double ThreadCpuSeconds() {
  FILETIME created, ended, kernel, user;
  if (!GetThreadTimes(GetCurrentThread(), &created, &ended, &kernel, &user)) return 0;
  const auto seconds = [](const FILETIME& t) {
    return static_cast<double>((static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7;
  };
  return seconds(kernel) + seconds(user);
}

// Ctrl held (as after the shortcut key that starts tovrin) is seen, and its
// release too.
void CheckModifierKeys(HWND main) {
  Check check{"modifier_keys_down", {}, {}};
  Expect(check, Front(main), "test window not in front");
  Expect(check, Eventually([] { return !ModifierKeysDown(); }), "a key is down before the check");
  SendKey(VK_CONTROL, false);
  Expect(check, Eventually([] { return ModifierKeysDown(); }, 5), "Ctrl held down not seen");
  SendKey(VK_CONTROL, true);
  Expect(check, Eventually([] { return !ModifierKeysDown(); }, 5), "Ctrl still seen down after its release");
  Finish(check);
}

// The wait sleeps: it handles a message that arrives, lasts its time, and
// a quit request waiting meanwhile neither wakes it over and over nor gets
// lost.
void CheckWaitHandlingMessages(HWND main) {
  Check check{"wait_handling_messages", {}, {}};
  const int probes = g_probe.probes;
  PostMessageW(main, kProbeMessage, 5, 6);
  PostQuitMessage(3);
  const double cpu0 = ThreadCpuSeconds();
  const double t0 = MonotonicSeconds();
  WaitUntil([] { return false; }, 0.5, 0.5, Messages::kAll);
  const double waited = MonotonicSeconds() - t0;
  const double cpu = std::max(0.0, ThreadCpuSeconds() - cpu0);
  Expect(check, g_probe.probes == probes + 1, "the posted message was not handled");
  Expect(check, waited >= 0.49, "returned after " + std::to_string(waited) + " s of 0.5");
  Expect(check, cpu < 0.25, "used " + std::to_string(cpu) + " s of processor time in a 0.5 s wait");
  MSG quit;
  Expect(check, PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) && quit.wParam == 3,
         "the quit request did not survive the wait");
  Finish(check);
  char info[120];
  std::snprintf(info, sizeof info, "info wait_handling_messages: 0.5 s took %.3f s, %.3f s of processor", waited, cpu);
  Emit(info);
}

// Our own window answers and runs with our rights; the integrity level is
// read where Windows has one.
void CheckAskWindow(HWND main) {
  Check check{"ask_window_and_rights", {}, {}};
  Expect(check, AskWindow(wide::FromHwnd(main)) == WindowReply::kAnswered, "own window not answered");
  Expect(check, AskWindow(0x7ffff0) == WindowReply::kAnswered, "a window that does not exist holds things up");
  Expect(check, !RunsWithHigherRights(wide::FromHwnd(main)), "own window counted as of higher rights");
  DWORD level = 0;
  if (newer_windows::ProcessIntegrityLevel(GetCurrentProcessId(), level)) {
    Emit("info integrity level " + Num(level));
  } else {
    check.untried = "no integrity level here";
  }
  Finish(check);
}

// The turn is the session's named mutex, as every program of ours sees it.
const wchar_t kTurnName[] = L"Local\\vorn3-sqlplus-delivery";

// Takes the turn's mutex in a thread of its own and ends that thread: the
// mutex is abandoned. With `probe`, only tells whether it was free (and
// lets it go again).
DWORD WINAPI GrabTurn(void* probe) {
  const Handle turn(CreateMutexW(nullptr, FALSE, kTurnName));
  if (!turn.Valid()) return 2;
  const DWORD got = WaitForSingleObject(turn.Get(), 0);
  const bool free = got == WAIT_OBJECT_0 || got == WAIT_ABANDONED;
  if (free && probe != nullptr) ReleaseMutex(turn.Get());
  return free ? 1 : 0;
}

DWORD RunGrab(bool probe) {
  void* marker = probe ? reinterpret_cast<void*>(static_cast<INT_PTR>(1)) : nullptr;
  const Handle thread(CreateThread(nullptr, 0, GrabTurn, marker, 0, nullptr));
  DWORD code = 3;
  if (thread.Valid() && WaitForSingleObject(thread.Get(), kWaitMs) == WAIT_OBJECT_0) {
    GetExitCodeThread(thread.Get(), &code);
  }
  return code;
}

// A delivery's turn is held by the named mutex until it ends, nests, and is
// taken from a holder that ended without letting go (held afterwards: a
// wait that had run out would not hold it).
void CheckDeliveryTurn() {
  Check check{"delivery_turn", {}, {}};
  const Handle keep(CreateMutexW(nullptr, FALSE, kTurnName));  // keeps the mutex in being throughout
  Expect(check, RunGrab(false) == 1, "could not take the turn's mutex for a thread that then ends");
  const double t0 = MonotonicSeconds();
  TakeDeliveryTurn();
  const double took = MonotonicSeconds() - t0;
  TakeDeliveryTurn();
  EndDeliveryTurn();
  Expect(check, RunGrab(true) == 0, "the turn is free while held (after a nested take and end)");
  EndDeliveryTurn();
  Expect(check, RunGrab(true) == 1, "the turn is still held after its end");
  EndDeliveryTurn();  // one end too many does nothing
  Finish(check);
  char info[100];
  std::snprintf(info, sizeof info, "info delivery_turn: the abandoned turn taken in %.3f s", took);
  Emit(info);
}

const TopWindow* Listed(const std::vector<TopWindow>& windows, HWND window, int& place) {
  for (std::size_t i = 0; i < windows.size(); ++i) {
    if (windows[i].window == wide::FromHwnd(window)) {
      place = static_cast<int>(i);
      return &windows[i];
    }
  }
  return nullptr;
}

// The listing of the visible top-level windows, with a terminal's window
// and the pseudo-console windows it shows for its tabs: 0 x 0 tool windows
// it owns, kept above it; one more shown but owned by nobody. The console
// choice takes the terminal for the owned one's host, never a pseudo window.
void CheckTopWindows() {
  Check check{"top_windows", {}, {}};
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSW terminalClass = {};
  terminalClass.lpfnWndProc = DefWindowProcW;
  terminalClass.hInstance = instance;
  terminalClass.lpszClassName = reinterpret_cast<const wchar_t*>(kTerminalWindowClass);
  WNDCLASSW pseudoClass = terminalClass;
  pseudoClass.lpszClassName = reinterpret_cast<const wchar_t*>(kPseudoConsoleWindowClass);
  RegisterClassW(&terminalClass);
  RegisterClassW(&pseudoClass);
  const std::u16string title = u"VornCheck タブ";
  HWND terminal = CreateWindowExW(0, terminalClass.lpszClassName, wide::Ptr(title), WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                  60, 60, 400, 200, nullptr, nullptr, instance, nullptr);
  HWND owned = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, pseudoClass.lpszClassName, nullptr, WS_POPUP, 0,
                               0, 0, 0, terminal, nullptr, instance, nullptr);
  HWND unowned = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, pseudoClass.lpszClassName, nullptr, WS_POPUP, 0,
                                 0, 0, 0, nullptr, nullptr, instance, nullptr);
  Expect(check, terminal && owned && unowned, "could not create the windows");
  ShowWindow(owned, SW_SHOWNOACTIVATE);
  ShowWindow(unowned, SW_SHOWNOACTIVATE);
  PumpPendingEvents();
  const std::vector<TopWindow> windows = VisibleTopWindows();
  int terminalPlace = -1, ownedPlace = -1, unownedPlace = -1;
  const TopWindow* t = Listed(windows, terminal, terminalPlace);
  const TopWindow* o = Listed(windows, owned, ownedPlace);
  const TopWindow* u = Listed(windows, unowned, unownedPlace);
  Expect(check, t && o && u, "a window is missing from the listing");
  if (t && o && u) {
    Expect(check, t->className == kTerminalWindowClass && t->title == title && t->owner == 0 && !t->toolWindow &&
                      !t->minimised && !t->cloaked,
           "the terminal listed as " + Show(t->className) + " " + Show(t->title) + ", owner " + Num(t->owner));
    Expect(check, o->className == kPseudoConsoleWindowClass && o->owner == wide::FromHwnd(terminal) && o->toolWindow &&
                      !o->cloaked,
           "the owned pseudo window listed as " + Show(o->className) + ", owner " + Num(o->owner));
    Expect(check, u->owner == 0 && u->toolWindow, "the unowned pseudo window listed with owner " + Num(u->owner));
    Expect(check, ownedPlace < terminalPlace, "the owned window listed below its owner");
  }
  const ConsoleProcess tab = {1, 1, wide::FromHwnd(owned), wide::FromHwnd(terminal), title, ConsoleProgram::kSqlPlus};
  const ConsoleProcess loose = {2, 2, wide::FromHwnd(unowned), wide::FromHwnd(unowned), title, ConsoleProgram::kSqlPlus};
  Expect(check, HostWindowOf(tab, windows) == wide::FromHwnd(terminal), "the owned tab's host is not the terminal");
  Expect(check, HostWindowOf(loose, windows) == wide::FromHwnd(terminal), "the unowned one is not found by the title");
  ConsoleProcess behind = tab;
  behind.consoleTitle = u"VornCheck 裏のタブ";
  Expect(check, ChooseConsole({behind, tab}, windows) == 1, "the tab in front not chosen");
  Expect(check, ChooseConsole({behind}, windows) == kConsoleNotShown, "a lone tab behind chosen");
  DestroyWindow(unowned);
  DestroyWindow(terminal);  // and the window it owns
  PumpPendingEvents();
  Expect(check, !IsWindow(owned), "the owned window outlived its owner");
  Finish(check);
}

}  // namespace

void CheckActivation(HWND main) {
  Check missing{"activate_missing_title", {}, {}};
  Expect(missing, !ActivateWindowByTitle(u"この題名のウィンドウはありません 7f3a"), "reported success");
  Expect(missing, !ActivateWindowByTitle(u""), "the empty title reported success");
  Finish(missing);

  Check check{"activate_by_title", {}, {}};
  // The exact title wins over a prefix match in front of it.
  HWND exact = MakeWindow(u"VornCheck 前面", 40, 300);
  HWND longer = MakeWindow(u"VornCheck 前面 その2", 80, 340);
  Expect(check, exact && longer, "could not create the windows");
  Expect(check, Front(main), "test window not in front to begin with");
  Expect(check, ActivateWindowByTitle(u"VornCheck 前面"), "exact title: failed");
  Expect(check, Eventually([exact] { return GetForegroundWindow() == exact; }),
         "exact title: window in front is " + Show(Text(GetForegroundWindow())));
  Expect(check, ActivateWindowByTitle(u"VornCheck 前面 そ"), "prefix: failed");
  Expect(check, Eventually([longer] { return GetForegroundWindow() == longer; }),
         "prefix: window in front is " + Show(Text(GetForegroundWindow())));
  // A minimised window is restored.
  ShowWindow(exact, SW_MINIMIZE);
  Eventually([exact] { return IsIconic(exact) != FALSE; });
  Expect(check, ActivateWindowByTitle(u"VornCheck 前面"), "minimised: failed");
  Expect(check, Eventually([exact] { return !IsIconic(exact) && GetForegroundWindow() == exact; }),
         "minimised window not restored and in front");
  // Hidden windows do not count.
  ShowWindow(longer, SW_HIDE);
  PumpPendingEvents();
  Expect(check, !ActivateWindowByTitle(u"VornCheck 前面 その"), "a hidden window was activated");
  Expect(check, ForegroundWindow() == wide::FromHwnd(GetForegroundWindow()), "ForegroundWindow disagrees");
  Expect(check, WindowTitle(wide::FromHwnd(exact)) == u"VornCheck 前面", "WindowTitle gives " + Show(Text(exact)));
  Expect(check, WindowTitle(0).empty(), "WindowTitle(0) not empty");
  DestroyWindow(exact);
  DestroyWindow(longer);
  PumpPendingEvents();
  Finish(check);

  CheckTopWindows();
}

void CheckKeystrokes(HWND main) {
  Check check{"send_shift_insert", {}, {}};
  HWND edit = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, 10, 10, 380, 24,
                              main, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kProbeEditId)),
                              GetModuleHandleW(nullptr), nullptr);
  const std::u16string pasted = u"貼り付け select 1";
  Expect(check, edit != nullptr, "no edit field");
  Expect(check, ClipboardSetText(pasted), "clipboard set failed");
  Expect(check, Front(main), "test window not in front");
  SetFocus(edit);
  Expect(check, SendPasteKeys(), "Shift+Insert reported failure");
  const bool arrived = Eventually([edit, &pasted] { return Text(edit) == pasted; });
  Expect(check, arrived, "edit field holds " + Show(Text(edit)));
  PumpPendingEvents();
  Expect(check, (GetKeyState(VK_SHIFT) & 0x8000) == 0, "Shift still down");
  DestroyWindow(edit);
  Finish(check);

  CheckModifierKeys(main);
  CheckWaitHandlingMessages(main);
  CheckAskWindow(main);
  CheckDeliveryTurn();
}
