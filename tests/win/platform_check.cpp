// Checks of the real Windows layer: the entry-point table and its wrappers on
// the wide and the ANSI path, the clipboard, window activation, keystrokes,
// the event pump, the clocks, files, and the message and input boxes, which a
// second thread answers the way a user would.
//
//   platform_check [--out FILE] [--only NAME] [--linger MS]
//   platform_check --hold-clipboard HELD_EVENT RELEASE_EVENT   (helper mode)
//
// Prints one line per check, "ok NAME" (with a note when part of it could not
// be tried here) or "FAIL NAME: detail", then "done: N checks, F failed"; with --out the same
// lines go to FILE as UTF-8. --linger leaves each box up for MS milliseconds
// before answering it, for a look or a screenshot. Exit code 0 when nothing
// failed.
#include <windows.h>
#include <winioctl.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "input_box_win.h"
#include "platform_calls.h"
#include "platform_ops.h"
#include "text.h"
#include "wide_win.h"

namespace {

// Generous: the machine may be busy, and Wine starts slowly.
constexpr DWORD kWaitMs = 30000;

// ---------------------------------------------------------------------------
// Reporting

FILE* g_outFile = nullptr;
int g_checks = 0;
int g_failed = 0;
std::wstring g_only;
DWORD g_lingerMs = 0;

void Emit(const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
  if (g_outFile != nullptr) {
    std::fwrite(line.data(), 1, line.size(), g_outFile);
    std::fputc('\n', g_outFile);
    std::fflush(g_outFile);
  }
}

struct Check {
  std::string name;
  std::vector<std::string> problems;
  std::string untried;  // a part that could not be tried here, and why
};

void Expect(Check& check, bool condition, const std::string& what) {
  if (!condition) check.problems.push_back(what);
}

void Finish(const Check& check) {
  ++g_checks;
  if (!check.problems.empty()) {
    ++g_failed;
    std::string line = "FAIL " + check.name + ": ";
    for (std::size_t i = 0; i < check.problems.size(); ++i) {
      if (i > 0) line += "; ";
      line += check.problems[i];
    }
    Emit(line);
  } else if (!check.untried.empty()) {
    Emit("ok " + check.name + " (not all tried: " + check.untried + ")");
  } else {
    Emit("ok " + check.name);
  }
}

bool Selected(const char* name) { return g_only.empty() || g_only == wide::ToWide(text::FromUtf8(name)); }

// A text for a message: quoted, control characters escaped, long texts cut.
std::string Show(const std::u16string& value) {
  std::u16string shown;
  for (std::size_t i = 0; i < value.size() && i < 80; ++i) {
    const char16_t c = value[i];
    if (c == u'\r') {
      shown += u"\\r";
    } else if (c == u'\n') {
      shown += u"\\n";
    } else if (c < 0x20) {
      shown += u"\\x";
      shown += static_cast<char16_t>(u'0' + c / 16);
      shown += static_cast<char16_t>(c % 16 < 10 ? u'0' + c % 16 : u'a' + c % 16 - 10);
    } else {
      shown += c;
    }
  }
  std::string out = "\"" + text::ToUtf8(shown) + "\"";
  if (value.size() > 80) out += "...(" + std::to_string(value.size()) + " units)";
  return out;
}

std::string Num(long long value) { return std::to_string(value); }

// ---------------------------------------------------------------------------
// Small helpers

std::u16string Text(HWND window) { return WindowTitle(wide::FromHwnd(window)); }

// Polls `condition` every 20 ms, handling this thread's messages meanwhile.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs = kWaitMs) {
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  for (;;) {
    if (condition()) return true;
    if (GetTickCount64() > deadline) return false;
    PumpPendingEvents();
    Sleep(20);
  }
}

std::u16string TempDirectory() {
  wchar_t buffer[MAX_PATH + 1] = {};
  const DWORD length = GetTempPathW(MAX_PATH + 1, buffer);
  std::u16string path = wide::FromWide(buffer, length);
  path += u"vorn-check-";
  path += text::FromUtf8(std::to_string(GetCurrentProcessId()));
  CreateDirectoryW(wide::Ptr(path), nullptr);
  return path;
}

bool WriteBytes(const std::u16string& path, const std::string& bytes) {
  HANDLE file = CreateFileW(wide::Ptr(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const BOOL done = bytes.empty() || WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  return done && written == bytes.size();
}

std::string AnsiBytes(const std::u16string& value, bool* lossless) {
  std::string out;
  BOOL usedDefault = FALSE;
  const int units = static_cast<int>(value.size());
  const int bytes = WideCharToMultiByte(CP_ACP, 0, wide::Ptr(value), units, nullptr, 0, nullptr, &usedDefault);
  if (bytes > 0) {
    out.resize(static_cast<std::size_t>(bytes));
    WideCharToMultiByte(CP_ACP, 0, wide::Ptr(value), units, &out[0], bytes, nullptr, &usedDefault);
  }
  if (lossless != nullptr) *lossless = usedDefault == FALSE;
  return out;
}

// The clipboard's text read directly, not through the layer under test.
bool RawClipboardText(std::u16string& out, bool& hasText) {
  out.clear();
  hasText = false;
  if (!OpenClipboard(nullptr)) return false;
  HANDLE data = GetClipboardData(CF_UNICODETEXT);
  if (data != nullptr) {
    const wchar_t* units = static_cast<const wchar_t*>(GlobalLock(data));
    if (units != nullptr) {
      out = wide::FromWide(units);
      hasText = true;
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return true;
}

bool RawClipboardEmpty() {
  if (!OpenClipboard(nullptr)) return false;
  const BOOL done = EmptyClipboard();
  CloseClipboard();
  return done != FALSE;
}

bool RawClipboardBitmapOnly() {
  if (!OpenClipboard(nullptr)) return false;
  bool done = false;
  if (EmptyClipboard()) {
    HBITMAP picture = CreateBitmap(8, 8, 1, 32, nullptr);
    if (picture != nullptr) {
      done = SetClipboardData(CF_BITMAP, picture) != nullptr;
      if (!done) DeleteObject(picture);
    }
  }
  CloseClipboard();
  return done;
}

// ---------------------------------------------------------------------------
// The test window: records posted messages; an edit field takes the paste.

constexpr UINT kProbeMessage = WM_APP + 1;
constexpr int kProbeEditId = 300;
const wchar_t kProbeClass[] = L"VornPlatformCheck";

struct ProbeState {
  int probes = 0;
  WPARAM lastW = 0;
  LPARAM lastL = 0;
};
ProbeState g_probe;

LRESULT CALLBACK ProbeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kProbeMessage) {
    ++g_probe.probes;
    g_probe.lastW = wParam;
    g_probe.lastL = lParam;
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

HWND MakeWindow(const std::u16string& title, int x, int y) {
  HWND window = CreateWindowExW(0, kProbeClass, wide::Ptr(title), WS_OVERLAPPEDWINDOW | WS_VISIBLE, x, y, 420, 160,
                                nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (window != nullptr) {
    UpdateWindow(window);
    PumpPendingEvents();
  }
  return window;
}

bool RegisterProbeClass() {
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = ProbeProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = kProbeClass;
  return RegisterClassExW(&wc) != 0;
}

// Brings `window` to the front and waits until it is there.
bool Front(HWND window) {
  SetForegroundWindow(window);
  return WaitUntil([window] { return GetForegroundWindow() == window && GetActiveWindow() == window; });
}

// ---------------------------------------------------------------------------
// Entry points and wrappers

const std::u16string kMainTitle = u"VornCheck 検査ウィンドウ 表示";  // 表 and 示 end in 0x5C in code page 932

void CheckEntryPoints() {
  Check check{"entry_points", {}, {}};
  const calls::EntryPoints& e = calls::Entries();
  Expect(check, e.GetVersionExA && e.GetVersionExW, "GetVersionExA/W not bound");
  Expect(check, e.GetModuleFileNameA && e.GetModuleFileNameW, "GetModuleFileNameA/W not bound");
  Expect(check, e.GetPrivateProfileStringA && e.GetPrivateProfileStringW, "GetPrivateProfileStringA/W not bound");
  Expect(check, e.FindWindowA && e.FindWindowW, "FindWindowA/W not bound");
  Expect(check, e.PostMessageA && e.PostMessageW, "PostMessageA/W not bound");
  Expect(check, e.GetWindowLongA && e.GetWindowLongW, "GetWindowLongA/W not bound");
  Expect(check, e.WideToAnsi && e.AnsiToWide, "conversions not set");
  Finish(check);

  Check id{"platform_id", {}, {}};
  const std::int32_t first = GetPlatformId();
  Expect(id, first == 2, "GetPlatformId() = " + Num(first) + ", expected 2");
  Expect(id, GetPlatformId() == first, "second call differs");
  Finish(id);
}

void CheckAnsiConversions() {
  Check check{"ansi_conversions", {}, {}};
  const calls::EntryPoints& e = calls::Entries();
  if (!e.WideToAnsi || !e.AnsiToWide) {
    check.problems.push_back("no conversions");
    Finish(check);
    return;
  }
  Expect(check, e.WideToAnsi(u"").empty() && e.AnsiToWide("").empty(), "empty text does not stay empty");
  const std::u16string withNul(u"a\0b", 3);
  Expect(check, e.WideToAnsi(withNul) == std::string("a\0b", 3), "embedded NUL lost going to ANSI");
  Expect(check, e.AnsiToWide(std::string("a\0b", 3)) == withNul, "embedded NUL lost coming from ANSI");
  if (GetACP() == 932) {
    const std::u16string japanese = u"受注m 表示 ｷｬﾝｾﾙ";
    const std::string bytes = e.WideToAnsi(japanese);
    Expect(check, bytes.compare(0, 5, "\x8e\xf3\x92\x8d" "m") == 0, "受注m is not 8E F3 92 8D 6D in code page 932");
    Expect(check, e.AnsiToWide(bytes) == japanese, "code page 932 round trip gives " + Show(e.AnsiToWide(bytes)));
  } else {
    check.untried = "ANSI code page is " + Num(GetACP()) + ", not 932: Japanese part not run";
  }
  Finish(check);
}

void CheckWrappersWide(HWND main) {
  Check find{"find_window", {}, {}};
  const WindowHandle handle = wide::FromHwnd(main);
  Expect(find, WinFindWindow(nullptr, kMainTitle) == handle, "not found by title with no class");
  const std::u16string probeClass = wide::FromWide(kProbeClass);
  Expect(find, WinFindWindow(&probeClass, kMainTitle) == handle, "not found by class and title");
  const std::u16string otherClass = u"NoSuchClassVorn";
  Expect(find, WinFindWindow(&otherClass, kMainTitle) == 0, "found with a wrong class");
  Expect(find, WinFindWindow(nullptr, kMainTitle + u" x") == 0, "found by a longer title");
  Finish(find);

  Check lng{"window_long", {}, {}};
  const std::intptr_t instance = WinGetWindowLong(handle, GWLP_HINSTANCE);
  Expect(lng, instance == reinterpret_cast<std::intptr_t>(GetModuleHandleW(nullptr)),
         "GWLP_HINSTANCE gives " + Num(instance) + ", module is at " +
             Num(reinterpret_cast<std::intptr_t>(GetModuleHandleW(nullptr))));
  Finish(lng);

  Check post{"post_message_and_pump", {}, {}};
  g_probe = ProbeState{};
  Expect(post, WinPostMessage(handle, kProbeMessage, 201, 7) != 0, "post failed");
  PumpPendingEvents();
  Expect(post, g_probe.probes == 1 && g_probe.lastW == 201 && g_probe.lastL == 7,
         "message not handled by the pump (" + Num(g_probe.probes) + " handled)");
  Expect(post, WinPostMessage(0x7ffffff0u, kProbeMessage, 0, 0) == 0, "post to a bad handle reported success");
  Finish(post);

  Check quit{"pump_keeps_quit", {}, {}};
  g_probe = ProbeState{};
  PostMessageW(main, kProbeMessage, 1, 0);
  PostQuitMessage(7);
  PumpPendingEvents();
  MSG message;
  const BOOL found = PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
  Expect(quit, g_probe.probes == 1, "posted message before the quit not handled");
  Expect(quit, found && message.wParam == 7, "WM_QUIT with code 7 not left in the queue");
  Finish(quit);

  Check module{"module_file_name", {}, {}};
  wchar_t expected[MAX_PATH] = {};
  const DWORD expectedLength = GetModuleFileNameW(nullptr, expected, MAX_PATH);
  char16_t got[MAX_PATH] = {};
  const std::uint32_t length = WinGetModuleFileName(nullptr, got, MAX_PATH);
  Expect(module, length == expectedLength && std::u16string(got, length) == wide::FromWide(expected, expectedLength),
         "gives " + Show(std::u16string(got, length)));
  Finish(module);
}

// The ANSI path: the system table with a GetVersionExA that reports the
// Windows 95 family, and counting wrappers around the entry points used.
calls::EntryPoints g_system;
int g_countA = 0;
int g_countW = 0;

std::int32_t VORN_WINAPI OldPlatformVersion(void* info) {
  const std::int32_t result = g_system.GetVersionExA(info);
  const std::int32_t windows95 = 1;
  std::memcpy(static_cast<unsigned char*>(info) + calls::kPlatformIdOffset, &windows95, sizeof windows95);
  return result;
}

std::uint32_t VORN_WINAPI CountingProfileA(const char* section, const char* key, const char* defaultText,
                                           char* buffer, std::uint32_t size, const char* file) {
  ++g_countA;
  return g_system.GetPrivateProfileStringA(section, key, defaultText, buffer, size, file);
}

std::uint32_t VORN_WINAPI CountingProfileW(const char16_t* section, const char16_t* key,
                                           const char16_t* defaultText, char16_t* buffer, std::uint32_t size,
                                           const char16_t* file) {
  ++g_countW;
  return g_system.GetPrivateProfileStringW(section, key, defaultText, buffer, size, file);
}

void* VORN_WINAPI CountingFindA(const char* className, const char* title) {
  ++g_countA;
  return g_system.FindWindowA(className, title);
}

void* VORN_WINAPI CountingFindW(const char16_t* className, const char16_t* title) {
  ++g_countW;
  return g_system.FindWindowW(className, title);
}

std::u16string ReadProfile(const std::u16string& file, const std::u16string& section, const std::u16string& key,
                           const std::u16string& defaultText, std::uint32_t size, std::uint32_t* count) {
  std::vector<char16_t> buffer(size + 1, u'#');
  *count = WinGetPrivateProfileString(section, key, defaultText, buffer.data(), size, file);
  std::size_t length = 0;
  while (length < size && buffer[length] != u'\0') ++length;
  return std::u16string(buffer.data(), length);
}

struct ProfileCase {
  const char* what;
  std::u16string section;
  std::u16string key;
  std::u16string defaultText;
  std::uint32_t size;
  std::u16string expected;
};

void RunProfileCases(Check& check, const std::u16string& file, const std::vector<ProfileCase>& cases,
                     const char* path) {
  for (const ProfileCase& c : cases) {
    std::uint32_t count = 0;
    const std::u16string value = ReadProfile(file, c.section, c.key, c.defaultText, c.size, &count);
    Expect(check, value == c.expected && count == c.expected.size(),
           std::string(path) + " " + c.what + ": got " + Show(value) + " (" + Num(count) + "), expected " +
               Show(c.expected));
  }
}

void CheckProfilesAndAnsiPath(HWND main) {
  const std::u16string directory = TempDirectory();
  const std::u16string file = directory + u"\\check.ini";
  const std::u16string missingFile = directory + u"\\missing.ini";
  const bool japanese = GetACP() == 932;
  // 表, 示 and ソ have 0x5C ("\") as their second byte in code page 932.
  const std::u16string value = japanese ? u"表示 受注ﾏｽﾀ ソ" : u"plain value";
  const std::u16string section = japanese ? u"設定" : u"settings";
  const std::u16string contents =
      u"[sql plus]\r\nactive= Yes \r\n[" + section + u"]\r\nname=" + value + u"\r\nempty=\r\n";
  bool lossless = true;
  const bool written = WriteBytes(file, AnsiBytes(contents, &lossless));

  std::vector<ProfileCase> cases = {
      {"plain value", u"sql plus", u"active", u"", 200, u"Yes"},
      {"value", section, u"name", u"", 200, value},
      {"empty value", section, u"empty", u"def", 200, u""},
      {"missing key", u"sql plus", u"none", japanese ? u"既定" : u"default", 200, japanese ? u"既定" : u"default"},
      {"missing section", u"no section", u"active", u"", 200, u""},
      {"short buffer", section, u"name", u"", 5, value.substr(0, 4)},
  };
  const std::u16string none = japanese ? u"なし" : u"none";
  std::vector<ProfileCase> missing = {{"missing file", u"sql plus", u"active", none, 200, none}};

  Check wide{"ini_wide_path", {}, {}};
  Expect(wide, written && lossless, "could not write the INI file in the ANSI code page");
  if (!japanese) wide.untried = "ANSI code page is not 932: Japanese values not tried";
  RunProfileCases(wide, file, cases, "W");
  RunProfileCases(wide, missingFile, missing, "W");
  Finish(wide);

  // Now through the A entry points.
  const calls::EntryPoints saved = calls::Entries();
  g_system = saved;
  calls::EntryPoints ansi = saved;
  ansi.GetVersionExA = OldPlatformVersion;
  ansi.GetPrivateProfileStringA = CountingProfileA;
  ansi.GetPrivateProfileStringW = CountingProfileW;
  ansi.FindWindowA = CountingFindA;
  ansi.FindWindowW = CountingFindW;
  calls::SetEntries(ansi);
  g_countA = 0;
  g_countW = 0;

  Check a{"ini_ansi_path", {}, {}};
  Expect(a, GetPlatformId() == 1, "platform id " + Num(GetPlatformId()) + " with the Windows 95 version record");
  if (!japanese) a.untried = "ANSI code page is not 932: Japanese values not tried";
  RunProfileCases(a, file, cases, "A");
  RunProfileCases(a, missingFile, missing, "A");
  const int expectedCalls = static_cast<int>(cases.size() + missing.size());
  Expect(a, g_countA == expectedCalls && g_countW == 0,
         "expected " + Num(expectedCalls) + " A calls and no W call, saw " + Num(g_countA) + " A and " +
             Num(g_countW) + " W");
  Finish(a);

  Check find{"find_window_ansi_path", {}, {}};
  g_countA = 0;
  g_countW = 0;
  const std::u16string probeClass = wide::FromWide(kProbeClass);
  // The title must survive the trip through the ANSI code page.
  const std::u16string title = japanese ? kMainTitle : u"VornCheck ANSI";
  if (!japanese) SetWindowTextW(main, wide::Ptr(title));
  Expect(find, WinFindWindow(nullptr, title) == wide::FromHwnd(main), "not found by title with no class");
  Expect(find, WinFindWindow(&probeClass, title) == wide::FromHwnd(main), "not found by class and title");
  Expect(find, g_countA == 2 && g_countW == 0, "FindWindowA not the one called");
  if (!japanese) SetWindowTextW(main, wide::Ptr(kMainTitle));
  Finish(find);

  calls::SetEntries(saved);
  Check restored{"system_table_restored", {}, {}};
  g_countW = 0;
  Expect(restored, GetPlatformId() == 2, "platform id " + Num(GetPlatformId()) + " after restoring");
  std::uint32_t count = 0;
  Expect(restored, ReadProfile(file, u"sql plus", u"active", u"", 200, &count) == u"Yes", "W path read fails");
  Finish(restored);

  DeleteFileW(wide::Ptr(file));
}

// ---------------------------------------------------------------------------
// Clipboard

void CheckClipboard() {
  Check round{"clipboard_round_trip", {}, {}};
  const std::u16string sample = u"select 受注番号, ｷｬﾝｾﾙ\r\nfrom 受注m; -- 𠮷\r\n";
  Expect(round, ClipboardSetText(sample), "set failed");
  std::u16string got;
  bool read = ClipboardGetText(got);
  Expect(round, read && got == sample, "read back " + Show(got));
  std::u16string raw;
  bool hasText = false;
  read = RawClipboardText(raw, hasText);
  Expect(round, read && hasText && raw == sample,
         "clipboard itself holds " + Show(raw));
  Finish(round);

  Check replace{"clipboard_set_replaces_other_formats", {}, {}};
  Expect(replace, RawClipboardBitmapOnly(), "could not put a picture on the clipboard");
  Expect(replace, ClipboardSetText(u"新しい"), "set failed");
  Expect(replace, !IsClipboardFormatAvailable(CF_BITMAP), "the picture is still there");
  read = ClipboardGetText(got);
  Expect(replace, read && got == u"新しい", "read back " + Show(got));
  Finish(replace);

  Check empty{"clipboard_empty", {}, {}};
  Expect(empty, ClipboardSetText(u"something"), "set failed");
  Expect(empty, RawClipboardEmpty(), "could not empty the clipboard");
  got = u"stale";
  read = ClipboardGetText(got);
  Expect(empty, read, "read of an empty clipboard failed");
  Expect(empty, got.empty(), "gave " + Show(got));
  Expect(empty, ClipboardSetText(u""), "setting the empty text failed");
  read = ClipboardGetText(got);
  Expect(empty, read && got.empty(), "empty text read back as " + Show(got));
  Finish(empty);

  Check picture{"clipboard_bitmap_only", {}, {}};
  Expect(picture, RawClipboardBitmapOnly() && IsClipboardFormatAvailable(CF_BITMAP),
         "could not put a picture on the clipboard");
  got = u"stale";
  read = ClipboardGetText(got);
  Expect(picture, read, "read failed although the clipboard could be opened");
  Expect(picture, got.empty(), "gave " + Show(got));
  Finish(picture);

  Check nul{"clipboard_text_with_nul", {}, {}};
  Expect(nul, ClipboardSetText(std::u16string(u"ab\0cd", 5)), "set failed");
  read = ClipboardGetText(got);
  Expect(nul, read && got == u"ab", "plain text ends at the NUL, got " + Show(got));
  Finish(nul);

  Check large{"clipboard_50mb", {}, {}};
  std::u16string big;
  const std::u16string line = u"insert into 受注m values (1, 'ｱｲｳ', 'abcdefghijklmnopqrstuvwxyz');\r\n";
  const std::size_t units = 25u * 1024u * 1024u;  // 50 MB of UTF-16
  big.reserve(units);
  while (big.size() + line.size() <= units) big += line;
  while (big.size() < units) big += u'x';
  const double t0 = MonotonicSeconds();
  const bool setOk = ClipboardSetText(big);
  const double t1 = MonotonicSeconds();
  got.clear();
  const bool getOk = ClipboardGetText(got);
  const double t2 = MonotonicSeconds();
  Expect(large, setOk, "set failed");
  Expect(large, getOk && got == big, "read back " + Num(static_cast<long long>(got.size())) + " units");
  Finish(large);
  char timing[120];
  std::snprintf(timing, sizeof timing, "info clipboard_50mb: set %.2f s, get %.2f s", t1 - t0, t2 - t1);
  Emit(timing);
}

// Started as a second process: opens the clipboard and keeps it open until
// told to let go (at most two minutes).
int HoldClipboard(const wchar_t* heldName, const wchar_t* releaseName) {
  HANDLE held = OpenEventW(EVENT_MODIFY_STATE, FALSE, heldName);
  HANDLE release = OpenEventW(SYNCHRONIZE, FALSE, releaseName);
  if (held == nullptr || release == nullptr) return 2;
  // Held by a window, as programs do: under Wine a clipboard opened with no
  // window can be opened again by anyone else who gives no window either.
  HWND window = CreateWindowExW(0, L"STATIC", L"vorn-check clipboard holder", WS_POPUP, 0, 0, 10, 10, nullptr,
                                nullptr, GetModuleHandleW(nullptr), nullptr);
  if (window == nullptr || !OpenClipboard(window)) return 3;
  SetEvent(held);
  WaitForSingleObject(release, 120000);
  CloseClipboard();
  return 0;
}

void CheckClipboardHeldElsewhere() {
  Check check{"clipboard_held_by_another_process", {}, {}};
  const std::u16string before = u"前の内容\r\n";
  Expect(check, ClipboardSetText(before), "set failed");

  const std::wstring suffix = std::to_wstring(GetCurrentProcessId());
  const std::wstring heldName = L"Local\\vorn-check-held-" + suffix;
  const std::wstring releaseName = L"Local\\vorn-check-release-" + suffix;
  HANDLE held = CreateEventW(nullptr, TRUE, FALSE, heldName.c_str());
  HANDLE release = CreateEventW(nullptr, TRUE, FALSE, releaseName.c_str());
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring command = L"\"" + std::wstring(self) + L"\" --hold-clipboard " + heldName + L" " + releaseName;
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  const BOOL started = CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                                      nullptr, &startup, &process);
  Expect(check, started != FALSE, "could not start the helper");
  if (started) {
    HANDLE waits[2] = {held, process.hProcess};
    const DWORD woke = WaitForMultipleObjects(2, waits, FALSE, kWaitMs);
    if (woke != WAIT_OBJECT_0) {
      DWORD code = 0;
      GetExitCodeProcess(process.hProcess, &code);
      check.problems.push_back("helper did not get the clipboard (exit code " + Num(code) +
                               "): was it left open by an earlier call?");
    } else {
      std::u16string got = u"stale";
      const double t0 = MonotonicSeconds();
      const bool read = ClipboardGetText(got);
      const bool written = ClipboardSetText(u"上書き");
      const double spent = MonotonicSeconds() - t0;
      Expect(check, !read, "read reported success while another process held the clipboard");
      Expect(check, got.empty(), "failed read gave " + Show(got));
      Expect(check, !written, "write reported success while another process held the clipboard");
      char timing[120];
      std::snprintf(timing, sizeof timing, "info clipboard_held: both calls gave up after %.2f s", spent);
      Emit(timing);
    }
    SetEvent(release);
    WaitForSingleObject(process.hProcess, kWaitMs);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    std::u16string after;
    const bool read = ClipboardGetText(after);
    Expect(check, read && after == before, "afterwards the clipboard holds " + Show(after));
  }
  CloseHandle(held);
  CloseHandle(release);
  Finish(check);
}

// ---------------------------------------------------------------------------
// Activation and keystrokes

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
  Expect(check, WaitUntil([exact] { return GetForegroundWindow() == exact; }),
         "exact title: window in front is " + Show(Text(GetForegroundWindow())));
  Expect(check, ActivateWindowByTitle(u"VornCheck 前面 そ"), "prefix: failed");
  Expect(check, WaitUntil([longer] { return GetForegroundWindow() == longer; }),
         "prefix: window in front is " + Show(Text(GetForegroundWindow())));
  // A minimised window is restored.
  ShowWindow(exact, SW_MINIMIZE);
  WaitUntil([exact] { return IsIconic(exact) != FALSE; });
  Expect(check, ActivateWindowByTitle(u"VornCheck 前面"), "minimised: failed");
  Expect(check, WaitUntil([exact] { return !IsIconic(exact) && GetForegroundWindow() == exact; }),
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
  // Anything but Shift+Insert sends nothing; were it sent, it would reach the
  // edit field before the paste below.
  Expect(check, !SendKeystrokes(u"abc"), "\"abc\" reported success");
  Expect(check, !SendKeystrokes(u"{ENTER}"), "\"{ENTER}\" reported success");
  Expect(check, !SendKeystrokes(u"+{INSERT}x"), "\"+{INSERT}x\" reported success");
  Expect(check, !SendKeystrokes(u""), "the empty sequence reported success");
  Expect(check, SendKeystrokes(u"+{INSERT}"), "\"+{INSERT}\" reported failure");
  const bool arrived = WaitUntil([edit, &pasted] { return Text(edit) == pasted; });
  Expect(check, arrived, "edit field holds " + Show(Text(edit)));
  PumpPendingEvents();
  Expect(check, (GetKeyState(VK_SHIFT) & 0x8000) == 0, "Shift still down");
  DestroyWindow(edit);
  Finish(check);
}

// ---------------------------------------------------------------------------
// Clocks, directory, files

void CheckClocks() {
  Check check{"clocks", {}, {}};
  SYSTEMTIME now;
  GetLocalTime(&now);
  const double expected = now.wHour * 3600.0 + now.wMinute * 60.0 + now.wSecond + now.wMilliseconds / 1000.0;
  const float seconds = SecondsSinceMidnight();
  double difference = seconds - expected;
  if (difference < -43200) difference += 86400;  // midnight passed in between
  Expect(check, seconds >= 0.0f && seconds < 86400.0f, "SecondsSinceMidnight = " + Num(static_cast<long long>(seconds)));
  Expect(check, difference > -1.0 && difference < 5.0, "SecondsSinceMidnight is off the local time");
  const double a = MonotonicSeconds();
  Sleep(50);
  const double b = MonotonicSeconds();
  Expect(check, b - a >= 0.04 && b - a < 60.0, "MonotonicSeconds did not follow a 50 ms sleep");
  Beep();
  Finish(check);
}

const char kNoJapaneseNames[] =
    "this Wine cannot store Japanese file names (its Unix locale has no UTF-8 code set); an ASCII name was used";

void CheckCurrentDirectory() {
  Check check{"current_directory", {}, {}};
  const std::u16string original = CurrentDirectory();
  wchar_t buffer[MAX_PATH + 1] = {};
  const DWORD length = GetCurrentDirectoryW(MAX_PATH + 1, buffer);
  Expect(check, !original.empty() && original == wide::FromWide(buffer, length), "gives " + Show(original));
  std::u16string leaf = u"\\作業フォルダ";
  std::u16string inner = TempDirectory() + leaf;
  if (!CreateDirectoryW(wide::Ptr(inner), nullptr)) {
    check.untried = kNoJapaneseNames;
    leaf = u"\\work folder";
    inner = TempDirectory() + leaf;
    CreateDirectoryW(wide::Ptr(inner), nullptr);
  }
  if (SetCurrentDirectoryW(wide::Ptr(inner))) {
    const std::u16string now = CurrentDirectory();
    Expect(check, now.size() >= leaf.size() && now.compare(now.size() - leaf.size(), leaf.size(), leaf) == 0,
           "in " + Show(inner) + " gives " + Show(now));
    SetCurrentDirectoryW(wide::Ptr(original));
  } else {
    check.problems.push_back("could not enter " + Show(inner));
  }
  RemoveDirectoryW(wide::Ptr(inner));
  Finish(check);
}

void CheckReadFile() {
  Check check{"read_file_bytes", {}, {}};
  const std::u16string directory = TempDirectory();
  std::u16string path = directory + u"\\テンプレート.txt";
  const std::string bytes("\x81\xa1 a\0b\r\n\xff", 9);
  if (!WriteBytes(path, bytes)) {
    check.untried = kNoJapaneseNames;
    path = directory + u"\\template.txt";
    Expect(check, WriteBytes(path, bytes), "could not write the sample");
  }
  std::string got = "stale";
  bool read = ReadFileBytes(path, got);
  Expect(check, read && got == bytes, "sample read as " + Num(static_cast<long long>(got.size())) + " bytes");

  const std::u16string emptyPath = directory + u"\\empty.txt";
  WriteBytes(emptyPath, "");
  got = "stale";
  read = ReadFileBytes(emptyPath, got);
  Expect(check, read && got.empty(), "empty file");

  got = "stale";
  read = ReadFileBytes(directory + u"\\missing.txt", got);
  Expect(check, !read && got.empty(), "missing file reported success or left data");
  Expect(check, !ReadFileBytes(directory, got), "a directory reported success");
  Expect(check, !ReadFileBytes(u"", got), "the empty path reported success");
  Expect(check, !ReadFileBytes(path + std::u16string(u"\0x", 2), got), "a path with a NUL reported success");

  // Locked: another handle holds the file without sharing.
  HANDLE lock = CreateFileW(wide::Ptr(path), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  Expect(check, lock != INVALID_HANDLE_VALUE, "could not lock the sample");
  if (lock != INVALID_HANDLE_VALUE) {
    Expect(check, !ReadFileBytes(path, got), "a locked file reported success");
    CloseHandle(lock);
    Expect(check, ReadFileBytes(path, got) && got == bytes, "not readable once unlocked");
  }
  // Open for writing by another program, with sharing: still readable.
  HANDLE writer = CreateFileW(wide::Ptr(path), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  if (writer != INVALID_HANDLE_VALUE) {
    Expect(check, ReadFileBytes(path, got) && got == bytes, "not readable while open for writing elsewhere");
    CloseHandle(writer);
  }

  // Over 1 GiB (a sparse file, so nothing is really written): refused.
  const std::u16string hugePath = directory + u"\\huge.bin";
  HANDLE huge = CreateFileW(wide::Ptr(hugePath), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (huge != INVALID_HANDLE_VALUE) {
    DWORD ignored = 0;
    DeviceIoControl(huge, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &ignored, nullptr);
    LARGE_INTEGER size;
    size.QuadPart = (1LL << 30) + 1;
    const bool sized = SetFilePointerEx(huge, size, nullptr, FILE_BEGIN) && SetEndOfFile(huge);
    CloseHandle(huge);
    if (sized) {
      Expect(check, !ReadFileBytes(hugePath, got) && got.empty(), "a file over 1 GiB reported success");
    } else {
      check.untried = "could not make a file over 1 GiB; that case not tried";
    }
    DeleteFileW(wide::Ptr(hugePath));
  }
  DeleteFileW(wide::Ptr(path));
  DeleteFileW(wide::Ptr(emptyPath));
  Finish(check);
}

// ---------------------------------------------------------------------------
// Boxes, answered from a second thread

struct BoxView {
  HWND box = nullptr;
  std::vector<std::string> problems;
};

// Waits for a visible dialog with `title`; gives up when `over` is set (the
// box call returned) or after the time-out.
HWND WaitForBox(const std::u16string& title, const std::atomic<bool>& over) {
  const ULONGLONG deadline = GetTickCount64() + kWaitMs;
  while (GetTickCount64() < deadline && !over.load()) {
    HWND box = FindWindowW(L"#32770", wide::Ptr(title));
    if (box != nullptr && IsWindowVisible(box)) return box;
    Sleep(20);
  }
  return nullptr;
}

bool WaitForFront(HWND box) {
  const ULONGLONG deadline = GetTickCount64() + kWaitMs;
  while (GetTickCount64() < deadline) {
    if (GetForegroundWindow() == box) return true;
    Sleep(20);
  }
  return false;
}

HWND FocusOf(HWND box) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof(info);
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(box, nullptr), &info)) return nullptr;
  return info.hwndFocus;
}

// A box is visible a moment before it is active; wait for it to be in front
// with the focus inside it before looking at it.
bool Settled(HWND box) {
  const ULONGLONG deadline = GetTickCount64() + kWaitMs;
  while (GetTickCount64() < deadline) {
    HWND focus = FocusOf(box);
    if (GetForegroundWindow() == box && focus != nullptr && IsChild(box, focus)) return true;
    Sleep(20);
  }
  return false;
}

void PressKey(WORD virtualKey) {
  INPUT keys[2] = {};
  keys[0].type = INPUT_KEYBOARD;
  keys[0].ki.wVk = virtualKey;
  keys[1] = keys[0];
  keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(2, keys, sizeof(INPUT));
}

void TypeText(const std::u16string& typed) {
  std::vector<INPUT> keys;
  for (char16_t unit : typed) {
    INPUT key = {};
    key.type = INPUT_KEYBOARD;
    key.ki.wScan = unit;
    key.ki.dwFlags = KEYEVENTF_UNICODE;
    keys.push_back(key);
    key.ki.dwFlags |= KEYEVENTF_KEYUP;
    keys.push_back(key);
  }
  SendInput(static_cast<UINT>(keys.size()), keys.data(), sizeof(INPUT));
}

// How the driver answers a box.
enum class Answer { Yes, No, CancelButton, OkButton, Escape, EnterKey, Close, SysClose, TypeThenEnter, ClearThenOk };

std::string AnswerName(Answer answer) {
  switch (answer) {
    case Answer::Yes: return "Yes button";
    case Answer::No: return "No button";
    case Answer::CancelButton: return "Cancel button";
    case Answer::OkButton: return "OK button";
    case Answer::Escape: return "Esc key";
    case Answer::EnterKey: return "Enter key";
    case Answer::Close: return "WM_CLOSE";
    case Answer::SysClose: return "close box (SC_CLOSE)";
    case Answer::TypeThenEnter: return "typing and Enter";
    case Answer::ClearThenOk: return "clearing and OK";
  }
  return "?";
}

void Click(BoxView& view, int id) {
  HWND button = GetDlgItem(view.box, id);
  if (button == nullptr) {
    view.problems.push_back("no button " + Num(id));
    return;
  }
  SendMessageW(button, BM_CLICK, 0, 0);
}

void Respond(BoxView& view, Answer answer, const std::u16string& typed) {
  const bool keys = answer == Answer::Escape || answer == Answer::EnterKey || answer == Answer::TypeThenEnter;
  if (keys && !WaitForFront(view.box)) {
    view.problems.push_back("box never came to the front for the keys");
    return;
  }
  switch (answer) {
    case Answer::Yes: Click(view, IDYES); break;
    case Answer::No: Click(view, IDNO); break;
    case Answer::CancelButton: Click(view, IDCANCEL); break;
    case Answer::OkButton: Click(view, IDOK); break;
    case Answer::Escape: PressKey(VK_ESCAPE); break;
    case Answer::EnterKey: PressKey(VK_RETURN); break;
    case Answer::Close: PostMessageW(view.box, WM_CLOSE, 0, 0); break;
    case Answer::SysClose: PostMessageW(view.box, WM_SYSCOMMAND, SC_CLOSE, 0); break;
    case Answer::TypeThenEnter:
      TypeText(typed);
      PressKey(VK_RETURN);
      break;
    case Answer::ClearThenOk:
      SetWindowTextW(GetDlgItem(view.box, kInputBoxEditId), L"");
      Click(view, IDOK);
      break;
  }
}

// After answering: the box must go away; if it does not, force it so the
// program does not hang, and say so.
void AwaitClosed(BoxView& view) {
  const ULONGLONG deadline = GetTickCount64() + kWaitMs;
  while (IsWindow(view.box) && GetTickCount64() < deadline) Sleep(20);
  if (IsWindow(view.box)) {
    view.problems.push_back("box still open after the answer; forced closed");
    PostMessageW(view.box, WM_COMMAND, IDCANCEL, 0);
    PostMessageW(view.box, WM_COMMAND, IDOK, 0);
  }
}

DWORD WINAPI RunFunction(void* function) {
  (*static_cast<std::function<void()>*>(function))();
  return 0;
}

// Starts `function` on a new thread; Join waits for it to end.
HANDLE Spawn(std::function<void()>& function) {
  return CreateThread(nullptr, 0, RunFunction, &function, 0, nullptr);
}

void Join(HANDLE thread) {
  if (thread == nullptr) return;
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
}

// Runs `show` on the calling thread (or, with `ownThread`, on a thread with no
// window) while a driver thread finds the box by title, looks at it with
// `inspect`, then answers it.
void RunBox(const std::u16string& title, bool ownThread, const std::function<void()>& show,
            const std::function<void(BoxView&)>& inspect, Answer answer, const std::u16string& typed,
            std::vector<std::string>& problems) {
  std::atomic<bool> over(false);
  BoxView view;
  std::function<void()> drive = [&] {
    view.box = WaitForBox(title, over);
    if (view.box == nullptr) {
      view.problems.push_back("no box titled " + Show(title) + " appeared");
      return;
    }
    if (!Settled(view.box)) view.problems.push_back("box never became active with the focus inside");
    inspect(view);
    if (g_lingerMs > 0) Sleep(g_lingerMs);
    Respond(view, answer, typed);
    AwaitClosed(view);
  };
  std::function<void()> showing = show;
  HANDLE driver = Spawn(drive);
  if (driver == nullptr) problems.push_back("could not start the driver thread");
  if (ownThread) {
    Join(Spawn(showing));
  } else {
    show();
  }
  over = true;
  Join(driver);
  problems.insert(problems.end(), view.problems.begin(), view.problems.end());
}

const std::u16string kCommitText =
    u"トランザクションをコミットしますか?\nはい = commit、いいえ = rollback、ｷｬﾝｾﾙ = なにもしない";
const std::u16string kCommitTitle = u"コミット or ロールバック";

void InspectMessageBox(BoxView& view, const std::u16string& text, const std::u16string& title, HWND owner,
                       bool yesNoCancel) {
  // The message text is the static control with id 0xFFFF.
  const std::u16string shown = Text(GetDlgItem(view.box, 0xFFFF));
  if (shown != text) view.problems.push_back("text reads " + Show(shown));
  if (Text(view.box) != title) view.problems.push_back("title reads " + Show(Text(view.box)));
  if (yesNoCancel) {
    if (!GetDlgItem(view.box, IDYES) || !GetDlgItem(view.box, IDNO) || !GetDlgItem(view.box, IDCANCEL)) {
      view.problems.push_back("Yes, No and Cancel buttons not all there");
    }
  } else if (!GetDlgItem(view.box, IDOK)) {
    view.problems.push_back("no OK button");
  }
  HWND actualOwner = GetWindow(view.box, GW_OWNER);
  if (actualOwner != owner) view.problems.push_back("owner is " + Show(Text(actualOwner)));
  if (owner != nullptr && IsWindowEnabled(owner)) view.problems.push_back("owner window not disabled");
}

void CheckMessageBoxes(HWND main) {
  struct Case {
    const char* name;
    int style;
    Answer answer;
    int expected;
  };
  const Case cases[] = {
      {"message_box_yes", kMbYesNoCancelQuestion, Answer::Yes, kIdYes},
      {"message_box_no", kMbYesNoCancelQuestion, Answer::No, kIdNo},
      {"message_box_cancel", kMbYesNoCancelQuestion, Answer::CancelButton, kIdCancel},
      {"message_box_escape", kMbYesNoCancelQuestion, Answer::Escape, kIdCancel},
      {"message_box_close_message", kMbYesNoCancelQuestion, Answer::Close, kIdCancel},
      {"message_box_close_box", kMbYesNoCancelQuestion, Answer::SysClose, kIdCancel},
      {"message_box_ok", kMbOkExclamation, Answer::OkButton, kIdOk},
  };
  for (const Case& c : cases) {
    if (!Selected(c.name)) continue;
    Check check{c.name, {}, {}};
    Expect(check, Front(main), "test window not active");
    const bool question = c.style == kMbYesNoCancelQuestion;
    const std::u16string text = question ? kCommitText : u"設定ファイルが見つかりません。\r\n既定値で続けます。";
    const std::u16string title = question ? kCommitTitle : u"tovrin";
    int result = -1;
    RunBox(
        title, false, [&] { result = ShowMessageBox(text, c.style, title); },
        [&](BoxView& view) { InspectMessageBox(view, text, title, main, question); }, c.answer, u"",
        check.problems);
    Expect(check, result == c.expected,
           AnswerName(c.answer) + " gave " + Num(result) + ", expected " + Num(c.expected));
    Expect(check, IsWindowEnabled(main) != FALSE, "owner window left disabled");
    Finish(check);
  }

  if (Selected("message_box_without_window")) {
    Check check{"message_box_without_window", {}, {}};
    int result = -1;
    RunBox(
        kCommitTitle, true, [&] { result = ShowMessageBox(kCommitText, kMbYesNoCancelQuestion, kCommitTitle); },
        [&](BoxView& view) { InspectMessageBox(view, kCommitText, kCommitTitle, nullptr, true); }, Answer::No, u"",
        check.problems);
    Expect(check, result == kIdNo, "No gave " + Num(result));
    Finish(check);
  }
}

struct InputCase {
  const char* name;
  std::u16string prompt;
  std::u16string title;
  std::u16string defaultText;
  Answer answer;
  std::u16string typed;
  std::u16string expected;
};

void InspectInputBox(BoxView& view, const InputCase& c, HWND owner) {
  HWND box = view.box;
  HWND prompt = GetDlgItem(box, kInputBoxPromptId);
  HWND edit = GetDlgItem(box, kInputBoxEditId);
  if (prompt == nullptr || edit == nullptr || !GetDlgItem(box, IDOK) || !GetDlgItem(box, IDCANCEL)) {
    view.problems.push_back("controls missing");
    return;
  }
  if (Text(prompt) != c.prompt) view.problems.push_back("prompt reads " + Show(Text(prompt)));
  if (Text(box) != c.title) view.problems.push_back("title reads " + Show(Text(box)));
  if (Text(edit) != c.defaultText) view.problems.push_back("edit field reads " + Show(Text(edit)));
  DWORD start = 0;
  DWORD end = 0;
  SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  if (start != 0 || end != c.defaultText.size()) {
    view.problems.push_back("selection " + Num(start) + ".." + Num(end) + ", expected all of the default");
  }
  if (FocusOf(box) != edit) view.problems.push_back("edit field does not have the focus");
  const LRESULT defId = SendMessageW(box, DM_GETDEFID, 0, 0);
  if (HIWORD(defId) != DC_HASDEFID || LOWORD(defId) != IDOK) view.problems.push_back("OK is not the default button");
  if (GetWindow(box, GW_OWNER) != owner) view.problems.push_back("not owned by the active window");
  if (owner != nullptr && IsWindowEnabled(owner)) view.problems.push_back("owner window not disabled");

  // Centred on the screen (its work area), and wholly on it.
  RECT frame;
  GetWindowRect(box, &frame);
  MONITORINFO monitor = {};
  monitor.cbSize = sizeof(monitor);
  GetMonitorInfoW(MonitorFromWindow(box, MONITOR_DEFAULTTONEAREST), &monitor);
  const RECT& area = monitor.rcWork;
  const long dx = (frame.left + frame.right) - (area.left + area.right);
  const long dy = (frame.top + frame.bottom) - (area.top + area.bottom);
  if (dx < -3 || dx > 3 || dy < -3 || dy > 3) {
    view.problems.push_back("not centred: box " + Num(frame.left) + "," + Num(frame.top) + "-" + Num(frame.right) +
                            "," + Num(frame.bottom) + " in area " + Num(area.right) + "x" + Num(area.bottom));
  }
  if (frame.top < area.top || frame.bottom > area.bottom || frame.left < area.left || frame.right > area.right) {
    view.problems.push_back("box not wholly on the screen");
  }
  // The prompt sits at the top left, above the edit field.
  RECT promptRect;
  RECT editRect;
  GetWindowRect(prompt, &promptRect);
  GetWindowRect(edit, &editRect);
  if (promptRect.bottom > editRect.top || promptRect.left > editRect.left + 2) {
    view.problems.push_back("prompt not above the edit field at the left");
  }
}

void CheckInputBoxes(HWND main) {
  const std::u16string tablePrompt = u"テーブル名を入力して下さい。";
  const std::u16string tableTitle = u"テーブルレイアウト";
  const std::u16string sqlPrompt = u"SQL を編集入力して下さい。";
  const std::u16string sqlTitle = u"SQL 発行";
  const std::u16string severalLines = u"select *\r\nfrom 受注m\r\nwhere 番号 = 1";
  std::u16string longDefault;
  while (longDefault.size() < 100000) longDefault += u"update 受注m set a = 1 where b = 2; ";
  std::u16string longPrompt;
  while (longPrompt.size() < 600) longPrompt += u"長いプロンプトの文です。";

  const InputCase cases[] = {
      {"input_box_ok", tablePrompt, tableTitle, u"受注m", Answer::OkButton, u"", u"受注m"},
      {"input_box_typed", tablePrompt, tableTitle, u"受注m", Answer::TypeThenEnter, u"顧客ﾏｽﾀ", u"顧客ﾏｽﾀ"},
      {"input_box_empty_confirm", tablePrompt, tableTitle, u"受注m", Answer::ClearThenOk, u"", u""},
      {"input_box_cancel", tablePrompt, tableTitle, u"受注m", Answer::CancelButton, u"", u""},
      {"input_box_escape", sqlPrompt, sqlTitle, u"select 1;", Answer::Escape, u"", u""},
      {"input_box_close_box", sqlPrompt, sqlTitle, u"select 1;", Answer::SysClose, u"", u""},
      {"input_box_close_message", sqlPrompt, sqlTitle, u"select 1;", Answer::Close, u"", u""},
      {"input_box_several_lines", sqlPrompt, sqlTitle, severalLines, Answer::EnterKey, u"", severalLines},
      {"input_box_long_default", sqlPrompt, sqlTitle, longDefault, Answer::OkButton, u"", longDefault},
      {"input_box_long_prompt", longPrompt, sqlTitle, u"select 1;", Answer::OkButton, u"", u"select 1;"},
      {"input_box_empty_default", sqlPrompt, sqlTitle, u"", Answer::OkButton, u"", u""},
  };
  for (const InputCase& c : cases) {
    if (!Selected(c.name)) continue;
    Check check{c.name, {}, {}};
    Expect(check, Front(main), "test window not active");
    std::u16string result = u"(not returned)";
    RunBox(
        c.title, false, [&] { result = ShowInputBox(c.prompt, c.title, c.defaultText); },
        [&](BoxView& view) { InspectInputBox(view, c, main); }, c.answer, c.typed, check.problems);
    Expect(check, result == c.expected, AnswerName(c.answer) + " gave " + Show(result));
    Expect(check, IsWindowEnabled(main) != FALSE, "owner window left disabled");
    Finish(check);
  }

  if (Selected("input_box_without_window")) {
    Check check{"input_box_without_window", {}, {}};
    const InputCase c = {"", tablePrompt, tableTitle, u"受注m", Answer::EnterKey, u"", u"受注m"};
    std::u16string result = u"(not returned)";
    RunBox(
        c.title, true, [&] { result = ShowInputBox(c.prompt, c.title, c.defaultText); },
        [&](BoxView& view) { InspectInputBox(view, c, nullptr); }, c.answer, c.typed, check.problems);
    Expect(check, result == c.expected, "Enter gave " + Show(result));
    Finish(check);
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 4 && std::wcscmp(argv[1], L"--hold-clipboard") == 0) return HoldClipboard(argv[2], argv[3]);
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::wcscmp(argv[i], L"--out") == 0) {
      g_outFile = _wfopen(argv[i + 1], L"wb");
    } else if (std::wcscmp(argv[i], L"--only") == 0) {
      g_only = argv[i + 1];
    } else if (std::wcscmp(argv[i], L"--linger") == 0) {
      g_lingerMs = static_cast<DWORD>(std::wcstoul(argv[i + 1], nullptr, 10));
    }
  }
  Emit("info ANSI code page " + Num(GetACP()));

  if (!RegisterProbeClass()) {
    Emit("FAIL setup: cannot register the window class");
    return 1;
  }
  HWND main = MakeWindow(kMainTitle, 20, 20);
  if (main == nullptr) {
    Emit("FAIL setup: cannot create the test window");
    return 1;
  }
  Front(main);

  if (Selected("entry_points")) CheckEntryPoints();
  if (Selected("ansi_conversions")) CheckAnsiConversions();
  if (Selected("find_window")) CheckWrappersWide(main);
  if (Selected("ini")) CheckProfilesAndAnsiPath(main);
  if (Selected("clipboard")) CheckClipboard();
  if (Selected("clipboard_held")) CheckClipboardHeldElsewhere();
  if (Selected("activate")) CheckActivation(main);
  if (Selected("keys")) CheckKeystrokes(main);
  if (Selected("clocks")) CheckClocks();
  if (Selected("current_directory")) CheckCurrentDirectory();
  if (Selected("read_file")) CheckReadFile();
  CheckMessageBoxes(main);
  CheckInputBoxes(main);

  DestroyWindow(main);
  Emit("done: " + Num(g_checks) + " checks, " + Num(g_failed) + " failed");
  if (g_outFile != nullptr) std::fclose(g_outFile);
  return g_failed == 0 ? 0 : 1;
}
