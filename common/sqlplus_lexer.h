// The lexer under sqlplus_lines.h: where SQL text stands at each code unit,
// in code or inside a literal, quoted name or comment. Only the files of
// sqlplus_lines use it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "sqlplus_lines.h"

namespace sqlplus_lines {
namespace lexing {

inline constexpr char16_t kCr = u'\r';
inline constexpr char16_t kLf = u'\n';
inline constexpr char16_t kQuote = u'\'';

enum class State : std::uint8_t { kCode, kLiteral, kAltLiteral, kName, kLineComment, kBlockComment };

// Where the lexer stands between two code units. An alternative-quoting
// literal (q'[...]') ends with its closing delimiter, one code unit or a
// surrogate pair, followed by a quote.
struct Lexer {
  State state = State::kCode;
  char16_t close[2] = {0, 0};
  std::size_t closeLength = 0;
};

inline bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

inline bool IsBreak(char16_t c) { return c == kCr || c == kLf; }

inline bool IsWhite(char16_t c) { return IsBlank(c) || IsBreak(c); }

// A unit that may be part of a name: an ASCII letter or digit, "_", "$",
// "#", or anything outside ASCII (names may hold national letters).
inline bool IsNameUnit(char16_t c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'_' ||
         c == u'$' || c == u'#' || c >= 0x80;
}

inline bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
inline bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// A code unit's share of a line's length (LineBytes).
inline std::size_t UnitBytes(char16_t c) { return 1 + (c >= 0x80) + (c >= 0x800); }

// True for the units that may open a literal, quoted name or comment in
// code: every other unit in code is a step of one unit that stays in code.
inline bool MayOpen(char16_t c) {
  return c == kQuote || c == u'"' || c == u'-' || c == u'/' || c == u'q' || c == u'Q' || c == u'n' || c == u'N';
}

inline std::size_t Bytes(std::u16string_view s, std::size_t from, std::size_t to) {
  std::size_t bytes = 0;
  for (std::size_t i = from; i < to; ++i) bytes += UnitBytes(s[i]);
  return bytes;
}

inline Holder HolderOf(State state) {
  switch (state) {
    case State::kLiteral:
    case State::kAltLiteral:
      return Holder::kLiteral;
    case State::kName:
      return Holder::kQuotedName;
    case State::kLineComment:
    case State::kBlockComment:
      return Holder::kComment;
    default:
      return Holder::kCode;
  }
}

inline bool InSpanningConstruct(State state) { return state != State::kCode && state != State::kLineComment; }

// At s[at], with at at the start of a token: the start of an alternative-
// quoting literal, [n|N](q|Q)'d where d is any character but white space.
// Sets the lexer for it and gives the position after d, or 0 when there is
// none at s[at].
inline std::size_t AltLiteralStart(std::u16string_view s, std::size_t at, std::size_t end, Lexer& lexer) {
  std::size_t q = at;
  if (s[q] == u'n' || s[q] == u'N') ++q;
  if (q + 1 >= end || (s[q] != u'q' && s[q] != u'Q') || s[q + 1] != kQuote) return 0;
  const std::size_t d = q + 2;
  if (d >= end || IsWhite(s[d])) return 0;
  std::size_t length = 1;
  char16_t close = s[d];
  switch (s[d]) {
    case u'[': close = u']'; break;
    case u'{': close = u'}'; break;
    case u'<': close = u'>'; break;
    case u'(': close = u')'; break;
    default:
      if (IsHighSurrogate(s[d]) && d + 1 < end && IsLowSurrogate(s[d + 1])) length = 2;
      break;
  }
  lexer.state = State::kAltLiteral;
  lexer.close[0] = close;
  lexer.close[1] = length == 2 ? s[d + 1] : 0;
  lexer.closeLength = length;
  return d + length;
}

// One step of the lexer over s[at..end), where end is the end of the line.
// In code: a token that opens a literal, quoted name or comment moves the
// lexer into it and the step ends after its opening; any other unit is one
// step. Inside: the step runs to just after the closing (back in code), or
// just after a lone CR or LF (still inside; a "--" comment ends before it),
// or to the end of the line. Returns where the step ends.
inline std::size_t Step(std::u16string_view s, std::size_t at, std::size_t end, Lexer& lexer) {
  switch (lexer.state) {
    case State::kCode: {
      const char16_t c = s[at];
      if (c == kQuote) {
        lexer.state = State::kLiteral;
        return at + 1;
      }
      if (c == u'"') {
        lexer.state = State::kName;
        return at + 1;
      }
      if (c == u'-' && at + 1 < end && s[at + 1] == u'-') {
        lexer.state = State::kLineComment;
        return at + 2;
      }
      if (c == u'/' && at + 1 < end && s[at + 1] == u'*') {
        lexer.state = State::kBlockComment;
        return at + 2;
      }
      if ((c == u'q' || c == u'Q' || c == u'n' || c == u'N') && (at == 0 || !IsNameUnit(s[at - 1]))) {
        const std::size_t after = AltLiteralStart(s, at, end, lexer);
        if (after != 0) return after;
      }
      return at + 1;
    }
    case State::kLiteral:
      for (std::size_t i = at; i < end; ++i) {
        if (s[i] == kQuote) {
          if (i + 1 < end && s[i + 1] == kQuote) {
            ++i;  // a doubled quote stands for one
            continue;
          }
          lexer.state = State::kCode;
          return i + 1;
        }
        if (IsBreak(s[i])) return i + 1;
      }
      return end;
    case State::kAltLiteral:
      for (std::size_t i = at; i < end; ++i) {
        if (s[i] == lexer.close[0] && i + lexer.closeLength < end && s[i + lexer.closeLength] == kQuote &&
            (lexer.closeLength == 1 || s[i + 1] == lexer.close[1])) {
          lexer.state = State::kCode;
          return i + lexer.closeLength + 1;
        }
        if (IsBreak(s[i])) return i + 1;
      }
      return end;
    case State::kName:
      for (std::size_t i = at; i < end; ++i) {
        if (s[i] == u'"') {
          lexer.state = State::kCode;
          return i + 1;
        }
        if (IsBreak(s[i])) return i + 1;
      }
      return end;
    case State::kLineComment:
      for (std::size_t i = at; i < end; ++i) {
        if (IsBreak(s[i])) {
          lexer.state = State::kCode;
          return i;
        }
      }
      lexer.state = State::kCode;  // the line ends the comment
      return end;
    case State::kBlockComment:
      for (std::size_t i = at; i < end; ++i) {
        if (s[i] == u'*' && i + 1 < end && s[i + 1] == u'/') {
          lexer.state = State::kCode;
          return i + 2;
        }
        if (IsBreak(s[i])) return i + 1;
      }
      return end;
  }
  return end;
}

// The end of the line that starts at `from`: the position of its CR LF, or
// the end of the text.
inline std::size_t LineEnd(std::u16string_view s, std::size_t from) {
  for (std::size_t i = from; i + 1 < s.size(); ++i) {
    if (s[i] == kCr && s[i + 1] == kLf) return i;
  }
  return s.size();
}

}  // namespace lexing
}  // namespace sqlplus_lines
