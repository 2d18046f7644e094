// The fonts of Form1's controls at a DPI. Windows only.
#pragma once

#include <windows.h>

// Combo1's own font (layout.h), or the closest Japanese face where it is
// missing; with none of them there, the font mapper picks a Shift-JIS face
// for the first. Null when no font could be made.
HFONT CreateCombo1Font(int dpi);

// The font of every other control: the system's message font at `dpi`.
// Where that cannot be had, the stock GUI font, and `isStock` is set: the
// stock font must not be deleted.
HFONT CreateUiFont(int dpi, bool& isStock);
