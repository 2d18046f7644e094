// Fuzz target: PrepareStatementText, with and without separator lines
// dropped, on arbitrary text.
//
// Input: UTF-8 (ill-formed bytes become U+FFFD), or, after the mark FF FE,
// raw UTF-16 LE code units, so that lone surrogates and any other unit reach
// the code too.
//
// Checked for every input and both modes:
// - the result is empty or ends with CR LF, its last line ends with ";" or
//   "/", no line is blank, no line ends with a space, the first line does not
//   begin with one;
// - the result is exactly the kept input lines (not blank, not a dropped
//   separator), in order, cut of their trailing spaces (the first also of its
//   leading ones), plus a line ";" when the last one is unterminated: nothing
//   is lost, reordered or invented;
// - preparing the result again changes nothing.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "readable_text.h"
#include "statement_text.h"
#include "text.h"

namespace {

void Fail(const char* what, const std::u16string& raw, const std::u16string& out, bool drop) {
  std::fprintf(stderr, "PROPERTY FAILED: %s\n  drop separators: %d\n  raw: %s\n  result: %s\n", what, drop ? 1 : 0,
               text::ToUtf8(raw).c_str(), text::ToUtf8(out).c_str());
  std::abort();
}

#define CHECK(cond, what)                    \
  do {                                       \
    if (!(cond)) Fail(what, raw, out, drop); \
  } while (0)

bool EndsWithCrLf(const std::u16string& s) {
  return s.size() >= 2 && s[s.size() - 2] == u'\r' && s[s.size() - 1] == u'\n';
}

bool StartsWithSeparator(const std::u16string& line) { return line.size() >= 2 && line[0] == u'=' && line[1] == u'='; }

std::u16string Expected(const std::u16string& raw, bool drop) {
  std::u16string out;
  for (const std::u16string& line : SplitLines(raw)) {
    if (text::IsBlank(line)) continue;
    if (drop && StartsWithSeparator(line)) continue;
    out += out.empty() ? text::Trim(line) : text::TrimTrailing(line);
    out += u"\r\n";
  }
  if (out.empty()) return out;
  const char16_t last = out[out.size() - 3];
  if (last != u';' && last != u'/') out += u";\r\n";
  return out;
}

void CheckOne(const std::u16string& raw, bool drop) {
  const std::u16string out = PrepareStatementText(raw, drop);

  if (!out.empty()) {
    CHECK(EndsWithCrLf(out), "result does not end with CR LF");
    const std::vector<std::u16string> lines = SplitLines(out);
    for (std::size_t i = 0; i < lines.size(); ++i) {
      const std::u16string& line = lines[i];
      CHECK(!text::IsBlank(line), "result holds a blank line");
      CHECK(line.back() != u' ', "a line of the result ends with a space");
      if (i == 0) CHECK(line.front() != u' ', "the first line begins with a space");
      // With separators dropped, only a first line that had spaces before
      // its "==" (so was no separator) can begin with "==" once trimmed.
      if (drop && i > 0) CHECK(!StartsWithSeparator(line), "a separator line was kept");
    }
    const char16_t last = lines.back().back();
    CHECK(last == u';' || last == u'/', "the last line is not terminated");
  }

  CHECK(out == Expected(raw, drop), "result differs from the kept lines of the input");

  CHECK(PrepareStatementText(out, false) == out, "preparing the result again changes it");
  if (drop && !(out.size() >= 2 && StartsWithSeparator(out))) {
    CHECK(PrepareStatementText(out, true) == out, "preparing the result again (dropping separators) changes it");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::u16string raw;
  if (size >= 2 && data[0] == 0xFF && data[1] == 0xFE) {
    for (std::size_t i = 2; i + 1 < size; i += 2) raw.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
  } else {
    raw = text::FromUtf8(std::string(reinterpret_cast<const char*>(data), size));
  }
  CheckOne(raw, false);
  CheckOne(raw, true);
  return 0;
}
