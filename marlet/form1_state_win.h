// Everything Form1 holds while it is open: its window and controls, the fonts
// and brushes they are drawn with, Image1's picture and the marks its
// handlers keep. One plain structure, g_form1; Form1Release frees what it owns.
// Windows only.
#pragma once

#include <windows.h>

#include "layout.h"
#include "newer_windows_win.h"
#include "picture_win.h"

// The controls' fonts, made for one DPI and replaced as a pair.
struct Form1Fonts {
  HFONT combo = nullptr;  // Combo1's own
  HFONT ui = nullptr;     // every other control's
};

struct Form1State {
  HINSTANCE instance = nullptr;
  HWND form = nullptr;                          // null once the window is being destroyed
  HWND controls[layout::kControlCount] = {};    // in the order of layout::kControls
  HWND comboList = nullptr;                     // the list box inside Combo1
  HWND lastFocus = nullptr;                     // given the focus back when the window is activated
  int dpi = newer_windows::kDefaultDpi;         // the DPI the controls are laid out for
  Form1Fonts fonts;
  HBRUSH labelBrushes[layout::kControlCount] = {};  // for the labels of their own colour
  Picture picture;
  bool settingSelection = false;                // Combo1's edit field is being changed by the code
};

extern Form1State g_form1;

// Deletes the fonts and leaves the pair empty.
void FreeFonts(Form1Fonts& fonts);

// Frees the fonts, brushes and picture and forgets every handle: the state is
// as before the window was made. Once its controls are gone (WM_NCDESTROY).
void Form1Release(Form1State& state);
