// Windows functions newer than XP SP3, the oldest Windows the programs run on.
// Each one is looked up by name at run time, once, and never imported, so the
// programs still load on XP; where it is missing, the function here falls back
// to what XP offers. Nothing else in the programs reaches these functions.
// FindFunction is the one lookup of a function by name, for these and for the
// platform call layer's entry points. Windows only.
#pragma once

#include <windows.h>

#include <string>

namespace newer_windows {

// The function `name` exported by `module`, a DLL that every process of ours
// has loaded already (kernel32, user32), as a pointer of type F (declared
// WINAPI: on 32-bit Windows a call through a pointer of another convention
// corrupts the stack). Null when the running Windows lacks the DLL or the
// function.
template <typename F>
F FindFunction(const wchar_t* module, const char* name) {
  HMODULE loaded = GetModuleHandleW(module);
  FARPROC found = loaded != nullptr ? GetProcAddress(loaded, name) : nullptr;
  return reinterpret_cast<F>(reinterpret_cast<void*>(found));
}

// The DPI at which nothing is scaled (USER_DEFAULT_SCREEN_DPI, which the
// headers declare for Vista and later only).
constexpr int kDefaultDpi = 96;

// Sent to a window whose DPI changed (Windows 8.1): wParam carries the new
// DPI, lParam the RECT Windows suggests for the window. The headers of an XP
// target do not declare WM_DPICHANGED.
constexpr UINT kWmDpiChanged = 0x02E0;

// Takes the program's folder, the current folder and PATH out of the search
// for DLLs that Windows loads by name from now on, so that a DLL planted
// beside a file the user opened is never loaded: SetDefaultDllDirectories
// with System32 alone (Windows 8, and Vista and 7 with KB2533623). Vista
// itself gets only what XP gets, SetDllDirectory(""), which drops the
// current folder: there, COM activations fail once the default directories
// are set, and the IME's text services come through COM. Called first
// thing at start, before anything is loaded by name.
void LimitDllSearch();

// Milliseconds since the system started, never wrapping: GetTickCount64
// (Vista), else GetTickCount carried past its wrap every 49.7 days.
ULONGLONG TickCount64();

// The system DPI: GetDpiForSystem (Windows 10 1607), else the screen's
// LOGPIXELSY. 96 when neither answers.
int SystemDpi();

// The DPI of the monitor `window` is on: GetDpiForWindow (Windows 10 1607),
// else the screen's LOGPIXELSY as SystemDpi gives it.
int WindowDpi(HWND window);

// Grows `rect` from a client area to the window around it, with the frame
// sized for `dpi`: AdjustWindowRectExForDpi (Windows 10 1607), else
// AdjustWindowRectEx, whose frame is the one of the system DPI.
bool AdjustWindowRectForDpi(RECT& rect, DWORD style, bool hasMenu, DWORD exStyle, int dpi);

// The non-client metrics (fonts included) for `dpi`: SystemParametersInfoForDpi
// (Windows 10 1607), else the system's metrics with the fonts' heights scaled
// from the system DPI to `dpi`. Sets `metrics.cbSize` itself.
bool NonClientMetricsForDpi(NONCLIENTMETRICSW& metrics, int dpi);

// Makes the process DPI aware where the manifest's declaration was not
// honoured: per monitor (v2, else v1) with SetProcessDpiAwarenessContext
// (Windows 10 1703 / 1607), else system aware with SetProcessDPIAware
// (Vista). A process that is aware already stays as it is. Nothing on XP.
void MakeProcessDpiAware();

// The integrity level of a process (its mandatory label's RID: 0x2000
// medium, 0x3000 high, ...), read from its token (Vista). False where it
// cannot be read: on XP, which has no integrity levels, and for a process
// that cannot be opened even for limited queries.
bool ProcessIntegrityLevel(DWORD processId, DWORD& level);

// Whether the shell keeps `window` off the screen though it is visible (on
// another virtual desktop, say): DwmGetWindowAttribute's DWMWA_CLOAKED
// (Windows 8), from dwmapi.dll of the system folder (Vista). False where
// either is missing or the call fails.
bool WindowCloaked(HWND window);

// The full path of the executable file of a process opened with at least
// PROCESS_QUERY_LIMITED_INFORMATION: QueryFullProcessImageNameW (Vista),
// else the first module of a Toolhelp snapshot of processId (XP; it needs
// more rights and fails for a 64-bit process seen from a 32-bit one). False
// when neither answers.
bool ProcessImagePath(HANDLE process, DWORD processId, std::u16string& path);

}  // namespace newer_windows
