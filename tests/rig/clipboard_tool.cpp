// A small console tool that sets and inspects the clipboard for the tests.
//
//   clipboard_tool set-file PATH     UTF-8 file -> clipboard (CF_UNICODETEXT)
//   clipboard_tool set-units PATH    raw UTF-16LE file -> clipboard, as is
//                                    (NULs and lone surrogates included)
//   clipboard_tool get-file PATH     clipboard -> PATH as one JSON object:
//                                    {"readable":bool,"formats":[ids],
//                                     "text":".." or null}
//   clipboard_tool get-units PATH    clipboard text -> raw UTF-16LE file
//   clipboard_tool set-ansi PATH     the file's bytes as ANSI text only (CF_TEXT;
//                                    the system offers CF_UNICODETEXT from it)
//   clipboard_tool set-bitmap        a small picture only (CF_BITMAP)
//   clipboard_tool empty             empties the clipboard
//   clipboard_tool hold UNTIL_FILE   opens the clipboard, prints "holding",
//                                    keeps it open until UNTIL_FILE exists
//                                    (at most two minutes)
//   clipboard_tool post ID [TITLE]   posts WM_COMMAND ID to the top-level window
//                                    titled TITLE (default "Oracle SQL*Plus")
//   clipboard_tool post-all ID [TITLE]  posts it to every top-level window
//                                    titled so; prints how many ("posted N")
//   clipboard_tool lock-file PATH UNTIL_FILE
//                                    opens PATH for reading and writing with no
//                                    sharing, prints "locked", keeps it open
//                                    until UNTIL_FILE exists (at most two
//                                    minutes); no other program can open PATH
//                                    meanwhile
//   clipboard_tool hang-owner PATH SECONDS UNTIL_FILE
//   clipboard_tool hang-delayed PATH SECONDS UNTIL_FILE
//                                    a clipboard owner that stops answering:
//                                    puts the UTF-8 file's text on the
//                                    clipboard (hang-delayed: as a promise,
//                                    rendered only when asked for), prints
//                                    "hanging", handles no message for SECONDS,
//                                    prints "awake", then serves the clipboard
//                                    until UNTIL_FILE exists (at most two
//                                    minutes)
//   clipboard_tool owner             prints the window class of the clipboard's
//                                    owner ("none" without one); reads nothing
//   clipboard_tool close [TITLE]     posts WM_CLOSE to that window
//   clipboard_tool activate TITLE    brings that window to the front and waits
//                                    until it is there
//   clipboard_tool is-front TITLE    succeeds when that window is in front
//   clipboard_tool minimize TITLE    minimises that window and waits until it is
//   clipboard_tool is-minimized TITLE  succeeds when that window is minimised
// (post-all and the last three fail when there is no such window).
//
// Files are used for text because non-ASCII arguments arrive corrupted under
// Wine. Exit code 0 on success, 1 on failure, 2 on bad usage; the last line
// on stdout is "ok" or "failed" as well.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "clipboard_text_win.h"

namespace {

bool ReadWholeFile(const wchar_t* path, std::string& out) {
  FILE* f = _wfopen(path, L"rb");
  if (!f) return false;
  out.clear();
  char buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
  bool ok = !std::ferror(f);
  std::fclose(f);
  return ok;
}

bool WriteWholeFile(const wchar_t* path, const void* data, size_t size) {
  FILE* f = _wfopen(path, L"wb");
  if (!f) return false;
  bool ok = size == 0 || std::fwrite(data, 1, size, f) == size;
  ok = std::fclose(f) == 0 && ok;
  return ok;
}

// The clipboard is opened for a window of this tool's own: opened without
// one, EmptyClipboard leaves the clipboard ownerless (SetClipboardData may
// then fail), and Wine lets any caller that passes no window into a
// clipboard that was opened without one.
HWND OwnerWindow() {
  static HWND owner = CreateWindowExW(0, L"STATIC", L"clipboard_tool", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                      GetModuleHandleW(nullptr), nullptr);
  return owner;
}

// Another program may have the clipboard open for a moment: retry for a
// few seconds before giving up.
bool OpenClipboardPatiently() {
  for (int attempt = 0; attempt < 250; ++attempt) {
    if (OpenClipboard(OwnerWindow())) return true;
    Sleep(20);
  }
  return false;
}

// Empties the clipboard and puts data on it as format; the clipboard then
// owns data. Emptying can fail for a moment (under Wine while the previous
// owner's process is ending): try the whole sequence again for a while.
bool ReplaceClipboard(UINT format, HANDLE data) {
  bool ok = false;
  for (int attempt = 0; attempt < 50 && !ok; ++attempt) {
    if (attempt > 0) Sleep(20);
    if (!OpenClipboardPatiently()) break;
    ok = EmptyClipboard() && SetClipboardData(format, data) != nullptr;
    CloseClipboard();
  }
  return ok;
}

// The text as a movable memory block with a NUL after it, as the clipboard
// takes it; nullptr when there is no memory.
HGLOBAL TextMemory(const std::wstring& units) {
  HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, (units.size() + 1) * sizeof(wchar_t));
  if (!mem) return nullptr;
  wchar_t* p = static_cast<wchar_t*>(GlobalLock(mem));
  std::memcpy(p, units.data(), units.size() * sizeof(wchar_t));
  p[units.size()] = 0;
  GlobalUnlock(mem);
  return mem;
}

bool SetUnits(const std::wstring& units) {
  HGLOBAL mem = TextMemory(units);
  if (!mem) return false;
  bool ok = ReplaceClipboard(CF_UNICODETEXT, mem);
  if (!ok) GlobalFree(mem);
  return ok;
}

int SetFile(const wchar_t* path) {
  std::string bytes;
  if (!ReadWholeFile(path, bytes)) return 1;
  std::wstring units;
  if (!bytes.empty()) {
    int n = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    if (n <= 0) return 1;
    units.resize(n);
    MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), &units[0], n);
  }
  return SetUnits(units) ? 0 : 1;
}

int SetUnitsFile(const wchar_t* path) {
  std::string bytes;
  if (!ReadWholeFile(path, bytes)) return 1;
  std::wstring units(bytes.size() / 2, L'\0');
  if (!units.empty()) std::memcpy(&units[0], bytes.data(), units.size() * 2);
  return SetUnits(units) ? 0 : 1;
}

// Reads the clipboard: whether it could be opened, the formats on it, and
// its Unicode text when it has one (up to the first NUL).
struct Contents {
  bool readable = false;
  bool hasText = false;
  std::vector<UINT> formats;
  std::wstring text;
};

Contents Read() {
  Contents c;
  if (!OpenClipboardPatiently()) return c;
  c.readable = true;
  for (UINT f = EnumClipboardFormats(0); f != 0; f = EnumClipboardFormats(f)) c.formats.push_back(f);
  c.hasText = ReadOpenClipboardText(c.text);
  CloseClipboard();
  return c;
}

int GetFile(const wchar_t* path) {
  Contents c = Read();
  std::string json = "{\"readable\":";
  json += c.readable ? "true" : "false";
  json += ",\"formats\":[";
  for (size_t i = 0; i < c.formats.size(); ++i) {
    if (i) json += ',';
    json += std::to_string(c.formats[i]);
  }
  json += "],\"text\":";
  if (c.hasText) {
    json += '"';
    AppendJsonString(json, c.text.data(), c.text.size());
    json += '"';
  } else {
    json += "null";
  }
  json += "}\n";
  return WriteWholeFile(path, json.data(), json.size()) ? 0 : 1;
}

int GetUnits(const wchar_t* path) {
  Contents c = Read();
  if (!c.readable) return 1;
  return WriteWholeFile(path, c.text.data(), c.text.size() * sizeof(wchar_t)) ? 0 : 1;
}

int SetAnsiFile(const wchar_t* path) {
  std::string bytes;
  if (!ReadWholeFile(path, bytes)) return 1;
  HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, bytes.size() + 1);
  if (!mem) return 1;
  char* p = static_cast<char*>(GlobalLock(mem));
  std::memcpy(p, bytes.data(), bytes.size());
  p[bytes.size()] = 0;
  GlobalUnlock(mem);
  bool ok = ReplaceClipboard(CF_TEXT, mem);
  if (!ok) GlobalFree(mem);
  return ok ? 0 : 1;
}

int SetBitmap() {
  HDC screen = GetDC(nullptr);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, 16, 16);
  if (bitmap) {
    HDC dc = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(dc, bitmap);
    RECT r = {0, 0, 16, 16};
    HBRUSH brush = CreateSolidBrush(RGB(200, 40, 40));
    FillRect(dc, &r, brush);
    DeleteObject(brush);
    SelectObject(dc, old);
    DeleteDC(dc);
  }
  ReleaseDC(nullptr, screen);
  if (!bitmap) return 1;
  bool ok = ReplaceClipboard(CF_BITMAP, bitmap);
  if (!ok) DeleteObject(bitmap);
  return ok ? 0 : 1;
}

int Empty() {
  if (!OpenClipboardPatiently()) return 1;
  bool ok = EmptyClipboard() != 0;
  CloseClipboard();
  return ok ? 0 : 1;
}

// Waits until `untilFile` exists, at most two minutes, so that a test that
// dies cannot leave something held for good.
void WaitForFile(const wchar_t* untilFile) {
  for (int i = 0; i < 6000; ++i) {
    if (GetFileAttributesW(untilFile) != INVALID_FILE_ATTRIBUTES) break;
    Sleep(20);
  }
}

int Hold(const wchar_t* untilFile) {
  if (!OpenClipboardPatiently()) return 1;
  std::printf("holding\n");
  std::fflush(stdout);
  WaitForFile(untilFile);
  CloseClipboard();
  std::printf("released\n");
  std::fflush(stdout);
  return 0;
}

int LockFileUntil(const wchar_t* path, const wchar_t* untilFile) {
  HANDLE file = CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                            nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  std::printf("locked\n");
  std::fflush(stdout);
  WaitForFile(untilFile);
  CloseHandle(file);
  std::printf("released\n");
  std::fflush(stdout);
  return 0;
}

// The hanging owner: a window of its own that renders the promised text when
// asked, and leaves the text behind when it goes.
std::wstring g_promised;

LRESULT CALLBACK HangingOwnerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_RENDERFORMAT:
      if (wParam == CF_UNICODETEXT) SetClipboardData(CF_UNICODETEXT, TextMemory(g_promised));
      return 0;
    case WM_RENDERALLFORMATS:
      if (OpenClipboard(hwnd)) {
        if (GetClipboardOwner() == hwnd) SetClipboardData(CF_UNICODETEXT, TextMemory(g_promised));
        CloseClipboard();
      }
      return 0;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

int HangingOwner(const wchar_t* path, const wchar_t* seconds, const wchar_t* untilFile, bool delayed) {
  std::string bytes;
  if (!ReadWholeFile(path, bytes)) return 1;
  if (!bytes.empty()) {
    int n = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    g_promised.resize(n > 0 ? n : 0);
    if (n > 0) MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), &g_promised[0], n);
  }
  WNDCLASSW wc = {};
  wc.lpfnWndProc = HangingOwnerProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"clipboard_tool_hanging_owner";
  if (!RegisterClassW(&wc)) return 1;
  HWND owner = CreateWindowExW(0, wc.lpszClassName, L"hanging owner", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                               wc.hInstance, nullptr);
  if (!owner) return 1;
  bool ok = false;
  for (int attempt = 0; attempt < 250 && !ok; ++attempt) {
    if (attempt > 0) Sleep(20);
    if (!OpenClipboard(owner)) continue;
    // A promise (no data) gives no handle back: its format is there instead.
    ok = EmptyClipboard() &&
         (SetClipboardData(CF_UNICODETEXT, delayed ? nullptr : TextMemory(g_promised)) != nullptr ||
          (delayed && IsClipboardFormatAvailable(CF_UNICODETEXT)));
    CloseClipboard();
  }
  if (!ok) return 1;
  std::printf("hanging\n");
  std::fflush(stdout);
  Sleep(static_cast<DWORD>(std::wcstoul(seconds, nullptr, 10) * 1000));
  std::printf("awake\n");
  std::fflush(stdout);
  for (int i = 0; i < 6000 && GetFileAttributesW(untilFile) == INVALID_FILE_ATTRIBUTES; ++i) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
  DestroyWindow(owner);
  return 0;
}

HWND FindByTitle(const wchar_t* title) { return FindWindowW(nullptr, title ? title : L"Oracle SQL*Plus"); }

struct PostAll {
  const wchar_t* title;
  WPARAM command;
  int posted;
};

BOOL CALLBACK PostIfTitled(HWND window, LPARAM param) {
  PostAll& all = *reinterpret_cast<PostAll*>(param);
  wchar_t text[256];
  int n = GetWindowTextW(window, text, 256);
  if (n > 0 && std::wcscmp(text, all.title) == 0 && PostMessageW(window, WM_COMMAND, all.command, 0)) ++all.posted;
  return TRUE;
}

int PostToAll(const wchar_t* id, const wchar_t* title) {
  PostAll all = {title ? title : L"Oracle SQL*Plus", static_cast<WPARAM>(std::wcstoul(id, nullptr, 10) & 0xffff), 0};
  EnumWindows(PostIfTitled, reinterpret_cast<LPARAM>(&all));
  std::printf("posted %d\n", all.posted);
  return all.posted > 0 ? 0 : 1;
}

int Post(const wchar_t* id, const wchar_t* title) {
  HWND window = FindByTitle(title);
  if (!window) return 1;
  WPARAM command = static_cast<WPARAM>(std::wcstoul(id, nullptr, 10) & 0xffff);
  return PostMessageW(window, WM_COMMAND, command, 0) ? 0 : 1;
}

int Close(const wchar_t* title) {
  HWND window = FindByTitle(title);
  if (!window) return 1;
  return PostMessageW(window, WM_CLOSE, 0, 0) ? 0 : 1;
}

// Succeeds once the window is in front (waits up to ten seconds).
int Activate(const wchar_t* title) {
  HWND window = FindByTitle(title);
  if (!window) return 1;
  for (int attempt = 0; attempt < 500; ++attempt) {
    if (GetForegroundWindow() == window) return 0;
    if (attempt % 25 == 0) SetForegroundWindow(window);
    Sleep(20);
  }
  return 1;
}

int Minimize(const wchar_t* title) {
  HWND window = FindByTitle(title);
  if (!window) return 1;
  ShowWindow(window, SW_MINIMIZE);
  for (int attempt = 0; attempt < 500 && !IsIconic(window); ++attempt) Sleep(20);
  return IsIconic(window) ? 0 : 1;
}

int IsMinimized(const wchar_t* title) {
  HWND window = FindByTitle(title);
  return window && IsIconic(window) ? 0 : 1;
}

int IsFront(const wchar_t* title) {
  HWND window = FindByTitle(title);
  return window && GetForegroundWindow() == window ? 0 : 1;
}

int Owner() {
  HWND owner = GetClipboardOwner();
  wchar_t name[256] = L"none";
  if (owner && !GetClassNameW(owner, name, 256)) return 1;
  std::printf("%ls\n", name);
  return 0;
}

int Dispatch(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  std::wstring command = argv[1];
  const wchar_t* arg = argc > 2 ? argv[2] : nullptr;
  const wchar_t* arg2 = argc > 3 ? argv[3] : nullptr;
  const wchar_t* arg3 = argc > 4 ? argv[4] : nullptr;
  if (command == L"set-file" && arg) return SetFile(arg);
  if (command == L"set-units" && arg) return SetUnitsFile(arg);
  if (command == L"get-file" && arg) return GetFile(arg);
  if (command == L"get-units" && arg) return GetUnits(arg);
  if (command == L"set-ansi" && arg) return SetAnsiFile(arg);
  if (command == L"set-bitmap") return SetBitmap();
  if (command == L"empty") return Empty();
  if (command == L"hold" && arg) return Hold(arg);
  if (command == L"post" && arg) return Post(arg, arg2);
  if (command == L"post-all" && arg) return PostToAll(arg, arg2);
  if (command == L"lock-file" && arg && arg2) return LockFileUntil(arg, arg2);
  if (command == L"hang-owner" && arg && arg2 && arg3) return HangingOwner(arg, arg2, arg3, false);
  if (command == L"hang-delayed" && arg && arg2 && arg3) return HangingOwner(arg, arg2, arg3, true);
  if (command == L"owner") return Owner();
  if (command == L"close") return Close(arg);
  if (command == L"activate" && arg) return Activate(arg);
  if (command == L"is-front" && arg) return IsFront(arg);
  if (command == L"minimize" && arg) return Minimize(arg);
  if (command == L"is-minimized" && arg) return IsMinimized(arg);
  return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  int result = Dispatch(argc, argv);
  if (result == 2) {
    std::fprintf(stderr, "usage: clipboard_tool set-file|set-units|set-ansi|get-file|get-units PATH | set-bitmap | empty | "
                         "hold UNTIL_FILE | post ID [TITLE] | post-all ID [TITLE] | lock-file PATH UNTIL_FILE | "
                         "hang-owner|hang-delayed PATH SECONDS UNTIL_FILE | owner | close [TITLE] | activate TITLE | "
                         "is-front|minimize|is-minimized TITLE\n");
  }
  // The result also goes to stdout: a program started in a Wine virtual
  // desktop (wine explorer /desktop=...) does not pass its exit code on.
  std::printf(result == 0 ? "ok\n" : "failed\n");
  std::fflush(stdout);
  return result;
}
