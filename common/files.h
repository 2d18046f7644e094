// Files and folders: the template file read whole, and the current directory
// that the settings file's special name is derived from. Implemented for
// Windows in files_win.cpp; the unit tests link a fake.
#pragma once

#include <string>

// Reads a whole file into `out`. False when it cannot be opened or read
// (missing, locked, a directory).
bool ReadFileBytes(const std::u16string& path, std::string& out);

// Full path of the current directory; empty on failure.
std::u16string CurrentDirectory();
