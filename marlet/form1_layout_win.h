// Form1's controls and their layout at a DPI: built from the twips table of
// layout.h, with their fonts and the labels' colours; the window's frame size
// and centred place; the lines on the window's surface. Windows only.
#pragma once

#include <windows.h>

// Form1's window styles: a fixed border, no maximise box.
constexpr DWORD kForm1Style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD kForm1ExStyle = 0;

// The DPI the controls are laid out for.
int Form1Dpi();

// Creates every control of the table on `form`, laid out for `dpi`; Combo1
// is attached to the list functions.
void CreateControls(HWND form, HINSTANCE instance, int dpi);

// The control with dialog id `id`; null when there is none (yet).
HWND ControlWindow(int id);

// Gives the controls their places and fonts for `dpi` and repaints the
// window. The window itself is sized by the caller.
void LayOutControls(HWND form, int dpi);

// The window's size for the client area of the table at `dpi`.
SIZE FrameSize(int dpi);

// Top-left corner of a window of `size` centred on the work area of `monitor`.
POINT CentredOn(HMONITOR monitor, SIZE size);

// Paints the lines of the table (WM_PAINT).
void PaintLines(HWND form);

// The brush for a label of its own colour, with the colour set on `dc`; null
// for the other controls (WM_CTLCOLORSTATIC).
HBRUSH LabelBrush(int id, HDC dc);

// The controls are gone (WM_DESTROY); their fonts and brushes are freed
// (WM_NCDESTROY).
void ForgetControls();
void FreeControlResources();
