// Test texts written readably: "⏎" stands for CR LF and "␣" for one space.
// Lone CR and LF are written as "\r" and "\n".
#pragma once

#include <string>

inline std::u16string T(const std::u16string& s) {
  std::u16string out;
  out.reserve(s.size() + s.size() / 8);
  for (char16_t c : s) {
    if (c == u'⏎') {
      out += u"\r\n";
    } else if (c == u'␣') {
      out += u' ';
    } else {
      out += c;
    }
  }
  return out;
}
