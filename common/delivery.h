// Hands a statement text to a running SQL*Plus through the clipboard and its
// main window, by keystroke (active=yes in the settings) or by its paste
// command 201. Without that window, a running console sqlplus.exe gets the
// text typed into its console's input (console=no in the settings turns
// this off).
#pragma once

#include <string>

#include "platform_calls.h"

extern const char16_t kSqlPlusClass[];  // sqlplusWClass
extern const char16_t kSqlPlusTitle[];  // Oracle SQL*Plus

constexpr std::uint32_t kWmCommand = 273;
constexpr std::uintptr_t kSqlPlusPasteCommand = 201;

// ownWindow serves only to locate the settings file. With settle, SQL*Plus is
// re-activated for one second before the keystroke goes out. Runs in this
// session's delivery turn: one delivery of our programs at a time, until
// SQL*Plus has taken the paste. A SQL*Plus that runs with higher rights than
// this program gets nothing (it would drop it): the text stays on the
// clipboard and the program beeps. Reports nothing.
void DeliverToSqlPlus(const std::u16string& text, WindowHandle ownWindow, bool settle);
