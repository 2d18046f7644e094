// Combo1 on Windows: the list functions of form1.h work on the open Form1's
// combo box (none: they do nothing), and the window reports the user's edits
// through these, each given the window's state. Windows only.
#pragma once

#include <windows.h>

#include "form1_state_win.h"

// Combo1 has just been made: its list box is found, for the list functions.
void Combo1Created(Form1State& state);
HWND Combo1Window(const Form1State& state);

// Stops or restarts the drawing of the combo box and its list, around a
// long filling.
void Combo1SetRedraw(const Form1State& state, bool on);

// The user typed or edited in the edit field: no item is selected any more.
void Combo1EditChanged(const Form1State& state);

// True when the double-click now being handled fell on an item of the list
// (not on the empty space below the items or on the edit field).
bool Combo1DoubleClickOnItem(const Form1State& state);
