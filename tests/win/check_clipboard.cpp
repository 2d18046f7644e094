// Checks of the clipboard: round trips, other formats, the empty clipboard,
// NULs, 50 MB, a text too large to copy, a clipboard held open by another
// process, and the delivery's offer read by another process.
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "check.h"
#include "clipboard.h"
#include "files.h"
#include "handles_win.h"
#include "waiting.h"
#include "wide_win.h"

namespace {

// The clipboard's text read directly, not through the layer under test.
bool RawClipboardText(std::u16string& out, bool& hasText) {
  out.clear();
  hasText = false;
  if (!OpenClipboard(nullptr)) return false;
  {
    const GlobalLocked<const wchar_t> units(GetClipboardData(CF_UNICODETEXT));
    hasText = units.Get() != nullptr;
    out = wide::FromWide(units.Get());
  }
  CloseClipboard();
  return true;
}

bool RawClipboardEmpty() {
  if (!OpenClipboard(nullptr)) return false;
  const BOOL done = EmptyClipboard();
  CloseClipboard();
  return done != FALSE;
}

bool RawClipboardBitmapOnly() {
  if (!OpenClipboard(nullptr)) return false;
  HBITMAP picture = CreateBitmap(8, 8, 1, 32, nullptr);
  const bool done = EmptyClipboard() && picture != nullptr && SetClipboardData(CF_BITMAP, picture) != nullptr;
  if (!done && picture != nullptr) DeleteObject(picture);  // else the clipboard's now
  CloseClipboard();
  return done;
}

// The clipboard's locale and its ANSI text as an ANSI program gets them.
bool RawLocaleAndAnsiText(LCID& locale, std::string& ansi) {
  locale = 0;
  ansi.clear();
  if (!OpenClipboard(nullptr)) return false;
  {
    const GlobalLocked<const void> lcid(GetClipboardData(CF_LOCALE));
    if (lcid.Get() != nullptr) std::memcpy(&locale, lcid.Get(), sizeof locale);
    const GlobalLocked<const char> bytes(GetClipboardData(CF_TEXT));
    if (bytes.Get() != nullptr) ansi = bytes.Get();
  }
  CloseClipboard();
  return true;
}

// Unicode text with a locale of the caller's choice, as a program writes it
// while another keyboard layout is active, or as another program copies text
// (opened with a window, as programs do).
bool RawUnicodeWithLocale(const std::u16string& text, LCID locale, HWND window = nullptr) {
  if (!OpenClipboard(window)) return false;
  GlobalMemory units(GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t)));
  GlobalMemory lcid(GlobalAlloc(GMEM_MOVEABLE, sizeof locale));
  if (units.Valid() && lcid.Valid()) {
    std::memcpy(GlobalLocked<void>(units.Get()).Get(), wide::Ptr(text), (text.size() + 1) * sizeof(wchar_t));
    std::memcpy(GlobalLocked<void>(lcid.Get()).Get(), &locale, sizeof locale);
  }
  // The clipboard owns what it takes.
  const bool done = EmptyClipboard() && units.Valid() && lcid.Valid() &&
                    SetClipboardData(CF_UNICODETEXT, units.Release()) != nullptr &&
                    SetClipboardData(CF_LOCALE, lcid.Release()) != nullptr;
  CloseClipboard();
  return done;
}

std::string AnsiOf(const std::u16string& text) {
  const int size = WideCharToMultiByte(CP_ACP, 0, wide::Ptr(text), static_cast<int>(text.size()), nullptr, 0,
                                       nullptr, nullptr);
  std::string out(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
  if (size > 0) {
    WideCharToMultiByte(CP_ACP, 0, wide::Ptr(text), static_cast<int>(text.size()), &out[0], size, nullptr,
                        nullptr);
  }
  return out;
}

// SQL*Plus reads CF_TEXT, made by the system in the code page of the
// clipboard's locale: ours must be the system's, whatever keyboard layout is
// active. A program that writes an English locale beside the same text shows
// what the system does otherwise (Japanese becomes "?").
void CheckAnsiReader() {
  Check check{"clipboard_ansi_reader_gets_the_system_code_page", {}, {}};
  const std::u16string sample = u"update 社員 set 氏名 = 'ｶﾀｶﾅ 漢字' where id = 1;\r\n";
  LCID locale = 0;
  std::string ansi;
  Expect(check, ClipboardSetText(sample), "set failed");
  Expect(check, RawLocaleAndAnsiText(locale, ansi), "could not open the clipboard");
  Expect(check, locale == GetSystemDefaultLCID(),
         "CF_LOCALE " + Num(locale) + ", the system's is " + Num(GetSystemDefaultLCID()));
  Expect(check, ansi == AnsiOf(sample), "CF_TEXT is not the text in code page " + Num(GetACP()));
  std::u16string back;
  Expect(check, ClipboardGetText(back) && back == sample, "Unicode text read back as " + Show(back));
  if (GetACP() == 932) {
    const LCID english = 0x0409;
    Expect(check, RawUnicodeWithLocale(sample, english) && RawLocaleAndAnsiText(locale, ansi) && locale == english,
           "could not write the text with an English locale");
    Expect(check, ansi.find("?") != std::string::npos && ansi != AnsiOf(sample),
           "with an English locale CF_TEXT still holds the Japanese: the locale is not what decides here");
  } else {
    check.untried = "the English locale's effect (code page " + Num(GetACP()) + ", not 932)";
  }
  Finish(check);
}

// The programs are linked with their own forms of the C++ library's error
// helpers (common/cxx_runtime_win.cpp). The clipboard reader relies on a
// text too large to copy reaching its handler as std::bad_alloc, never
// ending the program: through the reader's own conversion (a length past
// what a string can hold), through operator new inside the library's string
// code (std::string's, which the programs instantiate themselves); other
// errors must arrive as std::exception. (Wine keeps address space of its
// own in reserve, so the reader itself cannot be starved of memory here.)
void CheckTooLargeToCopy() {
  Check check{"clipboard_text_too_large_to_copy", {}, {}};
  // The outcome of `step`: 'a' for std::bad_alloc, 'e' for another
  // std::exception, '-' for none.
  const auto outcome = [](const auto& step) {
    try {
      step();
    } catch (const std::bad_alloc&) {
      return 'a';
    } catch (const std::exception&) {
      return 'e';
    }
    return '-';
  };
  const wchar_t units[] = L"select 1 from dual";
  const std::size_t tooMany = std::u16string().max_size() + 1;
  std::u16string converted;
  Expect(check, outcome([&] { converted = wide::FromWide(units, tooMany); }) == 'a',
         "a conversion longer than a string can hold was not refused with std::bad_alloc");
  // Strings of the largest size, kept until one is refused: each is half
  // the address space of a 32-bit process, and more than any 64-bit
  // process has.
  std::string blocks[4];
  char grown = '-';
  for (std::string& block : blocks) {
    grown = outcome([&] { block.reserve(block.max_size()); });
    if (grown != '-') break;
  }
  Expect(check, grown == 'a', "strings of max_size() bytes were not refused with std::bad_alloc");
  std::string bytes;
  Expect(check, outcome([&] { bytes.reserve(bytes.max_size() + 1); }) == 'a',
         "a std::string longer than max_size() was not refused with std::bad_alloc");
  Expect(check, outcome([&] { bytes.append(std::string(3, 'a').substr(4)); }) == 'e',
         "a substring past the end did not throw a std::exception other than std::bad_alloc");
  Finish(check);
}

}  // namespace

void CheckClipboard() {
  CheckAnsiReader();

  Check round{"clipboard_round_trip", {}, {}};
  const std::u16string sample = u"select 受注番号, ｷｬﾝｾﾙ\r\nfrom 受注m; -- 𠮷\r\n";
  Expect(round, ClipboardSetText(sample), "set failed");
  std::u16string got;
  bool read = ClipboardGetText(got);
  Expect(round, read && got == sample, "read back " + Show(got));
  std::u16string raw;
  bool hasText = false;
  read = RawClipboardText(raw, hasText);
  Expect(round, read && hasText && raw == sample,
         "clipboard itself holds " + Show(raw));
  Finish(round);

  Check replace{"clipboard_set_replaces_other_formats", {}, {}};
  Expect(replace, RawClipboardBitmapOnly(), "could not put a picture on the clipboard");
  Expect(replace, ClipboardSetText(u"新しい"), "set failed");
  Expect(replace, !IsClipboardFormatAvailable(CF_BITMAP), "the picture is still there");
  read = ClipboardGetText(got);
  Expect(replace, read && got == u"新しい", "read back " + Show(got));
  Finish(replace);

  Check empty{"clipboard_empty", {}, {}};
  Expect(empty, ClipboardSetText(u"something"), "set failed");
  Expect(empty, RawClipboardEmpty(), "could not empty the clipboard");
  got = u"stale";
  read = ClipboardGetText(got);
  Expect(empty, read, "read of an empty clipboard failed");
  Expect(empty, got.empty(), "gave " + Show(got));
  Expect(empty, ClipboardSetText(u""), "setting the empty text failed");
  read = ClipboardGetText(got);
  Expect(empty, read && got.empty(), "empty text read back as " + Show(got));
  Finish(empty);

  Check picture{"clipboard_bitmap_only", {}, {}};
  Expect(picture, RawClipboardBitmapOnly() && IsClipboardFormatAvailable(CF_BITMAP),
         "could not put a picture on the clipboard");
  got = u"stale";
  read = ClipboardGetText(got);
  Expect(picture, read, "read failed although the clipboard could be opened");
  Expect(picture, got.empty(), "gave " + Show(got));
  Finish(picture);

  Check nul{"clipboard_text_with_nul", {}, {}};
  Expect(nul, ClipboardSetText(std::u16string(u"ab\0cd", 5)), "set failed");
  read = ClipboardGetText(got);
  Expect(nul, read && got == u"ab", "plain text ends at the NUL, got " + Show(got));
  Finish(nul);

  Check large{"clipboard_50mb", {}, {}};
  std::u16string big;
  const std::u16string line = u"insert into 受注m values (1, 'ｱｲｳ', 'abcdefghijklmnopqrstuvwxyz');\r\n";
  const std::size_t units = 25u * 1024u * 1024u;  // 50 MB of UTF-16
  big.reserve(units);
  while (big.size() + line.size() <= units) big += line;
  while (big.size() < units) big += u'x';
  const double t0 = MonotonicSeconds();
  const bool setOk = ClipboardSetText(big);
  const double t1 = MonotonicSeconds();
  got.clear();
  const bool getOk = ClipboardGetText(got);
  const double t2 = MonotonicSeconds();
  Expect(large, setOk, "set failed");
  Expect(large, getOk && got == big, "read back " + Num(static_cast<long long>(got.size())) + " units");
  Finish(large);
  char timing[120];
  std::snprintf(timing, sizeof timing, "info clipboard_50mb: set %.2f s, get %.2f s", t1 - t0, t2 - t1);
  Emit(timing);

  CheckTooLargeToCopy();
}

// Started as a second process: opens the clipboard and keeps it open until
// told to let go (at most two minutes).
int HoldClipboard(const wchar_t* heldName, const wchar_t* releaseName) {
  HANDLE held = OpenEventW(EVENT_MODIFY_STATE, FALSE, heldName);
  HANDLE release = OpenEventW(SYNCHRONIZE, FALSE, releaseName);
  if (held == nullptr || release == nullptr) return 2;
  // Held by a window, as programs do: under Wine a clipboard opened with no
  // window can be opened again by anyone else who gives no window either.
  HWND window = CreateWindowExW(0, L"STATIC", L"vorn-check clipboard holder", WS_POPUP, 0, 0, 10, 10, nullptr,
                                nullptr, GetModuleHandleW(nullptr), nullptr);
  if (window == nullptr || !OpenClipboard(window)) return 3;
  SetEvent(held);
  WaitForSingleObject(release, 120000);
  CloseClipboard();
  return 0;
}

void CheckClipboardHeldElsewhere() {
  Check check{"clipboard_held_by_another_process", {}, {}};
  const std::u16string before = u"前の内容\r\n";
  Expect(check, ClipboardSetText(before), "set failed");

  const std::wstring suffix = std::to_wstring(GetCurrentProcessId());
  const std::wstring heldName = L"Local\\vorn-check-held-" + suffix;
  const std::wstring releaseName = L"Local\\vorn-check-release-" + suffix;
  const Handle held(CreateEventW(nullptr, TRUE, FALSE, heldName.c_str()));
  const Handle release(CreateEventW(nullptr, TRUE, FALSE, releaseName.c_str()));
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring command = L"\"" + std::wstring(self) + L"\" --hold-clipboard " + heldName + L" " + releaseName;
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  const BOOL started = CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                                      nullptr, &startup, &process);
  Expect(check, started != FALSE, "could not start the helper");
  if (started) {
    const Handle thread(process.hThread), holder(process.hProcess);
    HANDLE waits[2] = {held.Get(), process.hProcess};
    const DWORD woke = WaitForMultipleObjects(2, waits, FALSE, kWaitMs);
    if (woke != WAIT_OBJECT_0) {
      DWORD code = 0;
      GetExitCodeProcess(process.hProcess, &code);
      check.problems.push_back("helper did not get the clipboard (exit code " + Num(code) +
                               "): was it left open by an earlier call?");
    } else {
      std::u16string got = u"stale";
      const double t0 = MonotonicSeconds();
      const bool read = ClipboardGetText(got);
      const bool written = ClipboardSetText(u"上書き");
      const double spent = MonotonicSeconds() - t0;
      Expect(check, !read, "read reported success while another process held the clipboard");
      Expect(check, got.empty(), "failed read gave " + Show(got));
      Expect(check, !written, "write reported success while another process held the clipboard");
      char timing[120];
      std::snprintf(timing, sizeof timing, "info clipboard_held: both calls gave up after %.2f s", spent);
      Emit(timing);
    }
    SetEvent(release.Get());
    WaitForSingleObject(process.hProcess, kWaitMs);
    std::u16string after;
    const bool read = ClipboardGetText(after);
    Expect(check, read && after == before, "afterwards the clipboard holds " + Show(after));
  }
  Finish(check);
}

// The delivery's offer --------------------------------------------------------

namespace {

const wchar_t* const kKeptOutFormats[] = {L"ExcludeClipboardContentFromMonitorProcessing",
                                          L"CanIncludeInClipboardHistory", L"CanUploadToCloudClipboard"};

// What the clipboard lists, read without asking its owner for anything: its
// formats, and the DWORD of each format that keeps it out of the history.
struct Listing {
  std::vector<UINT> formats;
  int keptOutAsZero = 0;  // of the three, listed with the value 0
  bool Has(UINT format) const {
    for (UINT f : formats) {
      if (f == format) return true;
    }
    return false;
  }
};

Listing ListClipboard(HWND window) {
  Listing listing;
  if (!OpenClipboard(window)) return listing;
  for (UINT f = EnumClipboardFormats(0); f != 0; f = EnumClipboardFormats(f)) listing.formats.push_back(f);
  for (const wchar_t* name : kKeptOutFormats) {
    const UINT format = RegisterClipboardFormatW(name);
    const GlobalLocked<const DWORD> value(listing.Has(format) ? GetClipboardData(format) : nullptr);
    if (value.Get() != nullptr && value.Size() >= sizeof(DWORD) && *value.Get() == 0) ++listing.keptOutAsZero;
  }
  CloseClipboard();
  return listing;
}

// True when the delivery offers a CF_TEXT of its own (the ANSI code page is
// not the system locale's).
bool AnsiOfItsOwnHere() {
  DWORD codePage = 0;
  return GetLocaleInfoW(GetSystemDefaultLCID(), LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER,
                        reinterpret_cast<LPWSTR>(&codePage), sizeof codePage / sizeof(wchar_t)) != 0 &&
         codePage != GetACP();
}

// Runs this program as the reader (--read-clipboard) and waits for it as the
// delivery waits for SQL*Plus: asleep, handling the messages sent to this
// thread. Returns what it read: CF_TEXT's bytes, and the Unicode text.
bool ReadInAnotherProcess(std::string& ansi, std::u16string& unicode) {
  const std::u16string out = TempDirectory() + u"\\offer-read.bin";
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring command = L"\"" + std::wstring(self) + L"\" --read-clipboard \"" + wide::ToWide(out) + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                      &process)) {
    return false;
  }
  const Handle thread(process.hThread), reader(process.hProcess);
  Eventually([&reader] { return WaitForSingleObject(reader.Get(), 0) != WAIT_TIMEOUT; });
  DWORD code = 1;
  GetExitCodeProcess(reader.Get(), &code);
  std::string bytes;
  if (code != 0 || !ReadFileBytes(out, bytes)) return false;
  const std::size_t nul = bytes.find('\0');
  if (nul == std::string::npos) return false;
  ansi = bytes.substr(0, nul);
  unicode.assign(reinterpret_cast<const char16_t*>(bytes.data() + nul + 1), (bytes.size() - nul - 1) / 2);
  return true;
}

}  // namespace

// The reader of ReadInAnotherProcess: reads CF_TEXT, then CF_UNICODETEXT,
// with a window of its own, as SQL*Plus does, and writes both to `path`.
int ReadClipboardToFile(const wchar_t* path) {
  HWND window = CreateWindowExW(0, L"STATIC", L"vorn-check reader", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
  if (window == nullptr || !OpenClipboard(window)) return 3;
  std::string bytes;
  bool both = false;
  {
    const GlobalLocked<const char> ansi(GetClipboardData(CF_TEXT));
    if (ansi.Get() != nullptr) bytes = ansi.Get();
    bytes.push_back('\0');
    const GlobalLocked<const wchar_t> units(GetClipboardData(CF_UNICODETEXT));
    if (units.Get() != nullptr) bytes.append(reinterpret_cast<const char*>(units.Get()), std::wcslen(units.Get()) * 2);
    both = ansi.Get() != nullptr && units.Get() != nullptr;
  }
  CloseClipboard();
  return WriteBytes(wide::FromWide(path), bytes) && both ? 0 : 4;
}

// The offer lists its formats without handing the text over; another program
// that reads it gets the text (CF_TEXT in the ANSI code page of programs) while
// this thread waits, and the read is counted as that program's; the user's
// newer copy is taken aside and put back when it is text only, and left alone
// when it is a picture; the text stays on the clipboard after ClipboardLetGo.
void CheckClipboardOffer(HWND main) {
  const std::u16string text = u"select 社員, 'ｶﾀｶﾅ' from 受注m;\r\n";
  const WindowHandle ours = wide::FromHwnd(main);

  Check offer{"clipboard_offer_read_by_another_program", {}, {}};
  const bool ansiOfItsOwn = AnsiOfItsOwnHere();
  Expect(offer, ClipboardOffer(text), "offer failed");
  Listing listing = ListClipboard(main);
  Expect(offer, listing.Has(CF_LOCALE) && listing.Has(CF_UNICODETEXT) && listing.Has(CF_TEXT),
         "formats listed: " + Num(static_cast<long long>(listing.formats.size())));
  Expect(offer, listing.keptOutAsZero == 3, Num(listing.keptOutAsZero) + " of the 3 history formats listed as 0");
  OfferNews news = ClipboardOfferNews(ours);
  Expect(offer, news.onClipboard && news.reads == 0, "listing the formats handed the text over");
  std::string ansi;
  std::u16string unicode;
  Expect(offer, ReadInAnotherProcess(ansi, unicode), "the reader failed");
  Expect(offer, unicode == text, "the reader got " + Show(unicode));
  Expect(offer, ansi == AnsiOf(text), "CF_TEXT is not the text in code page " + Num(GetACP()));
  news = ClipboardOfferNews(ours);
  // CF_TEXT of our own is a read of its own; otherwise the system makes it
  // from the Unicode text, read once.
  const int reads = ansiOfItsOwn ? 2 : 1;
  Expect(offer, news.reads == reads && news.readsElsewhere == reads,
         "reads " + Num(news.reads) + ", by another program " + Num(news.readsElsewhere) + ", expected " + Num(reads));
  if (!ansiOfItsOwn) {
    offer.untried = "CF_TEXT of its own: the ANSI code page " + Num(GetACP()) + " is the system locale's";
  }
  Finish(offer);

  Check copy{"clipboard_offer_newer_copy", {}, {}};
  const std::u16string users = u"利用者のコピー";
  Expect(copy, ClipboardOffer(text), "offer failed");
  Expect(copy, RawUnicodeWithLocale(users, 0x0409, main), "could not copy as another program");
  Expect(copy, !ClipboardOfferNews(ours).onClipboard, "the offer is still counted on the clipboard");
  ClipboardText aside;
  bool kept = false;
  Expect(copy, ClipboardOfferAgain(text, aside, kept) == ClipboardChange::kDone && kept,
         "the text-only copy was not taken aside");
  Expect(copy, aside.text == users && aside.locale == 0x0409,
         "taken aside: " + Show(aside.text) + ", locale " + Num(aside.locale));
  listing = ListClipboard(main);
  Expect(copy, ClipboardOfferNews(ours).onClipboard && listing.keptOutAsZero == 3, "not offered again");
  Expect(copy, ClipboardPutBack(aside) == ClipboardChange::kDone, "not put back");
  LCID locale = 0;
  RawLocaleAndAnsiText(locale, ansi);
  std::u16string back;
  bool hasText = false;
  Expect(copy, RawClipboardText(back, hasText) && back == users && locale == 0x0409,
         "put back: " + Show(back) + ", locale " + Num(locale));
  Expect(copy, ListClipboard(main).keptOutAsZero == 0, "the user's copy carries the history formats");
  // A picture is never touched.
  kept = false;
  Expect(copy, ClipboardOffer(text) && RawClipboardBitmapOnly(), "could not offer, then copy a picture");
  Expect(copy, ClipboardOfferAgain(text, aside, kept) == ClipboardChange::kLeftAlone && !kept,
         "offered again over the picture");
  Expect(copy, ClipboardPutBack(aside) == ClipboardChange::kLeftAlone, "put text back over the picture");
  Expect(copy, IsClipboardFormatAvailable(CF_BITMAP), "the picture is gone");
  Finish(copy);

  Check kept_{"clipboard_offer_kept_after_let_go", {}, {}};
  Expect(kept_, ClipboardOffer(text), "offer failed");
  ClipboardLetGo();
  Expect(kept_, RawClipboardText(back, hasText) && back == text, "after letting go the clipboard holds " + Show(back));
  Expect(kept_, ClipboardOffer(text) && RawUnicodeWithLocale(users, 0x0409, main), "could not offer, then copy");
  ClipboardLetGo();
  Expect(kept_, RawClipboardText(back, hasText) && back == users, "letting go replaced the newer copy: " + Show(back));
  Finish(kept_);
}
