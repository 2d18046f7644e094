#include "statement_text.h"

#include "text.h"

using text::kCr;
using text::kLf;
using text::kSpace;

std::u16string PrepareStatementText(const std::u16string& raw, bool dropSeparatorLines) {
  std::u16string result;
  // At most a CR LF for the last line and a ";" line are added, so the result
  // never outgrows this and is never copied into a buffer of twice the size.
  result.reserve(raw.size() + 5);

  const std::size_t n = raw.size();
  std::size_t p = 0;
  do {
    // The line runs from p to the next CR LF pair (or the end of the text).
    std::size_t q = p;
    while (q < n && !(raw[q] == kCr && q + 1 < n && raw[q + 1] == kLf)) ++q;

    std::size_t end = q;
    while (end > p && raw[end - 1] == kSpace) --end;
    const bool blank = end == p;
    const bool separator = dropSeparatorLines && q - p >= 2 && raw[p] == u'=' && raw[p + 1] == u'=';
    if (!blank && !separator) {
      // Leading spaces of the first kept line go too: the whole result is
      // trimmed, and only its start can carry spaces.
      std::size_t begin = p;
      if (result.empty()) {
        while (raw[begin] == kSpace) ++begin;
      }
      result.append(raw, begin, end - begin);
      result.push_back(kCr);
      result.push_back(kLf);
    }
    p = q + 2;
  } while (p < n);

  if (result.empty()) return result;
  const char16_t last = result[result.size() - 3];
  if (last != u'/' && last != u';') result.append(u";\r\n");
  return result;
}
