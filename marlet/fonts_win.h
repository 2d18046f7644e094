// The fonts of Form1's controls at a DPI. Windows only.
#pragma once

#include <windows.h>

// Combo1's own font (layout.h), or the closest Japanese face where it is
// missing; with none of them there, the font mapper picks a Shift-JIS face
// for the first. Null when no font could be made.
HFONT CreateCombo1Font(int dpi);

// The font of every other control: the system's message font at `dpi`, else
// one like the stock GUI font. Either is the caller's to delete. Null when no
// font could be made (the controls then show the system font).
HFONT CreateUiFont(int dpi);
