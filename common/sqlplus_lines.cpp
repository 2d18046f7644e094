#include "sqlplus_lines.h"

#include <string>
#include <vector>

#include "sqlplus_lexer.h"

namespace sqlplus_lines {
namespace {

using namespace lexing;

// s[from..to) without the spaces and tabs at both ends, as [first, last).
void TrimBlanks(std::u16string_view s, std::size_t& first, std::size_t& last) {
  while (first < last && IsBlank(s[first])) ++first;
  while (last > first && IsBlank(s[last - 1])) --last;
}

// True when s[from..to) is a line SQL*Plus acts on by itself: "/" or "."
// alone, or starting with "#", spaces and tabs around not counted.
bool ActsByItself(std::u16string_view s, std::size_t from, std::size_t to) {
  TrimBlanks(s, from, to);
  if (from == to) return false;
  if (s[from] == u'#') return true;
  return to - from == 1 && (s[from] == u'/' || s[from] == u'.');
}

// The part of a line from `from` up to the next CR or LF.
std::size_t SegmentEnd(std::u16string_view s, std::size_t from, std::size_t end) {
  while (from < end && !IsBreak(s[from])) ++from;
  return from;
}

// Where a long line may be broken: the line made by the break ends at `end`
// and the next begins at `next`, each with its offset in bytes from the
// start of the line being made.
struct Cut {
  std::size_t end;
  std::size_t next;
  std::size_t endBytes;
  std::size_t nextBytes;
};

// Whether the line may be broken at `cut` when the line being made began at
// `start`: the line made is not blank, "/" or "." alone, and ends neither
// with ";" nor with "-"; the next one does not start with "#" or "@", is not
// blank, and is not "/" or "." alone when it is the last (`restFits`).
bool MayBreak(std::u16string_view s, std::size_t start, const Cut& cut, std::size_t end, bool restFits) {
  std::size_t first = start, last = cut.end;
  TrimBlanks(s, first, last);
  if (first == last) return false;
  if (last - first == 1 && (s[first] == u'/' || s[first] == u'.')) return false;
  if (s[last - 1] == u';' || s[last - 1] == u'-') return false;

  std::size_t nextFirst = cut.next, nextLast = end;
  TrimBlanks(s, nextFirst, nextLast);
  if (nextFirst == nextLast) return false;
  if (s[nextFirst] == u'#' || s[nextFirst] == u'@') return false;
  if (restFits && nextLast - nextFirst == 1 && (s[nextFirst] == u'/' || s[nextFirst] == u'.')) return false;
  return true;
}

// Breaks the long line s[from..end) (`total` bytes long; the lexer as it
// stands at its start) into lines of at most limitBytes, appending them to
// `out` with CR LF between them (none after the last). One line is made at a
// time, from the places to break within its reach: the last one that may be
// taken. A break stands in code, so the next line is lexed from code again.
// False when it cannot be done; `holder` then tells what is at the limit.
bool BreakLine(std::u16string_view s, std::size_t from, std::size_t end, std::size_t total, Lexer lexer,
               std::size_t limitBytes, std::vector<Cut>& cuts, std::u16string& out, Holder& holder) {
  std::size_t start = from, done = 0;  // the line being made, and the bytes before it
  while (total - done > limitBytes) {
    cuts.clear();
    std::size_t bytes = 0;
    for (std::size_t i = start; i < end;) {
      const State before = lexer.state;
      const std::size_t next = Step(s, i, end, lexer);
      if (before == State::kCode && lexer.state == State::kCode) {
        if (IsBlank(s[i]) && (i == 0 || !IsBlank(s[i - 1]))) {  // a run's first: no line made ends with one
          cuts.push_back({i, i + 1, bytes, bytes + 1});
        } else if (s[i] == u',') {
          cuts.push_back({i + 1, i + 1, bytes + 1, bytes + 1});
        }
      }
      bytes += Bytes(s, i, next);
      if (bytes > limitBytes) {
        holder = HolderOf(before != State::kCode ? before : lexer.state);
        break;
      }
      i = next;
    }
    const Cut* chosen = nullptr;
    for (std::size_t k = cuts.size(); k > 0 && chosen == nullptr; --k) {
      const Cut& cut = cuts[k - 1];
      if (cut.endBytes <= limitBytes && MayBreak(s, start, cut, end, total - done - cut.nextBytes <= limitBytes)) {
        chosen = &cut;
      }
    }
    if (chosen == nullptr) return false;
    out.append(s.substr(start, chosen->end - start));
    out.append(u"\r\n");
    start = chosen->next;
    done += chosen->nextBytes;
    lexer = Lexer();
  }
  out.append(s.substr(start, end - start));
  return true;
}

}  // namespace

std::size_t LineBytes(std::u16string_view line) { return Bytes(line, 0, line.size()); }

Outcome FitLines(std::u16string& text, std::size_t limitBytes) {
  const std::u16string_view s = text;
  std::u16string out;  // the broken text, begun at the first line that needs breaking
  bool broken = false;
  std::vector<Cut> cuts;  // reused from line to line
  Lexer lexer;
  std::size_t number = 0;
  for (std::size_t from = 0; from < s.size() || (from == 0 && s.empty()); ++number) {
    std::size_t end = from, bytes = 0;
    while (end < s.size() && !(s[end] == kCr && end + 1 < s.size() && s[end + 1] == kLf)) bytes += UnitBytes(s[end++]);
    const Lexer atStart = lexer;

    // The lexer across the line; every part of it that begins inside a
    // literal, quoted name or comment must not be one SQL*Plus acts on.
    if (InSpanningConstruct(lexer.state) && ActsByItself(s, from, SegmentEnd(s, from, end))) {
      return {Found::kActingLine, HolderOf(lexer.state), number + 1};
    }
    for (std::size_t i = from; i < end;) {
      if (lexer.state == State::kCode) {  // nothing but a token's first unit matters here
        while (i < end && !MayOpen(s[i])) ++i;
        if (i == end) break;
      }
      const std::size_t next = Step(s, i, end, lexer);
      if (next > i && IsBreak(s[next - 1]) && InSpanningConstruct(lexer.state) &&
          ActsByItself(s, next, SegmentEnd(s, next, end))) {
        return {Found::kActingLine, HolderOf(lexer.state), number + 1};
      }
      i = next;
    }
    if (lexer.state == State::kLineComment) lexer.state = State::kCode;  // a "--" opened at the line's end

    if (bytes > limitBytes) {
      if (!broken) {
        out.reserve(s.size() + s.size() / 64 + 16);
        out.append(s.substr(0, from));
        broken = true;
      }
      Holder holder = Holder::kCode;
      if (!BreakLine(s, from, end, bytes, atStart, limitBytes, cuts, out, holder)) {
        return {Found::kTooLong, holder, number + 1};
      }
    } else if (broken) {
      out.append(s.substr(from, end - from));
    }
    if (end == s.size()) break;
    if (broken) out.append(u"\r\n");
    from = end + 2;
  }
  if (broken) text.swap(out);
  return {};
}

}  // namespace sqlplus_lines
