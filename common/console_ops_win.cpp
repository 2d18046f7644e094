// Console programs on Windows: finding them, attaching to their consoles and
// typing into their input. Every function used here exists on Windows XP.
#include <windows.h>
#include <tlhelp32.h>

#include <map>
#include <string>
#include <vector>

#include "platform_ops.h"
#include "text.h"
#include "wide_win.h"

namespace {

// Guards the walk through the window list against a list that keeps
// changing under it.
constexpr int kMaxWindowsWalked = 100000;

// PROCESS_QUERY_LIMITED_INFORMATION (Vista on): lets a normal program query
// an elevated one. Only a flag value; XP refuses it and the full right is
// asked for first.
constexpr DWORD kQueryLimitedInformation = 0x1000;

HANDLE g_process = nullptr;  // the process whose console is attached
HANDLE g_input = INVALID_HANDLE_VALUE;

// While attached, the console's Ctrl+C and Ctrl+Break reach this process
// too: they are meant for the console's own program, not for us.
BOOL WINAPI IgnoreControlEvents(DWORD) { return TRUE; }

bool SameFileName(const wchar_t* path, const std::u16string& name) {
  const wchar_t* file = path;
  for (const wchar_t* p = path; *p != L'\0'; ++p) {
    if (*p == L'\\' || *p == L'/') file = p + 1;
  }
  return text::EqualsIgnoringAsciiCase(reinterpret_cast<const char16_t*>(file), name);
}

HANDLE OpenForQuery(DWORD processId) {
  HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | SYNCHRONIZE, FALSE, processId);
  if (process == nullptr) process = OpenProcess(kQueryLimitedInformation | SYNCHRONIZE, FALSE, processId);
  return process;
}

bool StartTime(HANDLE process, std::uint64_t& out) {
  FILETIME created, exited, kernel, user;
  if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return false;
  out = (static_cast<std::uint64_t>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
  return true;
}

bool Running(HANDLE process) { return WaitForSingleObject(process, 0) == WAIT_TIMEOUT; }

// The window of the console of processId, learnt by attaching to it for a
// moment. False when that console cannot be attached.
bool ConsoleWindowOf(DWORD processId, HWND& window) {
  FreeConsole();
  if (!AttachConsole(processId)) return false;
  window = GetConsoleWindow();
  FreeConsole();
  return true;
}

// Places of the visible top-level windows, 0 the topmost.
std::map<HWND, int> VisibleZOrder() {
  std::map<HWND, int> places;
  int place = 0;
  HWND window = GetTopWindow(nullptr);
  for (int walked = 0; window != nullptr && walked < kMaxWindowsWalked; ++walked) {
    if (IsWindowVisible(window) && places.find(window) == places.end()) places[window] = place++;
    window = GetWindow(window, GW_HWNDNEXT);
  }
  return places;
}

void Release() {
  if (g_input != INVALID_HANDLE_VALUE) CloseHandle(g_input);
  g_input = INVALID_HANDLE_VALUE;
  if (g_process != nullptr) CloseHandle(g_process);
  g_process = nullptr;
}

}  // namespace

std::vector<ConsoleProcess> FindConsoleProcesses(const std::u16string& exeName) {
  std::vector<ConsoleProcess> found;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return found;
  std::vector<DWORD> ids;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof entry;
  const DWORD self = GetCurrentProcessId();
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
    if (entry.th32ProcessID != self && SameFileName(entry.szExeFile, exeName)) ids.push_back(entry.th32ProcessID);
  }
  CloseHandle(snapshot);
  if (ids.empty()) return found;

  std::vector<HWND> windows;
  SetConsoleCtrlHandler(IgnoreControlEvents, TRUE);
  for (DWORD id : ids) {
    HANDLE process = OpenForQuery(id);
    if (process == nullptr) continue;
    ConsoleProcess candidate = {id, 0, 0, -1};
    HWND window = nullptr;
    const bool usable = StartTime(process, candidate.startTime) && Running(process) && ConsoleWindowOf(id, window);
    CloseHandle(process);
    if (!usable) continue;
    candidate.consoleWindow = wide::FromHwnd(window);
    found.push_back(candidate);
    windows.push_back(window);
  }
  SetConsoleCtrlHandler(IgnoreControlEvents, FALSE);

  const std::map<HWND, int> places = VisibleZOrder();
  for (std::size_t i = 0; i < found.size(); ++i) {
    const auto place = places.find(windows[i]);
    if (windows[i] != nullptr && place != places.end()) found[i].zOrder = place->second;
  }
  return found;
}

bool AttachToConsoleOf(const ConsoleProcess& target) {
  DetachFromConsole();
  HANDLE process = OpenForQuery(target.processId);
  if (process == nullptr) return false;
  std::uint64_t started = 0;
  if (!StartTime(process, started) || started != target.startTime || !Running(process)) {
    CloseHandle(process);
    return false;
  }
  FreeConsole();
  SetConsoleCtrlHandler(IgnoreControlEvents, TRUE);
  if (!AttachConsole(target.processId)) {
    SetConsoleCtrlHandler(IgnoreControlEvents, FALSE);
    CloseHandle(process);
    return false;
  }
  g_process = process;
  // The console's own input, not a standard handle that a launcher may have
  // redirected.
  g_input = CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                        OPEN_EXISTING, 0, nullptr);
  if (g_input == INVALID_HANDLE_VALUE) {
    DetachFromConsole();
    return false;
  }
  return true;
}

bool TypeIntoConsole(const std::vector<ConsoleKey>& keys) {
  if (g_input == INVALID_HANDLE_VALUE || g_process == nullptr || !Running(g_process)) return false;
  const WORD returnScan = static_cast<WORD>(MapVirtualKeyW(VK_RETURN, MAPVK_VK_TO_VSC));
  const WORD tabScan = static_cast<WORD>(MapVirtualKeyW(VK_TAB, MAPVK_VK_TO_VSC));
  std::vector<INPUT_RECORD> records(keys.size());
  for (std::size_t i = 0; i < keys.size(); ++i) {
    INPUT_RECORD& record = records[i];
    record = INPUT_RECORD();
    record.EventType = KEY_EVENT;
    KEY_EVENT_RECORD& key = record.Event.KeyEvent;
    key.bKeyDown = TRUE;
    key.wRepeatCount = 1;
    key.wVirtualKeyCode = keys[i].virtualKey;
    key.wVirtualScanCode = keys[i].virtualKey == VK_RETURN ? returnScan : keys[i].virtualKey == VK_TAB ? tabScan : 0;
    key.uChar.UnicodeChar = static_cast<WCHAR>(keys[i].unit);
  }
  std::size_t done = 0;
  while (done < records.size()) {
    DWORD written = 0;
    if (!WriteConsoleInputW(g_input, records.data() + done, static_cast<DWORD>(records.size() - done), &written) ||
        written == 0) {
      return false;
    }
    done += written;
  }
  return true;
}

void DetachFromConsole() {
  const bool attached = g_process != nullptr;
  Release();
  if (!attached) return;
  FreeConsole();
  SetConsoleCtrlHandler(IgnoreControlEvents, FALSE);
}
