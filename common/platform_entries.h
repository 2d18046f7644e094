// The entry points behind the platform call layer's wrappers, in one table
// reached by name. On Windows it is filled at first use from kernel32 and
// user32 with GetProcAddress (platform_calls_win.cpp), so a missing entry is
// really detected; tests fill it with fakes. An entry that is null behaves
// like a missing function: the wrapper returns 0. Only the layer itself and
// its tests include this header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#if defined(_WIN32) && !defined(_WIN64)
#define VORN_WINAPI __stdcall
#else
#define VORN_WINAPI
#endif

namespace calls {

// Size of OSVERSIONINFOA and OSVERSIONINFOW; the platform id is the 32-bit
// field at byte offset 16 in both.
constexpr std::uint32_t kVersionInfoASize = 148;
constexpr std::uint32_t kVersionInfoWSize = 276;
constexpr std::size_t kPlatformIdOffset = 16;

// The platform ids GetVersionEx reports.
constexpr std::int32_t kPlatformWin32s = 0;
constexpr std::int32_t kPlatformWindows = 1;  // the Windows 95 family
constexpr std::int32_t kPlatformNt = 2;

// The entry points, with the argument order of the Windows functions. Texts on
// the W entries are UTF-16 (wchar_t on Windows has the same layout as
// char16_t); texts on the A entries are in the ANSI code page.
struct EntryPoints {
  std::int32_t(VORN_WINAPI* GetVersionExA)(void* info);
  std::int32_t(VORN_WINAPI* GetVersionExW)(void* info);
  std::uint32_t(VORN_WINAPI* GetModuleFileNameA)(void* module, char* buffer, std::uint32_t size);
  std::uint32_t(VORN_WINAPI* GetModuleFileNameW)(void* module, char16_t* buffer, std::uint32_t size);
  std::uint32_t(VORN_WINAPI* GetPrivateProfileStringA)(const char* section, const char* key,
                                                        const char* defaultText, char* buffer,
                                                        std::uint32_t size, const char* file);
  std::uint32_t(VORN_WINAPI* GetPrivateProfileStringW)(const char16_t* section, const char16_t* key,
                                                        const char16_t* defaultText, char16_t* buffer,
                                                        std::uint32_t size, const char16_t* file);
  void*(VORN_WINAPI* FindWindowA)(const char* className, const char* title);
  void*(VORN_WINAPI* FindWindowW)(const char16_t* className, const char16_t* title);
  std::int32_t(VORN_WINAPI* PostMessageA)(void* window, std::uint32_t message, std::uintptr_t wParam,
                                          std::intptr_t lParam);
  std::int32_t(VORN_WINAPI* PostMessageW)(void* window, std::uint32_t message, std::uintptr_t wParam,
                                          std::intptr_t lParam);
  // On 64-bit Windows these are bound to GetWindowLongPtrA/W: the 32-bit
  // forms would cut a module handle above 4 GiB in half.
  std::intptr_t(VORN_WINAPI* GetWindowLongA)(void* window, std::int32_t index);
  std::intptr_t(VORN_WINAPI* GetWindowLongW)(void* window, std::int32_t index);

  // Conversions to and from the system's ANSI code page for the A path.
  std::string (*WideToAnsi)(const std::u16string& text);
  std::u16string (*AnsiToWide)(const std::string& text);
};

// The live table. Filled from the system on first use (Windows); empty
// elsewhere until a test fills it.
EntryPoints& Entries();

// Replaces the whole table and forgets the cached platform id, so that the
// next wrapper call queries the version again. For tests.
void SetEntries(const EntryPoints& entries);

// Fills a table from the running system (Windows only; elsewhere all null).
EntryPoints LoadSystemEntries();

}  // namespace calls
