// The system side of the platform call layer: binds the entry-point table to
// kernel32 and user32 by name, and converts texts for the ANSI entry points.
#include <windows.h>

#include <climits>
#include <string>

#include "platform_calls.h"
#include "wide_win.h"

namespace calls {

namespace {

// Looks `name` up in `module`; a missing module or export leaves the slot
// null, which the wrappers treat as a missing function.
template <typename Slot>
void Bind(Slot& slot, HMODULE module, const char* name) {
  FARPROC found = module != nullptr ? GetProcAddress(module, name) : nullptr;
  slot = reinterpret_cast<Slot>(reinterpret_cast<void*>(found));
}

std::string SystemWideToAnsi(const std::u16string& text) {
  if (text.empty() || text.size() > static_cast<std::size_t>(INT_MAX)) return std::string();
  const int units = static_cast<int>(text.size());
  // Explicit lengths: embedded NULs are converted like any other character.
  const int bytes = WideCharToMultiByte(CP_ACP, 0, wide::Ptr(text), units, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return std::string();
  std::string out(static_cast<std::size_t>(bytes), '\0');
  const int written = WideCharToMultiByte(CP_ACP, 0, wide::Ptr(text), units, &out[0], bytes, nullptr, nullptr);
  if (written <= 0) return std::string();
  out.resize(static_cast<std::size_t>(written));
  return out;
}

std::u16string SystemAnsiToWide(const std::string& text) {
  if (text.empty() || text.size() > static_cast<std::size_t>(INT_MAX)) return std::u16string();
  const int bytes = static_cast<int>(text.size());
  const int units = MultiByteToWideChar(CP_ACP, 0, text.data(), bytes, nullptr, 0);
  if (units <= 0) return std::u16string();
  std::u16string out(static_cast<std::size_t>(units), u'\0');
  const int written = MultiByteToWideChar(CP_ACP, 0, text.data(), bytes, wide::Ptr(out), units);
  if (written <= 0) return std::u16string();
  out.resize(static_cast<std::size_t>(written));
  return out;
}

}  // namespace

EntryPoints LoadSystemEntries() {
  EntryPoints entries = {};
  // Both are loaded in every process already; LoadLibrary only counts up.
  HMODULE kernel = LoadLibraryW(L"kernel32.dll");
  HMODULE user = LoadLibraryW(L"user32.dll");

  Bind(entries.GetVersionExA, kernel, "GetVersionExA");
  Bind(entries.GetVersionExW, kernel, "GetVersionExW");
  Bind(entries.GetModuleFileNameA, kernel, "GetModuleFileNameA");
  Bind(entries.GetModuleFileNameW, kernel, "GetModuleFileNameW");
  Bind(entries.GetPrivateProfileStringA, kernel, "GetPrivateProfileStringA");
  Bind(entries.GetPrivateProfileStringW, kernel, "GetPrivateProfileStringW");
  Bind(entries.FindWindowA, user, "FindWindowA");
  Bind(entries.FindWindowW, user, "FindWindowW");
  Bind(entries.PostMessageA, user, "PostMessageA");
  Bind(entries.PostMessageW, user, "PostMessageW");
#ifdef _WIN64
  // The pointer-sized forms: the 32-bit ones would cut a handle in half.
  Bind(entries.GetWindowLongA, user, "GetWindowLongPtrA");
  Bind(entries.GetWindowLongW, user, "GetWindowLongPtrW");
#else
  Bind(entries.GetWindowLongA, user, "GetWindowLongA");
  Bind(entries.GetWindowLongW, user, "GetWindowLongW");
#endif

  entries.WideToAnsi = SystemWideToAnsi;
  entries.AnsiToWide = SystemAnsiToWide;
  return entries;
}

}  // namespace calls
