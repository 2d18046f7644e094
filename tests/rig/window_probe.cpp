// window_probe: finds a top-level window and prints what Win32 reports about
// it and its child windows, as JSON (ASCII only: other characters as \uXXXX).
//
//   window_probe (--title TEXT | --title-hex 0053,0051,... | --title-file PATH)
//                [--class NAME] [--wait SECONDS] [--gone SECONDS] [--out PATH] [--no-items]
//   window_probe --file PROGRAM.exe [--out PATH]
//
// The title is matched exactly. Non-ASCII command-line arguments do not
// survive under Wine, so a Japanese title is given as UTF-16 code units in
// hex or in a UTF-8 file.
//   --wait S   waits up to S seconds for the window to exist and be visible,
//              then reports; "shown_ms" is the time from the start of the
//              window's process to the moment the probe saw it visible.
//   --gone S   waits up to S seconds for the window to disappear and reports
//              only {"found": ...}.
//   --out P    writes the JSON to P instead of standard output.
//   --ready P  with --wait: creates the empty file P once the first search
//              for the window is done (a program started after it appears
//              is timed from its start).
//   --no-items leaves out the combo boxes' items (their count stays).
//   --dpi-changed DPI,LEFT,TOP,RIGHT,BOTTOM
//              first sends the window WM_DPICHANGED as Windows does when it
//              moves to a monitor of DPI, with that rectangle (screen) as the
//              suggested one, then reports once it was handled.
// Reported: window and client rectangles (screen), style bits, DPI, the work
// area, the class icon, the focused window, and every child (recursively, in
// z-order from the top) with class, id, text, rectangle relative to the
// top-level window's client area, client size, style bits and, for combo
// boxes, the items, the selection and the edit field's text.
// --file reports a program file's resources instead: its version record,
// its icon groups (size, colour depth and length of every image), its raw
// data resources and its manifest.
// Exit code: 0 found (or gone with --gone), 1 not found, 2 bad arguments.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "json_quote.h"

namespace {

std::wstring g_title;
std::wstring g_class;
bool g_items = true;  // list the combo boxes' items

// JSON output ------------------------------------------------------------------

std::string Num(long long v) { return std::to_string(v); }

std::string Rect(const RECT& r) {
  return "[" + Num(r.left) + ", " + Num(r.top) + ", " + Num(r.right) + ", " + Num(r.bottom) + "]";
}

std::string Bool(bool b) { return b ? "true" : "false"; }

// Reading another process's windows -----------------------------------------------

constexpr UINT kTimeoutMs = 5000;

LRESULT Send(HWND w, UINT msg, WPARAM wp, LPARAM lp, bool& ok) {
  DWORD_PTR result = 0;
  ok = SendMessageTimeoutW(w, msg, wp, lp, SMTO_ABORTIFHUNG, kTimeoutMs, &result) != 0;
  return static_cast<LRESULT>(result);
}

std::wstring TextOf(HWND w) {
  bool ok = false;
  LRESULT length = Send(w, WM_GETTEXTLENGTH, 0, 0, ok);
  if (!ok || length <= 0) return L"";
  std::vector<wchar_t> buffer(static_cast<size_t>(length) + 2, L'\0');
  LRESULT got = Send(w, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()), ok);
  if (!ok || got < 0) return L"";
  return std::wstring(buffer.data(), static_cast<size_t>(got));
}

std::wstring ClassOf(HWND w) {
  wchar_t name[256] = {};
  GetClassNameW(w, name, 256);
  return name;
}

typedef UINT(WINAPI* GetDpiForWindowFn)(HWND);
typedef BOOL(WINAPI* SetProcessDpiAwarenessContextFn)(HANDLE);
// DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2, which the headers of an XP
// target need not declare.
const HANDLE kDpiAwarenessPerMonitorV2 = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4));

template <typename F>
F UserFunction(const char* name) {
  HMODULE user = GetModuleHandleW(L"user32.dll");
  return user ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(user, name))) : nullptr;
}

std::string ComboJson(HWND combo) {
  bool ok = false;
  LRESULT count = Send(combo, CB_GETCOUNT, 0, 0, ok);
  if (!ok || count < 0) count = 0;
  std::string items = "[";
  for (LRESULT i = 0; g_items && i < count; ++i) {
    LRESULT length = Send(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0, ok);
    std::wstring text;
    if (ok && length >= 0) {
      std::vector<wchar_t> buffer(static_cast<size_t>(length) + 2, L'\0');
      LRESULT got = Send(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buffer.data()), ok);
      if (ok && got >= 0) text.assign(buffer.data(), static_cast<size_t>(got));
    }
    if (i) items += ", ";
    items += JsonQuote(text);
  }
  items += "]";
  LRESULT selection = Send(combo, CB_GETCURSEL, 0, 0, ok);
  LRESULT itemHeight = Send(combo, CB_GETITEMHEIGHT, 0, 0, ok);
  LRESULT topIndex = Send(combo, CB_GETTOPINDEX, 0, 0, ok);
  return "{\"count\": " + Num(count) + ", \"selection\": " + Num(selection) +
         ", \"item_height\": " + Num(itemHeight) + ", \"top_index\": " + Num(topIndex) +
         ", \"edit_text\": " + JsonQuote(TextOf(combo)) + ", \"items\": " + items + "}";
}

std::string ChildrenJson(HWND top, HWND parent, int depth) {
  std::string out = "[";
  int z = 0;
  for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT), ++z) {
    RECT r = {};
    GetWindowRect(c, &r);
    MapWindowPoints(nullptr, top, reinterpret_cast<POINT*>(&r), 2);
    RECT client = {};
    GetClientRect(c, &client);
    std::wstring cls = ClassOf(c);
    if (z) out += ",";
    out += "\n" + std::string(static_cast<size_t>(depth) * 2 + 2, ' ');
    out += "{\"z\": " + Num(z) + ", \"class\": " + JsonQuote(cls) + ", \"id\": " + Num(GetDlgCtrlID(c)) +
           ", \"text\": " + JsonQuote(TextOf(c)) + ", \"rect\": " + Rect(r) +
           ", \"x\": " + Num(r.left) + ", \"y\": " + Num(r.top) + ", \"width\": " + Num(r.right - r.left) +
           ", \"height\": " + Num(r.bottom - r.top) + ", \"client_width\": " + Num(client.right) +
           ", \"client_height\": " + Num(client.bottom) +
           ", \"style\": " + Num(static_cast<unsigned long>(GetWindowLongW(c, GWL_STYLE))) +
           ", \"exstyle\": " + Num(static_cast<unsigned long>(GetWindowLongW(c, GWL_EXSTYLE))) +
           ", \"visible\": " + Bool(IsWindowVisible(c)) + ", \"enabled\": " + Bool(IsWindowEnabled(c));
    if (lstrcmpiW(cls.c_str(), L"ComboBox") == 0) out += ", \"combo\": " + ComboJson(c);
    out += ", \"children\": " + ChildrenJson(top, c, depth + 1) + "}";
  }
  return out + "]";
}

std::string FocusJson(HWND top) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof(info);
  DWORD thread = GetWindowThreadProcessId(top, nullptr);
  if (!GetGUIThreadInfo(thread, &info)) return "null";
  HWND f = info.hwndFocus;
  if (!f) return "{\"active\": " + Bool(info.hwndActive == top) + "}";
  // The child of the top-level window that holds the focus.
  HWND child = f;
  while (child && GetParent(child) && GetParent(child) != top) child = GetParent(child);
  return "{\"active\": " + Bool(info.hwndActive == top) + ", \"class\": " + JsonQuote(ClassOf(f)) +
         ", \"id\": " + Num(GetDlgCtrlID(f)) + ", \"is_top\": " + Bool(f == top) +
         ", \"child_id\": " + Num(child && child != top ? GetDlgCtrlID(child) : 0) +
         ", \"child_class\": " + JsonQuote(child && child != top ? ClassOf(child) : L"") + "}";
}

std::string WindowJson(HWND w, long long shownMs) {
  RECT window = {}, client = {};
  GetWindowRect(w, &window);
  GetClientRect(w, &client);
  POINT origin = {0, 0};
  ClientToScreen(w, &origin);
  static GetDpiForWindowFn dpiFor = UserFunction<GetDpiForWindowFn>("GetDpiForWindow");
  HDC dc = GetDC(nullptr);
  int systemDpi = dc ? GetDeviceCaps(dc, LOGPIXELSY) : 0;
  if (dc) ReleaseDC(nullptr, dc);
  RECT work = {};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  MONITORINFO monitor = {};
  monitor.cbSize = sizeof(monitor);
  GetMonitorInfoW(MonitorFromWindow(w, MONITOR_DEFAULTTOPRIMARY), &monitor);
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  std::string out = "{\"found\": true";
  out += ",\n \"title\": " + JsonQuote(TextOf(w));
  out += ",\n \"class\": " + JsonQuote(ClassOf(w));
  out += ",\n \"pid\": " + Num(pid);
  out += ",\n \"visible\": " + Bool(IsWindowVisible(w));
  out += ",\n \"window_rect\": " + Rect(window);
  out += ",\n \"client_origin\": [" + Num(origin.x) + ", " + Num(origin.y) + "]";
  out += ",\n \"client_width\": " + Num(client.right) + ", \"client_height\": " + Num(client.bottom);
  out += ",\n \"style\": " + Num(static_cast<unsigned long>(GetWindowLongW(w, GWL_STYLE)));
  out += ",\n \"exstyle\": " + Num(static_cast<unsigned long>(GetWindowLongW(w, GWL_EXSTYLE)));
  out += ",\n \"dpi\": " + Num(dpiFor ? dpiFor(w) : systemDpi) + ", \"system_dpi\": " + Num(systemDpi);
  out += ",\n \"screen\": [" + Num(GetSystemMetrics(SM_CXSCREEN)) + ", " + Num(GetSystemMetrics(SM_CYSCREEN)) + "]";
  out += ",\n \"work_area\": " + Rect(work);
  out += ",\n \"monitor_work_area\": " + Rect(monitor.rcWork);
  out += ",\n \"foreground\": " + Bool(GetForegroundWindow() == w);
  out += ",\n \"focus\": " + FocusJson(w);
  if (shownMs >= 0) out += ",\n \"shown_ms\": " + Num(shownMs);
  out += ",\n \"children\": " + ChildrenJson(w, w, 0);
  return out + "\n}\n";
}

// WM_DPICHANGED to another process's window ----------------------------------------

constexpr UINT kWmDpiChanged = 0x02E0;

bool ParseDpiChanged(const wchar_t* s, int& dpi, RECT& r) {
  long v[5] = {};
  for (int i = 0; i < 5; ++i) {
    wchar_t* end = nullptr;
    v[i] = std::wcstol(s, &end, 10);
    if (end == s || (i < 4 ? *end != L',' : *end != L'\0')) return false;
    s = end + 1;
  }
  dpi = static_cast<int>(v[0]);
  r = RECT{v[1], v[2], v[3], v[4]};
  return dpi > 0;
}

// The suggested rectangle travels by pointer, valid only in the window's
// process: it is written there, and at the same address here, so that it
// reads the same whether or not the system carries the message's data
// across. False when it could not be placed or the window did not answer.
bool SendDpiChanged(HWND w, int dpi, const RECT& suggested) {
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE | PROCESS_VM_READ, FALSE, pid);
  if (!process) return false;
  void* remote = VirtualAllocEx(process, nullptr, sizeof(RECT), MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
  SIZE_T written = 0;
  bool ok = remote && WriteProcessMemory(process, remote, &suggested, sizeof(RECT), &written) &&
            written == sizeof(RECT);
  void* local = ok ? VirtualAlloc(remote, sizeof(RECT), MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE) : nullptr;
  if (local == remote && local) std::memcpy(local, &suggested, sizeof(RECT));
  if (ok) {
    Send(w, kWmDpiChanged, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(remote), ok);
  }
  if (local) VirtualFree(local, 0, MEM_RELEASE);
  if (remote) VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  CloseHandle(process);
  return ok;
}

// A program file's resources -------------------------------------------------------

std::string VersionJson(const wchar_t* path) {
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeW(path, &ignored);
  if (size == 0) return "null";
  std::vector<unsigned char> data(size);
  if (!GetFileVersionInfoW(path, 0, size, data.data())) return "null";
  std::string out = "{";
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) && fixed) {
    auto quad = [](DWORD ms, DWORD ls) {
      return Num(HIWORD(ms)) + "." + Num(LOWORD(ms)) + "." + Num(HIWORD(ls)) + "." + Num(LOWORD(ls));
    };
    out += "\"file_version\": \"" + quad(fixed->dwFileVersionMS, fixed->dwFileVersionLS) + "\", ";
    out += "\"product_version\": \"" + quad(fixed->dwProductVersionMS, fixed->dwProductVersionLS) + "\", ";
  }
  WORD* translation = nullptr;
  std::string translations = "[";
  std::string strings = "{";
  if (VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                     &length) &&
      translation) {
    for (UINT i = 0; i + 1 < length / sizeof(WORD); i += 2) {
      wchar_t block[64];
      swprintf(block, 64, L"\\StringFileInfo\\%04x%04x\\", translation[i], translation[i + 1]);
      if (i) translations += ", ";
      translations += "[" + Num(translation[i]) + ", " + Num(translation[i + 1]) + "]";
      const wchar_t* names[] = {L"CompanyName", L"FileDescription", L"FileVersion", L"InternalName",
                                L"LegalCopyright", L"OriginalFilename", L"ProductName", L"ProductVersion"};
      for (const wchar_t* name : names) {
        std::wstring key = std::wstring(block) + name;
        wchar_t* value = nullptr;
        UINT chars = 0;
        if (VerQueryValueW(data.data(), key.c_str(), reinterpret_cast<void**>(&value), &chars) && value) {
          if (strings.size() > 1) strings += ", ";
          strings += JsonQuote(name) + ": " + JsonQuote(value);
        }
      }
    }
  }
  return out + "\"translations\": " + translations + "], \"strings\": " + strings + "}}";
}

#pragma pack(push, 2)
struct GroupIconEntry {
  BYTE width, height, colours, reserved;
  WORD planes, bitCount;
  DWORD bytes;
  WORD id;
};
#pragma pack(pop)

BOOL CALLBACK CollectName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR names) {
  reinterpret_cast<std::vector<std::wstring>*>(names)->push_back(
      IS_INTRESOURCE(name) ? L"#" + std::to_wstring(reinterpret_cast<ULONG_PTR>(name)) : std::wstring(name));
  return TRUE;
}

std::vector<std::wstring> ResourceNames(HMODULE module, LPCWSTR type) {
  std::vector<std::wstring> names;
  EnumResourceNamesW(module, type, CollectName, reinterpret_cast<LONG_PTR>(&names));
  return names;
}

bool ResourceBytes(HMODULE module, LPCWSTR name, LPCWSTR type, const unsigned char*& bytes, DWORD& size) {
  HRSRC r = FindResourceW(module, name, type);
  HGLOBAL g = r ? LoadResource(module, r) : nullptr;
  bytes = g ? static_cast<const unsigned char*>(LockResource(g)) : nullptr;
  size = r ? SizeofResource(module, r) : 0;
  return bytes != nullptr;
}

LPCWSTR NameArg(const std::wstring& name) {
  return name[0] == L'#' ? MAKEINTRESOURCEW(std::wcstoul(name.c_str() + 1, nullptr, 10)) : name.c_str();
}

// The program's manifest: resource 1 of type RT_MANIFEST (which the headers
// of an XP target need not declare).
const LPCWSTR kManifestId = MAKEINTRESOURCEW(1);
const LPCWSTR kManifestType = MAKEINTRESOURCEW(24);

std::string ResourcesJson(const wchar_t* path) {
  HMODULE module = LoadLibraryExW(path, nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (!module) module = LoadLibraryExW(path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!module) return "{\"found\": false}\n";
  std::string out = "{\"found\": true,\n \"version\": " + VersionJson(path) + ",\n \"icon_groups\": [";
  bool first = true;
  for (const std::wstring& group : ResourceNames(module, RT_GROUP_ICON)) {
    const unsigned char* bytes = nullptr;
    DWORD size = 0;
    if (!ResourceBytes(module, NameArg(group), RT_GROUP_ICON, bytes, size) || size < 6) continue;
    WORD count = *reinterpret_cast<const WORD*>(bytes + 4);
    out += std::string(first ? "" : ", ") + "{\"name\": " + JsonQuote(group) + ", \"images\": [";
    first = false;
    for (WORD i = 0; i < count && 6 + (i + 1) * sizeof(GroupIconEntry) <= size; ++i) {
      GroupIconEntry e;
      memcpy(&e, bytes + 6 + i * sizeof(GroupIconEntry), sizeof(e));
      // The image itself: its bitmap header tells the real depth.
      const unsigned char* image = nullptr;
      DWORD imageSize = 0;
      long long depth = -1;
      if (ResourceBytes(module, MAKEINTRESOURCEW(e.id), RT_ICON, image, imageSize) && imageSize >= 40) {
        depth = *reinterpret_cast<const WORD*>(image + 14);
      }
      out += std::string(i ? ", " : "") + "{\"width\": " + Num(e.width ? e.width : 256) +
             ", \"height\": " + Num(e.height ? e.height : 256) + ", \"bit_count\": " + Num(e.bitCount) +
             ", \"bitmap_bit_count\": " + Num(depth) + ", \"bytes\": " + Num(e.bytes) + "}";
    }
    out += "]}";
  }
  for (const auto& kind : {std::make_pair("rcdata", RT_RCDATA), std::make_pair("bitmaps", RT_BITMAP)}) {
    out += std::string("],\n \"") + kind.first + "\": [";
    first = true;
    for (const std::wstring& name : ResourceNames(module, kind.second)) {
      const unsigned char* bytes = nullptr;
      DWORD size = 0;
      if (!ResourceBytes(module, NameArg(name), kind.second, bytes, size)) continue;
      char head[32] = "";
      for (DWORD i = 0; i < size && i < 4; ++i) std::snprintf(head + i * 2, 3, "%02x", bytes[i]);
      out += std::string(first ? "" : ", ") + "{\"name\": " + JsonQuote(name) + ", \"bytes\": " + Num(size) +
             ", \"head\": \"" + head + "\"}";
      first = false;
    }
  }
  out += "],\n \"manifest\": ";
  const unsigned char* manifest = nullptr;
  DWORD manifestSize = 0;
  if (ResourceBytes(module, kManifestId, kManifestType, manifest, manifestSize)) {
    std::wstring text;
    for (DWORD i = 0; i < manifestSize; ++i) text += static_cast<wchar_t>(manifest[i]);
    out += JsonQuote(text);
  } else {
    out += "null";
  }
  FreeLibrary(module);
  return out + "\n}\n";
}

// Finding the window ----------------------------------------------------------------

BOOL CALLBACK Match(HWND w, LPARAM found) {
  int length = GetWindowTextLengthW(w);
  std::vector<wchar_t> buffer(static_cast<size_t>(length) + 2, L'\0');
  GetWindowTextW(w, buffer.data(), length + 1);
  if (g_title != buffer.data()) return TRUE;
  if (!g_class.empty() && lstrcmpiW(g_class.c_str(), ClassOf(w).c_str()) != 0) return TRUE;
  *reinterpret_cast<HWND*>(found) = w;
  return FALSE;
}

HWND Find() {
  HWND found = nullptr;
  EnumWindows(Match, reinterpret_cast<LPARAM>(&found));
  return found;
}

long long FileTimeMs(const FILETIME& t) {
  ULARGE_INTEGER u;
  u.LowPart = t.dwLowDateTime;
  u.HighPart = t.dwHighDateTime;
  return static_cast<long long>(u.QuadPart / 10000);
}

// Milliseconds from the start of the window's process to now.
long long MsSinceProcessStart(HWND w) {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  if (!process) return -1;
  FILETIME created, exited, kernel, user;
  bool ok = GetProcessTimes(process, &created, &exited, &kernel, &user) != 0;
  CloseHandle(process);
  return ok ? FileTimeMs(now) - FileTimeMs(created) : -1;
}

bool ReadUtf8File(const wchar_t* path, std::wstring& out) {
  HANDLE f = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  std::string bytes;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(f, buffer, sizeof(buffer), &got, nullptr) && got > 0) bytes.append(buffer, got);
  CloseHandle(f);
  if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) bytes.erase(0, 3);
  while (!bytes.empty() && (bytes.back() == '\n' || bytes.back() == '\r')) bytes.pop_back();
  int n = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  std::vector<wchar_t> wide(static_cast<size_t>(n) + 1, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), wide.data(), n);
  out.assign(wide.data(), static_cast<size_t>(n));
  return true;
}

bool ParseHex(const wchar_t* s, std::wstring& out) {
  out.clear();
  while (*s) {
    while (*s == L',' || *s == L' ') ++s;
    if (!*s) break;
    wchar_t* end = nullptr;
    unsigned long v = std::wcstoul(s, &end, 16);
    if (end == s || v > 0xFFFF) return false;
    out += static_cast<wchar_t>(v);
    s = end;
  }
  return true;
}

int Usage() {
  std::fputs("usage: window_probe (--title T | --title-hex HEX,... | --title-file PATH) [--class C]"
             " [--wait S] [--gone S] [--dpi-changed DPI,L,T,R,B] [--out PATH]\n",
             stderr);
  return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  SetProcessDpiAwarenessContextFn aware =
      UserFunction<SetProcessDpiAwarenessContextFn>("SetProcessDpiAwarenessContext");
  if (aware) aware(kDpiAwarenessPerMonitorV2);

  bool haveTitle = false;
  double wait = 0, gone = -1;
  const wchar_t* outPath = nullptr;
  const wchar_t* filePath = nullptr;
  const wchar_t* readyPath = nullptr;
  int changedDpi = 0;
  RECT suggested = {};
  for (int i = 1; i < argc; ++i) {
    std::wstring a = argv[i];
    if (a == L"--no-items") {
      g_items = false;
      continue;
    }
    if (i + 1 >= argc) return Usage();
    const wchar_t* v = argv[++i];
    if (a == L"--title") {
      g_title = v;
      haveTitle = true;
    } else if (a == L"--title-hex") {
      if (!ParseHex(v, g_title)) return Usage();
      haveTitle = true;
    } else if (a == L"--title-file") {
      if (!ReadUtf8File(v, g_title)) return Usage();
      haveTitle = true;
    } else if (a == L"--class") {
      g_class = v;
    } else if (a == L"--wait") {
      wait = std::wcstod(v, nullptr);
    } else if (a == L"--gone") {
      gone = std::wcstod(v, nullptr);
    } else if (a == L"--file") {
      filePath = v;
    } else if (a == L"--dpi-changed") {
      if (!ParseDpiChanged(v, changedDpi, suggested)) return Usage();
    } else if (a == L"--out") {
      outPath = v;
    } else if (a == L"--ready") {
      readyPath = v;
    } else {
      return Usage();
    }
  }
  if (!haveTitle && !filePath) return Usage();

  std::string json;
  int code = 0;
  const ULONGLONG start = GetTickCount64();
  if (filePath) {
    json = ResourcesJson(filePath);
    code = json.compare(0, 15, "{\"found\": true") == 0 ? 0 : 1;
  } else if (gone >= 0) {
    HWND w = Find();
    while (w && GetTickCount64() - start < static_cast<ULONGLONG>(gone * 1000)) {
      Sleep(10);
      w = Find();
    }
    json = std::string("{\"found\": ") + Bool(w != nullptr) + "}\n";
    code = w ? 1 : 0;
  } else {
    HWND w = Find();
    long long shownMs = -1;
    if (readyPath) {
      HANDLE ready = CreateFileW(readyPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
      if (ready != INVALID_HANDLE_VALUE) CloseHandle(ready);
    }
    while ((!w || !IsWindowVisible(w)) && GetTickCount64() - start < static_cast<ULONGLONG>(wait * 1000)) {
      Sleep(1);
      w = Find();
    }
    if (w && IsWindowVisible(w) && wait > 0) shownMs = MsSinceProcessStart(w);
    if (w && changedDpi > 0 && !SendDpiChanged(w, changedDpi, suggested)) {
      json = "{\"found\": true, \"error\": \"WM_DPICHANGED could not be sent\"}\n";
      code = 1;
    } else if (w) {
      json = WindowJson(w, shownMs);
    } else {
      json = "{\"found\": false}\n";
      code = 1;
    }
  }

  if (outPath) {
    // Written beside and then renamed, so that a reader never sees half.
    std::wstring part = std::wstring(outPath) + L".part";
    HANDLE f = CreateFileW(part.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return 2;
    DWORD written = 0;
    bool ok = WriteFile(f, json.data(), static_cast<DWORD>(json.size()), &written, nullptr) &&
              written == json.size();
    CloseHandle(f);
    if (!ok || !MoveFileExW(part.c_str(), outPath, MOVEFILE_REPLACE_EXISTING)) return 2;
  } else {
    std::fwrite(json.data(), 1, json.size(), stdout);
    std::fflush(stdout);
  }
  return code;
}
