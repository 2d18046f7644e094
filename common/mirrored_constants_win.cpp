// The portable headers carry their own copies of the Windows constants they
// need, since they cannot include windows.h. Here each copy is checked
// against windows.h when the Windows build compiles; a wrong one stops it.
#include <windows.h>

#include <cstddef>

#include "console_keys.h"
#include "delivery.h"
#include "platform_calls.h"
#include "platform_ops.h"

// Message boxes: styles and answers.
static_assert(kMbYesNoCancelQuestion == (MB_YESNOCANCEL | MB_ICONQUESTION), "MB_YESNOCANCEL | MB_ICONQUESTION");
static_assert(kMbOkExclamation == (MB_OK | MB_ICONEXCLAMATION), "MB_OK | MB_ICONEXCLAMATION");
static_assert(kIdOk == IDOK, "IDOK");
static_assert(kIdCancel == IDCANCEL, "IDCANCEL");
static_assert(kIdYes == IDYES, "IDYES");
static_assert(kIdNo == IDNO, "IDNO");

// Messages.
static_assert(kWmCommand == WM_COMMAND, "WM_COMMAND");

// Window data: the module handle's index, under both of its names.
#ifdef GWL_HINSTANCE
static_assert(kGwlHinstance == GWL_HINSTANCE, "GWL_HINSTANCE");
#endif
static_assert(kGwlHinstance == GWLP_HINSTANCE, "GWLP_HINSTANCE");

// The version record and its platform ids.
static_assert(calls::kVersionInfoASize == sizeof(OSVERSIONINFOA), "sizeof(OSVERSIONINFOA)");
static_assert(calls::kVersionInfoWSize == sizeof(OSVERSIONINFOW), "sizeof(OSVERSIONINFOW)");
static_assert(calls::kPlatformIdOffset == offsetof(OSVERSIONINFOA, dwPlatformId), "OSVERSIONINFOA.dwPlatformId");
static_assert(calls::kPlatformIdOffset == offsetof(OSVERSIONINFOW, dwPlatformId), "OSVERSIONINFOW.dwPlatformId");
static_assert(calls::kPlatformWin32s == VER_PLATFORM_WIN32s, "VER_PLATFORM_WIN32s");
static_assert(calls::kPlatformWindows == VER_PLATFORM_WIN32_WINDOWS, "VER_PLATFORM_WIN32_WINDOWS");
static_assert(calls::kPlatformNt == VER_PLATFORM_WIN32_NT, "VER_PLATFORM_WIN32_NT");

// Keys typed into a console.
static_assert(kVirtualKeyTab == VK_TAB, "VK_TAB");
static_assert(kVirtualKeyReturn == VK_RETURN, "VK_RETURN");
