// Lines as SQL*Plus takes them. SQL*Plus drops a line that is too long (and
// runs the rest of the statement without it), and it acts on some lines by
// themselves wherever they stand, even inside a literal or a comment that
// spans lines: a line that is "/" or "." alone ends the statement's entry,
// and a line that starts with "#" runs at once as a SQL*Plus command.
// FitLines breaks long lines where SQL allows a line break, and tells what
// cannot be pasted as it is.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace sqlplus_lines {

// The longest line SQL*Plus takes, counted by LineBytes.
constexpr std::size_t kLimitBytes = 2499;

// A line's length as SQL*Plus may count it, the line break not counted: its
// bytes in UTF-8, except that each half of a surrogate pair counts three (a
// character beyond U+FFFF takes six bytes in Oracle's older UTF8 character
// set, four in UTF-8), as does a lone surrogate. No client character set
// takes more bytes for any text.
std::size_t LineBytes(std::u16string_view line);

enum class Found {
  kNothing,     // every line fits (long lines were broken to fit)
  kTooLong,     // a line cannot be broken into lines that fit
  kActingLine,  // a literal, quoted name or comment that spans lines holds a
                // line that SQL*Plus acts on by itself
};

// What holds the place that was found.
enum class Holder {
  kCode,        // SQL outside literals and comments: for kTooLong, a run
                // without a space or comma where a line could be broken
  kLiteral,     // a text literal: '...', N'...', q'[...]' and its kin
  kQuotedName,  // "..."
  kComment,     // -- ... or /* ... */
};

struct Outcome {
  Found found = Found::kNothing;
  Holder holder = Holder::kCode;
  std::size_t line = 0;  // 1-based, in the text as it was given; 0 with kNothing
};

// Brings every line of `text` (lines are separated by CR LF) within
// `limitBytes`. A long line is broken where SQL allows a line break: one
// space or tab between two tokens becomes CR LF, or CR LF is put right after
// a comma; never inside a literal, quoted name or comment. A line made by a
// break never ends with ";" (SQL*Plus would run the statement there), "-"
// (it continues a SQL*Plus command), a space or a tab, is never blank, "/"
// or "." alone, and never starts with "#" or "@" (spaces and tabs around
// them not counted).
// Lines that fit are kept as they are: text whose lines all fit comes back
// exactly as it was given.
//
// A line counts as acted on when, without the spaces and tabs around it, it
// is "/" or "." or starts with "#"; besides CR LF, a lone CR or LF is taken
// to begin such a line here, in case SQL*Plus takes it as a line break.
//
// Anything found leaves `text` exactly as it was given. A literal, quoted
// name or comment left open at the end runs to the end of the text.
Outcome FitLines(std::u16string& text, std::size_t limitBytes = kLimitBytes);

// The tokens of `text` as FitLines sees them, in order, without the white
// space (space, tab, CR, LF) between them: each literal, quoted name and
// comment whole, each comma alone, and every other run of characters up to
// white space, a comma or the start of one of those.
std::vector<std::u16string> Tokens(std::u16string_view text);

}  // namespace sqlplus_lines
