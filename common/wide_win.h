// Text at the Windows boundary: the tools keep text as std::u16string, the
// Windows API takes wchar_t. Both are 16-bit UTF-16 code units on Windows, so
// the conversions are plain reinterpretations or copies. Windows only.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <cwchar>
#include <string>

static_assert(sizeof(wchar_t) == sizeof(char16_t), "wchar_t must be UTF-16 on Windows");

namespace wide {

// The text as a NUL-terminated wide string (valid while `text` lives and is
// unchanged). An embedded NUL ends the string there for the API.
inline const wchar_t* Ptr(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

inline wchar_t* Ptr(std::u16string& text) { return reinterpret_cast<wchar_t*>(&text[0]); }

inline const wchar_t* Ptr(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }

// `count` code units from `text`.
inline std::u16string FromWide(const wchar_t* text, std::size_t count) {
  if (text == nullptr || count == 0) return std::u16string();
  return std::u16string(reinterpret_cast<const char16_t*>(text), count);
}

// A NUL-terminated wide string; the empty text for a null pointer.
inline std::u16string FromWide(const wchar_t* text) {
  if (text == nullptr) return std::u16string();
  return FromWide(text, std::wcslen(text));
}

inline std::u16string FromWide(const std::wstring& text) { return FromWide(text.data(), text.size()); }

inline std::wstring ToWide(const std::u16string& text) {
  return std::wstring(reinterpret_cast<const wchar_t*>(text.data()), text.size());
}

// Window handles travel as integers through the portable code.
inline HWND ToHwnd(std::uintptr_t handle) { return reinterpret_cast<HWND>(handle); }
inline std::uintptr_t FromHwnd(HWND window) { return reinterpret_cast<std::uintptr_t>(window); }

}  // namespace wide
