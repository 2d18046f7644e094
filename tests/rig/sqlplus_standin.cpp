// A stand-in for the SQL*Plus main window, for development and tests.
//
// It shows a console-like window (class "sqlplusWClass" unless --class says
// otherwise, title "Oracle SQL*Plus") waiting at a "SQL> " prompt. Text it
// receives through its paste command (WM_COMMAND 201) or through Shift+Insert
// is read from the clipboard and shown as typed lines: each CR LF ends a line
// and a fresh prompt follows.
//
// Options:
//   --class NAME                 window class to register (default sqlplusWClass)
//   --title TEXT                 window title (default "Oracle SQL*Plus"); another
//                                title makes a decoy window for tests
//   --pos X Y                    window position (default 40 40)
//   --log PATH                   append one JSON line per event (UTF-8, flushed):
//                                  {"event":"ready","t":..}
//                                  {"event":"activate"|"deactivate","t":..}
//                                  {"event":"recv","how":"command"|"keystroke",
//                                   "t":..,"readable":bool,"units":N,"text":".."}
//                                (text: the clipboard's text exactly; lone
//                                surrogates as \u escapes)
//                                  {"event":"command","id":N,"t":..}  (other ids)
//                                  {"event":"keydown"|"keyup","vk":N,"shift":bool,"t":..}
//                                  {"event":"closing","t":..}
//   --close-after-activations N  close the window after the N-th activation
//                                counted from "ready"...
//   --close-delay-ms MS          ...this many milliseconds later (default 0)
//   --busy-after-paste-ms MS     after every paste the thread sleeps MS
//                                milliseconds, handling and answering
//                                nothing, as SQL*Plus does while it runs the
//                                statement it was given; logged after the
//                                receipt: {"event":"busy","t":..} and
//                                {"event":"idle","t":..}
//   --hang-ms MS                 WM_COMMAND 778
//                                makes the window stop answering for MS
//                                milliseconds (default 20000), as a busy or
//                                hung SQL*Plus does; logged before and after:
//                                  {"event":"hang","t":..}
//                                  {"event":"awake","t":..}
// t is in seconds of the QueryPerformanceCounter clock, the same clock in
// every process of the machine (under Wine: the host's CLOCK_MONOTONIC_RAW).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

#include "clipboard_text_win.h"
#include "clock_win.h"

namespace {

constexpr UINT kPasteCommand = 201;
constexpr UINT kHangCommand = 778;
constexpr UINT kReadyMessage = WM_APP + 1;
constexpr UINT_PTR kCloseTimer = 1;
constexpr size_t kMaxKeptRows = 400;        // logical lines kept for display
constexpr size_t kMaxShownLineUnits = 4000;  // longer lines are cut for display

const wchar_t kTitle[] = L"Oracle SQL*Plus";
const wchar_t kPrompt[] = L"SQL> ";

struct Options {
  std::wstring className = L"sqlplusWClass";
  std::wstring title = kTitle;
  int x = 40;
  int y = 40;
  std::wstring logPath;
  long closeAfterActivations = 0;
  long closeDelayMs = 0;
  long hangMs = 20000;
  long busyAfterPasteMs = 0;
};

Options g_options;
FILE* g_log = nullptr;
HFONT g_font = nullptr;
long g_activations = 0;  // counted from "ready" on
bool g_ready = false;
bool g_closing = false;

// The console: finished lines and the line being typed. Only the tail is
// kept, so a huge paste cannot exhaust memory through the display.
std::vector<std::wstring> g_lines;
std::wstring g_current = kPrompt;

void LogLine(const std::string& body) {
  if (!g_log) return;
  std::fputs(body.c_str(), g_log);
  std::fputc('\n', g_log);
  std::fflush(g_log);
}

void LogEvent(const char* event) {
  char buf[96];
  std::snprintf(buf, sizeof buf, "{\"event\":\"%s\",\"t\":%.6f}", event, Now());
  LogLine(buf);
}

// Every key that reaches the window, with the Shift state the window sees
// along with it: a lost paste keystroke shows which key went missing.
void LogKey(bool up, WPARAM key) {
  char buf[128];
  std::snprintf(buf, sizeof buf, "{\"event\":\"%s\",\"vk\":%u,\"shift\":%s,\"t\":%.6f}", up ? "keyup" : "keydown",
                static_cast<unsigned>(key), (GetKeyState(VK_SHIFT) & 0x8000) ? "true" : "false", Now());
  LogLine(buf);
}

// Reads the clipboard's Unicode text. False when the clipboard could not be
// opened; a clipboard without text gives true and the empty text.
bool ReadClipboard(HWND owner, std::wstring& out) {
  out.clear();
  bool opened = false;
  for (int attempt = 0; attempt < 50 && !opened; ++attempt) {
    opened = OpenClipboard(owner) != 0;
    if (!opened) Sleep(20);
  }
  if (!opened) return false;
  ReadOpenClipboardText(out);
  CloseClipboard();
  return true;
}

void KeepTail() {
  if (g_lines.size() > kMaxKeptRows) g_lines.erase(g_lines.begin(), g_lines.end() - kMaxKeptRows);
}

// Shows the text as typed at the prompt: CR LF is Enter (a new prompt
// follows); a lone CR or LF breaks the line without a prompt; a tab is four
// spaces. Only the tail of a huge text is shown.
void Type(const std::wstring& text) {
  size_t start = 0;
  if (text.size() > kMaxKeptRows * kMaxShownLineUnits) start = text.size() - kMaxKeptRows * kMaxShownLineUnits;
  for (size_t i = start; i < text.size(); ++i) {
    wchar_t c = text[i];
    if (c == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') {
      g_lines.push_back(g_current);
      g_current = kPrompt;
      ++i;
    } else if (c == L'\r' || c == L'\n') {
      g_lines.push_back(g_current);
      g_current.clear();
    } else if (c == L'\t') {
      g_current += L"    ";
    } else if (g_current.size() < kMaxShownLineUnits) {
      g_current += (c < 0x20) ? L'\xfffd' : c;
    }
    if (g_lines.size() > 2 * kMaxKeptRows) KeepTail();
  }
  KeepTail();
}

void Receive(HWND hwnd, const char* how) {
  double t = Now();
  std::wstring text;
  bool readable = ReadClipboard(hwnd, text);
  // Shown before it is logged: once the receipt is in the log, the window
  // shows it.
  Type(text);
  InvalidateRect(hwnd, nullptr, TRUE);
  UpdateWindow(hwnd);
  GdiFlush();
  if (g_log) {
    std::string line;
    line.reserve(text.size() * 3 + 128);
    char buf[160];
    std::snprintf(buf, sizeof buf, "{\"event\":\"recv\",\"how\":\"%s\",\"t\":%.6f,\"readable\":%s,\"units\":%zu,\"text\":\"",
                  how, t, readable ? "true" : "false", text.size());
    line += buf;
    AppendJsonString(line, text.data(), text.size());
    line += "\"}";
    LogLine(line);
  }
  if (g_options.busyAfterPasteMs > 0) {
    LogEvent("busy");
    Sleep(static_cast<DWORD>(g_options.busyAfterPasteMs));
    LogEvent("idle");
  }
}

void Close(HWND hwnd) {
  if (g_closing) return;
  g_closing = true;
  LogEvent("closing");
  DestroyWindow(hwnd);
}

// Splits one logical line into rows that fit the width.
void WrapRows(HDC dc, const std::wstring& line, int width, std::vector<std::wstring>& rows) {
  if (line.empty()) {
    rows.push_back(line);
    return;
  }
  size_t pos = 0;
  while (pos < line.size()) {
    int fit = 0;
    SIZE size;
    int remaining = static_cast<int>(line.size() - pos);
    if (!GetTextExtentExPointW(dc, line.data() + pos, remaining, width, &fit, nullptr, &size) || fit <= 0)
      fit = 1;
    if (fit > remaining) fit = remaining;
    // Keep a surrogate pair together.
    if (fit < remaining && fit > 1 && line[pos + fit - 1] >= 0xd800 && line[pos + fit - 1] <= 0xdbff) --fit;
    rows.push_back(line.substr(pos, fit));
    pos += fit;
  }
}

void Paint(HWND hwnd) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  RECT client;
  GetClientRect(hwnd, &client);
  HBRUSH background = CreateSolidBrush(RGB(12, 12, 12));
  FillRect(dc, &client, background);
  DeleteObject(background);
  HGDIOBJ oldFont = SelectObject(dc, g_font);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(204, 204, 204));
  TEXTMETRICW tm;
  GetTextMetricsW(dc, &tm);
  int lineHeight = tm.tmHeight > 0 ? tm.tmHeight : 16;
  const int margin = 4;
  int width = client.right - 2 * margin;
  if (width < 8) width = 8;
  int visibleRows = (client.bottom - 2 * margin) / lineHeight;
  if (visibleRows < 1) visibleRows = 1;

  // Rows from the bottom up: the current line (with its caret) and as many
  // finished lines above it as fit.
  std::vector<std::wstring> rows;
  std::vector<std::wstring> lineRows;
  WrapRows(dc, g_current, width, rows);
  for (size_t i = g_lines.size(); i > 0 && static_cast<int>(rows.size()) < visibleRows; --i) {
    lineRows.clear();
    WrapRows(dc, g_lines[i - 1], width, lineRows);
    rows.insert(rows.begin(), lineRows.begin(), lineRows.end());
  }
  size_t first = rows.size() > static_cast<size_t>(visibleRows) ? rows.size() - visibleRows : 0;
  int y = margin;
  SIZE end = {};
  for (size_t i = first; i < rows.size(); ++i) {
    TextOutW(dc, margin, y, rows[i].data(), static_cast<int>(rows[i].size()));
    GetTextExtentPoint32W(dc, rows[i].data(), static_cast<int>(rows[i].size()), &end);
    y += lineHeight;
  }
  // The caret: an underline bar after the last row's text.
  int charWidth = tm.tmAveCharWidth > 0 ? tm.tmAveCharWidth : 8;
  RECT caret = {margin + end.cx, y - 3, margin + end.cx + charWidth, y - 1};
  HBRUSH caretBrush = CreateSolidBrush(RGB(204, 204, 204));
  FillRect(dc, &caret, caretBrush);
  DeleteObject(caretBrush);
  SelectObject(dc, oldFont);
  EndPaint(hwnd, &ps);
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_COMMAND:
      if (LOWORD(wParam) == kPasteCommand) {
        Receive(hwnd, "command");
      } else if (LOWORD(wParam) == kHangCommand) {
        // The thread neither handles messages nor answers them meanwhile.
        LogEvent("hang");
        Sleep(static_cast<DWORD>(g_options.hangMs));
        LogEvent("awake");
      } else {
        char buf[96];
        std::snprintf(buf, sizeof buf, "{\"event\":\"command\",\"id\":%u,\"t\":%.6f}",
                      static_cast<unsigned>(LOWORD(wParam)), Now());
        LogLine(buf);
      }
      return 0;
    case WM_KEYDOWN:
    case WM_KEYUP:
      LogKey(msg == WM_KEYUP, wParam);
      if (msg == WM_KEYUP) break;
      if (wParam == VK_INSERT && (GetKeyState(VK_SHIFT) & 0x8000)) {
        Receive(hwnd, "keystroke");
        return 0;
      }
      break;
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE && !g_closing) LogEvent("deactivate");
      if (LOWORD(wParam) != WA_INACTIVE && !g_closing) {
        LogEvent("activate");
        if (g_ready) ++g_activations;
        if (g_options.closeAfterActivations > 0 && g_activations == g_options.closeAfterActivations) {
          if (g_options.closeDelayMs > 0)
            SetTimer(hwnd, kCloseTimer, static_cast<UINT>(g_options.closeDelayMs), nullptr);
          else
            PostMessageW(hwnd, WM_CLOSE, 0, 0);
        }
      }
      break;
    case WM_TIMER:
      if (wParam == kCloseTimer) {
        KillTimer(hwnd, kCloseTimer);
        Close(hwnd);
        return 0;
      }
      break;
    case WM_CLOSE:
      Close(hwnd);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_SIZE:
      InvalidateRect(hwnd, nullptr, FALSE);
      break;
    case WM_PAINT:
      Paint(hwnd);
      return 0;
    case kReadyMessage:
      // Posted after the window was shown: the start-up messages (its own
      // first activation included) have been handled by now.
      g_ready = true;
      LogEvent("ready");
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

// A fixed-pitch font that shows Japanese: "ＭＳ ゴシック" on Windows; where it
// is missing or substituted by a proportional face, the IPA Gothic font;
// failing both, the system's fixed font.
HFONT CreateConsoleFont() {
  const wchar_t* faces[] = {L"\xff2d\xff33 \x30b4\x30b7\x30c3\x30af", L"MS Gothic", L"IPAGothic"};
  HDC screen = GetDC(nullptr);
  HFONT chosen = nullptr;
  for (const wchar_t* face : faces) {
    HFONT font = CreateFontW(-16, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FIXED_PITCH | FF_MODERN, face);
    if (!font) continue;
    HGDIOBJ old = SelectObject(screen, font);
    TEXTMETRICW tm = {};
    GetTextMetricsW(screen, &tm);
    SelectObject(screen, old);
    // TMPF_FIXED_PITCH set means a variable-pitch font.
    if (!(tm.tmPitchAndFamily & TMPF_FIXED_PITCH)) {
      chosen = font;
      break;
    }
    DeleteObject(font);
  }
  ReleaseDC(nullptr, screen);
  return chosen ? chosen : static_cast<HFONT>(GetStockObject(OEM_FIXED_FONT));
}

bool ParseOptions(int argc, wchar_t** argv) {
  for (int i = 1; i < argc; ++i) {
    std::wstring a = argv[i];
    bool hasValue = i + 1 < argc;
    if (a == L"--class" && hasValue) {
      g_options.className = argv[++i];
    } else if (a == L"--title" && hasValue) {
      g_options.title = argv[++i];
    } else if (a == L"--pos" && i + 2 < argc) {
      g_options.x = static_cast<int>(std::wcstol(argv[++i], nullptr, 10));
      g_options.y = static_cast<int>(std::wcstol(argv[++i], nullptr, 10));
    } else if (a == L"--log" && hasValue) {
      g_options.logPath = argv[++i];
    } else if (a == L"--close-after-activations" && hasValue) {
      g_options.closeAfterActivations = std::wcstol(argv[++i], nullptr, 10);
    } else if (a == L"--close-delay-ms" && hasValue) {
      g_options.closeDelayMs = std::wcstol(argv[++i], nullptr, 10);
    } else if (a == L"--busy-after-paste-ms" && hasValue) {
      g_options.busyAfterPasteMs = std::wcstol(argv[++i], nullptr, 10);
    } else if (a == L"--hang-ms" && hasValue) {
      g_options.hangMs = std::wcstol(argv[++i], nullptr, 10);
    } else {
      return false;
    }
  }
  return !g_options.className.empty();
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  if (!ParseOptions(__argc, __wargv)) {
    MessageBoxW(nullptr,
                L"sqlplus_standin [--class NAME] [--title TEXT] [--pos X Y] [--log PATH] "
                L"[--close-after-activations N] [--close-delay-ms MS] [--busy-after-paste-ms MS] [--hang-ms MS]",
                kTitle, MB_OK);
    return 2;
  }
  if (!g_options.logPath.empty()) {
    g_log = _wfopen(g_options.logPath.c_str(), L"ab");
    if (!g_log) return 3;
  }

  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof wc;
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_IBEAM);
  wc.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
  wc.lpszClassName = g_options.className.c_str();
  if (!RegisterClassExW(&wc)) return 4;

  g_font = CreateConsoleFont();
  HWND hwnd = CreateWindowExW(0, g_options.className.c_str(), g_options.title.c_str(), WS_OVERLAPPEDWINDOW,
                              g_options.x, g_options.y, 720, 420,
                              nullptr, nullptr, instance, nullptr);
  if (!hwnd) return 5;
  ShowWindow(hwnd, SW_SHOWNORMAL);
  UpdateWindow(hwnd);
  PostMessageW(hwnd, kReadyMessage, 0, 0);

  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  DeleteObject(g_font);
  if (g_log) std::fclose(g_log);
  return 0;
}
