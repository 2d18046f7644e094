// The clipboard's text as the rig's tools read and report it
// (clipboard_tool, sqlplus_standin): the tests compare what one tool reports
// with what the other received, so both read and write it the same way.
// Windows only; header-only.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdio>
#include <string>

// The Unicode text of a clipboard the caller has opened: up to its first NUL
// and never past the end of its memory block. False, and out empty, when the
// clipboard holds no text that can be read.
inline bool ReadOpenClipboardText(std::wstring& out) {
  out.clear();
  HANDLE data = GetClipboardData(CF_UNICODETEXT);
  if (!data) return false;
  const wchar_t* p = static_cast<const wchar_t*>(GlobalLock(data));
  if (!p) return false;
  size_t max = GlobalSize(data) / sizeof(wchar_t);
  size_t n = 0;
  while (n < max && p[n] != 0) ++n;
  out.assign(p, n);
  GlobalUnlock(data);
  return true;
}

// JSON string body for UTF-16 text: valid pairs become UTF-8, control
// characters and lone surrogates become \u escapes (JSON readers keep them).
inline void AppendJsonString(std::string& out, const wchar_t* s, size_t n) {
  char buf[16];
  for (size_t i = 0; i < n; ++i) {
    unsigned c = static_cast<unsigned short>(s[i]);
    unsigned next = i + 1 < n ? static_cast<unsigned short>(s[i + 1]) : 0;
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c == 0x7f) {
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      out += buf;
    } else if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xc0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3f));
    } else if (c >= 0xd800 && c <= 0xdbff && next >= 0xdc00 && next <= 0xdfff) {
      unsigned cp = 0x10000 + ((c - 0xd800) << 10) + (next - 0xdc00);
      ++i;
      out += static_cast<char>(0xf0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3f));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3f));
      out += static_cast<char>(0x80 | (cp & 0x3f));
    } else if (c >= 0xd800 && c <= 0xdfff) {
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      out += buf;
    } else {
      out += static_cast<char>(0xe0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3f));
      out += static_cast<char>(0x80 | (c & 0x3f));
    }
  }
}
