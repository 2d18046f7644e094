// Test texts written readably: "⏎" stands for CR LF and "␣" for one space.
// Lone CR and LF are written as "\r" and "\n". And a text's lines.
#pragma once

#include <string>
#include <vector>

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

// Lines separated by CR LF; a lone CR or LF is part of a line. A text that
// ends with CR LF has no empty line after it.
inline std::vector<std::u16string> SplitLines(const std::u16string& s) {
  std::vector<std::u16string> lines;
  std::size_t start = 0;
  for (;;) {
    const std::size_t at = s.find(u"\r\n", start);
    if (at == std::u16string::npos) {
      if (start < s.size() || lines.empty()) lines.push_back(s.substr(start));
      return lines;
    }
    lines.push_back(s.substr(start, at - start));
    start = at + 2;
    if (start == s.size()) return lines;
  }
}
