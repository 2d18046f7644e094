// The message marlet shows when the text cannot be pasted as SQL*Plus would
// take it (sqlplus_lines.h): what was found, where, and that nothing was sent.
#pragma once

#include <string>

#include "sqlplus_lines.h"

extern const std::u16string kNotSentTitle;

// `text` is the text as it was given to FitLines, whose outcome is `found`.
std::u16string NotSentMessage(const sqlplus_lines::Outcome& found, const std::u16string& text);
