// What the user is told: the message box and the beep. Implemented for
// Windows in boxes_win.cpp; the unit tests link a fake.
#pragma once

#include <string>

// Message box styles and answers the programs use.
constexpr int kMbYesNoCancelQuestion = 35;
constexpr int kMbOkExclamation = 48;
constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;
constexpr int kIdYes = 6;
constexpr int kIdNo = 7;

// Modal; returns the button pressed (6 Yes, 7 No, 2 Cancel, also for Esc and
// the close box, 1 OK), or 0 when the box could not be shown.
int ShowMessageBox(const std::u16string& text, int style, const std::u16string& title);

// The default system sound.
void Beep();
