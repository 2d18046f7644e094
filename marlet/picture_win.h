// Image1's picture: the JPEG in marlet.exe's resources, decoded once by the
// Windows Imaging Component, and drawn at the window's DPI. Windows only.
#pragma once

#include <windows.h>

struct Picture {
  HBITMAP bitmap = nullptr;  // 32 bits per pixel, top-down; null when none
  int width = 0;             // its pixels
  int height = 0;
};

// Decodes the picture resource of `instance`. COM must be initialised on the
// thread. An empty Picture when there is no resource or it does not decode.
Picture DecodePicture(HINSTANCE instance);

// Paints the owner-drawn Image1: the button face, and on it the picture at
// its own size (its pixels at 96 dpi, in proportion at `dpi`).
void DrawPicture(const DRAWITEMSTRUCT& item, const Picture& picture, int dpi);

void FreePicture(Picture& picture);
