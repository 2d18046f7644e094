#include "system_text_win.h"

#include <climits>

#include "wide_win.h"

namespace system_text {

std::string WideToAnsi(const std::u16string& text) {
  if (text.empty() || text.size() > static_cast<std::size_t>(INT_MAX)) return std::string();
  const int units = static_cast<int>(text.size());
  const int bytes = WideCharToMultiByte(CP_ACP, 0, wide::Ptr(text), units, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return std::string();
  std::string out(static_cast<std::size_t>(bytes), '\0');
  const int written = WideCharToMultiByte(CP_ACP, 0, wide::Ptr(text), units, &out[0], bytes, nullptr, nullptr);
  if (written <= 0) return std::string();
  out.resize(static_cast<std::size_t>(written));
  return out;
}

std::u16string AnsiToWide(const std::string& text) {
  if (text.empty() || text.size() > static_cast<std::size_t>(INT_MAX)) return std::u16string();
  const int bytes = static_cast<int>(text.size());
  const int units = MultiByteToWideChar(CP_ACP, 0, text.data(), bytes, nullptr, 0);
  if (units <= 0) return std::u16string();
  std::u16string out(static_cast<std::size_t>(units), u'\0');
  const int written = MultiByteToWideChar(CP_ACP, 0, text.data(), bytes, wide::Ptr(out), units);
  if (written <= 0) return std::u16string();
  out.resize(static_cast<std::size_t>(written));
  return out;
}

bool ReadWindowText(HWND window, std::u16string& out) {
  out.clear();
  // Of a window of this process, the length and the text are asked for with
  // messages; of another program's, they are read from the system, without
  // waiting on its thread. The length may be larger than the text (never
  // smaller), and the text may change in between: what was read counts.
  const int length = GetWindowTextLengthW(window);
  if (length <= 0) return true;
  std::u16string buffer(static_cast<std::size_t>(length) + 1, u'\0');
  const int got = GetWindowTextW(window, wide::Ptr(buffer), length + 1);
  if (got <= 0) return false;
  buffer.resize(static_cast<std::size_t>(got < length ? got : length));
  out.swap(buffer);
  return true;
}

}  // namespace system_text
