// What marlet's window gives the code that works on it: the template list
// Combo1 (items, selection, the edit field's text), the window's handle and
// its closing. The Windows window implements these; tests use a fake list.
#pragma once

#include <string>

#include "window_handle.h"

// Combo1. Selecting an item makes its text the current text.
void ListAddItem(const std::u16string& item);
int ListCount();
int ListSelectedIndex();  // -1: no item selected
bool ListSetSelectedIndex(int index);
bool ListGetCurrentText(std::u16string& out);
// The text of item `index`, read without selecting it. False for an index
// outside the items or a failed read.
bool ListGetItemText(int index, std::u16string& out);

// Form1.
WindowHandle Form1Handle();
void Form1Close();
