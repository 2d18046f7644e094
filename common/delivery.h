// Hands a statement text to a running SQL*Plus through the clipboard and its
// main window, by keystroke (active=yes in the settings) or by its paste
// command 201. Without that window, a running console sqlplus.exe gets the
// text typed into its console's input (console=no in the settings turns
// this off).
#pragma once

#include <string>

#include "window_handle.h"

extern const char16_t kSqlPlusClass[];  // sqlplusWClass
extern const char16_t kSqlPlusTitle[];  // Oracle SQL*Plus

constexpr std::uintptr_t kSqlPlusPasteCommand = 201;

// ownWindow locates the settings file, and goes out of sight once the paste
// is handed over. With settle, SQL*Plus is re-activated for one second
// before the keystroke goes out. Runs in this session's delivery turn: one
// delivery of our programs at a time, until SQL*Plus has taken the paste
// (for as long as SQL*Plus runs a statement first); without the turn nothing
// is written or pasted and the program beeps. A copy the user makes
// meanwhile is put back afterwards when it is text only, and never touched
// otherwise (nothing is pasted over it, with a beep). A SQL*Plus that runs
// with higher rights than this program gets nothing (it would drop it): the
// text stays on the clipboard and the program beeps. Afterwards the
// clipboard holds the text (or the user's newer copy). Reports nothing else.
void DeliverToSqlPlus(const std::u16string& text, WindowHandle ownWindow, bool settle);
