// A stand-in for SQL*Plus as a console program, built as sqlplus.exe for
// development and tests.
//
// It prints a "SQL> " prompt into its console and reads the console's input
// line by line with ReadConsoleW, as the real one does; after each line a
// fresh prompt follows. A line "exit" ends it.
//
// Options:
//   --log PATH           append one JSON line per event (UTF-8, flushed):
//                          {"event":"ready","t":..,"pid":N,"window":N,
//                           "visible":bool,"owner":N,"acp":N,"cp":N}  (the
//                           console window's visibility and root owner; ANSI
//                           and console input code pages)
//                          {"event":"reading","t":..}      (first read begins)
//                          {"event":"line","t":..,"units":N,"text":".."}
//                        (text: the units read for the line exactly, its
//                        line break included; lone surrogates as \u escapes)
//                          {"event":"front","t":..}  (its console window came
//                                                    to the front after "ready")
//                          {"event":"exiting","t":..}
//   --title TEXT         the console's title (default "SQL*Plus")
//   --wait-file PATH     read nothing until PATH exists (input left unread)
//   --exit-when-in-front end at once, reading nothing, when the console's
//                        window comes to the front after "ready"
//   --attach-to PID      no stand-in: attach to the console of process PID,
//                        log {"event":"attached","ok":bool}, stay attached
//                        until the --wait-file exists, then end (another
//                        program sharing SQL*Plus's console)
// t is in seconds of the QueryPerformanceCounter clock (see sqlplus_standin).
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "clipboard_text_win.h"
#include "clock_win.h"

namespace {

FILE* g_log = nullptr;
constexpr DWORD kReadUnits = 4096;

// One write per line: two threads log.
void LogLine(const std::string& body) {
  if (!g_log) return;
  const std::string line = body + "\n";
  std::fwrite(line.data(), 1, line.size(), g_log);
  std::fflush(g_log);
}

void LogEvent(const char* event) {
  char buf[96];
  std::snprintf(buf, sizeof buf, "{\"event\":\"%s\",\"t\":%.6f}", event, Now());
  LogLine(buf);
}

void LogReceivedLine(const std::wstring& line) {
  std::string body;
  body.reserve(line.size() * 3 + 96);
  char buf[96];
  std::snprintf(buf, sizeof buf, "{\"event\":\"line\",\"t\":%.6f,\"units\":%zu,\"text\":\"", Now(), line.size());
  body += buf;
  AppendJsonString(body, line.data(), line.size());
  body += "\"}";
  LogLine(body);
}

void Print(HANDLE out, const wchar_t* text) {
  DWORD written = 0;
  WriteConsoleW(out, text, static_cast<DWORD>(lstrlenW(text)), &written, nullptr);
}

bool g_exitWhenInFront = false;

// Logs each time the console's window comes to the front (the delivery in
// keystroke mode brings it there before it types); with
// --exit-when-in-front, ends the process there, having read nothing.
DWORD WINAPI WatchFront(LPVOID) {
  HWND console = GetConsoleWindow();
  bool wasInFront = console != nullptr && GetForegroundWindow() == console;
  for (;;) {
    const bool inFront = console != nullptr && GetForegroundWindow() == console;
    if (inFront && !wasInFront) {
      LogEvent("front");
      if (g_exitWhenInFront) {
        LogEvent("exiting");
        ExitProcess(0);
      }
    }
    wasInFront = inFront;
    Sleep(1);
  }
}

void WaitForFile(const std::wstring& path) {
  if (path.empty()) return;
  while (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) Sleep(20);
}

int HoldConsoleOf(DWORD processId, const std::wstring& releaseFile) {
  FreeConsole();
  const bool ok = AttachConsole(processId) != FALSE;
  LogLine(ok ? "{\"event\":\"attached\",\"ok\":true}" : "{\"event\":\"attached\",\"ok\":false}");
  WaitForFile(releaseFile);
  FreeConsole();
  if (g_log) std::fclose(g_log);
  return ok ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::wstring logPath, waitFile, title = L"SQL*Plus";
  DWORD attachTo = 0;
  for (int i = 1; i < argc; ++i) {
    std::wstring a = argv[i];
    if (a == L"--log" && i + 1 < argc) {
      logPath = argv[++i];
    } else if (a == L"--wait-file" && i + 1 < argc) {
      waitFile = argv[++i];
    } else if (a == L"--title" && i + 1 < argc) {
      title = argv[++i];
    } else if (a == L"--attach-to" && i + 1 < argc) {
      attachTo = static_cast<DWORD>(std::wcstoul(argv[++i], nullptr, 10));
    } else if (a == L"--exit-when-in-front") {
      g_exitWhenInFront = true;
    } else {
      std::fprintf(stderr, "sqlplus [--log PATH] [--title TEXT] [--wait-file PATH] [--exit-when-in-front] "
                           "[--attach-to PID]\n");
      return 2;
    }
  }
  if (!logPath.empty()) {
    g_log = _wfopen(logPath.c_str(), L"ab");
    if (!g_log) return 3;
  }
  if (attachTo != 0) return HoldConsoleOf(attachTo, waitFile);
  HANDLE in = CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                          OPEN_EXISTING, 0, nullptr);
  HANDLE out = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
  if (in == INVALID_HANDLE_VALUE || out == INVALID_HANDLE_VALUE) return 4;
  SetConsoleTitleW(title.c_str());
  Print(out, L"\r\nSQL*Plus stand-in\r\n\r\nSQL> ");

  char ready[240];
  HWND window = GetConsoleWindow();
  HWND owner = window != nullptr ? GetAncestor(window, GA_ROOTOWNER) : nullptr;
  std::snprintf(ready, sizeof ready,
                "{\"event\":\"ready\",\"t\":%.6f,\"pid\":%lu,\"window\":%llu,\"visible\":%s,\"owner\":%llu,"
                "\"acp\":%u,\"cp\":%u}",
                Now(), GetCurrentProcessId(), static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(window)),
                window != nullptr && IsWindowVisible(window) ? "true" : "false",
                static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(owner)), GetACP(), GetConsoleCP());
  LogLine(ready);
  CreateThread(nullptr, 0, WatchFront, nullptr, 0, nullptr);

  WaitForFile(waitFile);
  LogEvent("reading");

  std::wstring line;
  wchar_t buffer[kReadUnits];
  for (;;) {
    DWORD got = 0;
    if (!ReadConsoleW(in, buffer, kReadUnits, &got, nullptr) || got == 0) break;
    for (DWORD i = 0; i < got; ++i) {
      line.push_back(buffer[i]);
      if (buffer[i] != L'\n') continue;
      LogReceivedLine(line);
      const bool exit = line == L"exit\r\n" || line == L"exit\n";
      line.clear();
      if (exit) {
        LogEvent("exiting");
        if (g_log) std::fclose(g_log);
        return 0;
      }
      Print(out, L"SQL> ");
    }
  }
  if (!line.empty()) LogReceivedLine(line);
  LogEvent("exiting");
  if (g_log) std::fclose(g_log);
  return 0;
}
