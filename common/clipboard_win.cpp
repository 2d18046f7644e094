// The clipboard on Windows: plain (Unicode) text written, offered and read
// within one small budget of tries, never waiting on a hung owner. The offer
// of a delivery is answered by a window of our own (see ClipboardOffer in
// clipboard.h, and delivery.cpp for what it proves).
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <new>
#include <string>

#include "clipboard.h"
#include "handles_win.h"
#include "waiting.h"
#include "wide_win.h"
#include "windows_and_keys.h"

namespace {

// The clipboard is shared by every program on the desktop: another one may
// hold it open for a moment, and emptying it may fail while its previous
// owner's process ends. An operation therefore tries again for a short
// while, but never longer than this budget in all, whatever fails and
// however often, with this pause between tries.
constexpr double kBudgetSeconds = 0.25;
constexpr double kPauseSeconds = 0.02;

// What one try of a clipboard operation came to.
enum class Attempt {
  kDone,    // the operation succeeded
  kAgain,   // it failed in a way that may pass (the clipboard was busy)
  kGiveUp,  // it failed for good (for example, the owner does not answer)
};

// Calls `attempt` until it is done or gives up, within the budget: no try
// starts after it. Between two tries only the messages sent to this thread
// are handled: a program that holds the clipboard open and asks for our
// offer's text waits for our answer, so the clipboard stays shut for as long
// as we do not answer; no other handler of ours runs in the middle of a
// clipboard operation. True when a try was done.
template <typename Try>
bool WithinBudget(Try attempt) {
  return RetryWhile(Attempt::kAgain, attempt, kBudgetSeconds, kPauseSeconds, Messages::kSentOnly) == Attempt::kDone;
}

// The offer of a delivery: its text (the caller's, which stays as it is
// until ClipboardLetGo), the formats still to be handed over, and the
// program of each read (0: a reader that opened the clipboard without a
// window). Each format is rendered at most once, so two reads at most.
struct Offer {
  const std::u16string* text = nullptr;
  bool onClipboard = false;
  bool unicodeDue = false;  // CF_UNICODETEXT not handed over yet
  bool ansiDue = false;     // CF_TEXT of our own (see AnsiOfItsOwn) not handed over yet
  int reads = 0;
  DWORD readers[2] = {};
};
Offer g_offer;
HWND g_window = nullptr;

LRESULT CALLBACK ClipboardWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The clipboard is opened on behalf of a hidden message-only window of our
// own, which answers for the offer. Opened without a window, EmptyClipboard
// leaves the clipboard with no owner, after which SetClipboardData may fail
// on Windows; and two programs that both open it without a window do not
// keep each other out under Wine. Created again after ClipboardLetGo.
HWND ClipboardWindow() {
  static const wchar_t kClass[] = L"vorn3Clipboard";
  static ATOM registered = 0;
  if (g_window != nullptr) return g_window;
  if (registered == 0) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = ClipboardWindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kClass;
    registered = RegisterClassW(&wc);
  }
  g_window = CreateWindowExW(0, kClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr), nullptr);
  return g_window;
}

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

// The clipboard, opened by this program (OpenClipboard) and closed when this
// goes.
class OpenedClipboard {
 public:
  OpenedClipboard() = default;
  OpenedClipboard(const OpenedClipboard&) = delete;
  OpenedClipboard& operator=(const OpenedClipboard&) = delete;
  ~OpenedClipboard() {
    if (open_) CloseClipboard();
  }
  bool Open(HWND window) {
    if (!open_) open_ = OpenClipboard(window) != FALSE;
    return open_;
  }

 private:
  bool open_ = false;
};

// Opens the clipboard unless its owner is hung.
Attempt OpenClipboardUnlessOwnerHung(OpenedClipboard& clipboard) {
  HWND owner = GetClipboardOwner();
  if (OwnerHung(owner)) return Attempt::kGiveUp;
  if (!clipboard.Open(ClipboardWindow())) return Attempt::kAgain;
  HWND now = GetClipboardOwner();
  return now != owner && OwnerHung(now) ? Attempt::kGiveUp : Attempt::kDone;
}

// Reads the open clipboard's Unicode text into `out`: true with the empty
// text when it holds none, false when the text is there but cannot be read.
bool ReadOpenClipboard(std::u16string& out) {
  if (!IsClipboardFormatAvailable(CF_UNICODETEXT)) return true;
  const GlobalLocked<const wchar_t> units(GetClipboardData(CF_UNICODETEXT));
  if (units.Get() == nullptr) return false;
  const SIZE_T limit = units.Size() / sizeof(wchar_t);
  SIZE_T length = 0;
  while (length < limit && units.Get()[length] != L'\0') ++length;
  try {
    out = wide::FromWide(units.Get(), static_cast<std::size_t>(length));
    return true;
  } catch (const std::bad_alloc&) {  // too large to copy: a failed read, never a crash
    out.clear();
    return false;
  }
}

// A moveable memory block holding `size` bytes of `data` and then
// `terminator` zero bytes; none when there is no memory for it.
GlobalMemory BlockOf(const void* data, SIZE_T size, SIZE_T terminator) {
  if (size > SIZE_MAX - terminator) return GlobalMemory();
  GlobalMemory memory(GlobalAlloc(GMEM_MOVEABLE, size + terminator));
  const GlobalLocked<char> target(memory.Get());
  if (target.Get() == nullptr) return GlobalMemory();
  if (size != 0) std::memcpy(target.Get(), data, size);
  std::memset(target.Get() + size, 0, terminator);
  return memory;
}

GlobalMemory UnicodeBlock(const std::u16string& text) {
  if (text.size() >= SIZE_MAX / sizeof(wchar_t)) return GlobalMemory();
  return BlockOf(text.data(), text.size() * sizeof(wchar_t), sizeof(wchar_t));
}

// Puts `memory` on the open clipboard as `format`, which then owns it; when
// that fails, `memory` keeps it (a block made for the call is then freed).
bool Put(UINT format, GlobalMemory& memory) {
  if (!memory.Valid() || SetClipboardData(format, memory.Get()) == nullptr) return false;
  memory.Release();
  return true;
}

bool Put(UINT format, GlobalMemory&& memory) { return Put(format, memory); }

// SQL*Plus reads the clipboard as ANSI text (CF_TEXT), which the system
// makes from the Unicode text when it is asked for, in the code page of the
// clipboard's locale (CF_LOCALE). Left to itself, the system takes the
// locale from the keyboard layout active when the clipboard is written: with
// an English layout active, Japanese would reach SQL*Plus as "?". The
// locale given here is the system's, whose ANSI code page is the one every
// ANSI program on the system reads text in, CF_OEMTEXT following it.
bool PutLocale(LCID locale) { return Put(CF_LOCALE, BlockOf(&locale, sizeof locale, 0)); }

// ... except where the ANSI code page of programs is not their locale's:
// with "Use Unicode UTF-8 for worldwide language support" (Windows 10 1903
// and later) GetACP() gives 65001 while the system locale's stays 932. An
// ANSI program then reads CF_TEXT as UTF-8, and the offer carries a CF_TEXT
// of its own, converted with CP_ACP, the code page of the program's own
// ANSI calls.
bool AnsiOfItsOwn() {
  DWORD codePage = 0;
  return GetLocaleInfoW(GetSystemDefaultLCID(), LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER,
                        reinterpret_cast<LPWSTR>(&codePage), sizeof codePage / sizeof(wchar_t)) != 0 &&
         codePage != GetACP();
}

GlobalMemory AnsiBlock(const std::u16string& text) {
  const int units = text.size() <= 0x3fffffff ? static_cast<int>(text.size()) : -1;
  if (units < 0) return GlobalMemory();
  const int bytes = units == 0 ? 0 : WideCharToMultiByte(CP_ACP, 0, wide::Ptr(text), units, nullptr, 0, nullptr, nullptr);
  GlobalMemory memory = BlockOf(nullptr, 0, static_cast<SIZE_T>(bytes) + 1);
  const GlobalLocked<char> target(memory.Get());
  if (target.Get() != nullptr) {
    WideCharToMultiByte(CP_ACP, 0, wide::Ptr(text), units, target.Get(), bytes, nullptr, nullptr);
  }
  return memory;
}

// Hands over one format of the offer to the open clipboard.
void Render(UINT format) {
  if (g_offer.text == nullptr) return;
  if (format == CF_UNICODETEXT) {
    g_offer.unicodeDue = false;
    Put(format, UnicodeBlock(*g_offer.text));
  } else if (format == CF_TEXT) {
    g_offer.ansiDue = false;
    Put(format, AnsiBlock(*g_offer.text));
  }
}

// Hands over what is still due while the offer is on the clipboard, as the
// program ends: opened by us (within the usual budget), and only while we
// still own it, so that nobody's newer content is overwritten.
void RenderWhatIsDue() {
  if (!g_offer.unicodeDue && !g_offer.ansiDue) return;
  OpenedClipboard clipboard;
  // Sent messages only, as between any two tries (see WithinBudget).
  if (!WaitUntil([&clipboard] { return clipboard.Open(g_window); }, kBudgetSeconds, kPauseSeconds,
                 Messages::kSentOnly) ||
      GetClipboardOwner() != g_window) {
    return;
  }
  if (g_offer.unicodeDue) Render(CF_UNICODETEXT);
  if (g_offer.ansiDue) Render(CF_TEXT);
}

LRESULT CALLBACK ClipboardWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_RENDERFORMAT: {
      // A program reads the offer now. It holds the clipboard open, with a
      // window of its own or none, which tells which program it is.
      DWORD process = 0;
      HWND reader = GetOpenClipboardWindow();
      if (reader != nullptr) GetWindowThreadProcessId(reader, &process);
      if (g_offer.reads < 2) g_offer.readers[g_offer.reads] = process;
      ++g_offer.reads;
      Render(static_cast<UINT>(wParam));
      return 0;
    }
    case WM_RENDERALLFORMATS:
      RenderWhatIsDue();
      return 0;
    case WM_DESTROYCLIPBOARD:  // emptied: by someone else, or before our next content
      g_offer.onClipboard = false;
      return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

// The offer's formats, on the clipboard we have opened and emptied: the
// locale, the text to be rendered when read, and the formats that keep it
// out of the clipboard history and the cloud clipboard ("Exclude..." keeps
// it from both, and from monitors that honour it; the two others say the
// same to those that look only for them).
bool PutOffer(const std::u16string& text) {
  if (!PutLocale(GetSystemDefaultLCID())) return false;
  SetClipboardData(CF_UNICODETEXT, nullptr);  // a promise gives no handle back
  if (!IsClipboardFormatAvailable(CF_UNICODETEXT)) return false;
  const bool ansi = AnsiOfItsOwn();
  if (ansi) SetClipboardData(CF_TEXT, nullptr);
  static const char* const kKeptOut[] = {"ExcludeClipboardContentFromMonitorProcessing",
                                         "CanIncludeInClipboardHistory", "CanUploadToCloudClipboard"};
  const DWORD no = 0;
  for (const char* name : kKeptOut) Put(RegisterClipboardFormatA(name), BlockOf(&no, sizeof no, 0));
  g_offer.text = &text;
  g_offer.onClipboard = true;
  g_offer.unicodeDue = true;
  g_offer.ansiDue = ansi;
  g_offer.reads = 0;
  return true;
}

// Reads the open clipboard into `out` when it holds text only: every format
// it lists (the converted ones too) is a text format or the locale.
bool TakeTextAside(ClipboardText& out) {
  for (UINT format = EnumClipboardFormats(0); format != 0; format = EnumClipboardFormats(format)) {
    if (format != CF_UNICODETEXT && format != CF_TEXT && format != CF_OEMTEXT && format != CF_LOCALE) return false;
  }
  if (!ReadOpenClipboard(out.text)) return false;
  out.locale = 0;
  const GlobalLocked<const void> locale(GetClipboardData(CF_LOCALE));
  if (locale.Get() != nullptr && locale.Size() >= sizeof(LCID)) std::memcpy(&out.locale, locale.Get(), sizeof(LCID));
  return true;
}

// One change of the clipboard's content, made in one opening of it: an
// offer of `offer`, or else `memory` as Unicode text with `locale`. With
// `inPlaceOfOffer`, only where our latest offer is on the clipboard, or, for
// an offer, in place of text only, which is then `taken` aside.
struct Change {
  const std::u16string* offer;
  GlobalMemory memory;
  LCID locale;
  bool inPlaceOfOffer;
  ClipboardText taken;
  bool took;
};

ClipboardChange Apply(Change& change) {
  bool leftAlone = false;
  const bool done = WithinBudget([&change, &leftAlone] {
    OpenedClipboard clipboard;
    const Attempt opened = OpenClipboardUnlessOwnerHung(clipboard);
    leftAlone = opened == Attempt::kGiveUp;  // its owner does not answer
    if (opened != Attempt::kDone) return opened;
    // Taken aside once: a later try finds our own emptied clipboard.
    const bool theirs = change.inPlaceOfOffer && !g_offer.onClipboard;
    if (theirs && change.offer != nullptr && !change.took) change.took = TakeTextAside(change.taken);
    leftAlone = theirs && !change.took;
    Attempt result = Attempt::kGiveUp;
    if (!leftAlone) {
      // The locale goes first: when the text then fails, `memory` is still
      // ours for the next try.
      const bool put = EmptyClipboard() &&
                       (change.offer != nullptr ? PutOffer(*change.offer)
                                                : PutLocale(change.locale) && Put(CF_UNICODETEXT, change.memory));
      result = put ? Attempt::kDone : Attempt::kAgain;
    }
    return result;
  });
  return done ? ClipboardChange::kDone : leftAlone ? ClipboardChange::kLeftAlone : ClipboardChange::kBusy;
}

// Writes text and its locale as the clipboard's content, prepared before the
// clipboard is opened, so that it is held only briefly. Emptying can fail for
// a moment too (under Wine while the previous owner's process is ending):
// the whole sequence is tried again, within the budget.
ClipboardChange WriteText(const std::u16string& text, LCID locale, bool inPlaceOfOffer) {
  Change change = {nullptr, UnicodeBlock(text), locale, inPlaceOfOffer, {}, false};
  return change.memory.Valid() ? Apply(change) : ClipboardChange::kBusy;
}

}  // namespace

bool ClipboardSetText(const std::u16string& text) {
  return WriteText(text, GetSystemDefaultLCID(), false) == ClipboardChange::kDone;
}

bool ClipboardGetText(std::u16string& out) {
  out.clear();
  return WithinBudget([&out] {
    OpenedClipboard clipboard;
    const Attempt opened = OpenClipboardUnlessOwnerHung(clipboard);
    if (opened != Attempt::kDone) return opened;
    return ReadOpenClipboard(out) ? Attempt::kDone : Attempt::kGiveUp;
  });
}

bool ClipboardOffer(const std::u16string& text) {
  Change change = {&text, GlobalMemory(), 0, false, {}, false};
  return Apply(change) == ClipboardChange::kDone;
}

ClipboardChange ClipboardOfferAgain(const std::u16string& text, ClipboardText& aside, bool& keptAside) {
  Change change = {&text, GlobalMemory(), 0, true, {}, false};
  const ClipboardChange result = Apply(change);
  if (result == ClipboardChange::kDone && change.took) {
    aside.text.swap(change.taken.text);
    aside.locale = change.taken.locale;
    keptAside = true;
  }
  return result;
}

OfferNews ClipboardOfferNews(WindowHandle reader) {
  OfferNews news;
  news.onClipboard = g_offer.onClipboard;
  news.reads = g_offer.reads;
  DWORD theirs = 0;
  HWND window = wide::ToHwnd(reader);
  if (window != nullptr) GetWindowThreadProcessId(window, &theirs);
  for (int i = 0; i < g_offer.reads && i < 2; ++i) {
    if (g_offer.readers[i] != 0 && g_offer.readers[i] != theirs) ++news.readsElsewhere;
  }
  return news;
}

ClipboardChange ClipboardPutBack(const ClipboardText& aside) {
  return WriteText(aside.text, aside.locale != 0 ? aside.locale : GetSystemDefaultLCID(), true);
}

void ClipboardLetGo() {
  if (g_window == nullptr) return;
  RenderWhatIsDue();
  // Anything still due (the clipboard was busy) is asked for once more, in
  // WM_RENDERALLFORMATS, as the window goes.
  DestroyWindow(g_window);
  g_window = nullptr;
  g_offer = Offer();
}
