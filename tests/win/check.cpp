// The Windows check program's report, helpers and test window.
#include "check.h"

#include "handles_win.h"
#include "text.h"
#include "waiting.h"
#include "wide_win.h"
#include "windows_and_keys.h"

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

std::u16string Text(HWND window) { return WindowTitle(wide::FromHwnd(window)); }

bool Eventually(const std::function<bool()>& condition, double seconds) {
  return WaitUntil(condition, seconds, kPollSeconds, Messages::kAll);
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
  const Handle file(
      CreateFileW(wide::Ptr(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  return file.Valid() &&
         (bytes.empty() || WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) &&
         written == bytes.size();
}

const std::u16string kMainTitle = u"VornCheck 検査ウィンドウ 表示";  // 表 and 示 end in 0x5C in code page 932

ProbeState g_probe;

namespace {

LRESULT CALLBACK ProbeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kProbeMessage) {
    ++g_probe.probes;
    g_probe.lastW = wParam;
    g_probe.lastL = lParam;
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

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

bool Front(HWND window) {
  SetForegroundWindow(window);
  return Eventually([window] { return GetForegroundWindow() == window && GetActiveWindow() == window; });
}
