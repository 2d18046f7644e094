#include "console_keys.h"

std::vector<ConsoleKey> ConsoleKeysFor(const std::u16string& text) {
  std::vector<ConsoleKey> keys;
  keys.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    if (unit == u'\r' || unit == u'\n') {
      if (unit == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
      keys.push_back({u'\r', kVirtualKeyReturn});
    } else if (unit == u'\t') {
      keys.push_back({unit, kVirtualKeyTab});
    } else if (unit >= 0x20) {
      keys.push_back({unit, 0});
    }
  }
  return keys;
}
