// The clipboard on Windows: plain (Unicode) text written and read within the
// one retry budget of clipboard_retry, never waiting on a hung owner.
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <new>
#include <string>

#include "clipboard_retry.h"
#include "platform_ops.h"
#include "wide_win.h"

namespace {

using clipboard_retry::Attempt;

// The clipboard is opened on behalf of a hidden message-only window of our
// own. Opened without a window, EmptyClipboard leaves the clipboard with no
// owner, after which SetClipboardData may fail on Windows; and two programs
// that both open it without a window do not keep each other out under Wine.
HWND ClipboardWindow() {
  static HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                       GetModuleHandleW(nullptr), nullptr);
  return window;
}

void PauseSeconds(double seconds) { Sleep(static_cast<DWORD>(seconds * 1000.0 + 0.5)); }

// Clipboard operations keep trying within the one budget of clipboard_retry.
const clipboard_retry::Clock kClipboardClock = {MonotonicSeconds, PauseSeconds};

// Emptying the clipboard tells its owner and waits for it; reading a text
// that the owner renders only on demand asks the owner and waits for the
// text; under Wine every clipboard call but GetClipboardOwner may first ask
// the owner to bring the clipboard up to date, waiting up to five seconds for
// it. An owner window of another process that does not answer would hold
// this program for as long as it is hung: such an owner makes the operation
// fail instead. It is looked at before the clipboard is opened, and again
// once it is open in case the owner changed in between.
// Only an owner that lets the time pass counts: one that the system keeps
// our messages from (a program with higher rights) is not hung, and the
// clipboard works with it as with any other.
bool OwnerHung(HWND owner) {
  if (owner == nullptr) return false;
  DWORD process = 0;
  GetWindowThreadProcessId(owner, &process);
  if (process == GetCurrentProcessId()) return false;
  return AskWindow(wide::FromHwnd(owner)) == WindowReply::kHung;
}

// Opens the clipboard unless its owner is hung.
Attempt OpenClipboardUnlessOwnerHung() {
  HWND owner = GetClipboardOwner();
  if (OwnerHung(owner)) return Attempt::kGiveUp;
  if (!OpenClipboard(ClipboardWindow())) return Attempt::kAgain;
  HWND now = GetClipboardOwner();
  if (now != owner && OwnerHung(now)) {
    CloseClipboard();
    return Attempt::kGiveUp;
  }
  return Attempt::kDone;
}

// Reads the open clipboard's Unicode text into `out`: true with the empty
// text when it holds none, false when the text is there but cannot be read.
bool ReadOpenClipboard(std::u16string& out) {
  if (!IsClipboardFormatAvailable(CF_UNICODETEXT)) return true;
  HANDLE data = GetClipboardData(CF_UNICODETEXT);
  if (data == nullptr) return false;
  const wchar_t* units = static_cast<const wchar_t*>(GlobalLock(data));
  if (units == nullptr) return false;
  bool done = false;
  const SIZE_T limit = GlobalSize(data) / sizeof(wchar_t);
  SIZE_T length = 0;
  while (length < limit && units[length] != L'\0') ++length;
  try {
    out = wide::FromWide(units, static_cast<std::size_t>(length));
    done = true;
  } catch (const std::bad_alloc&) {  // too large to copy: a failed read, never a crash
    out.clear();
  }
  GlobalUnlock(data);
  return done;
}

// SQL*Plus reads the clipboard as ANSI text (CF_TEXT), which the system
// makes from the Unicode text when it is asked for, in the code page of the
// clipboard's locale (CF_LOCALE). Left to itself, the system takes the
// locale from the keyboard layout active when the clipboard is written: with
// an English layout active, Japanese would reach SQL*Plus as "?". The
// locale given here is the system's, whose ANSI code page is the one every
// ANSI program on the system reads text in. (Rather than a CF_TEXT of our
// own: the text stays one copy, converted only for a reader that asks for
// it, and CF_OEMTEXT follows the same locale.) False when it cannot be set;
// the memory is then freed.
bool SetSystemLocale() {
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, sizeof(LCID));
  if (memory == nullptr) return false;
  void* target = GlobalLock(memory);
  if (target == nullptr) {
    GlobalFree(memory);
    return false;
  }
  const LCID locale = GetSystemDefaultLCID();
  std::memcpy(target, &locale, sizeof locale);
  GlobalUnlock(memory);
  if (SetClipboardData(CF_LOCALE, memory) != nullptr) return true;
  GlobalFree(memory);
  return false;
}

}  // namespace

bool ClipboardSetText(const std::u16string& text) {
  if (text.size() >= (SIZE_MAX / sizeof(wchar_t)) - 1) return false;
  const SIZE_T bytes = (text.size() + 1) * sizeof(wchar_t);
  // Prepare the data before opening, so the clipboard is held only briefly.
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
  if (memory == nullptr) return false;
  void* target = GlobalLock(memory);
  if (target == nullptr) {
    GlobalFree(memory);
    return false;
  }
  if (!text.empty()) std::memcpy(target, text.data(), text.size() * sizeof(wchar_t));
  static_cast<wchar_t*>(target)[text.size()] = L'\0';
  GlobalUnlock(memory);

  // Emptying can fail for a moment too (under Wine while the previous owner's
  // process is ending): the whole sequence is tried again, within the budget.
  const bool done = clipboard_retry::RunWithinBudget(
      [memory] {
        const Attempt opened = OpenClipboardUnlessOwnerHung();
        if (opened != Attempt::kDone) return opened;
        // On success the clipboard owns the memory. The locale goes first:
        // when the text then fails, `memory` is still ours for the next try.
        const bool set = EmptyClipboard() && SetSystemLocale() && SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
        CloseClipboard();
        return set ? Attempt::kDone : Attempt::kAgain;
      },
      kClipboardClock);
  if (!done) GlobalFree(memory);
  return done;
}

bool ClipboardGetText(std::u16string& out) {
  out.clear();
  return clipboard_retry::RunWithinBudget(
      [&out] {
        const Attempt opened = OpenClipboardUnlessOwnerHung();
        if (opened != Attempt::kDone) return opened;
        const bool read = ReadOpenClipboard(out);
        CloseClipboard();
        return read ? Attempt::kDone : Attempt::kGiveUp;
      },
      kClipboardClock);
}

std::uint32_t ClipboardChangeCount() { return GetClipboardSequenceNumber(); }
