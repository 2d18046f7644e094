// peak_memory: starts a program and reports the peak working set of its
// process (PeakWorkingSetSize of GetProcessMemoryInfo).
//
//   peak_memory [--window] [--wait SECONDS] [--out PATH] PROGRAM [ARGUMENTS...]
//
//   --window   the program shows a window: once a visible top-level window of
//              its process exists and the process is idle (WaitForInputIdle),
//              the counters are read and the window is sent WM_CLOSE.
//              Without it the program is left to end by itself.
//   --wait S   at most S seconds for the whole run (default 60); a program
//              still running then is ended and the run reported as failed.
//   --out P    writes the report to P (written beside and renamed) instead of
//              standard output.
// The report is one line of JSON:
//   {"ok": true, "peak_working_set": BYTES, "reads": N, "window": true|false,
//    "exit_code": C, "after_exit": BYTES}
// The counters are read about every millisecond while the process runs and
// the largest peak is kept, since Wine reads them from the live process only
// and reports zeros once it has ended ("after_exit" is the peak read after the
// end, which Windows still gives). The peak only ever grows, so the last read
// before the end is the figure; under Wine it comes within a couple of
// milliseconds of the end. Exit code 0 when the report says ok, 1 otherwise,
// 2 on bad usage.
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

struct Run {
  DWORD pid = 0;
  HWND window = nullptr;
};

BOOL CALLBACK FindShownWindow(HWND w, LPARAM param) {
  Run* run = reinterpret_cast<Run*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  if (pid != run->pid || !IsWindowVisible(w) || GetWindow(w, GW_OWNER)) return TRUE;
  run->window = w;
  return FALSE;
}

// Quotes one argument the way CommandLineToArgvW splits it again.
std::wstring Quote(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
  std::wstring out = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    if (c == L'"') out.append(backslashes * 2 + 1, L'\\');
    else out.append(backslashes, L'\\');
    backslashes = 0;
    out += c;
  }
  out.append(backslashes * 2, L'\\');
  return out + L"\"";
}

bool ReadPeak(HANDLE process, SIZE_T& peak) {
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof counters;
  if (!GetProcessMemoryInfo(process, &counters, sizeof counters)) return false;
  if (counters.PeakWorkingSetSize > peak) peak = counters.PeakWorkingSetSize;
  return true;
}

bool WriteReport(const wchar_t* outPath, const std::string& text) {
  if (!outPath) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
    return true;
  }
  // Written beside and then renamed, so that a reader never sees half.
  std::wstring part = std::wstring(outPath) + L".part";
  HANDLE f = CreateFileW(part.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) && written == text.size();
  CloseHandle(f);
  return ok && MoveFileExW(part.c_str(), outPath, MOVEFILE_REPLACE_EXISTING);
}

int Usage() {
  std::fputs("usage: peak_memory [--window] [--wait SECONDS] [--out PATH] PROGRAM [ARGUMENTS...]\n", stderr);
  return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  bool window = false;
  double waitSeconds = 60;
  const wchar_t* outPath = nullptr;
  int i = 1;
  for (; i < argc && argv[i][0] == L'-' && argv[i][1] == L'-'; ++i) {
    const std::wstring option = argv[i];
    if (option == L"--window") {
      window = true;
    } else if (option == L"--wait" && i + 1 < argc) {
      waitSeconds = std::wcstod(argv[++i], nullptr);
    } else if (option == L"--out" && i + 1 < argc) {
      outPath = argv[++i];
    } else {
      return Usage();
    }
  }
  if (i >= argc || waitSeconds <= 0) return Usage();

  std::wstring commandLine;
  for (int k = i; k < argc; ++k) commandLine += (k > i ? L" " : L"") + Quote(argv[k]);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
    char report[128];
    std::snprintf(report, sizeof report, "{\"ok\": false, \"error\": \"CreateProcess failed (%lu)\"}\n",
                  GetLastError());
    WriteReport(outPath, report);
    return 1;
  }
  CloseHandle(info.hThread);

  const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(waitSeconds * 1000);
  SIZE_T peak = 0;
  int reads = 0;
  Run run;
  run.pid = info.dwProcessId;
  bool closed = false;
  bool ended = false;
  while (GetTickCount64() < deadline) {
    if (ReadPeak(info.hProcess, peak)) ++reads;
    if (WaitForSingleObject(info.hProcess, 1) == WAIT_OBJECT_0) {
      ended = true;
      break;
    }
    if (window && !closed) {
      run.window = nullptr;
      EnumWindows(FindShownWindow, reinterpret_cast<LPARAM>(&run));
      if (run.window) {
        // Shown; let it finish painting and go idle, then take its figure.
        const ULONGLONG now = GetTickCount64();
        WaitForInputIdle(info.hProcess, static_cast<DWORD>(deadline > now ? deadline - now : 0));
        if (ReadPeak(info.hProcess, peak)) ++reads;
        PostMessageW(run.window, WM_CLOSE, 0, 0);
        closed = true;
      }
    }
  }
  SIZE_T peakAfterExit = 0;
  const bool afterExit = ended && ReadPeak(info.hProcess, peakAfterExit);
  if (peakAfterExit > peak) peak = peakAfterExit;
  DWORD exitCode = 0;
  if (!ended) {
    TerminateProcess(info.hProcess, 1);
    WaitForSingleObject(info.hProcess, 5000);
  }
  GetExitCodeProcess(info.hProcess, &exitCode);
  CloseHandle(info.hProcess);

  const bool ok = ended && reads > 0 && peak > 0 && (!window || closed);
  char report[256];
  std::snprintf(report, sizeof report,
                "{\"ok\": %s, \"peak_working_set\": %llu, \"reads\": %d, \"window\": %s, \"exit_code\": %lu, "
                "\"after_exit\": %llu}\n",
                ok ? "true" : "false", static_cast<unsigned long long>(peak), reads, closed ? "true" : "false",
                exitCode, static_cast<unsigned long long>(afterExit ? peakAfterExit : 0));
  if (!WriteReport(outPath, report)) return 1;
  return ok ? 0 : 1;
}
