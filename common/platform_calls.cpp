#include "platform_calls.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform_entries.h"
#include "text.h"

namespace calls {
namespace {

struct Table {
  bool loaded = false;
  EntryPoints entries{};
};

Table& TheTable() {
  static Table table;
  return table;
}

// The platform id, asked once per process (or once after SetEntries).
struct PlatformCache {
  bool queried = false;
  std::int32_t platformId = calls::kPlatformWindows;
};

PlatformCache& Cache() {
  static PlatformCache cache;
  return cache;
}

}  // namespace

EntryPoints& Entries() {
  Table& table = TheTable();
  if (!table.loaded) {
    table.entries = LoadSystemEntries();
    table.loaded = true;
  }
  return table.entries;
}

void SetEntries(const EntryPoints& entries) {
  TheTable().entries = entries;
  TheTable().loaded = true;
  Cache() = PlatformCache{};
}

#ifndef _WIN32
EntryPoints LoadSystemEntries() { return EntryPoints{}; }
#endif

}  // namespace calls

namespace {

using calls::Entries;

std::int32_t PlatformIdFrom(const unsigned char* record) {
  std::int32_t id;
  std::memcpy(&id, record + calls::kPlatformIdOffset, sizeof id);
  return id;
}

std::int32_t QueryPlatformId() {
  const calls::EntryPoints& e = Entries();
  if (e.GetVersionExA) {
    alignas(8) unsigned char record[calls::kVersionInfoASize] = {};
    std::memcpy(record, &calls::kVersionInfoASize, sizeof calls::kVersionInfoASize);
    return e.GetVersionExA(record) == 0 ? calls::kPlatformWindows : PlatformIdFrom(record);
  }
  if (e.GetVersionExW) {
    alignas(8) unsigned char record[calls::kVersionInfoWSize] = {};
    std::memcpy(record, &calls::kVersionInfoWSize, sizeof calls::kVersionInfoWSize);
    return e.GetVersionExW(record) == 0 ? calls::kPlatformWindows : PlatformIdFrom(record);
  }
  return calls::kPlatformWindows;
}

bool WidePath() { return GetPlatformId() == calls::kPlatformNt; }

std::string Ansi(const std::u16string& s) {
  const auto convert = Entries().WideToAnsi;
  if (convert) return convert(s);
  std::string out;  // no converter: keep ASCII, replace the rest
  for (char16_t c : s) out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
  return out;
}

std::u16string Wide(const std::string& s) {
  const auto convert = Entries().AnsiToWide;
  return convert ? convert(s) : text::FromLatin1(s);
}

// Copies an ANSI result back into the caller's wide buffer: at most size - 1
// units and a NUL. Returns the count of units placed before the NUL.
std::uint32_t CopyBack(const std::string& ansi, char16_t* buffer, std::uint32_t size) {
  if (size == 0 || buffer == nullptr) return 0;
  const std::u16string wide = Wide(ansi);
  const std::uint32_t n = static_cast<std::uint32_t>(std::min<std::size_t>(wide.size(), size - 1));
  std::memcpy(buffer, wide.data(), n * sizeof(char16_t));
  buffer[n] = 0;
  return n;
}

// An ANSI buffer that can hold what `size` wide characters may become (a
// double-byte code page needs up to two bytes each).
std::uint32_t AnsiCapacity(std::uint32_t size) { return size > 0x3FFFFFFF ? 0x7FFFFFFF : size * 2; }

std::size_t AnsiLength(const std::vector<char>& buffer, std::uint32_t result) {
  const std::size_t limit = std::min<std::size_t>(result, buffer.size());
  const void* nul = std::memchr(buffer.data(), 0, limit);
  return nul ? static_cast<const char*>(nul) - buffer.data() : limit;
}

}  // namespace

std::int32_t GetPlatformId() {
  calls::PlatformCache& cache = calls::Cache();
  if (!cache.queried) {
    cache.platformId = QueryPlatformId();
    cache.queried = true;
  }
  return cache.platformId;
}

std::uint32_t WinGetModuleFileName(void* module, char16_t* buffer, std::uint32_t size) {
  if (WidePath()) {
    return Entries().GetModuleFileNameW ? Entries().GetModuleFileNameW(module, buffer, size) : 0;
  }
  if (!Entries().GetModuleFileNameA) return 0;
  std::vector<char> ansi(std::max<std::uint32_t>(AnsiCapacity(size), 1), '\0');
  const std::uint32_t got =
      Entries().GetModuleFileNameA(module, ansi.data(), static_cast<std::uint32_t>(ansi.size()));
  if (got == 0) return 0;
  return CopyBack(std::string(ansi.data(), AnsiLength(ansi, got)), buffer, size);
}

std::uint32_t WinGetPrivateProfileString(const std::u16string& section, const std::u16string& key,
                                         const std::u16string& defaultText, char16_t* buffer,
                                         std::uint32_t size, const std::u16string& file) {
  if (WidePath()) {
    if (!Entries().GetPrivateProfileStringW) return 0;
    return Entries().GetPrivateProfileStringW(section.c_str(), key.c_str(), defaultText.c_str(), buffer, size,
                                              file.c_str());
  }
  if (!Entries().GetPrivateProfileStringA) return 0;
  std::vector<char> ansi(std::max<std::uint32_t>(AnsiCapacity(size), 1), '\0');
  const std::uint32_t got = Entries().GetPrivateProfileStringA(
      Ansi(section).c_str(), Ansi(key).c_str(), Ansi(defaultText).c_str(), ansi.data(),
      static_cast<std::uint32_t>(ansi.size()), Ansi(file).c_str());
  if (got == 0) {
    if (size > 0 && buffer) buffer[0] = 0;
    return 0;
  }
  return CopyBack(std::string(ansi.data(), AnsiLength(ansi, got)), buffer, size);
}

WindowHandle WinFindWindow(const std::u16string* className, const std::u16string& title) {
  if (WidePath()) {
    if (!Entries().FindWindowW) return 0;
    return reinterpret_cast<WindowHandle>(
        Entries().FindWindowW(className ? className->c_str() : nullptr, title.c_str()));
  }
  if (!Entries().FindWindowA) return 0;
  const std::string ansiClass = className ? Ansi(*className) : std::string();
  return reinterpret_cast<WindowHandle>(
      Entries().FindWindowA(className ? ansiClass.c_str() : nullptr, Ansi(title).c_str()));
}

std::int32_t WinPostMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                            std::intptr_t lParam) {
  const auto post = WidePath() ? Entries().PostMessageW : Entries().PostMessageA;
  return post ? post(reinterpret_cast<void*>(window), message, wParam, lParam) : 0;
}

std::intptr_t WinGetWindowLong(WindowHandle window, std::int32_t index) {
  const auto get = WidePath() ? Entries().GetWindowLongW : Entries().GetWindowLongA;
  return get ? get(reinterpret_cast<void*>(window), index) : 0;
}
