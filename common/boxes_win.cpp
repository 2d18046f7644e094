// The message box and the beep on Windows.
#include <windows.h>

#include <string>

#include "boxes.h"
#include "wide_win.h"

static_assert(kMbYesNoCancelQuestion == (MB_YESNOCANCEL | MB_ICONQUESTION), "MB_YESNOCANCEL | MB_ICONQUESTION");
static_assert(kMbOkExclamation == (MB_OK | MB_ICONEXCLAMATION), "MB_OK | MB_ICONEXCLAMATION");
static_assert(kIdOk == IDOK, "IDOK");
static_assert(kIdCancel == IDCANCEL, "IDCANCEL");
static_assert(kIdYes == IDYES, "IDYES");
static_assert(kIdNo == IDNO, "IDNO");

int ShowMessageBox(const std::u16string& text, int style, const std::u16string& title) {
  // Owned by this thread's active window, which stays disabled while the box
  // is up; with none, the box disables the thread's other windows instead.
  HWND owner = GetActiveWindow();
  UINT type = static_cast<UINT>(style);
  if (owner == nullptr) type |= MB_TASKMODAL;
  return MessageBoxW(owner, wide::Ptr(text), wide::Ptr(title), type);
}


void Beep() { MessageBeep(MB_OK); }
