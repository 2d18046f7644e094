// The entry points behind the platform call layer, over the fake world:
// versions, module names, profiles, and FindWindow, PostMessage and
// GetWindowLong on its windows.
#include <algorithm>
#include <cstring>

#include "fake_platform.h"
#include "platform_entries.h"
#include "text.h"

namespace fake {
namespace {

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
  World& w = State();
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
  World& w = State();
  Record("GetModuleFileNameW(" + std::to_string(reinterpret_cast<std::intptr_t>(module)) + "," +
         std::to_string(size) + ")");
  if (w.moduleLookupFails || reinterpret_cast<std::intptr_t>(module) != w.instanceHandle) return 0;
  return CopyOut(w.modulePath, buffer, size, true);
}
std::uint32_t VORN_WINAPI FakeGetModuleFileNameA(void* module, char* buffer, std::uint32_t size) {
  World& w = State();
  Record("GetModuleFileNameA(" + std::to_string(reinterpret_cast<std::intptr_t>(module)) + "," +
         std::to_string(size) + ")");
  if (w.moduleLookupFails || reinterpret_cast<std::intptr_t>(module) != w.instanceHandle) return 0;
  return CopyOut(FakeWideToAnsi(w.modulePath), buffer, size, true);
}

// Looks up an INI value as Windows does: section and key without regard to
// letter case, the value with surrounding spaces removed.
bool IniLookup(const std::u16string& file, const std::u16string& section, const std::u16string& key,
               std::u16string& value) {
  World& w = State();
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
  World& w = State();
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
  const auto& refused = State().refusedWindows;
  if (std::find(refused.begin(), refused.end(), h) != refused.end()) return false;
  for (const auto& it : State().windowsByTitle) {
    if (it.second == h) return true;
  }
  return false;
}

std::string PostText(const char* name, void* window, std::uint32_t message, std::uintptr_t wParam,
                     std::intptr_t lParam) {
  return std::string(name) + "(" + std::to_string(reinterpret_cast<std::uintptr_t>(window)) + "," +
         std::to_string(message) + "," + std::to_string(wParam) + "," + std::to_string(lParam) + ")";
}

std::int32_t Post(const char* name, void* window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
  Record(PostText(name, window, message, wParam, lParam));
  World& w = State();
  const WindowHandle h = reinterpret_cast<WindowHandle>(window);
  if (!WindowExists(window)) {
    const auto& refused = w.refusedWindows;
    w.lastError = std::find(refused.begin(), refused.end(), h) != refused.end() ? 5 : 1400;
    return 0;
  }
  if (message == 273 && wParam == 201 && IsSqlPlus(h)) HandPaste("command");
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
  return index == -6 ? State().instanceHandle : 0;
}
std::intptr_t VORN_WINAPI FakeGetWindowLongA(void* window, std::int32_t index) {
  Record("GetWindowLongA(" + std::to_string(reinterpret_cast<std::uintptr_t>(window)) + "," +
         std::to_string(index) + ")");
  return index == -6 ? State().instanceHandle : 0;
}

calls::EntryPoints FakeEntries() {
  calls::EntryPoints e{};
  e.GetVersionExA = State().versionAMissing ? nullptr : FakeGetVersionExA;
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

void Reinstall() { calls::SetEntries(FakeEntries()); }

}  // namespace fake
