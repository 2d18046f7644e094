// Brings SQL text into the one shape that is pasted into SQL*Plus: one line
// per kept line, each ended by CR LF, no blank lines, no trailing spaces, and
// a last line that ends with ";" or "/" (else a line holding ";" is added).
#pragma once

#include <string>

// Returns the empty text when nothing is left to send. With
// dropSeparatorLines, lines whose first two code units are "==" are left out.
std::u16string PrepareStatementText(const std::u16string& raw, bool dropSeparatorLines);
