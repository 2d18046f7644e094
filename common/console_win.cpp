// Console programs on Windows: finding them, attaching to their consoles and
// typing into their input. Every function used here exists on Windows XP,
// but the one that reads a process's image path (newer_windows).
#include <windows.h>
#include <tlhelp32.h>

#include <set>
#include <string>
#include <vector>

#include "console.h"
#include "newer_windows_win.h"
#include "system_text_win.h"
#include "text.h"
#include "wide_win.h"

static_assert(kVirtualKeyTab == VK_TAB, "VK_TAB");
static_assert(kVirtualKeyReturn == VK_RETURN, "VK_RETURN");

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

// Longest console or window title read: a longer one counts as no title (a
// cut title might match another that differs only further on).
constexpr DWORD kTitleUnits = 1024;

// The end of the chain of owners of `window` (GetWindow GW_OWNER, which
// also sees the owner of a window without WS_POPUP, unlike GetAncestor
// GA_ROOTOWNER): the window itself when it has no owner. A chain that does
// not end soon (a loop, windows changing meanwhile) gives its last link.
HWND RootOwnerOf(HWND window) {
  for (int i = 0; window != nullptr && i < 64; ++i) {
    HWND owner = GetWindow(window, GW_OWNER);
    if (owner == nullptr) break;
    window = owner;
  }
  return window;
}

// The window of the console of processId, that window's root owner and the
// console's title, learnt by attaching to it for a moment. False when that
// console cannot be attached.
bool ConsoleFacts(DWORD processId, ConsoleProcess& facts) {
  FreeConsole();
  if (!AttachConsole(processId)) return false;
  HWND window = GetConsoleWindow();
  // A terminal's pseudo-console window may be owned by the terminal's
  // window, shown or not: the root owner is the window the user sees then
  // (the window itself when it has no owner).
  HWND owner = RootOwnerOf(window);
  wchar_t title[kTitleUnits] = {};
  const DWORD length = GetConsoleTitleW(title, kTitleUnits);
  FreeConsole();
  facts.consoleWindow = wide::FromHwnd(window);
  facts.rootOwner = wide::FromHwnd(owner != nullptr ? owner : window);
  title[kTitleUnits - 1] = L'\0';
  if (length > 0 && length < kTitleUnits - 1) facts.consoleTitle = wide::FromWide(title);
  return true;
}

// SQLcl's launcher: sql.exe in a folder whose parent holds SQLcl's library
// lib\dbtools-sqlcl.jar. Any other sql.exe is not SQLcl (it may be another
// program of that name), nor is one whose file cannot be located.
bool IsSqlclLauncher(HANDLE process, DWORD processId) {
  std::u16string path;
  if (!newer_windows::ProcessImagePath(process, processId, path)) return false;
  const std::size_t slash = path.find_last_of(u"\\/");
  if (slash == std::u16string::npos) return false;
  const std::u16string library = path.substr(0, slash) + u"\\..\\lib\\dbtools-sqlcl.jar";
  const DWORD attributes = GetFileAttributesW(wide::Ptr(library));
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::u16string ClassOf(HWND window) {
  wchar_t name[256] = {};
  return GetClassNameW(window, name, 256) > 0 ? wide::FromWide(name) : std::u16string();
}

// The title of another process's window is read without a message to it, so
// a hung window does not hold this up. Too long a title counts as none, as
// a console's does.
std::u16string TitleOf(HWND window) {
  std::u16string title;
  if (!system_text::ReadWindowText(window, title) || title.size() >= kTitleUnits - 1) title.clear();
  return title;
}

void Release() {
  if (g_input != INVALID_HANDLE_VALUE) CloseHandle(g_input);
  g_input = INVALID_HANDLE_VALUE;
  if (g_process != nullptr) CloseHandle(g_process);
  g_process = nullptr;
}

}  // namespace

std::vector<ConsoleProcess> FindConsoleProcesses(ConsoleProgram program) {
  const std::u16string exeName = program == ConsoleProgram::kSqlcl ? u"sql.exe" : u"sqlplus.exe";
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

  SetConsoleCtrlHandler(IgnoreControlEvents, TRUE);
  for (DWORD id : ids) {
    HANDLE process = OpenForQuery(id);
    if (process == nullptr) continue;
    ConsoleProcess candidate = {id, 0, 0, 0, std::u16string(), program};
    const bool usable = StartTime(process, candidate.startTime) && Running(process) &&
                        (program != ConsoleProgram::kSqlcl || IsSqlclLauncher(process, id)) &&
                        ConsoleFacts(id, candidate);
    CloseHandle(process);
    if (usable) found.push_back(candidate);
  }
  SetConsoleCtrlHandler(IgnoreControlEvents, FALSE);
  return found;
}

std::vector<TopWindow> VisibleTopWindows() {
  std::vector<TopWindow> windows;
  std::set<HWND> seen;
  HWND window = GetTopWindow(nullptr);
  for (int walked = 0; window != nullptr && walked < kMaxWindowsWalked; ++walked) {
    if (IsWindowVisible(window) && seen.insert(window).second) {
      const bool tool = (GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) != 0;
      windows.push_back({wide::FromHwnd(window), IsIconic(window) != FALSE, ClassOf(window), TitleOf(window),
                         wide::FromHwnd(GetWindow(window, GW_OWNER)), tool, newer_windows::WindowCloaked(window)});
    }
    window = GetWindow(window, GW_HWNDNEXT);
  }
  return windows;
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

ConsoleWrite WriteConsoleKeys(const ConsoleKey* keys, std::size_t count, std::size_t& written) {
  written = 0;
  if (g_input == INVALID_HANDLE_VALUE || g_process == nullptr || !Running(g_process)) return ConsoleWrite::kFailed;
  if (count == 0) return ConsoleWrite::kWritten;
  static_assert(sizeof(INPUT_RECORD) == kConsoleRecordBytes, "one input record of 20 bytes per key");
  const WORD returnScan = static_cast<WORD>(MapVirtualKeyW(VK_RETURN, MAPVK_VK_TO_VSC));
  const WORD tabScan = static_cast<WORD>(MapVirtualKeyW(VK_TAB, MAPVK_VK_TO_VSC));
  std::vector<INPUT_RECORD> records(count);
  for (std::size_t i = 0; i < count; ++i) {
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
  DWORD taken = 0;
  if (WriteConsoleInputW(g_input, records.data(), static_cast<DWORD>(count), &taken)) {
    written = taken;
    return ConsoleWrite::kWritten;
  }
  // Windows before 8 carries each console call through a heap of 64 KB and
  // refuses a call too large for it for want of memory.
  const DWORD error = GetLastError();
  return error == ERROR_NOT_ENOUGH_MEMORY || error == ERROR_NOT_ENOUGH_QUOTA ? ConsoleWrite::kNoMemory
                                                                             : ConsoleWrite::kFailed;
}

void DetachFromConsole() {
  const bool attached = g_process != nullptr;
  Release();
  if (!attached) return;
  FreeConsole();
  SetConsoleCtrlHandler(IgnoreControlEvents, FALSE);
}
