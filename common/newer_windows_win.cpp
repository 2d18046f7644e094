// Run-time lookups of the Windows functions newer than XP SP3, each with the
// fallback that XP offers.
#include "newer_windows_win.h"

#include <tlhelp32.h>

#include <vector>

#include "handles_win.h"
#include "wide_win.h"

namespace newer_windows {

#ifdef WM_DPICHANGED
static_assert(kWmDpiChanged == WM_DPICHANGED, "WM_DPICHANGED");
#endif
#ifdef USER_DEFAULT_SCREEN_DPI
static_assert(kDefaultDpi == USER_DEFAULT_SCREEN_DPI, "USER_DEFAULT_SCREEN_DPI");
#endif

namespace {

// Vista's: the right to ask a process only the few things anyone may (also
// of a process with higher rights), and the token's integrity level. XP
// knows neither: the right makes OpenProcess fail there, the class
// GetTokenInformation.
constexpr DWORD kProcessQueryLimitedInformation = 0x1000;
constexpr int kTokenIntegrityLevel = 25;

// LOAD_LIBRARY_SEARCH_SYSTEM32, which the headers of an XP target need not declare.
constexpr DWORD kLoadLibrarySearchSystem32 = 0x800;

// TOKEN_MANDATORY_LABEL, which an XP target's headers need not declare.
struct MandatoryLabel {
  SID_AND_ATTRIBUTES label;
};

}  // namespace

#ifdef LOAD_LIBRARY_SEARCH_SYSTEM32
static_assert(kLoadLibrarySearchSystem32 == LOAD_LIBRARY_SEARCH_SYSTEM32, "LOAD_LIBRARY_SEARCH_SYSTEM32");
#endif
#ifdef PROCESS_QUERY_LIMITED_INFORMATION
static_assert(kProcessQueryLimitedInformation == PROCESS_QUERY_LIMITED_INFORMATION,
              "PROCESS_QUERY_LIMITED_INFORMATION");
#endif

namespace {

// The awareness contexts SetProcessDpiAwarenessContext takes
// (DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE and ..._V2; the headers of an
// XP target need not declare them).
const HANDLE kDpiAwarenessPerMonitor = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-3));
const HANDLE kDpiAwarenessPerMonitorV2 = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4));

// The functions' types, WINAPI each (see FindFunction).
typedef ULONGLONG(WINAPI* GetTickCount64Fn)();
typedef UINT(WINAPI* GetDpiForSystemFn)();
typedef UINT(WINAPI* GetDpiForWindowFn)(HWND);
typedef BOOL(WINAPI* AdjustWindowRectExForDpiFn)(LPRECT, DWORD, BOOL, DWORD, UINT);
typedef BOOL(WINAPI* SystemParametersInfoForDpiFn)(UINT, UINT, PVOID, UINT, UINT);
typedef BOOL(WINAPI* SetProcessDpiAwarenessContextFn)(HANDLE);
typedef BOOL(WINAPI* SetProcessDPIAwareFn)();
typedef BOOL(WINAPI* QueryFullProcessImageNameWFn)(HANDLE, DWORD, LPWSTR, PDWORD);
typedef HRESULT(WINAPI* DwmGetWindowAttributeFn)(HWND, DWORD, PVOID, DWORD);

// DWMWA_CLOAKED, which the headers of an XP target do not declare.
constexpr DWORD kDwmCloaked = 14;

template <typename F>
F Kernel32(const char* name) {
  return FindFunction<F>(L"kernel32.dll", name);
}

template <typename F>
F User32(const char* name) {
  return FindFunction<F>(L"user32.dll", name);
}

int ScreenDpi() {
  const WindowDc screen(nullptr);
  const int dpi = screen.Get() != nullptr ? GetDeviceCaps(screen.Get(), LOGPIXELSY) : 0;
  return dpi > 0 ? dpi : kDefaultDpi;
}

void ScaleFont(LOGFONTW& font, int from, int to) {
  font.lfHeight = MulDiv(font.lfHeight, to, from);
  font.lfWidth = MulDiv(font.lfWidth, to, from);
}

}  // namespace

void LimitDllSearch() {
  typedef BOOL(WINAPI* SetDefaultDllDirectoriesFn)(DWORD);
  const DWORD version = LOWORD(GetVersion());
  const bool vista = LOBYTE(version) == 6 && HIBYTE(version) == 0;
  const SetDefaultDllDirectoriesFn f = vista ? nullptr : Kernel32<SetDefaultDllDirectoriesFn>("SetDefaultDllDirectories");
  if (f != nullptr && f(kLoadLibrarySearchSystem32)) return;
  SetDllDirectoryW(L"");
}

ULONGLONG TickCount64() {
  static const GetTickCount64Fn f = Kernel32<GetTickCount64Fn>("GetTickCount64");
  if (f != nullptr) return f();
  // GetTickCount wraps to 0 after 2^32 ms; every wrap seen adds 2^32. A wrap
  // goes unseen only if no call falls within 49.7 days.
  struct Wraps {
    CRITICAL_SECTION lock;
    DWORD last = 0;
    ULONGLONG count = 0;
    Wraps() { InitializeCriticalSection(&lock); }
  };
  static Wraps wraps;
  EnterCriticalSection(&wraps.lock);
  const DWORD now = GetTickCount();
  if (now < wraps.last) wraps.count += 0x100000000ULL;
  wraps.last = now;
  const ULONGLONG ticks = wraps.count + now;
  LeaveCriticalSection(&wraps.lock);
  return ticks;
}

int SystemDpi() {
  static const GetDpiForSystemFn f = User32<GetDpiForSystemFn>("GetDpiForSystem");
  const UINT dpi = f != nullptr ? f() : 0;
  return dpi > 0 ? static_cast<int>(dpi) : ScreenDpi();
}

int WindowDpi(HWND window) {
  static const GetDpiForWindowFn f = User32<GetDpiForWindowFn>("GetDpiForWindow");
  const UINT dpi = f != nullptr ? f(window) : 0;
  return dpi > 0 ? static_cast<int>(dpi) : ScreenDpi();
}

bool AdjustWindowRectForDpi(RECT& rect, DWORD style, bool hasMenu, DWORD exStyle, int dpi) {
  static const AdjustWindowRectExForDpiFn f = User32<AdjustWindowRectExForDpiFn>("AdjustWindowRectExForDpi");
  const RECT client = rect;
  if (f != nullptr && f(&rect, style, hasMenu ? TRUE : FALSE, exStyle, static_cast<UINT>(dpi))) return true;
  rect = client;
  return AdjustWindowRectEx(&rect, style, hasMenu ? TRUE : FALSE, exStyle) != FALSE;
}

bool NonClientMetricsForDpi(NONCLIENTMETRICSW& metrics, int dpi) {
  static const SystemParametersInfoForDpiFn f =
      User32<SystemParametersInfoForDpiFn>("SystemParametersInfoForDpi");
  metrics = NONCLIENTMETRICSW();
  metrics.cbSize = sizeof(metrics);
  if (f != nullptr &&
      f(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0, static_cast<UINT>(dpi)) != FALSE) {
    return true;
  }
  if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) return false;
  const int systemDpi = SystemDpi();
  if (dpi > 0 && dpi != systemDpi) {
    ScaleFont(metrics.lfCaptionFont, systemDpi, dpi);
    ScaleFont(metrics.lfSmCaptionFont, systemDpi, dpi);
    ScaleFont(metrics.lfMenuFont, systemDpi, dpi);
    ScaleFont(metrics.lfStatusFont, systemDpi, dpi);
    ScaleFont(metrics.lfMessageFont, systemDpi, dpi);
  }
  return true;
}

void MakeProcessDpiAware() {
  const SetProcessDpiAwarenessContextFn context =
      User32<SetProcessDpiAwarenessContextFn>("SetProcessDpiAwarenessContext");
  if (context != nullptr) {
    // Refused with ERROR_ACCESS_DENIED when the process is aware already.
    if (context(kDpiAwarenessPerMonitorV2) || GetLastError() == ERROR_ACCESS_DENIED ||
        context(kDpiAwarenessPerMonitor)) {
      return;
    }
  }
  const SetProcessDPIAwareFn aware = User32<SetProcessDPIAwareFn>("SetProcessDPIAware");
  if (aware != nullptr) aware();
}

bool ProcessIntegrityLevel(DWORD processId, DWORD& level) {
  // Our own process by its pseudo handle, which is never closed.
  const bool own = processId == GetCurrentProcessId();
  const Handle opened(own ? nullptr : OpenProcess(kProcessQueryLimitedInformation, FALSE, processId));
  HANDLE token = nullptr;
  if ((!own && !opened.Valid()) || !OpenProcessToken(own ? GetCurrentProcess() : opened.Get(), TOKEN_QUERY, &token)) {
    return false;
  }
  const Handle tokenOwned(token);
  DWORD size = 0;
  const TOKEN_INFORMATION_CLASS integrity = static_cast<TOKEN_INFORMATION_CLASS>(kTokenIntegrityLevel);
  GetTokenInformation(token, integrity, nullptr, 0, &size);
  if (size < sizeof(MandatoryLabel) || size > 4096) return false;
  std::vector<BYTE> buffer(size);
  if (!GetTokenInformation(token, integrity, buffer.data(), size, &size)) return false;
  PSID sid = reinterpret_cast<const MandatoryLabel*>(buffer.data())->label.Sid;
  if (sid == nullptr || !IsValidSid(sid) || *GetSidSubAuthorityCount(sid) == 0) return false;
  level = *GetSidSubAuthority(sid, *GetSidSubAuthorityCount(sid) - 1u);
  return true;
}

bool WindowCloaked(HWND window) {
  // Loaded by its full path (a DLL of that name in the current folder is
  // never taken) and kept for the life of the process.
  static const DwmGetWindowAttributeFn f = [] {
    wchar_t path[MAX_PATH + 16];
    const UINT length = GetSystemDirectoryW(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return static_cast<DwmGetWindowAttributeFn>(nullptr);
    lstrcpyW(path + length, L"\\dwmapi.dll");
    HMODULE dwm = LoadLibraryW(path);
    return dwm != nullptr ? reinterpret_cast<DwmGetWindowAttributeFn>(
                                reinterpret_cast<void*>(GetProcAddress(dwm, "DwmGetWindowAttribute")))
                          : nullptr;
  }();
  DWORD cloaked = 0;
  return f != nullptr && SUCCEEDED(f(window, kDwmCloaked, &cloaked, sizeof cloaked)) && cloaked != 0;
}

bool ProcessImagePath(HANDLE process, DWORD processId, std::u16string& path) {
  static const auto query = Kernel32<QueryFullProcessImageNameWFn>("QueryFullProcessImageNameW");
  if (query != nullptr) {
    wchar_t buffer[MAX_PATH * 4];
    DWORD size = MAX_PATH * 4;
    if (!query(process, 0, buffer, &size) || size == 0 || size >= MAX_PATH * 4) return false;
    path = wide::FromWide(buffer, size);
    return true;
  }
  const Handle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, processId));
  MODULEENTRY32W module = {};
  module.dwSize = sizeof module;
  if (!snapshot.Valid() || !Module32FirstW(snapshot.Get(), &module)) return false;
  module.szExePath[MAX_PATH - 1] = L'\0';
  path = wide::FromWide(module.szExePath);
  return !path.empty();
}

}  // namespace newer_windows
