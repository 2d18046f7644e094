// Checks of the real Windows layer: the entry-point table and its wrappers on
// the wide and the ANSI path, the clipboard, window activation, keystrokes,
// the event pump, the clocks, files, and the message and input boxes, which a
// second thread answers the way a user would. The checks are grouped by
// service in the check_*.cpp files (see check.h).
//
//   platform_check [--out FILE] [--only NAME] [--linger MS]
//   platform_check --hold-clipboard HELD_EVENT RELEASE_EVENT   (helper mode)
//   platform_check --read-clipboard FILE                       (helper mode)
//
// Prints one line per check, "ok NAME" (with a note when part of it could not
// be tried here) or "FAIL NAME: detail", then "done: N checks, F failed"; with --out the same
// lines go to FILE as UTF-8. --linger leaves each box up for MS milliseconds
// before answering it, for a look or a screenshot. Exit code 0 when nothing
// failed.
#include <cstdio>
#include <cstdlib>
#include <cwchar>

#include "check.h"

int wmain(int argc, wchar_t** argv) {
  if (argc == 4 && std::wcscmp(argv[1], L"--hold-clipboard") == 0) return HoldClipboard(argv[2], argv[3]);
  if (argc == 3 && std::wcscmp(argv[1], L"--read-clipboard") == 0) return ReadClipboardToFile(argv[2]);
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::wcscmp(argv[i], L"--out") == 0) {
      g_outFile = _wfopen(argv[i + 1], L"wb");
    } else if (std::wcscmp(argv[i], L"--only") == 0) {
      g_only = argv[i + 1];
    } else if (std::wcscmp(argv[i], L"--linger") == 0) {
      g_lingerMs = static_cast<DWORD>(std::wcstoul(argv[i + 1], nullptr, 10));
    }
  }
  Emit("info ANSI code page " + Num(GetACP()));

  if (!RegisterProbeClass()) {
    Emit("FAIL setup: cannot register the window class");
    return 1;
  }
  HWND main = MakeWindow(kMainTitle, 20, 20);
  if (main == nullptr) {
    Emit("FAIL setup: cannot create the test window");
    return 1;
  }
  Front(main);

  if (Selected("entry_points")) CheckEntryPoints();
  if (Selected("ansi_conversions")) CheckAnsiConversions();
  if (Selected("find_window")) CheckWrappersWide(main);
  if (Selected("ini")) CheckProfilesAndAnsiPath(main);
  if (Selected("clipboard")) CheckClipboard();
  if (Selected("clipboard_held")) CheckClipboardHeldElsewhere();
  if (Selected("clipboard_offer")) CheckClipboardOffer(main);
  if (Selected("activate")) CheckActivation(main);
  if (Selected("keys")) CheckKeystrokes(main);
  if (Selected("clocks")) CheckClocks();
  if (Selected("current_directory")) CheckCurrentDirectory();
  if (Selected("read_file")) CheckReadFile();
  CheckMessageBoxes(main);
  CheckInputBoxes(main);

  DestroyWindow(main);
  Emit("done: " + Num(g_checks) + " checks, " + Num(g_failed) + " failed");
  if (g_outFile != nullptr) std::fclose(g_outFile);
  return g_failed == 0 ? 0 : 1;
}
