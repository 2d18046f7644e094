// marlet's window Form1 on Windows: creation (with Form_Load), the message
// loop, and the per-process setup the window needs.
#pragma once

#include <windows.h>

// Declares the process DPI-aware where the manifest was not honoured.
void Form1PrepareProcess();

// Creates Form1 and its controls, runs Form_Load (fills Combo1) and shows the
// window centred on the screen with the focus in Combo1. False when the
// window could not be created.
bool Form1Create(HINSTANCE instance, int showCommand);

// Runs the message loop until Form1 is closed; returns the exit code.
int Form1RunMessageLoop();
