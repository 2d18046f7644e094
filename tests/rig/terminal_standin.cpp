// A stand-in for a terminal program such as Windows Terminal, for
// development and tests (not shipped): it shows a window of Windows
// Terminal's window class, creates a pseudo console, runs a command line in
// it and drains the pseudo console's output, as a terminal does, until the
// program ends.
//
//   terminal_standin --log PATH --title TEXT -- PROGRAM [ARGUMENTS...]
//
// The window bears TEXT as its title (a terminal shows the title of its tab
// in front). The log has one JSON line per event (UTF-8, flushed):
//   {"event":"ready","t":..,"window":N,"pid":N}   the program was started
//   {"event":"unsupported","what":"..","error":N} no pseudo console here
//   {"event":"front","t":..}                      the window came to the front
//   {"event":"exited","t":..,"code":N,"output":N} the program ended; output
//                                                 bytes drained in all
// t is in seconds of the QueryPerformanceCounter clock. The pseudo-console
// functions (Windows 10 1809) are looked up at run time.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "clock_win.h"

namespace {

typedef void* PseudoConsole;
typedef HRESULT(WINAPI* CreatePseudoConsoleFn)(COORD, HANDLE, HANDLE, DWORD, PseudoConsole*);
typedef void(WINAPI* ClosePseudoConsoleFn)(PseudoConsole);
typedef BOOL(WINAPI* InitializeProcThreadAttributeListFn)(void*, DWORD, DWORD, SIZE_T*);
typedef BOOL(WINAPI* UpdateProcThreadAttributeFn)(void*, DWORD, DWORD_PTR, void*, SIZE_T, void*, SIZE_T*);

// PROC_THREAD_ATTRIBUTE_PSEUDOCONSOLE, which older headers do not declare.
constexpr DWORD_PTR kPseudoConsoleAttribute = 0x00020016;
constexpr DWORD kExtendedStartupInfoPresent = 0x00080000;

FILE* g_log = nullptr;
CRITICAL_SECTION g_logLock;
volatile LONG g_outputBytes = 0;

void LogLine(const char* line) {
  if (!g_log) return;
  EnterCriticalSection(&g_logLock);
  std::fprintf(g_log, "%s\n", line);
  std::fflush(g_log);
  LeaveCriticalSection(&g_logLock);
}

void LogUnsupported(const char* what, unsigned long error) {
  char line[160];
  std::snprintf(line, sizeof line, "{\"event\":\"unsupported\",\"what\":\"%s\",\"error\":%lu}", what, error);
  LogLine(line);
}

// The terminal's side of the output pipe: read everything, as a terminal
// must, or the program writing to its console stalls.
DWORD WINAPI Drain(LPVOID pipe) {
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(static_cast<HANDLE>(pipe), buffer, sizeof buffer, &got, nullptr) && got > 0) {
    InterlockedExchangeAdd(&g_outputBytes, static_cast<LONG>(got));
  }
  return 0;
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_ACTIVATE && LOWORD(wParam) != WA_INACTIVE) {
    char line[96];
    std::snprintf(line, sizeof line, "{\"event\":\"front\",\"t\":%.6f}", Now());
    LogLine(line);
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

// The arguments after "--", quoted again for a command line.
std::wstring CommandLineAfter(int argc, wchar_t** argv, int first) {
  std::wstring line;
  for (int i = first; i < argc; ++i) {
    if (!line.empty()) line += L' ';
    line += L'"';
    line += argv[i];
    line += L'"';
  }
  return line;
}

}  // namespace

int Main(int argc, wchar_t** argv) {
  std::wstring logPath, title = L"Terminal";
  int command = -1;
  for (int i = 1; i < argc; ++i) {
    std::wstring a = argv[i];
    if (a == L"--log" && i + 1 < argc) {
      logPath = argv[++i];
    } else if (a == L"--title" && i + 1 < argc) {
      title = argv[++i];
    } else if (a == L"--" && i + 1 < argc) {
      command = i + 1;
      break;
    } else {
      command = -1;
      break;
    }
  }
  if (command < 0) {
    return 2;  // terminal_standin [--log PATH] [--title TEXT] -- PROGRAM [ARGUMENTS...]
  }
  InitializeCriticalSection(&g_logLock);
  if (!logPath.empty()) {
    g_log = _wfopen(logPath.c_str(), L"ab");
    if (!g_log) return 3;
  }

  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  windowClass.lpszClassName = L"CASCADIA_HOSTING_WINDOW_CLASS";
  RegisterClassW(&windowClass);
  HWND window = CreateWindowExW(0, windowClass.lpszClassName, title.c_str(), WS_OVERLAPPEDWINDOW, 40, 40, 480, 300,
                                nullptr, nullptr, windowClass.hInstance, nullptr);
  if (window == nullptr) return 4;
  ShowWindow(window, SW_SHOWNORMAL);

  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  auto create = reinterpret_cast<CreatePseudoConsoleFn>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "CreatePseudoConsole")));
  auto close = reinterpret_cast<ClosePseudoConsoleFn>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "ClosePseudoConsole")));
  auto initList = reinterpret_cast<InitializeProcThreadAttributeListFn>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "InitializeProcThreadAttributeList")));
  auto update = reinterpret_cast<UpdateProcThreadAttributeFn>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "UpdateProcThreadAttribute")));
  if (!create || !close || !initList || !update) {
    LogUnsupported("CreatePseudoConsole missing", 0);
    return 5;
  }

  // The pseudo console reads its input from one pipe and writes its output
  // to the other; the terminal holds the other ends.
  HANDLE inputRead = nullptr, inputWrite = nullptr, outputRead = nullptr, outputWrite = nullptr;
  if (!CreatePipe(&inputRead, &inputWrite, nullptr, 0) || !CreatePipe(&outputRead, &outputWrite, nullptr, 0)) {
    LogUnsupported("CreatePipe", GetLastError());
    return 6;
  }
  PseudoConsole console = nullptr;
  const HRESULT created = create(COORD{120, 30}, inputRead, outputWrite, 0, &console);
  if (FAILED(created)) {
    LogUnsupported("CreatePseudoConsole", static_cast<unsigned long>(created));
    return 7;
  }
  // The pseudo console holds its own copies.
  CloseHandle(inputRead);
  CloseHandle(outputWrite);
  HANDLE drain = CreateThread(nullptr, 0, Drain, outputRead, 0, nullptr);

  SIZE_T listSize = 0;
  initList(nullptr, 1, 0, &listSize);
  std::string list(listSize, '\0');
  STARTUPINFOEXW startup = {};
  startup.StartupInfo.cb = sizeof startup;
  startup.lpAttributeList = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(&list[0]);
  if (!initList(startup.lpAttributeList, 1, 0, &listSize) ||
      !update(startup.lpAttributeList, 0, kPseudoConsoleAttribute, console, sizeof console, nullptr, nullptr)) {
    LogUnsupported("UpdateProcThreadAttribute", GetLastError());
    return 8;
  }
  std::wstring commandLine = CommandLineAfter(argc, argv, command);
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, kExtendedStartupInfoPresent, nullptr,
                      nullptr, &startup.StartupInfo, &process)) {
    LogUnsupported("CreateProcess", GetLastError());
    return 9;
  }
  CloseHandle(process.hThread);
  char line[200];
  std::snprintf(line, sizeof line, "{\"event\":\"ready\",\"t\":%.6f,\"window\":%llu,\"pid\":%lu}", Now(),
                static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(window)), process.dwProcessId);
  LogLine(line);

  // Handle the window's messages until the program ends.
  for (;;) {
    const DWORD woken = MsgWaitForMultipleObjects(1, &process.hProcess, FALSE, INFINITE, QS_ALLINPUT);
    if (woken == WAIT_OBJECT_0) break;
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  close(console);  // ends the pseudo console's output, and so the drain
  if (drain != nullptr) WaitForSingleObject(drain, 10000);
  std::snprintf(line, sizeof line, "{\"event\":\"exited\",\"t\":%.6f,\"code\":%lu,\"output\":%ld}", Now(), code,
                static_cast<long>(g_outputBytes));
  LogLine(line);
  if (g_log) std::fclose(g_log);
  return 0;
}

// A window program, as a terminal is: no console of its own.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return Main(__argc, __wargv); }
