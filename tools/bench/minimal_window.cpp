// The smallest Windows program that shows a window: one top-level window
// titled "minimal window", shown at start and kept until it is closed (close
// box, WM_CLOSE or Esc). Its start-to-window-shown time under Wine is the
// baseline beside which marlet's start-up is measured.
//
//   minimal_window          shows the window until it is closed
//   minimal_window --exit   closes it as soon as it is shown: the start-to-exit
//                           time of a program that brings up the windowing
//                           system, a baseline beside tovrin's
#include <windows.h>

#include <cwchar>

namespace {

const wchar_t kClass[] = L"minimalWindowClass";
const wchar_t kTitle[] = L"minimal window";

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_KEYDOWN:
      if (wParam == VK_ESCAPE) {
        DestroyWindow(window);
        return 0;
      }
      break;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int showCommand) {
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kClass;
  if (!RegisterClassExW(&wc)) return 1;

  HWND window = CreateWindowExW(0, kClass, kTitle, WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                                CW_USEDEFAULT, CW_USEDEFAULT, 480, 320, nullptr, nullptr, instance, nullptr);
  if (!window) return 1;
  ShowWindow(window, showCommand);
  UpdateWindow(window);
  if (commandLine && std::wcsstr(commandLine, L"--exit")) PostMessageW(window, WM_CLOSE, 0, 0);

  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}
