// Fuzz target: the template file reader. The input is the file's bytes.
//
// Checked for every input:
// - decoding: a UTF-8 mark gives UTF-8, a UTF-16 LE mark gives the code
//   units unchanged; without a mark, well-formed UTF-8 beyond ASCII is UTF-8
//   and anything else goes through the ANSI converter (here a fake one whose
//   result tells it apart), or Latin-1 without a converter;
// - line breaks survive decoding: with a converter that, like code page 932,
//   takes the byte after a lead byte as its second byte, an ANSI file still
//   decodes to as many CRs as it holds CR bytes;
// - parsing: the items equal those of a plain line-by-line reading of the
//   file (header, separator, blank, body; a header on the last line gives no
//   template); every first piece begins with "■" and holds at most 500 code
//   units, every continuation piece begins with three spaces and holds at
//   most 503; a piece is followed by a continuation only when it was full;
//   each template, rejoined, splits into the same items again;
// - splitting any text: the pieces rejoined (first piece, then every later
//   piece without its first three units) give the text back exactly;
// - Form_Load over the fake file system lists the built-ins, then the file's
//   items (the built-ins alone when the file is missing).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "fake_list.h"
#include "fake_platform.h"
#include "template_format.h"
#include "templates.h"
#include "text.h"

namespace {

constexpr char16_t kHead = item_format::kHeadMark;
constexpr std::size_t kPiece = item_format::kPieceLength;
const std::u16string kIndent(item_format::kContinuationIndent);

const std::string* g_input = nullptr;

void Fail(const char* what, const std::u16string& detail) {
  std::fprintf(stderr, "PROPERTY FAILED: %s\n  detail: %s\n  input bytes: %zu\n", what, text::ToUtf8(detail).c_str(),
               g_input ? g_input->size() : 0);
  std::abort();
}

#define CHECK(cond, what, detail)    \
  do {                               \
    if (!(cond)) Fail(what, detail); \
  } while (0)

// A stand-in ANSI code page whose result cannot be confused with Latin-1:
// bytes above 127 land in the private use area.
std::u16string MarkedAnsi(const std::string& bytes) {
  std::u16string out;
  for (const char c : bytes) {
    const unsigned char b = static_cast<unsigned char>(c);
    out.push_back(b < 0x80 ? b : static_cast<char16_t>(0xE000 + b));
  }
  return out;
}

std::u16string Latin1(const std::string& bytes) {
  std::u16string out;
  for (const char c : bytes) out.push_back(static_cast<unsigned char>(c));
  return out;
}

// A double-byte code page in miniature: a byte from 0x81 up takes the next
// byte, whatever it is, as its second byte (a CR included, as the system's
// converter does).
std::u16string PairingAnsi(const std::string& bytes) {
  std::u16string out;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const unsigned char b = static_cast<unsigned char>(bytes[i]);
    if (b < 0x81) {
      out.push_back(b);
    } else {
      out.push_back(i + 1 < bytes.size() ? u'\u3013' : u'\u30FB');
      ++i;
    }
  }
  return out;
}

bool AllAscii(const std::string& bytes) {
  for (const char c : bytes) {
    if (static_cast<unsigned char>(c) > 127) return false;
  }
  return true;
}

void CheckDecoding(const std::string& bytes) {
  const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::u16string withConverter = DecodeTemplateFile(bytes, MarkedAnsi);
  const std::u16string withoutConverter = DecodeTemplateFile(bytes, nullptr);
  const std::u16string expectedAnsi = MarkedAnsi(bytes);

  if (bytes.size() >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) {
    const std::string rest = bytes.substr(3);
    CHECK(withConverter == withoutConverter, "a UTF-8 file depends on the ANSI converter", withConverter);
    if (text::IsValidUtf8(rest)) {
      CHECK(withConverter == text::FromUtf8(rest), "UTF-8 file (with mark) decoded wrongly", withConverter);
    }
    // Each ill-formed byte costs at most one U+FFFD; nothing else is dropped
    // or added beyond what the bytes can hold.
    CHECK(withConverter.size() <= rest.size(), "UTF-8 decoding made more units than bytes", withConverter);
  } else if (bytes.size() >= 2 && b[0] == 0xFF && b[1] == 0xFE) {
    const std::size_t n = bytes.size() - 2;
    CHECK(withConverter.size() == (n + 1) / 2, "UTF-16 file decoded to the wrong length", withConverter);
    for (std::size_t k = 0; k < n / 2; ++k) {
      const char16_t unit = static_cast<char16_t>(b[2 + 2 * k] | (b[3 + 2 * k] << 8));
      CHECK(withConverter[k] == unit, "UTF-16 file: a code unit changed", withConverter);
    }
    CHECK(withConverter == withoutConverter, "a UTF-16 file depends on the ANSI converter", withConverter);
  } else if (!AllAscii(bytes) && text::IsValidUtf8(bytes)) {
    CHECK(withConverter == text::FromUtf8(bytes), "UTF-8 file (without mark) decoded wrongly", withConverter);
    CHECK(withConverter == withoutConverter, "a UTF-8 file depends on the ANSI converter", withConverter);
  } else {
    std::size_t crBytes = 0;
    for (const char c : bytes) crBytes += c == '\r';
    std::size_t crUnits = 0;
    for (const char16_t c : DecodeTemplateFile(bytes, PairingAnsi)) crUnits += c == u'\r';
    CHECK(crUnits == crBytes, "a line break was lost in decoding", DecodeTemplateFile(bytes, PairingAnsi));
    CHECK(withConverter == expectedAnsi, "ANSI file not decoded by the converter", withConverter);
    CHECK(withoutConverter == Latin1(bytes), "ANSI file without converter not read as Latin-1", withoutConverter);
  }
}

// ---- A plain reading of the template file, line by line ----------------------

// Lines end at CR LF or at a lone CR; a lone LF stays in its line; the break
// after the last line starts no further line.
std::vector<std::u16string> FileLines(const std::u16string& s) {
  std::vector<std::u16string> lines;
  std::u16string line;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == u'\r') {
      lines.push_back(line);
      line.clear();
      if (i + 1 < s.size() && s[i + 1] == u'\n') ++i;
    } else {
      line.push_back(s[i]);
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

bool IsHeader(const std::u16string& line) { return !line.empty() && line[0] == kHead; }

std::vector<std::u16string> ReferenceSplit(std::u16string entry) {
  std::vector<std::u16string> pieces;
  bool first = true;
  while (!entry.empty()) {
    const std::size_t n = entry.size() > kPiece ? kPiece : entry.size();
    pieces.push_back(first ? entry.substr(0, n) : kIndent + entry.substr(0, n));
    entry.erase(0, n);
    first = false;
  }
  return pieces;
}

// The templates of the file, whole (before splitting). "At its end" after
// reading line i means i is the last line.
std::vector<std::u16string> ReferenceTemplates(const std::u16string& fileText) {
  const std::vector<std::u16string> lines = FileLines(fileText);
  std::vector<std::u16string> templates;
  std::size_t i = 0;
  while (i < lines.size()) {
    if (!IsHeader(lines[i])) {
      ++i;
      continue;
    }
    if (i + 1 == lines.size()) break;  // a header on the last line: no template
    const std::u16string label = text::TrimTrailing(lines[i]) + u": ";
    std::u16string body;
    ++i;
    while (i < lines.size() && !IsHeader(lines[i])) {
      const std::u16string& line = lines[i];
      const bool separator = line.size() >= 2 && line[0] == u'=' && line[1] == u'=';
      if (!separator && !text::IsBlank(line)) body += text::TrimTrailing(line) + u"\r\n";
      ++i;
    }
    templates.push_back(label + text::Trim(body));
  }
  return templates;
}

std::u16string Rejoin(const std::vector<std::u16string>& pieces) {
  std::u16string whole;
  for (std::size_t k = 0; k < pieces.size(); ++k) {
    whole += k == 0 ? pieces[k] : pieces[k].substr(kIndent.size());
  }
  return whole;
}

void CheckSplit(const std::u16string& x) {
  const std::vector<std::u16string> pieces = SplitTemplate(x);
  CHECK(x.empty() == pieces.empty(), "an empty text gives pieces, or a text none", x);
  for (std::size_t k = 0; k < pieces.size(); ++k) {
    const std::u16string& p = pieces[k];
    if (k == 0) {
      CHECK(p.size() <= kPiece, "first piece longer than 500", p);
      CHECK(p == x.substr(0, p.size()), "first piece is not the text's start", p);
    } else {
      CHECK(p.size() > kIndent.size() && p.size() <= kPiece + kIndent.size(), "continuation piece of bad length", p);
      CHECK(p.compare(0, kIndent.size(), kIndent) == 0, "continuation piece without three spaces", p);
    }
    if (k + 1 < pieces.size()) {
      CHECK(p.size() == (k == 0 ? kPiece : kPiece + kIndent.size()), "a piece before the last is not full", p);
    }
  }
  if (!x.empty() && x[0] == kHead) CHECK(pieces[0][0] == kHead, "first piece lost the head mark", pieces[0]);
  CHECK(Rejoin(pieces) == x, "rejoined pieces differ from the text", x);
}

void CheckParse(const std::u16string& fileText) {
  const std::vector<std::u16string> items = ParseTemplateText(fileText);

  std::vector<std::u16string> expected;
  for (const std::u16string& t : ReferenceTemplates(fileText)) {
    for (std::u16string& piece : ReferenceSplit(t)) expected.push_back(std::move(piece));
  }
  CHECK(items.size() == expected.size(), "number of items differs from a plain reading", fileText);
  for (std::size_t k = 0; k < items.size(); ++k) {
    CHECK(items[k] == expected[k], "item differs from a plain reading", items[k]);
  }

  // The items come in groups: a head piece, then its continuations.
  std::size_t k = 0;
  while (k < items.size()) {
    const std::u16string& head = items[k];
    CHECK(!head.empty() && head[0] == kHead, "a template's first item does not begin with the head mark", head);
    CHECK(head.size() <= kPiece, "head item longer than 500", head);
    std::vector<std::u16string> group{head};
    ++k;
    while (k < items.size() && items[k][0] != kHead) {
      const std::u16string& previous = group.back();
      CHECK(previous.size() == (group.size() == 1 ? kPiece : kPiece + kIndent.size()),
            "a continuation follows a piece that was not full", items[k]);
      group.push_back(items[k]);
      ++k;
    }
    const std::u16string whole = Rejoin(group);
    CHECK(SplitTemplate(whole) == group, "a rejoined template splits differently", whole);
    // A template is its label and, when there are body lines, lines ended by
    // CR LF; the reader never lets a lone CR through.
    const std::size_t colon = whole.find(u": ");
    CHECK(colon != std::u16string::npos, "template without label end", whole);
    for (std::size_t i = 0; i < whole.size(); ++i) {
      if (whole[i] == u'\r') CHECK(i + 1 < whole.size() && whole[i + 1] == u'\n', "lone CR in a template", whole);
    }
    CHECK(whole.find(u'\r') == std::u16string::npos ||
              (whole.size() >= 2 && whole.compare(whole.size() - 2, 2, u"\r\n") == 0),
          "template with body lines does not end with CR LF", whole);
  }
}

void CheckFormLoad(const std::string& bytes) {
  fake::Reset();
  fake::ResetList();
  fake::State().files[kTemplateFilePath] = bytes;
  FillTemplateList(Latin1);
  std::vector<std::u16string> expected = BuiltInTemplates();
  for (const std::u16string& item : ParseTemplateText(DecodeTemplateFile(bytes, Latin1))) expected.push_back(item);
  CHECK(fake::List().items == expected, "Form_Load did not list the built-ins and the file's items", u"");

  if (bytes.empty()) {
    // No file at all: the built-ins alone.
    fake::Reset();
    fake::ResetList();
    FillTemplateList(Latin1);
    CHECK(fake::List().items == BuiltInTemplates(), "Form_Load without a file did not list the built-ins", u"");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  g_input = &bytes;

  CheckDecoding(bytes);
  const std::u16string fileText = DecodeTemplateFile(bytes, MarkedAnsi);
  CheckParse(fileText);
  CheckSplit(fileText);
  CheckFormLoad(bytes);

  g_input = nullptr;
  return 0;
}
