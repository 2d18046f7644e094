// Image1's picture: the pixels of its JPEG, kept decoded as a bitmap in
// marlet.exe's resources, so that no start needs COM and the Windows Imaging
// Component (25 to 60 ms of every start under Wine), drawn at
// the window's DPI. Windows only.
#pragma once

#include <windows.h>

#include "gdi_objects_win.h"

struct Picture {
  OwnedBitmap bitmap;  // a DIB section; null when none
  int width = 0;       // its pixels
  int height = 0;
};

// Loads the picture resource of `instance`; an empty Picture when there is
// none or it cannot be loaded.
Picture LoadPicture(HINSTANCE instance);

// Paints the owner-drawn Image1: the button face, and on it the picture at
// its own size (its pixels at 96 dpi, in proportion at `dpi`).
void DrawPicture(const DRAWITEMSTRUCT& item, const Picture& picture, int dpi);
