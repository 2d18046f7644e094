// Form1's controls, laid out from the twips table of layout.h.
#include "form1_layout_win.h"

#include <commctrl.h>

#include "combo1_list_win.h"
#include "fonts_win.h"
#include "layout.h"
#include "newer_windows_win.h"
#include "wide_win.h"

namespace {

int g_dpi = newer_windows::kDefaultDpi;
HWND g_controls[layout::kControlCount] = {};
HFONT g_comboFont = nullptr;
HFONT g_uiFont = nullptr;
bool g_uiFontIsStock = false;
HBRUSH g_labelBrushes[layout::kControlCount] = {};

void SetFonts(int dpi) {
  HFONT oldCombo = g_comboFont;
  HFONT oldUi = g_uiFontIsStock ? nullptr : g_uiFont;
  g_comboFont = CreateCombo1Font(dpi);
  g_uiFont = CreateUiFont(dpi, g_uiFontIsStock);
  for (int i = 0; i < layout::kControlCount; ++i) {
    if (!g_controls[i]) continue;
    HFONT font = layout::kControls[i].kind == layout::kComboBox && g_comboFont ? g_comboFont : g_uiFont;
    SendMessageW(g_controls[i], WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  }
  if (oldCombo) DeleteObject(oldCombo);
  if (oldUi) DeleteObject(oldUi);
}

void PlaceControls(int dpi) {
  for (int i = 0; i < layout::kControlCount; ++i) {
    if (!g_controls[i]) continue;
    const layout::PixelRect r = layout::ControlPixels(layout::kControls[i], dpi);
    SetWindowPos(g_controls[i], nullptr, r.left, r.top, r.width, r.height, SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

// The window class and styles of a control of the table.
const wchar_t* ControlClass(const layout::Control& c, DWORD& style, DWORD& exStyle) {
  style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
  exStyle = 0;
  switch (c.kind) {
    case layout::kComboBox:
      // Simple style: the list is always open; items stay in the order they
      // are added; the box keeps the height it is given.
      style |= WS_TABSTOP | WS_GROUP | WS_VSCROLL | CBS_SIMPLE | CBS_AUTOHSCROLL | CBS_NOINTEGRALHEIGHT;
      return WC_COMBOBOXW;
    case layout::kCommandButton:
      style |= WS_TABSTOP | BS_NOTIFY | (c.id == layout::kIdCommand1 ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
      return WC_BUTTONW;
    case layout::kLabel:
      style |= SS_NOPREFIX | (c.rightAligned ? SS_RIGHT : SS_LEFT) | (c.border ? WS_BORDER : 0);
      return WC_STATICW;
    case layout::kImage:
      style |= SS_OWNERDRAW;
      exStyle |= WS_EX_CLIENTEDGE;  // two pixels round the picture
      return WC_STATICW;
  }
  return WC_STATICW;
}

}  // namespace

int Form1Dpi() { return g_dpi; }

void CreateControls(HWND form, HINSTANCE instance, int dpi) {
  g_dpi = dpi;
  for (int i = 0; i < layout::kControlCount; ++i) {
    const layout::Control& c = layout::kControls[i];
    DWORD style = 0;
    DWORD exStyle = 0;
    const wchar_t* windowClass = ControlClass(c, style, exStyle);
    const layout::PixelRect r = layout::ControlPixels(c, dpi);
    HWND control = CreateWindowExW(exStyle, windowClass, wide::Ptr(c.text), style, r.left, r.top, r.width,
                                   r.height, form, reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), instance,
                                   nullptr);
    g_controls[i] = control;
    if (!control) continue;
    // Stacking follows the table: each new control goes below the others.
    SetWindowPos(control, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    if (c.backColour != layout::kNoColour) {
      g_labelBrushes[i] = CreateSolidBrush(static_cast<COLORREF>(c.backColour));
    }
    if (c.kind == layout::kComboBox) Combo1Attach(control);
  }
  SetFonts(dpi);
}

HWND ControlWindow(int id) {
  for (int i = 0; i < layout::kControlCount; ++i) {
    if (layout::kControls[i].id == id) return g_controls[i];
  }
  return nullptr;
}

void LayOutControls(HWND form, int dpi) {
  g_dpi = dpi;
  SetFonts(dpi);
  PlaceControls(dpi);
  InvalidateRect(form, nullptr, TRUE);
}

SIZE FrameSize(int dpi) {
  RECT r = {0, 0, layout::TwipsToPixels(layout::kClientWidthTwips, dpi),
            layout::TwipsToPixels(layout::kClientHeightTwips, dpi)};
  newer_windows::AdjustWindowRectForDpi(r, kForm1Style, false, kForm1ExStyle, dpi);
  return SIZE{r.right - r.left, r.bottom - r.top};
}

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

void PaintLines(HWND form) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(form, &ps);
  if (!dc) return;
  for (const layout::Line& line : layout::kLines) {
    HPEN pen = CreatePen(PS_SOLID, 1, GetSysColor(line.systemColour));
    HGDIOBJ old = SelectObject(dc, pen);
    MoveToEx(dc, layout::TwipsToPixels(line.x1, g_dpi), layout::TwipsToPixels(line.y1, g_dpi), nullptr);
    LineTo(dc, layout::TwipsToPixels(line.x2, g_dpi), layout::TwipsToPixels(line.y2, g_dpi));
    SelectObject(dc, old);
    DeleteObject(pen);
  }
  EndPaint(form, &ps);
}

HBRUSH LabelBrush(int id, HDC dc) {
  for (int i = 0; i < layout::kControlCount; ++i) {
    if (layout::kControls[i].id == id && g_labelBrushes[i]) {
      SetBkColor(dc, static_cast<COLORREF>(layout::kControls[i].backColour));
      return g_labelBrushes[i];
    }
  }
  return nullptr;
}

void ForgetControls() {
  for (HWND& c : g_controls) c = nullptr;
  Combo1Attach(nullptr);
}

void FreeControlResources() {
  if (g_comboFont) DeleteObject(g_comboFont);
  if (g_uiFont && !g_uiFontIsStock) DeleteObject(g_uiFont);
  g_comboFont = nullptr;
  g_uiFont = nullptr;
  for (HBRUSH& b : g_labelBrushes) {
    if (b) DeleteObject(b);
    b = nullptr;
  }
}
