// Console programs on Windows: finding them, attaching to their consoles and
// typing into their input. Every function used here exists on Windows XP,
// but the one that reads a process's image path (newer_windows).
#include <windows.h>
#include <tlhelp32.h>

#include <set>
#include <string>
#include <vector>

#include "console.h"
#include "handles_win.h"
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

// While attached, the console's Ctrl+C and Ctrl+Break reach this process
// too: they are meant for the console's own program, not for us.
BOOL WINAPI IgnoreControlEvents(DWORD) { return TRUE; }

// This program attached to the console of another (AttachConsole, after
// leaving any console of its own), its control events ignored, until this
// goes (FreeConsole).
class AttachedConsole {
 public:
  explicit AttachedConsole(DWORD processId) {
    FreeConsole();
    SetConsoleCtrlHandler(IgnoreControlEvents, TRUE);
    attached_ = AttachConsole(processId) != FALSE;
  }
  AttachedConsole(const AttachedConsole&) = delete;
  AttachedConsole& operator=(const AttachedConsole&) = delete;
  ~AttachedConsole() {
    if (attached_) FreeConsole();
    SetConsoleCtrlHandler(IgnoreControlEvents, FALSE);
  }
  bool Attached() const { return attached_; }

 private:
  bool attached_;
};

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
  const AttachedConsole console(processId);
  if (!console.Attached()) return false;
  HWND window = GetConsoleWindow();
  // A terminal's pseudo-console window may be owned by the terminal's
  // window, shown or not: the root owner is the window the user sees then
  // (the window itself when it has no owner).
  HWND owner = RootOwnerOf(window);
  wchar_t title[kTitleUnits] = {};
  const DWORD length = GetConsoleTitleW(title, kTitleUnits);
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

// Writes keys[0..count) into a console's `input`, unless `process` has
// ended (see TypeIntoConsoleOf).
ConsoleWrite WriteKeys(HANDLE process, HANDLE input, const ConsoleKey* keys, std::size_t count, std::size_t& written) {
  written = 0;
  if (!Running(process)) return ConsoleWrite::kFailed;
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
  if (WriteConsoleInputW(input, records.data(), static_cast<DWORD>(count), &taken)) {
    written = taken;
    return ConsoleWrite::kWritten;
  }
  // Windows before 8 carries each console call through a heap of 64 KB and
  // refuses a call too large for it for want of memory.
  const DWORD error = GetLastError();
  return error == ERROR_NOT_ENOUGH_MEMORY || error == ERROR_NOT_ENOUGH_QUOTA ? ConsoleWrite::kNoMemory
                                                                             : ConsoleWrite::kFailed;
}

}  // namespace

std::vector<ConsoleProcess> FindConsoleProcesses(ConsoleProgram program) {
  const std::u16string exeName = program == ConsoleProgram::kSqlcl ? u"sql.exe" : u"sqlplus.exe";
  std::vector<ConsoleProcess> found;
  std::vector<DWORD> ids;
  {
    const Handle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot.Valid()) return found;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    const DWORD self = GetCurrentProcessId();
    for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more; more = Process32NextW(snapshot.Get(), &entry)) {
      if (entry.th32ProcessID != self && SameFileName(entry.szExeFile, exeName)) ids.push_back(entry.th32ProcessID);
    }
  }
  for (DWORD id : ids) {
    const Handle process(OpenForQuery(id));
    ConsoleProcess candidate = {id, 0, 0, 0, std::u16string(), program};
    if (process.Valid() && StartTime(process.Get(), candidate.startTime) && Running(process.Get()) &&
        (program != ConsoleProgram::kSqlcl || IsSqlclLauncher(process.Get(), id)) && ConsoleFacts(id, candidate)) {
      found.push_back(candidate);
    }
  }
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

bool TypeIntoConsoleOf(const ConsoleProcess& target, const ConsoleTyping& type) {
  const Handle process(OpenForQuery(target.processId));
  std::uint64_t started = 0;
  if (!process.Valid() || !StartTime(process.Get(), started) || started != target.startTime ||
      !Running(process.Get())) {
    return false;
  }
  const AttachedConsole console(target.processId);
  if (!console.Attached()) return false;
  // The console's own input, not a standard handle that a launcher may have
  // redirected.
  const Handle input(CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, 0, nullptr));
  if (!input.Valid()) return false;
  return type([&process, &input](const ConsoleKey* keys, std::size_t count, std::size_t& written) {
    return WriteKeys(process.Get(), input.Get(), keys, count, written);
  });
}
