// Image1's picture, loaded from marlet.exe's bitmap resource.
#include "picture_win.h"

#include "newer_windows_win.h"
#include "resource.h"

Picture LoadPicture(HINSTANCE instance) {
  Picture picture;
  // A DIB section keeps the pixels as they are stored; a compatible bitmap
  // would take the display's colour depth (dithered on a 256-colour one).
  picture.bitmap.reset(static_cast<HBITMAP>(
      LoadImageW(instance, MAKEINTRESOURCEW(IDB_PICTURE), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
  BITMAP info = {};
  if (picture.bitmap && GetObjectW(picture.bitmap.get(), sizeof(info), &info) == sizeof(info) &&
      info.bmWidth > 0 && info.bmHeight > 0) {
    picture.width = info.bmWidth;
    picture.height = info.bmHeight;
  } else {
    picture = Picture();
  }
  return picture;
}

void DrawPicture(const DRAWITEMSTRUCT& item, const Picture& picture, int dpi) {
  FillRect(item.hDC, &item.rcItem, GetSysColorBrush(COLOR_BTNFACE));
  if (!picture.bitmap) return;
  HDC memory = CreateCompatibleDC(item.hDC);
  if (!memory) return;
  HGDIOBJ old = SelectObject(memory, picture.bitmap.get());
  const int w = MulDiv(picture.width, dpi, newer_windows::kDefaultDpi);
  const int h = MulDiv(picture.height, dpi, newer_windows::kDefaultDpi);
  if (w == picture.width && h == picture.height) {
    BitBlt(item.hDC, item.rcItem.left, item.rcItem.top, w, h, memory, 0, 0, SRCCOPY);
  } else {
    SetStretchBltMode(item.hDC, HALFTONE);
    SetBrushOrgEx(item.hDC, 0, 0, nullptr);
    StretchBlt(item.hDC, item.rcItem.left, item.rcItem.top, w, h, memory, 0, 0, picture.width, picture.height,
               SRCCOPY);
  }
  SelectObject(memory, old);
  DeleteDC(memory);
}
