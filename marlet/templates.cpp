// The template catalogue of marlet: the built-in templates, the reader of the
// user's template file and the split of long templates into list items.
#include "templates.h"

#include <algorithm>
#include <cstdint>
#include <exception>
#include <string_view>

#include "files.h"
#include "form1.h"
#include "template_format.h"
#include "text.h"

const char16_t kTemplateFilePath[] = u"c:\\vorn3\\marlet.txt";

namespace {

using item_format::kContinuationIndent;
using item_format::kLabelSeparator;
using item_format::kPieceLength;

// ---- Decoding ---------------------------------------------------------------

// UTF-16 LE from bytes[begin, end). Each code unit is decoded on its own, so a
// line break (the units CR, LF) always survives whatever stands beside it.
// Unpaired surrogates are kept as the code units they are (the list shows
// whatever it shows for them; nothing is lost); an odd last byte, half a code
// unit, becomes U+FFFD.
std::u16string DecodeUtf16Le(const std::string& bytes, std::size_t begin) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t count = (bytes.size() - begin) / 2;
  std::u16string out;
  out.reserve(count + 1);
  for (std::size_t k = 0; k < count; ++k) {
    const std::size_t i = begin + 2 * k;
    out.push_back(static_cast<char16_t>(p[i] | (p[i + 1] << 8)));
  }
  if ((bytes.size() - begin) % 2 != 0) out.push_back(text::kReplacement);
  return out;
}

bool HasByteAbove127(const std::string& bytes) {
  for (const char c : bytes) {
    if (static_cast<unsigned char>(c) > 127) return true;
  }
  return false;
}

// Decodes a byte encoding (UTF-8 or the ANSI code page) with the line breaks
// found on the bytes first. A decoder must never see a CR after a byte that
// may begin a multi-byte character: a Shift-JIS lead byte at a line's end
// would take the CR as its second byte, and the line would run into the next
// (a header swallowed, a template joined to another). So the text is cut
// before every CR that follows a byte above 127, each part is decoded on its
// own, and the breaks are copied as they are; a broken character becomes the
// decoder's replacement inside its own line. A CR after an ASCII byte needs no
// cut (no lead byte is below 128), which keeps the parts few and long.
template <typename Decode>
std::u16string DecodeByLines(const std::string& bytes, std::size_t begin, Decode decode) {
  std::u16string out;
  std::size_t start = begin;
  for (std::size_t cr = bytes.find('\r', begin); cr != std::string::npos; cr = bytes.find('\r', cr + 1)) {
    if (cr == start || static_cast<unsigned char>(bytes[cr - 1]) < 0x80) continue;
    out += decode(bytes.substr(start, cr - start));
    out.push_back(text::kCr);
    start = cr + 1;
  }
  if (start == begin) return decode(begin == 0 ? bytes : bytes.substr(begin));
  out += decode(bytes.substr(start));
  return out;
}

// ---- Lines --------------------------------------------------------------------

// Reads the template text line by line, as a classic line-input reader reads
// a file: a line ends at CR LF or at a lone CR, a lone LF is part of the line,
// and the break after the last line does not start another (empty) line. So
// "■A\r\n" is one line, "■A", and after reading it the text is at its end;
// "■A\r\n\r\n" is two lines, "■A" and "".
struct LineReader {
  std::u16string_view text;
  std::size_t pos = 0;
};

bool AtEnd(const LineReader& reader) { return reader.pos >= reader.text.size(); }

// Index of the first CR at or after `from`, or the text's length.
std::size_t FindCr(std::u16string_view text, std::size_t from) {
  const char16_t* const data = text.data();
  const std::size_t n = text.size();
  std::size_t i = from;
  // Four code units per word: a unit equal to CR becomes zero after the XOR,
  // and the classic zero-lane test finds it (no false hits below the first).
  constexpr std::uint64_t kCrs = 0x000D000D000D000Dull;
  constexpr std::uint64_t kLows = 0x0001000100010001ull;
  constexpr std::uint64_t kHighs = 0x8000800080008000ull;
  while (i + 4 <= n) {
    const std::uint64_t x = text::LoadWord(data + i) ^ kCrs;
    if (((x - kLows) & ~x & kHighs) != 0) break;
    i += 4;
  }
  while (i < n && data[i] != text::kCr) ++i;
  return i;
}

std::u16string_view ReadLine(LineReader& reader) {
  const std::size_t start = reader.pos;
  const std::size_t cr = FindCr(reader.text, start);
  reader.pos = cr;
  if (cr < reader.text.size()) {
    ++reader.pos;
    if (reader.pos < reader.text.size() && reader.text[reader.pos] == text::kLf) ++reader.pos;
  }
  return reader.text.substr(start, cr - start);
}

bool IsSeparator(std::u16string_view line) {
  return line.size() >= 2 && line[0] == u'=' && line[1] == u'=';
}

// Appends the list items of one template to `items`, cutting by index so that
// a template of any length is split in one pass.
void AppendPieces(std::u16string&& entry, std::vector<std::u16string>& items) {
  const std::size_t n = entry.size();
  if (n == 0) return;
  if (n <= kPieceLength) {
    items.push_back(std::move(entry));
    return;
  }
  items.push_back(entry.substr(0, kPieceLength));
  for (std::size_t at = kPieceLength; at < n; at += kPieceLength) {
    const std::size_t length = std::min(kPieceLength, n - at);
    std::u16string piece;
    piece.reserve(kContinuationIndent.size() + length);
    piece.append(kContinuationIndent);
    piece.append(entry, at, length);
    items.push_back(std::move(piece));
  }
}

}  // namespace

const std::vector<std::u16string>& BuiltInTemplates() {
  static const std::vector<std::u16string> templates = [] {
    std::vector<std::u16string> items;
    for (const item_format::BuiltIn& builtIn : item_format::kBuiltIns) {
      items.push_back(std::u16string(builtIn.label) + std::u16string(builtIn.sql));
    }
    return items;
  }();
  return templates;
}

std::vector<std::u16string> SplitTemplate(const std::u16string& entry) {
  std::vector<std::u16string> items;
  AppendPieces(std::u16string(entry), items);
  return items;
}

std::u16string DecodeTemplateFile(const std::string& bytes,
                                  std::u16string (*ansiToWide)(const std::string&)) {
  if (bytes.size() >= 3 && static_cast<unsigned char>(bytes[0]) == 0xEF &&
      static_cast<unsigned char>(bytes[1]) == 0xBB && static_cast<unsigned char>(bytes[2]) == 0xBF) {
    return DecodeByLines(bytes, 3, text::FromUtf8);
  }
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
      static_cast<unsigned char>(bytes[1]) == 0xFE) {
    return DecodeUtf16Le(bytes, 2);
  }
  // Without a mark: well-formed UTF-8 with something beyond ASCII is taken as
  // UTF-8 (an editor's default today). Shift-JIS text with Japanese in it is
  // practically never well-formed UTF-8, so it falls through to the code page.
  if (HasByteAbove127(bytes) && text::IsValidUtf8(bytes)) return text::FromUtf8(bytes);
  if (ansiToWide == nullptr) return text::FromLatin1(bytes);
  return DecodeByLines(bytes, 0, ansiToWide);
}

// The reading follows the classic loop over a line-input file, step by step;
// "at its end" means that no line is left after the one just read (see
// LineReader). Hence a header that is the file's last line gives no template,
// whether or not a line break follows it, while a header followed by one empty
// last line ("■A\r\n\r\n") gives its bare label.
std::vector<std::u16string> ParseTemplateText(const std::u16string& text) {
  std::vector<std::u16string> items;
  LineReader reader{text};
  std::u16string_view line;
  if (!AtEnd(reader)) line = ReadLine(reader);
  for (;;) {
    // Skip to the next header (everything before the first is preamble).
    while (!item_format::IsHeadItem(line) && !AtEnd(reader)) line = ReadLine(reader);
    if (AtEnd(reader)) break;

    std::u16string entry(text::WithoutTrailingSpaces(line));
    entry.append(kLabelSeparator);
    // The body is collected straight behind the label. Only the first kept
    // line can carry leading spaces of the body (blank lines are dropped, so
    // it holds something else too), and every kept line ends with CR LF, so
    // trimming the whole body comes down to trimming that first line's start.
    bool first = true;
    while (!AtEnd(reader)) {
      line = ReadLine(reader);
      if (item_format::IsHeadItem(line)) break;
      if (IsSeparator(line) || text::IsBlank(line)) continue;
      std::u16string_view kept = text::WithoutTrailingSpaces(line);
      if (first) kept = text::WithoutLeadingSpaces(kept);
      first = false;
      entry.append(kept);
      entry.push_back(text::kCr);
      entry.push_back(text::kLf);
    }
    AppendPieces(std::move(entry), items);
  }
  return items;
}

void FillTemplateList(std::u16string (*ansiToWide)(const std::string&)) {
  for (const std::u16string& item : BuiltInTemplates()) ListAddItem(item);
  // A file too large for memory ends the reading like any other read error:
  // silently, with the items added so far kept.
  try {
    std::vector<std::u16string> items;
    {
      std::string bytes;
      if (!ReadFileBytes(kTemplateFilePath, bytes)) return;
      const std::u16string fileText = DecodeTemplateFile(bytes, ansiToWide);
      bytes = std::string();
      items = ParseTemplateText(fileText);
    }
    for (const std::u16string& item : items) ListAddItem(item);
  } catch (const std::exception&) {
  }
}
