#include "console_keys.h"

std::size_t AppendConsoleKeys(const std::u16string& text, std::size_t from, std::size_t maxKeys,
                              std::vector<ConsoleKey>& out) {
  std::size_t i = from;
  for (std::size_t added = 0; i < text.size() && added < maxKeys; ++i) {
    const char16_t unit = text[i];
    if (unit == u'\r' || unit == u'\n') {
      if (unit == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
      out.push_back({u'\r', kVirtualKeyReturn});
    } else if (unit == u'\t') {
      out.push_back({unit, kVirtualKeyTab});
    } else if (unit >= 0x20) {
      out.push_back({unit, 0});
    } else {
      continue;
    }
    ++added;
  }
  return i;
}
