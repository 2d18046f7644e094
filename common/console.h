// Console programs. A console program's window is its console's
// (conhost.exe's or a terminal's), known only while attached to that
// console. Text reaches such a program by key presses written to its
// console's input. Implemented for Windows in console_win.cpp; the unit
// tests link a fake.
#pragma once

#include <functional>
#include <vector>

#include "console_choice.h"
#include "console_keys.h"

// The running programs of the kind asked for that have a console, each with
// its console's window, that window's root owner and the console's title.
// sqlplus.exe is known by its file name (any letter case); SQLcl by its
// launcher sql.exe whose folder's parent holds lib\dbtools-sqlcl.jar (a
// sql.exe elsewhere, or whose file cannot be located, is left out).
// Programs that cannot be opened or whose console cannot be attached
// (another user's, an elevated one) are left out without a word.
std::vector<ConsoleProcess> FindConsoleProcesses(ConsoleProgram program);

// The visible top-level windows, from the top of the Z order down, each
// with its class, its title, its owner and whether it is minimised, a tool
// window or cloaked.
std::vector<TopWindow> VisibleTopWindows();

// Types into the console of `process`: attaches this program to that console
// (leaving any console of its own first) and opens its input, runs `type`
// with a writer of keys into that input, and leaves the console again when
// `type` returns. The console's control events (Ctrl+C, Ctrl+Break) are
// ignored meanwhile. False, and `type` not run, when the process has ended,
// its id now belongs to another process, or its console cannot be attached
// or opened; else what `type` returns.
//
// The writer writes keys[0..count) in one call, one input record per key,
// unless the process has ended: then the console may serve another program
// (the command prompt it was started from), and nothing is written. It
// returns at once: the keys wait in the input until the program reads them.
// `written` is how many of the first keys the console took (it may take
// fewer than asked).
typedef std::function<bool(const ConsoleKeyWriter& write)> ConsoleTyping;
bool TypeIntoConsoleOf(const ConsoleProcess& process, const ConsoleTyping& type);
