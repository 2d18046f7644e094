// The Windows check program's shared parts: the report (one line per check),
// small helpers, the test window the checks work with, and the groups of
// checks, one file per service:
//   check_platform_calls.cpp    the entry-point table and its wrappers on the
//                               wide and the ANSI path: windows, messages,
//                               profiles, module names
//   check_clipboard.cpp         the clipboard, also while another process holds it
//   check_windows.cpp           window activation and keystrokes
//   check_files_and_clocks.cpp  the clocks, the current directory, reading files
//   check_boxes.cpp             the message and input boxes, answered from a
//                               second thread the way a user would
// platform_check.cpp runs them.
#pragma once

#include <windows.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

// Generous: the machine may be busy, and Wine starts slowly.
constexpr DWORD kWaitMs = 30000;
constexpr double kWaitSeconds = kWaitMs / 1000.0;
// How often a wait of the checks looks again.
constexpr double kPollSeconds = 0.02;

// ---------------------------------------------------------------------------
// The report: "ok NAME" (with a note when part of it could not be tried
// here) or "FAIL NAME: detail" per check, to standard output and, when
// g_outFile is open, to that file as UTF-8.

extern FILE* g_outFile;
extern int g_checks;
extern int g_failed;
extern std::wstring g_only;  // run only the check or group of this name
extern DWORD g_lingerMs;     // leave each box up this long before answering it

void Emit(const std::string& line);

struct Check {
  std::string name;
  std::vector<std::string> problems;
  std::string untried;  // a part that could not be tried here, and why
};

void Expect(Check& check, bool condition, const std::string& what);
void Finish(const Check& check);
bool Selected(const char* name);

// A text for a message: quoted, control characters escaped, long texts cut.
std::string Show(const std::u16string& value);
std::string Num(long long value);

// ---------------------------------------------------------------------------
// Small helpers

std::u16string Text(HWND window);

// Waits until `condition` holds, for `seconds` at most, handling all of this
// thread's messages meanwhile: the test window must stay alive.
bool Eventually(const std::function<bool()>& condition, double seconds = kWaitSeconds);

// A directory of this run's own under the temporary directory.
std::u16string TempDirectory();
bool WriteBytes(const std::u16string& path, const std::string& bytes);

// ---------------------------------------------------------------------------
// The test window: records posted messages; an edit field takes the paste.

constexpr UINT kProbeMessage = WM_APP + 1;
constexpr int kProbeEditId = 300;
constexpr wchar_t kProbeClass[] = L"VornPlatformCheck";
extern const std::u16string kMainTitle;

struct ProbeState {
  int probes = 0;
  WPARAM lastW = 0;
  LPARAM lastL = 0;
};
extern ProbeState g_probe;

bool RegisterProbeClass();
HWND MakeWindow(const std::u16string& title, int x, int y);

// Brings `window` to the front and waits until it is there.
bool Front(HWND window);

// ---------------------------------------------------------------------------
// The groups of checks. `main` is the test window.

void CheckEntryPoints();
void CheckAnsiConversions();
void CheckWrappersWide(HWND main);
void CheckProfilesAndAnsiPath(HWND main);

void CheckClipboard();
void CheckClipboardHeldElsewhere();
// The helper process of CheckClipboardHeldElsewhere (--hold-clipboard).
int HoldClipboard(const wchar_t* heldName, const wchar_t* releaseName);
void CheckClipboardOffer(HWND main);
// The reader process of CheckClipboardOffer (--read-clipboard).
int ReadClipboardToFile(const wchar_t* path);

void CheckActivation(HWND main);
void CheckKeystrokes(HWND main);

void CheckClocks();
void CheckCurrentDirectory();
void CheckReadFile();

void CheckMessageBoxes(HWND main);
void CheckInputBoxes(HWND main);
