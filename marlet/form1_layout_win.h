// Form1's controls and their layout at a DPI: built from the twips table of
// layout.h, with their fonts and the labels' colours; the window's frame size;
// the lines on the window's surface. What they hold is kept in the window's
// state (form1_state_win.h). Windows only.
#pragma once

#include <windows.h>

#include "form1_state_win.h"

// Form1's window styles: a fixed border, no maximise box.
constexpr DWORD kForm1Style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD kForm1ExStyle = 0;

// Creates every control of the table on the state's window, laid out for
// `dpi`.
void CreateControls(Form1State& state, int dpi);

// Gives the controls their places and fonts for `dpi` and repaints the
// window. The window itself is sized by the caller.
void LayOutControls(Form1State& state, int dpi);

// The window's size for the client area of the table at `dpi`.
SIZE FrameSize(int dpi);

// Paints the lines of the table (WM_PAINT).
void PaintLines(const Form1State& state);

// The brush for a label of its own colour, with the colour set on `dc`; null
// for the other controls (WM_CTLCOLORSTATIC).
HBRUSH LabelBrush(const Form1State& state, int id, HDC dc);
