// A UTF-16 text as a JSON string in ASCII only, for the reports of the rig's
// probes (window_probe, shortcut_tool), which the tests read as ASCII: every
// character outside printable ASCII becomes a \uXXXX escape (a surrogate
// pair two of them, which JSON readers join). Windows only; header-only.
#pragma once

#include <cstdio>
#include <string>

inline std::string JsonQuote(const std::wstring& s) {
  std::string out = "\"";
  for (wchar_t c : s) {
    unsigned u = static_cast<unsigned>(c) & 0xFFFF;
    if (u == '"' || u == '\\') {
      out += '\\';
      out += static_cast<char>(u);
    } else if (u >= 0x20 && u < 0x7F) {
      out += static_cast<char>(u);
    } else {
      char buf[8];
      std::snprintf(buf, sizeof(buf), "\\u%04x", u);
      out += buf;
    }
  }
  return out + "\"";
}
