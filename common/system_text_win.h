// Text that Windows keeps outside our UTF-16 strings: texts in the system's
// ANSI code page, and the text of a window. Windows only.
#pragma once

#include <windows.h>

#include <string>

namespace system_text {

// Conversions between UTF-16 and the system's ANSI code page (CP_ACP), with
// explicit lengths: an embedded NUL is converted like any other character.
// The empty text when the conversion fails.
std::string WideToAnsi(const std::u16string& text);
std::u16string AnsiToWide(const std::string& text);

// Reads the text of `window` (its title, or a control's text) into `out`.
// False, with `out` empty, when the window reports text that could not be
// read; a window without text gives true and the empty text.
bool ReadWindowText(HWND window, std::u16string& out);

}  // namespace system_text
