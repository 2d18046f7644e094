#include "console_keys.h"

#include <algorithm>

std::size_t AppendConsoleKeys(const std::u16string& text, std::size_t from, std::size_t maxKeys,
                              std::vector<ConsoleKey>& out, bool tabAsSpace) {
  std::size_t i = from;
  for (std::size_t added = 0; i < text.size() && added < maxKeys; ++i) {
    const char16_t unit = text[i];
    if (unit == u'\r' || unit == u'\n') {
      if (unit == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
      out.push_back({u'\r', kVirtualKeyReturn});
    } else if (unit == u'\t') {
      out.push_back(tabAsSpace ? ConsoleKey{u' ', 0} : ConsoleKey{unit, kVirtualKeyTab});
    } else if (unit >= 0x20) {
      out.push_back({unit, 0});
    } else {
      continue;
    }
    ++added;
  }
  return i;
}

bool WriteConsoleKeysInPieces(const std::vector<ConsoleKey>& keys, std::size_t& limit, const ConsoleKeyWriter& write) {
  if (limit > kMaxKeysPerConsoleCall) limit = kMaxKeysPerConsoleCall;
  std::size_t done = 0;
  while (done < keys.size()) {
    if (limit < kMinKeysPerConsoleCall) return false;
    const std::size_t count = std::min(limit, keys.size() - done);
    std::size_t written = 0;
    const ConsoleWrite result = write(keys.data() + done, count, written);
    // What the console reports as taken counts whatever the result, so that
    // a key is never typed again; a report beyond the call's keys is false.
    if (written > count) return false;
    done += written;
    if (result == ConsoleWrite::kNoMemory) {
      limit /= 2;
    } else if (result == ConsoleWrite::kFailed || written == 0) {
      return false;
    }
  }
  return true;
}
