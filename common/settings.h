// Locating and reading the settings file (a private-profile INI file).
#pragma once

#include <string>

#include "window_handle.h"

// The one settings file both programs read, its section, and the key whose
// value "yes" selects keystroke mode.
extern const char16_t kSettingsPath[];   // c:\vorn3\tovrin.ini
extern const char16_t kSettingsSection[];  // sql plus
extern const char16_t kSettingsKey[];      // active

// The settings-file path for the program that owns `window`: hostName when
// that program is vb6.exe or vb5.exe (and hostName is not empty), otherwise
// wantedName unchanged; the special wanted name "vorn3.ini" is derived from
// the module path and the current directory.
std::u16string GetIniName(WindowHandle window, const std::u16string& wantedName,
                          const std::u16string& hostName);

// The value of section/key in file, trimmed of spaces and, with lowerCase,
// lower-cased; the empty text when there is none. At most 199 code units of
// the value are read.
std::u16string ReadIniString(const std::u16string& file, const std::u16string& section,
                             const std::u16string& key, bool lowerCase);

// What the settings say about one delivery, read once for it (GetIniName for
// the program of `ownWindow`, then ReadIniString with lower-casing for each
// key of the section): "active" = "yes" selects keystroke mode (SQL*Plus
// brought to the front, Shift+Insert typed) over its paste command;
// "console" = "no" turns off the search for SQL*Plus in a console. A missing
// file, section or key reads as neither.
struct DeliverySettings {
  bool keystroke;
  bool consoleSearch;
};
DeliverySettings ReadDeliverySettings(WindowHandle ownWindow);
