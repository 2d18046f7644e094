// The system side of the platform call layer: binds the entry-point table to
// kernel32 and user32 by name, with the ANSI code page conversions for the
// ANSI entry points.
#include <windows.h>

#include <cstddef>

#include "newer_windows_win.h"
#include "platform_calls.h"
#include "platform_entries.h"
#include "system_text_win.h"

// The module handle's index, under both of its names.
#ifdef GWL_HINSTANCE
static_assert(kGwlHinstance == GWL_HINSTANCE, "GWL_HINSTANCE");
#endif
static_assert(kGwlHinstance == GWLP_HINSTANCE, "GWLP_HINSTANCE");

namespace calls {

// The version record and its platform ids.
static_assert(kVersionInfoASize == sizeof(OSVERSIONINFOA), "sizeof(OSVERSIONINFOA)");
static_assert(kVersionInfoWSize == sizeof(OSVERSIONINFOW), "sizeof(OSVERSIONINFOW)");
static_assert(kPlatformIdOffset == offsetof(OSVERSIONINFOA, dwPlatformId), "OSVERSIONINFOA.dwPlatformId");
static_assert(kPlatformIdOffset == offsetof(OSVERSIONINFOW, dwPlatformId), "OSVERSIONINFOW.dwPlatformId");
static_assert(kPlatformWin32s == VER_PLATFORM_WIN32s, "VER_PLATFORM_WIN32s");
static_assert(kPlatformWindows == VER_PLATFORM_WIN32_WINDOWS, "VER_PLATFORM_WIN32_WINDOWS");
static_assert(kPlatformNt == VER_PLATFORM_WIN32_NT, "VER_PLATFORM_WIN32_NT");

namespace {

// Looks `name` up in `module`; a missing export leaves the slot null, which
// the wrappers treat as a missing function.
template <typename Slot>
void Bind(Slot& slot, const wchar_t* module, const char* name) {
  slot = newer_windows::FindFunction<Slot>(module, name);
}

}  // namespace

EntryPoints LoadSystemEntries() {
  EntryPoints entries = {};
  const wchar_t* const kernel = L"kernel32.dll";
  const wchar_t* const user = L"user32.dll";
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

  entries.WideToAnsi = system_text::WideToAnsi;
  entries.AnsiToWide = system_text::AnsiToWide;
  return entries;
}

}  // namespace calls
