// The platform call layer: every Windows function that exists in an ANSI and
// a wide form is reached through one wrapper here. The wrapper asks
// GetPlatformId (queried once per process, then cached) and calls the W entry
// point on the NT family (id 2), the A entry point otherwise.
//
// The entry points themselves sit in one table (platform_entries.h), the
// layer's own: nothing else calls them.
#pragma once

#include <cstdint>
#include <string>

#include "window_handle.h"

// 2 = NT family, 1 = Windows 95 family or the query failed, 0 = Win32s.
std::int32_t GetPlatformId();

// Each returns the wrapped function's result unchanged (0 on failure). Buffers
// are sized in code units; on the A path the ANSI result is converted back and
// the count returned is the number of UTF-16 code units placed in the buffer.
std::uint32_t WinGetModuleFileName(void* module, char16_t* buffer, std::uint32_t size);
std::uint32_t WinGetPrivateProfileString(const std::u16string& section, const std::u16string& key,
                                         const std::u16string& defaultText, char16_t* buffer,
                                         std::uint32_t size, const std::u16string& file);
// className == nullptr: any class matches (passed on as a null pointer).
WindowHandle WinFindWindow(const std::u16string* className, const std::u16string& title);
std::int32_t WinPostMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                            std::intptr_t lParam);
// The index of the window's module handle (GWL_HINSTANCE).
constexpr std::int32_t kGwlHinstance = -6;
std::intptr_t WinGetWindowLong(WindowHandle window, std::int32_t index);
