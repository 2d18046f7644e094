// Everything Form1 holds while it is open: its window and controls, the fonts
// and brushes they are drawn with, Image1's picture and the marks its
// handlers keep. One plain structure that the window owns: made at
// WM_NCCREATE, kept in the window's GWLP_USERDATA, freed with the fonts,
// brushes and picture it owns at WM_NCDESTROY. Windows only.
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
  HWND window = nullptr;                        // Form1's window, for as long as the state lives
  bool closing = false;                         // the window is being destroyed: nothing more is done with it
  HWND controls[layout::kControlCount] = {};    // in the order of layout::kControls
  HWND comboList = nullptr;                     // the list box inside Combo1
  HWND lastFocus = nullptr;                     // given the focus back when the window is activated
  int dpi = newer_windows::kDefaultDpi;         // the DPI the controls are laid out for
  Form1Fonts fonts;
  OwnedBrush labelBrushes[layout::kControlCount];  // for the labels of their own colour
  Picture picture;
  bool settingSelection = false;                // Combo1's edit field is being changed by the code
};

// Makes the state of the window being created and attaches it to the window
// (WM_NCCREATE): it is then the open Form1's. False when there is no memory
// for it.
bool Form1StateCreate(HWND window, const CREATESTRUCTW& create);

// The state attached to `window`; null before its WM_NCCREATE and after its
// WM_NCDESTROY.
Form1State* Form1StateOf(HWND window);

// The state of the open Form1 (from its window's WM_NCCREATE to its
// WM_NCDESTROY); null when there is none.
Form1State* OpenForm1State();

// Detaches the state from `window` and frees it with what it owns. Once the
// controls are gone (WM_NCDESTROY).
void Form1StateDestroy(HWND window);

// The control with dialog id `id`; null when there is none (yet).
HWND ControlWindow(const Form1State& state, int id);
