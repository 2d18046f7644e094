// Where a top-level window goes when it opens. Windows only.
#pragma once

#include <windows.h>

// Top-left corner of a window of `size` centred on the work area of `monitor`
// (the screen without the taskbar), kept inside that area at its top and
// left: a window larger than the area shows its title bar, never above or to
// the left of the screen. With no monitor, the primary screen.
POINT CentredOn(HMONITOR monitor, SIZE size);
