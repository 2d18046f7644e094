// Everything Form1 holds while it is open: its window and controls, the fonts
// and brushes they are drawn with (owned: freed with the state), Image1's
// picture and the marks its handlers keep. One plain structure, g_form1.
// Windows only.
#pragma once

#include <windows.h>

#include "gdi_objects_win.h"
#include "layout.h"
#include "newer_windows_win.h"
#include "picture_win.h"

// The controls' fonts, made for one DPI and replaced as a pair.
struct Form1Fonts {
  OwnedFont combo;  // Combo1's own
  OwnedFont ui;     // every other control's
};

struct Form1State {
  HINSTANCE instance = nullptr;
  HWND form = nullptr;                          // null once the window is being destroyed
  HWND controls[layout::kControlCount] = {};    // in the order of layout::kControls
  HWND comboList = nullptr;                     // the list box inside Combo1
  HWND lastFocus = nullptr;                     // given the focus back when the window is activated
  int dpi = newer_windows::kDefaultDpi;         // the DPI the controls are laid out for
  Form1Fonts fonts;
  OwnedBrush labelBrushes[layout::kControlCount];  // for the labels of their own colour
  Picture picture;
  bool settingSelection = false;                // Combo1's edit field is being changed by the code
};

extern Form1State g_form1;

// The state of the open Form1; null when there is none.
Form1State* OpenForm1State();

// The control with dialog id `id`; null when there is none (yet).
HWND ControlWindow(const Form1State& state, int id);

// Frees the fonts, brushes and picture and forgets every handle: the state is
// as before the window was made. Once its controls are gone (WM_NCDESTROY).
void Form1Release(Form1State& state);
