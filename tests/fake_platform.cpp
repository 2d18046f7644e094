#include "fake_platform.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "boxes.h"
#include "clipboard.h"
#include "console.h"
#include "files.h"
#include "input_box.h"
#include "platform_entries.h"
#include "text.h"
#include "waiting.h"
#include "windows_and_keys.h"

namespace fake {
namespace {

World& TheWorld() {
  static World world;
  return world;
}


std::string U8(const char16_t* s) { return s ? text::ToUtf8(s) : std::string("<null>"); }
std::string U8(const char* s) { return s ? std::string(s) : std::string("<null>"); }

// The fake's ANSI code page is Latin-1: enough to tell the paths apart and to
// round-trip the texts the tests use.
std::string FakeWideToAnsi(const std::u16string& s) {
  std::string out;
  for (char16_t c : s) out.push_back(c < 0x100 ? static_cast<char>(c) : '?');
  return out;
}

std::u16string FakeAnsiToWide(const std::string& s) {
  std::u16string out;
  for (char c : s) out.push_back(static_cast<unsigned char>(c));
  return out;
}

std::int32_t VersionEx(void* info, std::uint32_t expectedSize, const char* name) {
  World& w = TheWorld();
  std::uint32_t size;
  std::memcpy(&size, info, sizeof size);
  Record(std::string(name) + "(" + std::to_string(size) + ")");
  if (size != expectedSize || w.versionQueryFails) return 0;
  std::memcpy(static_cast<unsigned char*>(info) + calls::kPlatformIdOffset, &w.platformId, sizeof w.platformId);
  return 1;
}

std::int32_t VORN_WINAPI FakeGetVersionExA(void* info) {
  return VersionEx(info, calls::kVersionInfoASize, "GetVersionExA");
}
std::int32_t VORN_WINAPI FakeGetVersionExW(void* info) {
  return VersionEx(info, calls::kVersionInfoWSize, "GetVersionExW");
}

// Copies like the Windows functions do: at most size - 1 units and a NUL;
// returns size when the text was cut (GetModuleFileName) or the count copied.
template <typename Char>
std::uint32_t CopyOut(const std::basic_string<Char>& s, Char* buffer, std::uint32_t size, bool reportCut) {
  if (size == 0) return 0;
  const std::uint32_t n = static_cast<std::uint32_t>(std::min<std::size_t>(s.size(), size - 1));
  std::copy(s.begin(), s.begin() + n, buffer);
  buffer[n] = 0;
  return (reportCut && s.size() >= size) ? size : n;
}

std::uint32_t VORN_WINAPI FakeGetModuleFileNameW(void* module, char16_t* buffer, std::uint32_t size) {
  World& w = TheWorld();
  Record("GetModuleFileNameW(" + std::to_string(reinterpret_cast<std::intptr_t>(module)) + "," +
         std::to_string(size) + ")");
  if (w.moduleLookupFails || reinterpret_cast<std::intptr_t>(module) != w.instanceHandle) return 0;
  return CopyOut(w.modulePath, buffer, size, true);
}
std::uint32_t VORN_WINAPI FakeGetModuleFileNameA(void* module, char* buffer, std::uint32_t size) {
  World& w = TheWorld();
  Record("GetModuleFileNameA(" + std::to_string(reinterpret_cast<std::intptr_t>(module)) + "," +
         std::to_string(size) + ")");
  if (w.moduleLookupFails || reinterpret_cast<std::intptr_t>(module) != w.instanceHandle) return 0;
  return CopyOut(FakeWideToAnsi(w.modulePath), buffer, size, true);
}

// Looks up an INI value as Windows does: section and key without regard to
// letter case, the value with surrounding spaces removed.
bool IniLookup(const std::u16string& file, const std::u16string& section, const std::u16string& key,
               std::u16string& value) {
  World& w = TheWorld();
  const auto f = w.ini.find(file);
  if (f == w.ini.end()) return false;
  for (const auto& s : f->second) {
    if (text::ToLower(s.first) != text::ToLower(section)) continue;
    for (const auto& k : s.second) {
      if (text::ToLower(k.first) == text::ToLower(key)) {
        value = text::Trim(k.second);
        return true;
      }
    }
  }
  return false;
}

std::uint32_t VORN_WINAPI FakeGetPrivateProfileStringW(const char16_t* section, const char16_t* key,
                                                        const char16_t* defaultText, char16_t* buffer,
                                                        std::uint32_t size, const char16_t* file) {
  Record("GetPrivateProfileStringW(" + U8(section) + "," + U8(key) + "," + U8(defaultText) + "," +
         std::to_string(size) + "," + U8(file) + ")");
  std::u16string value;
  if (!IniLookup(file, section, key, value)) value = defaultText;
  return CopyOut(value, buffer, size, false);
}
std::uint32_t VORN_WINAPI FakeGetPrivateProfileStringA(const char* section, const char* key,
                                                        const char* defaultText, char* buffer, std::uint32_t size,
                                                        const char* file) {
  Record("GetPrivateProfileStringA(" + U8(section) + "," + U8(key) + "," + U8(defaultText) + "," +
         std::to_string(size) + "," + U8(file) + ")");
  std::u16string value;
  if (!IniLookup(FakeAnsiToWide(file), FakeAnsiToWide(section), FakeAnsiToWide(key), value)) {
    value = FakeAnsiToWide(defaultText);
  }
  return CopyOut(FakeWideToAnsi(value), buffer, size, false);
}

void* FindIn(const std::u16string* className, const std::u16string& title) {
  World& w = TheWorld();
  const auto it = w.windowsByTitle.find(title);
  if (it == w.windowsByTitle.end()) return nullptr;
  if (className && w.classOf[it->second] != *className) return nullptr;
  return reinterpret_cast<void*>(it->second);
}

void* VORN_WINAPI FakeFindWindowW(const char16_t* className, const char16_t* title) {
  Record("FindWindowW(" + U8(className) + "," + U8(title) + ")");
  const std::u16string cls = className ? className : u"";
  return FindIn(className ? &cls : nullptr, title);
}
void* VORN_WINAPI FakeFindWindowA(const char* className, const char* title) {
  Record("FindWindowA(" + U8(className) + "," + U8(title) + ")");
  const std::u16string cls = className ? FakeAnsiToWide(className) : u"";
  return FindIn(className ? &cls : nullptr, FakeAnsiToWide(title));
}

// A window that exists and takes our messages (PostMessage succeeds).
bool WindowExists(void* window) {
  const WindowHandle h = reinterpret_cast<WindowHandle>(window);
  const auto& refused = TheWorld().refusedWindows;
  if (std::find(refused.begin(), refused.end(), h) != refused.end()) return false;
  for (const auto& it : TheWorld().windowsByTitle) {
    if (it.second == h) return true;
  }
  return false;
}

std::string PostText(const char* name, void* window, std::uint32_t message, std::uintptr_t wParam,
                     std::intptr_t lParam) {
  return std::string(name) + "(" + std::to_string(reinterpret_cast<std::uintptr_t>(window)) + "," +
         std::to_string(message) + "," + std::to_string(wParam) + "," + std::to_string(lParam) + ")";
}

// A paste handed over to SQL*Plus, which takes it as the test scripted.
void HandPaste() {
  World& w = TheWorld();
  const double now = w.now;
  switch (w.sqlPlusTakes) {
    case World::Takes::kAtOnce:
      w.pasteReadAt = now;
      break;
    case World::Takes::kAfterBusy:
      w.sqlPlusBusyUntil = now + w.busySeconds;
      w.pasteReadAt = w.sqlPlusBusyUntil;
      break;
    case World::Takes::kNeverButAnswers:
      break;
    case World::Takes::kNeverThenGoes:
      w.sqlPlusBusyUntil = 1e300;
      w.sqlPlusGoneAt = now + w.busySeconds;
      break;
  }
}

bool IsSqlPlus(WindowHandle window) {
  const auto it = TheWorld().windowsByTitle.find(u"Oracle SQL*Plus");
  return window != 0 && it != TheWorld().windowsByTitle.end() && it->second == window;
}

std::int32_t Post(const char* name, void* window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
  Record(PostText(name, window, message, wParam, lParam));
  World& w = TheWorld();
  const WindowHandle h = reinterpret_cast<WindowHandle>(window);
  if (!WindowExists(window)) {
    const auto& refused = w.refusedWindows;
    w.lastError = std::find(refused.begin(), refused.end(), h) != refused.end() ? 5 : 1400;
    return 0;
  }
  if (message == 273 && wParam == 201 && IsSqlPlus(h)) HandPaste();
  return 1;
}

std::int32_t VORN_WINAPI FakePostMessageW(void* window, std::uint32_t message, std::uintptr_t wParam,
                                          std::intptr_t lParam) {
  return Post("PostMessageW", window, message, wParam, lParam);
}
std::int32_t VORN_WINAPI FakePostMessageA(void* window, std::uint32_t message, std::uintptr_t wParam,
                                          std::intptr_t lParam) {
  return Post("PostMessageA", window, message, wParam, lParam);
}

std::intptr_t VORN_WINAPI FakeGetWindowLongW(void* window, std::int32_t index) {
  Record("GetWindowLongW(" + std::to_string(reinterpret_cast<std::uintptr_t>(window)) + "," +
         std::to_string(index) + ")");
  return index == -6 ? TheWorld().instanceHandle : 0;
}
std::intptr_t VORN_WINAPI FakeGetWindowLongA(void* window, std::int32_t index) {
  Record("GetWindowLongA(" + std::to_string(reinterpret_cast<std::uintptr_t>(window)) + "," +
         std::to_string(index) + ")");
  return index == -6 ? TheWorld().instanceHandle : 0;
}

calls::EntryPoints FakeEntries() {
  calls::EntryPoints e{};
  e.GetVersionExA = TheWorld().versionAMissing ? nullptr : FakeGetVersionExA;
  e.GetVersionExW = FakeGetVersionExW;
  e.GetModuleFileNameA = FakeGetModuleFileNameA;
  e.GetModuleFileNameW = FakeGetModuleFileNameW;
  e.GetPrivateProfileStringA = FakeGetPrivateProfileStringA;
  e.GetPrivateProfileStringW = FakeGetPrivateProfileStringW;
  e.FindWindowA = FakeFindWindowA;
  e.FindWindowW = FakeFindWindowW;
  e.PostMessageA = FakePostMessageA;
  e.PostMessageW = FakePostMessageW;
  e.GetWindowLongA = FakeGetWindowLongA;
  e.GetWindowLongW = FakeGetWindowLongW;
  e.WideToAnsi = FakeWideToAnsi;
  e.AnsiToWide = FakeAnsiToWide;
  return e;
}

}  // namespace

World& State() { return TheWorld(); }

void Record(const std::string& call) {
  World& w = TheWorld();
  w.calls.push_back(call);
  if (w.onCall) w.onCall(call);
}

void Reset() {
  TheWorld() = World{};
  calls::SetEntries(FakeEntries());
}

void Reinstall() { calls::SetEntries(FakeEntries()); }

void UserCopies(const std::u16string& text) {
  Record("user copies " + text::ToUtf8(text));
  World& w = TheWorld();
  w.offerOnClipboard = false;
  w.clipboard = text;
  w.clipboardHoldsMore = false;
  w.clipboardLocale = 0x409;
}

void UserCopiesPicture() {
  Record("user copies a picture");
  World& w = TheWorld();
  w.offerOnClipboard = false;
  w.clipboard.clear();
  w.clipboardHoldsMore = true;
  w.clipboardLocale = 0;
}

void SqlPlusRuns() {
  World& w = TheWorld();
  if (w.historyReadPending) {
    w.historyReadPending = false;
    if (w.offerOnClipboard && !w.offerRead) {
      w.offerRead = true;
      ++w.offerReads;
      ++w.offerReadsElsewhere;
    }
  }
  // A test whose SQL*Plus would never end its wait is ended here, visibly.
  if (w.now > 1e5 && w.sqlPlusGoneAt < 0) {
    Record("fake: SQL*Plus closed after a day of waiting");
    w.sqlPlusGoneAt = w.now;
  }
  if (w.sqlPlusGoneAt >= 0 && w.now >= w.sqlPlusGoneAt) {
    w.windowsByTitle.erase(u"Oracle SQL*Plus");
    w.pasteReadAt = -1;
  }
  if (w.pasteReadAt < 0 || w.now < w.pasteReadAt || w.now < w.sqlPlusBusyUntil) return;
  w.pasteReadAt = -1;
  if (w.offerOnClipboard && !w.offerRead) {
    w.offerRead = true;
    ++w.offerReads;
  }
  if (!w.clipboardHoldsMore || !w.clipboard.empty()) w.pasted.push_back(w.clipboard);
}

int Count(const std::string& prefix) {
  const auto& calls = TheWorld().calls;
  return static_cast<int>(std::count_if(calls.begin(), calls.end(),
                                        [&](const std::string& c) { return c.rfind(prefix, 0) == 0; }));
}

int Find(const std::string& prefix, int from) {
  const auto& calls = TheWorld().calls;
  for (int i = std::max(from, 0); i < static_cast<int>(calls.size()); ++i) {
    if (calls[i].rfind(prefix, 0) == 0) return i;
  }
  return -1;
}

}  // namespace fake

// The desktop services -------------------------------------------------------

using fake::State;

int ShowMessageBox(const std::u16string& text, int style, const std::u16string& title) {
  fake::Record("ShowMessageBox(" + text::ToUtf8(text) + "," + std::to_string(style) + "," + text::ToUtf8(title) +
               ")");
  auto& answers = State().messageBoxAnswers;
  if (answers.empty()) return kIdCancel;
  const int answer = answers.front();
  answers.pop_front();
  return answer;
}

std::u16string ShowInputBox(const std::u16string& prompt, const std::u16string& title,
                            const std::u16string& defaultText) {
  fake::Record("ShowInputBox(" + text::ToUtf8(prompt) + "," + text::ToUtf8(title) + "," +
               text::ToUtf8(defaultText) + ")");
  auto& answers = State().inputBoxAnswers;
  if (answers.empty()) return std::u16string();
  std::u16string answer = answers.front();
  answers.pop_front();
  return answer;
}

bool ActivateWindowByTitle(const std::u16string& title) {
  fake::Record("ActivateWindowByTitle(" + text::ToUtf8(title) + ")");
  fake::World& w = State();
  if (w.activationFails) return false;
  const auto exact = w.windowsByTitle.find(title);
  if (exact != w.windowsByTitle.end()) {
    w.foreground = exact->second;
    return true;
  }
  for (const auto& it : w.windowsByTitle) {
    if (text::StartsWith(it.first, title)) {
      w.foreground = it.second;
      return true;
    }
  }
  return false;
}

bool SendPasteKeys() {
  fake::Record("SendPasteKeys()");
  if (State().keystrokesRefused) return false;
  if (fake::IsSqlPlus(State().foreground)) fake::HandPaste();
  return true;
}

void PumpPendingEvents() {
  fake::Record("PumpPendingEvents()");
  fake::SqlPlusRuns();
}

double MonotonicSeconds() {
  fake::World& w = State();
  const double now = w.now;
  w.now += w.tick;
  return now;
}

bool ClipboardSetText(const std::u16string& text) {
  fake::Record("ClipboardSetText(" + text::ToUtf8(text) + ")");
  fake::World& w = State();
  if (w.clipboardWriteFails) return false;
  w.clipboard = text;
  w.clipboardHoldsMore = false;
  w.offerOnClipboard = false;
  ++w.clipboardWrites;
  return true;
}

namespace {

void PutOffer(const std::u16string& text) {
  fake::World& w = State();
  w.clipboard = text;
  w.clipboardHoldsMore = false;
  w.clipboardLocale = 0x411;
  w.offerOnClipboard = true;
  w.offerRead = false;
  w.offerReads = 0;
  w.offerReadsElsewhere = 0;
  w.letGo = false;
  w.historyReadPending = w.historyReadsOffers;
  ++w.clipboardWrites;
}

}  // namespace

bool ClipboardOffer(const std::u16string& text) {
  fake::Record("ClipboardOffer(" + text::ToUtf8(text) + ")");
  if (State().clipboardWriteFails) return false;
  PutOffer(text);
  return true;
}

OfferNews ClipboardOfferNews(WindowHandle) {
  const fake::World& w = State();
  OfferNews news;
  news.onClipboard = w.offerOnClipboard;
  news.reads = w.offerReads;
  news.readsElsewhere = w.offerReadsElsewhere;
  return news;
}

namespace {

bool ClipboardBusy() {
  fake::World& w = State();
  if (w.clipboardBusyChanges <= 0 && !w.clipboardWriteFails) return false;
  --w.clipboardBusyChanges;
  return true;
}

}  // namespace

ClipboardChange ClipboardOfferAgain(const std::u16string& text, ClipboardText& aside, bool& keptAside) {
  fake::Record("ClipboardOfferAgain(" + text::ToUtf8(text) + ")");
  fake::World& w = State();
  if (ClipboardBusy()) return ClipboardChange::kBusy;
  if (!w.offerOnClipboard) {
    if (w.clipboardReadFails || w.clipboardHoldsMore) return ClipboardChange::kLeftAlone;
    aside.text = w.clipboard;
    aside.locale = w.clipboardLocale;
    keptAside = true;
  }
  PutOffer(text);
  return ClipboardChange::kDone;
}

ClipboardChange ClipboardPutBack(const ClipboardText& aside) {
  fake::Record("ClipboardPutBack(" + text::ToUtf8(aside.text) + ")");
  fake::World& w = State();
  if (ClipboardBusy()) return ClipboardChange::kBusy;
  if (!w.offerOnClipboard) return ClipboardChange::kLeftAlone;
  w.offerOnClipboard = false;
  w.clipboard = aside.text;
  w.clipboardLocale = aside.locale;
  return ClipboardChange::kDone;
}

void ClipboardLetGo() {
  fake::Record("ClipboardLetGo()");
  State().offerOnClipboard = false;
  State().letGo = true;
}

bool ClipboardGetText(std::u16string& out) {
  fake::Record("ClipboardGetText()");
  fake::World& w = State();
  if (w.clipboardReadFails) return false;
  out = w.clipboard;
  return true;
}

void Beep() { fake::Record("Beep()"); }

std::uint32_t LastSystemError() { return State().lastError; }

void HideWindow(WindowHandle window) {
  fake::Record("HideWindow(" + std::to_string(window) + ")");
  State().hidden.push_back(window);
}

std::u16string CurrentDirectory() { return State().currentDirectory; }

WindowHandle ForegroundWindow() { return State().foreground; }

std::u16string WindowTitle(WindowHandle window) {
  for (const auto& it : State().windowsByTitle) {
    if (it.second == window) return it.first;
  }
  return std::u16string();
}

bool ReadFileBytes(const std::u16string& path, std::string& out) {
  fake::Record("ReadFileBytes(" + text::ToUtf8(path) + ")");
  const auto it = State().files.find(path);
  if (it == State().files.end()) return false;
  out = it->second;
  return true;
}

namespace {

// Asks a window as SendMessageTimeout does: a window that does not answer
// takes the whole second of the time-out; a window that is gone answers.
WindowReply Ask(WindowHandle window) {
  fake::SqlPlusRuns();
  fake::World& w = State();
  const auto has = [window](const std::vector<WindowHandle>& list) {
    return std::find(list.begin(), list.end(), window) != list.end();
  };
  if (has(w.refusedWindows)) return WindowReply::kRefused;
  const bool busy = fake::IsSqlPlus(window) && w.now < w.sqlPlusBusyUntil;
  if (!has(w.hungWindows) && !busy) return WindowReply::kAnswered;
  w.now += 1.0;
  return WindowReply::kHung;
}

}  // namespace

bool WindowAnswers(WindowHandle window) {
  fake::Record("WindowAnswers(" + std::to_string(window) + ")");
  return Ask(window) != WindowReply::kHung;
}

WindowReply AskWindow(WindowHandle window) {
  fake::Record("AskWindow(" + std::to_string(window) + ")");
  return Ask(window);
}

bool RunsWithHigherRights(WindowHandle window) {
  fake::Record("RunsWithHigherRights(" + std::to_string(window) + ")");
  const auto& higher = State().higherRightsWindows;
  return std::find(higher.begin(), higher.end(), window) != higher.end();
}

void SleepHandling(double seconds, Messages) {
  char shown[32];
  std::snprintf(shown, sizeof shown, "%g", seconds);
  fake::Record(std::string("SleepHandling(") + shown + ")");
  State().now += seconds;
  fake::SqlPlusRuns();
}

bool ModifierKeysDown() {
  fake::Record("ModifierKeysDown()");
  return State().now < State().modifierKeysUpAt;
}

bool TakeDeliveryTurn() {
  fake::Record("TakeDeliveryTurn()");
  if (State().deliveryTurnRefused) return false;
  ++State().deliveryTurns;
  return true;
}

void EndDeliveryTurn() {
  fake::Record("EndDeliveryTurn()");
  if (State().deliveryTurns > 0) --State().deliveryTurns;
}

// Console programs ---------------------------------------------------------

namespace {

fake::World::Console* AttachedConsole() {
  for (auto& c : State().consoles) {
    if (c.processId == State().attachedTo && State().attachedTo != 0) return &c;
  }
  return nullptr;
}

}  // namespace

std::vector<ConsoleProcess> FindConsoleProcesses(ConsoleProgram program) {
  const std::string exeName = program == ConsoleProgram::kSqlcl ? "sql.exe" : "sqlplus.exe";
  fake::Record("FindConsoleProcesses(" + exeName + ")");
  std::vector<ConsoleProcess> found;
  for (const auto& c : State().consoles) {
    if (c.running && c.attachable && text::ToUtf8(text::ToLower(c.exeName)) == exeName) {
      found.push_back({c.processId, c.startTime, c.window, c.rootOwner != 0 ? c.rootOwner : c.window, c.title, program});
    }
  }
  return found;
}

std::vector<TopWindow> VisibleTopWindows() {
  fake::Record("VisibleTopWindows()");
  std::map<int, TopWindow> places = State().topWindows;
  for (const auto& c : State().consoles) {
    if (c.zOrder >= 0 && c.running) places.insert({c.zOrder, {c.window, c.minimised, u"ConsoleWindowClass", c.title}});
  }
  std::vector<TopWindow> out;
  for (const auto& p : places) out.push_back(p.second);
  return out;
}

namespace {

ConsoleWrite WriteKeys(const ConsoleKey* keys, std::size_t count, std::size_t& written) {
  fake::Record("WriteConsoleKeys(" + std::to_string(count) + ")");
  written = 0;
  fake::World::Console* console = AttachedConsole();
  if (console == nullptr || !console->running) return ConsoleWrite::kFailed;
  if (count > State().refuseWritesAbove) return ConsoleWrite::kNoMemory;
  written = std::min(count, State().writeTakesAtMost);
  for (std::size_t i = 0; i < written; ++i) console->typed.push_back(keys[i].unit);
  return ConsoleWrite::kWritten;
}

}  // namespace

bool TypeIntoConsoleOf(const ConsoleProcess& process, const ConsoleTyping& type) {
  fake::Record("TypeIntoConsoleOf(" + std::to_string(process.processId) + ")");
  for (const auto& c : State().consoles) {
    if (c.processId == process.processId && c.startTime == process.startTime && c.running && c.attachable) {
      State().attachedTo = c.processId;
      const bool typed = type(WriteKeys);
      State().attachedTo = 0;
      return typed;
    }
  }
  return false;
}

bool ActivateWindow(WindowHandle window) {
  fake::Record("ActivateWindow(" + std::to_string(window) + ")");
  if (window == 0 || State().activationFails) return false;
  State().foreground = window;
  return true;
}
