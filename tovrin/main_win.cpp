// tovrin: sends the clipboard's SQL text to SQL*Plus and ends. Its Form1 is a
// top-level window that is created for its handle but never shown; the load
// handler carries the whole run and the window is closed before it could
// ever appear. No message is shown in any case.
#include <windows.h>

#include "clipboard_sender.h"
#include "newer_windows_win.h"

namespace {

const wchar_t kForm1Class[] = L"tovrinForm1";
constexpr int kIconId = 1;  // in tovrin.rc
constexpr int kSmallIconPixels = 16;

void Form_Load(HWND form1) { RunClipboardSender(reinterpret_cast<WindowHandle>(form1)); }

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  newer_windows::LimitDllSearch();
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = instance;
  wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(kIconId));
  wc.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(kIconId), IMAGE_ICON, kSmallIconPixels, kSmallIconPixels, 0));
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = kForm1Class;
  RegisterClassExW(&wc);

  // Not WS_VISIBLE and never shown; a tool window besides, so that it could
  // never get a taskbar button. A pop-up window without WS_EX_APPWINDOW:
  // started by a shortcut with a shortcut key (Ctrl+Alt+Q), the program's
  // first top-level window would get that key unless it is such a pop-up,
  // and pressing the key again would then bring this invisible window
  // forward instead of starting another tovrin, whose paste would be lost.
  // (The handle serves only to find the settings file.)
  HWND form1 = CreateWindowExW(WS_EX_TOOLWINDOW, kForm1Class, L"Form1", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                               instance, nullptr);

  // Without a window the run still goes ahead: the handle serves only to
  // find the settings file, and that lookup copes with 0.
  Form_Load(form1);

  if (form1 && IsWindow(form1)) DestroyWindow(form1);
  return 0;
}
