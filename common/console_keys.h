// A text turned into the key presses that type it into a console's input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// One key press: the UTF-16 unit it types and its virtual-key code (Enter
// and Tab carry theirs; every other unit is typed as a character alone, 0).
struct ConsoleKey {
  char16_t unit;
  std::uint16_t virtualKey;
};

constexpr std::uint16_t kVirtualKeyTab = 0x09;
constexpr std::uint16_t kVirtualKeyReturn = 0x0D;

// Appends to `out` the keys for text[from...], at most maxKeys of them, and
// returns the position after the units they type (text.size() at the end).
// One key per UTF-16 unit (a surrogate pair is two keys). CR LF, a lone CR
// and a lone LF are each one Enter; a CR LF is never split between two
// calls. Other control characters below U+0020 than Tab are not typed:
// Ctrl+C (U+0003) would interrupt the program that reads the console, others
// would edit its line.
std::size_t AppendConsoleKeys(const std::u16string& text, std::size_t from, std::size_t maxKeys,
                              std::vector<ConsoleKey>& out);
