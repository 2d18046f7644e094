// A text turned into the key presses that type it into a console's input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
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
// With tabAsSpace, a Tab is typed as a space (for a line editor that takes
// Tab as completion).
// One key per UTF-16 unit (a surrogate pair is two keys). CR LF, a lone CR
// and a lone LF are each one Enter; a CR LF is never split between two
// calls. Other control characters below U+0020 than Tab are not typed:
// Ctrl+C (U+0003) would interrupt the program that reads the console, others
// would edit its line.
std::size_t AppendConsoleKeys(const std::u16string& text, std::size_t from, std::size_t maxKeys,
                              std::vector<ConsoleKey>& out, bool tabAsSpace = false);

// How a console takes its input: one input record of 20 bytes per key (the
// key going down; line input reads no more), and Windows before 8 carries
// each console call through a heap of 64 KB per process, so one call holds
// at most 32 KB of records: 1,638 keys. A call refused for want of memory is
// tried again with half as many keys, down to kMinKeysPerConsoleCall.
constexpr std::size_t kConsoleRecordBytes = 20;
constexpr std::size_t kConsoleRecordsPerKey = 1;
constexpr std::size_t kMaxConsoleCallBytes = 32 * 1024;
constexpr std::size_t kMaxKeysPerConsoleCall = kMaxConsoleCallBytes / (kConsoleRecordBytes * kConsoleRecordsPerKey);
constexpr std::size_t kMinKeysPerConsoleCall = 16;

// What one write of keys into a console's input did: all or the first
// `written` of them went in, or the console had no memory for so many at
// once, or it failed otherwise (its program ended, its input is gone).
enum class ConsoleWrite { kWritten, kNoMemory, kFailed };
using ConsoleKeyWriter = std::function<ConsoleWrite(const ConsoleKey* keys, std::size_t count, std::size_t& written)>;

// Writes all keys in order through `write`, at most `limit` keys per call.
// A short write goes on from the first key not written; a call refused for
// want of memory halves `limit` (which stays lowered for the caller's next
// keys) and is tried again, until below kMinKeysPerConsoleCall. No key is
// written twice or skipped. False when the keys could not all be written.
bool WriteConsoleKeysInPieces(const std::vector<ConsoleKey>& keys, std::size_t& limit, const ConsoleKeyWriter& write);
