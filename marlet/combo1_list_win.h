// Combo1 on Windows: the list functions of form1.h work on Form1's combo box
// (none: they do nothing), and the window reports the user's edits through
// these. Windows only.
#pragma once

#include <windows.h>

// Combo1 has just been made: its list box is found, for the list functions.
void Combo1Created(HWND combo);
HWND Combo1Window();

// Stops or restarts the drawing of the combo box and its list, around a
// long filling.
void Combo1SetRedraw(bool on);

// The user typed or edited in the edit field: no item is selected any more.
void Combo1EditChanged();

// True when the double-click now being handled fell on an item of the list
// (not on the empty space below the items or on the edit field).
bool Combo1DoubleClickOnItem();
