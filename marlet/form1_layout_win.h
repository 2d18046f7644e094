// Form1's controls and their layout at a DPI: built from the twips table of
// layout.h, with their fonts and the labels' colours; the window's frame size;
// the lines on the window's surface. What they hold is kept in g_form1
// (form1_state_win.h). Windows only.
#pragma once

#include <windows.h>

// Form1's window styles: a fixed border, no maximise box.
constexpr DWORD kForm1Style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD kForm1ExStyle = 0;

// Creates every control of the table on g_form1's window, laid out for `dpi`.
void CreateControls(int dpi);

// The control with dialog id `id`; null when there is none (yet).
HWND ControlWindow(int id);

// Gives the controls their places and fonts for `dpi` and repaints the
// window. The window itself is sized by the caller.
void LayOutControls(HWND form, int dpi);

// The window's size for the client area of the table at `dpi`.
SIZE FrameSize(int dpi);

// Paints the lines of the table (WM_PAINT).
void PaintLines(HWND form);

// The brush for a label of its own colour, with the colour set on `dc`; null
// for the other controls (WM_CTLCOLORSTATIC).
HBRUSH LabelBrush(int id, HDC dc);
