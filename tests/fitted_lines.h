// What sqlplus_lines::FitLines promises of a text it broke, checked against
// the text it was given without its lexer, except for comparing tokens:
// - every original line that fits comes out as it was;
// - every long one comes out as lines that, put back together, give the
//   original: between two of them one space or tab was taken out, or the
//   first ends with a comma and nothing was taken out;
// - every line fits the limit;
// - a line made by a break is not blank, "/" or "." alone, does not start
//   with "#" or "@", and, if another follows it, does not end with ";",
//   "-", a space or a tab (spaces and tabs around not counted otherwise);
// - the tokens are the same, also when each long line's pieces are joined
//   again with spaces.
// Shared by the unit tests and the fuzz target.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "readable_text.h"
#include "sqlplus_lines.h"

namespace fitted_lines {

inline bool Blank(char16_t c) { return c == u' ' || c == u'\t'; }

inline std::u16string WithoutBlanks(const std::u16string& s) {
  std::size_t first = 0, last = s.size();
  while (first < last && Blank(s[first])) ++first;
  while (last > first && Blank(s[last - 1])) --last;
  return s.substr(first, last - first);
}

// Empty when `output` keeps the promises for `original`, else what it breaks.
inline std::string Problem(const std::u16string& original, const std::u16string& output, std::size_t limit) {
  if (sqlplus_lines::Tokens(output) != sqlplus_lines::Tokens(original)) return "the tokens differ";
  const std::vector<std::u16string> in = SplitLines(original), out = SplitLines(output);
  std::u16string rejoined;  // the output with each long line's pieces joined by spaces
  std::size_t j = 0;
  for (std::size_t i = 0; i < in.size(); ++i) {
    const std::u16string& line = in[i];
    const std::string where = "original line " + std::to_string(i + 1) + ": ";
    if (j >= out.size()) return where + "missing from the output";
    if (i > 0) rejoined += u"\r\n";
    if (sqlplus_lines::LineBytes(line) <= limit) {
      if (out[j++] != line) return where + "fits but was changed";
      rejoined += line;
      continue;
    }
    std::u16string joined = out[j];
    std::size_t pos = out[j].size();
    if (line.compare(0, pos, out[j]) != 0) return where + "does not begin with its first piece";
    for (;;) {
      const std::u16string& piece = out[j];
      const std::u16string bare = WithoutBlanks(piece);
      if (sqlplus_lines::LineBytes(piece) > limit) return where + "a piece is longer than the limit";
      if (bare.empty() || bare == u"/" || bare == u".") return where + "a piece is blank, \"/\" or \".\"";
      if (pos == line.size()) break;
      if (bare.back() == u';' || bare.back() == u'-' || Blank(piece.back())) {
        return where + "a piece before a break ends with \";\", \"-\", a space or a tab";
      }
      if (++j >= out.size()) return where + "its pieces end early";
      const std::u16string& next = out[j];
      if (piece.back() == u',' && line.compare(pos, next.size(), next) == 0) {
        pos += next.size();
      } else if (pos < line.size() && Blank(line[pos]) && line.compare(pos + 1, next.size(), next) == 0) {
        pos += 1 + next.size();
      } else {
        return where + "a piece is not what follows a comma or a space or tab";
      }
      joined += u' ';
      joined += next;
      const std::u16string nextBare = WithoutBlanks(next);
      if (!nextBare.empty() && (nextBare[0] == u'#' || nextBare[0] == u'@')) {
        return where + "a piece starts with \"#\" or \"@\"";
      }
    }
    ++j;
    rejoined += joined;
  }
  if (j != out.size()) return "the output has lines beyond the original's";
  if (original.size() >= 2 && original.compare(original.size() - 2, 2, u"\r\n") == 0) rejoined += u"\r\n";
  if (sqlplus_lines::Tokens(rejoined) != sqlplus_lines::Tokens(original)) {
    return "the long lines' pieces joined with spaces have other tokens";
  }
  return {};
}

}  // namespace fitted_lines
