// Fuzz target: sqlplus_lines::FitLines on arbitrary text, as given and as
// the statement text preparation leaves it.
//
// Input: the first byte picks the line limit (255: the real one, 2,499
// bytes; otherwise 1 to 80 bytes, so that short inputs need breaking); the
// rest is UTF-8 (ill-formed bytes become U+FFFD), or, after the mark FF FE,
// raw UTF-16 LE code units, so that lone surrogates and any other unit reach
// the code too.
//
// Checked for every text:
// - refused: the text is left exactly as it was, and the reason holds: a
//   line longer than the limit, or a line with a part (between CR LF, CR or
//   LF) that is "/" or "." alone or starts with "#";
// - not refused: every line fits, the tokens are the same, long lines were
//   only broken at one space or tab or after a comma, and no line made by a
//   break is one SQL*Plus would act on (tests/fitted_lines.h); fitting the
//   result again changes nothing;
// - a text whose lines all fit is either refused for a line SQL*Plus acts on
//   or comes back exactly as it was, unit for unit.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "fitted_lines.h"
#include "sqlplus_lines.h"
#include "statement_text.h"
#include "text.h"

namespace {

using sqlplus_lines::Found;

void Fail(const std::string& what, const std::u16string& in, const std::u16string& out, std::size_t limit) {
  std::fprintf(stderr, "PROPERTY FAILED: %s\n  limit: %zu\n  text: %s\n  result: %s\n", what.c_str(), limit,
               text::ToUtf8(in).c_str(), text::ToUtf8(out).c_str());
  std::abort();
}

#define CHECK(cond, what)                  \
  do {                                     \
    if (!(cond)) Fail(what, in, out, limit); \
  } while (0)

// True when a part of `line` between CR and LF units is, without the spaces
// and tabs around it, "/" or "." or starts with "#".
bool HasActingPart(const std::u16string& line) {
  std::size_t from = 0;
  for (;;) {
    std::size_t to = from;
    while (to < line.size() && line[to] != u'\r' && line[to] != u'\n') ++to;
    const std::u16string part = fitted_lines::WithoutBlanks(line.substr(from, to - from));
    if (part == u"/" || part == u"." || (!part.empty() && part[0] == u'#')) return true;
    if (to == line.size()) return false;
    from = to + 1;
  }
}

void CheckOne(const std::u16string& in, std::size_t limit) {
  std::u16string out = in;
  const sqlplus_lines::Outcome outcome = sqlplus_lines::FitLines(out, limit);
  const std::vector<std::u16string> lines = SplitLines(in);
  bool allFit = true;
  for (const std::u16string& line : lines) allFit = allFit && sqlplus_lines::LineBytes(line) <= limit;

  if (outcome.found != Found::kNothing) {
    CHECK(out == in, "a refused text was changed");
    CHECK(outcome.line >= 1 && outcome.line <= lines.size(), "the line found is not one of the text's");
    const std::u16string& line = lines[outcome.line - 1];
    if (outcome.found == Found::kTooLong) {
      CHECK(sqlplus_lines::LineBytes(line) > limit, "refused as too long, but the line fits");
    } else {
      CHECK(HasActingPart(line), "refused for a line SQL*Plus acts on, but the line has none");
    }
  } else {
    const std::string problem = fitted_lines::Problem(in, out, limit);
    CHECK(problem.empty(), problem);
    std::u16string again = out;
    CHECK(sqlplus_lines::FitLines(again, limit).found == Found::kNothing && again == out,
          "fitting the result again changes it");
  }
  if (allFit) {
    CHECK(outcome.found != Found::kTooLong, "a text whose lines all fit was refused as too long");
    CHECK(outcome.found == Found::kActingLine || out == in, "a text whose lines all fit was changed");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t limit = data[0] == 0xFF ? sqlplus_lines::kLimitBytes : 1 + data[0] % 80;
  ++data;
  --size;
  std::u16string raw;
  if (size >= 2 && data[0] == 0xFF && data[1] == 0xFE) {
    for (std::size_t i = 2; i + 1 < size; i += 2) raw.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
  } else {
    raw = text::FromUtf8(std::string(reinterpret_cast<const char*>(data), size));
  }
  CheckOne(raw, limit);
  CheckOne(PrepareStatementText(raw, true), limit);
  return 0;
}
