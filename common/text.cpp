#include "text.h"

#include <cstdint>
#include <cstring>
#include <memory>

namespace text {

std::u16string_view WithoutTrailingSpaces(std::u16string_view s) {
  std::size_t end = s.size();
  while (end > 0 && s[end - 1] == kSpace) --end;
  return s.substr(0, end);
}

std::u16string_view WithoutLeadingSpaces(std::u16string_view s) {
  std::size_t begin = 0;
  while (begin < s.size() && s[begin] == kSpace) ++begin;
  return s.substr(begin);
}

std::u16string TrimTrailing(const std::u16string& s) { return std::u16string(WithoutTrailingSpaces(s)); }

std::u16string TrimLeading(const std::u16string& s) { return std::u16string(WithoutLeadingSpaces(s)); }

std::u16string Trim(const std::u16string& s) { return TrimLeading(TrimTrailing(s)); }

bool IsBlank(std::u16string_view s) { return s.find_first_not_of(kSpace) == std::u16string_view::npos; }

bool StartsWith(const std::u16string& s, const std::u16string& prefix) {
  return s.size() >= prefix.size() && s.compare(0, prefix.size(), prefix) == 0;
}

bool EqualsIgnoringAsciiCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 0x20) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

std::u16string ToLower(const std::u16string& s) {
  std::u16string out = s;
  for (char16_t& c : out) {
    if ((c >= u'A' && c <= u'Z') || (c >= 0x00C0 && c <= 0x00DE && c != 0x00D7)) {
      c = static_cast<char16_t>(c + 0x20);
    } else if (c >= 0xFF21 && c <= 0xFF3A) {  // full-width A-Z
      c = static_cast<char16_t>(c + 0x20);
    }
  }
  return out;
}

namespace {

constexpr std::uint64_t kHighBits = 0x8080808080808080ull;

// The well-formed UTF-8 sequence of two to four bytes at p[i] (p[i] >= 0x80):
// its length, with its code point in cp; 0 when it is ill-formed (overlong,
// a surrogate, above U+10FFFF, cut short, or a stray byte).
std::size_t MultiByteSequence(const unsigned char* p, std::size_t i, std::size_t end, char32_t& cp) {
  const unsigned b0 = p[i];
  const auto tail = [&](std::size_t k) { return i + k < end && (p[i + k] & 0xC0) == 0x80; };
  if (b0 >= 0xC2 && b0 <= 0xDF && tail(1)) {
    cp = ((b0 & 0x1F) << 6) | (p[i + 1] & 0x3F);
    return 2;
  }
  if ((b0 & 0xF0) == 0xE0 && tail(1) && tail(2)) {
    cp = ((b0 & 0x0F) << 12) | ((p[i + 1] & 0x3F) << 6) | (p[i + 2] & 0x3F);
    return cp >= 0x800 && (cp < 0xD800 || cp > 0xDFFF) ? 3 : 0;
  }
  if (b0 >= 0xF0 && b0 <= 0xF4 && tail(1) && tail(2) && tail(3)) {
    cp = ((b0 & 0x07) << 18) | ((p[i + 1] & 0x3F) << 12) | ((p[i + 2] & 0x3F) << 6) | (p[i + 3] & 0x3F);
    return cp >= 0x10000 && cp <= 0x10FFFF ? 4 : 0;
  }
  return 0;
}

}  // namespace

bool IsValidUtf8(const std::string& bytes) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t end = bytes.size();
  std::size_t i = 0;
  while (i < end) {
    while (i + 8 <= end && (LoadWord(p + i) & kHighBits) == 0) i += 8;
    if (i == end) break;
    if (p[i] < 0x80) {
      ++i;
      continue;
    }
    char32_t cp;
    const std::size_t n = MultiByteSequence(p, i, end, cp);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

std::u16string FromLatin1(const std::string& bytes) {
  std::u16string out;
  out.reserve(bytes.size());
  for (const char c : bytes) out.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
  return out;
}

// Each byte that does not start a well-formed sequence becomes U+FFFD.
// Well-formed means what IsValidUtf8 accepts: both use MultiByteSequence.
std::u16string FromUtf8(const std::string& bytes) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t end = bytes.size();
  // Never more code units than bytes: decode into a buffer of that size
  // (not zero-filled first), then take the part written.
  const std::unique_ptr<char16_t[]> buffer(new char16_t[end + 1]);
  char16_t* const first = buffer.get();
  char16_t* o = first;
  std::size_t i = 0;
  while (i < end) {
    // Runs of ASCII are the common case: eight bytes at a time while they
    // last, then byte by byte.
    while (i + 8 <= end && (LoadWord(p + i) & kHighBits) == 0) {
      for (std::size_t k = 0; k < 8; ++k) o[k] = p[i + k];
      o += 8;
      i += 8;
    }
    while (i < end && p[i] < 0x80) *o++ = p[i++];
    if (i == end) break;

    char32_t cp;
    const std::size_t n = MultiByteSequence(p, i, end, cp);
    if (n == 0) {
      *o++ = kReplacement;
      ++i;
      continue;
    }
    if (cp < 0x10000) {
      *o++ = static_cast<char16_t>(cp);
    } else {
      *o++ = static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
      *o++ = static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
    }
    i += n;
  }
  return std::u16string(first, static_cast<std::size_t>(o - first));
}

std::string ToUtf8(const std::u16string& s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    char32_t cp = s[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

}  // namespace text
