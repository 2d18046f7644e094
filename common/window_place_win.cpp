#include "window_place_win.h"

POINT CentredOn(HMONITOR monitor, SIZE size) {
  MONITORINFO info = {};
  info.cbSize = sizeof(info);
  RECT work = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  if (monitor && GetMonitorInfoW(monitor, &info)) work = info.rcWork;
  LONG x = work.left + (work.right - work.left - size.cx) / 2;
  LONG y = work.top + (work.bottom - work.top - size.cy) / 2;
  if (x < work.left) x = work.left;
  if (y < work.top) y = work.top;
  return POINT{x, y};
}
