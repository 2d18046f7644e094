// Small helpers for UTF-16 text. Text throughout the tools is std::u16string:
// UTF-16 code units, counted as the tools count them. A line break is CR LF;
// a space is U+0020 and nothing else.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace text {

constexpr char16_t kSpace = u' ';
constexpr char16_t kCr = u'\r';
constexpr char16_t kLf = u'\n';
constexpr char16_t kReplacement = u'\uFFFD';  // stands for what could not be decoded

// Removes U+0020 from both ends, from the end only, or from the start only.
std::u16string Trim(const std::u16string& s);
std::u16string TrimTrailing(const std::u16string& s);
std::u16string TrimLeading(const std::u16string& s);
// The same as views into s, for readers that keep no copy.
std::u16string_view WithoutTrailingSpaces(std::u16string_view s);
std::u16string_view WithoutLeadingSpaces(std::u16string_view s);

// True when s is empty or holds nothing but U+0020.
bool IsBlank(std::u16string_view s);

bool StartsWith(const std::u16string& s, const std::u16string& prefix);

// True when a and b are equal with the ASCII letters A-Z taken as a-z; every
// other code unit must match exactly.
bool EqualsIgnoringAsciiCase(std::u16string_view a, std::u16string_view b);

// Lower-cases A-Z, the Latin-1 capitals and the full-width Latin capitals;
// every other code unit stays as it is.
std::u16string ToLower(const std::u16string& s);

// Conversions between UTF-8 and UTF-16. Invalid input never throws: a bad
// UTF-8 sequence or a lone surrogate becomes U+FFFD.
std::u16string FromUtf8(const std::string& s);
std::string ToUtf8(const std::u16string& s);

// True when the bytes are well-formed UTF-8 (no overlongs, no surrogates):
// the same test as FromUtf8's, without building the text.
bool IsValidUtf8(const std::string& bytes);

// Each byte as the code point of the same value (ISO 8859-1): the reading of
// ANSI text when no converter of the system's code page is at hand.
std::u16string FromLatin1(const std::string& bytes);

// Eight bytes from any address as one plain 64-bit word, for scanning text a
// word at a time without processor-specific instructions.
inline std::uint64_t LoadWord(const void* at) {
  std::uint64_t word;
  std::memcpy(&word, at, sizeof word);
  return word;
}

}  // namespace text
