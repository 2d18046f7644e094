// Form1's controls, laid out from the twips table of layout.h.
#include "form1_layout_win.h"

#include <commctrl.h>

#include "fonts_win.h"
#include "form1_state_win.h"
#include "layout.h"
#include "newer_windows_win.h"
#include "wide_win.h"

// The table's copies of Windows constants (layout.h cannot include windows.h).
static_assert(layout::kIdCommand1 == IDOK, "Command1 carries the id of the OK button");
static_assert(layout::kIdCommand2 == IDCANCEL, "Command2 carries the id of the Cancel button");
static_assert(layout::kSysColorWindow == COLOR_WINDOW, "COLOR_WINDOW");
static_assert(layout::kSysColorButtonShadow == COLOR_BTNSHADOW, "COLOR_BTNSHADOW");
static_assert(layout::kCombo1FontWeight == FW_NORMAL, "FW_NORMAL");
static_assert(layout::kCombo1FontCharset == SHIFTJIS_CHARSET, "SHIFTJIS_CHARSET");

namespace {

// Gives the controls fonts made for `dpi`; the fonts they had are freed.
void SetFonts(Form1State& state, int dpi) {
  HFONT combo = CreateCombo1Font(dpi);
  HFONT ui = CreateUiFont(dpi);
  for (int i = 0; i < layout::kControlCount; ++i) {
    if (!state.controls[i]) continue;
    HFONT font = layout::kControls[i].kind == layout::kComboBox && combo ? combo : ui;
    SendMessageW(state.controls[i], WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  }
  state.fonts.combo.reset(combo);
  state.fonts.ui.reset(ui);
}

void PlaceControls(const Form1State& state, int dpi) {
  for (int i = 0; i < layout::kControlCount; ++i) {
    if (!state.controls[i]) continue;
    const layout::PixelRect r = layout::ControlPixels(layout::kControls[i], dpi);
    SetWindowPos(state.controls[i], nullptr, r.left, r.top, r.width, r.height, SWP_NOZORDER | SWP_NOACTIVATE);
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

void CreateControls(Form1State& state, int dpi) {
  state.dpi = dpi;
  for (int i = 0; i < layout::kControlCount; ++i) {
    const layout::Control& c = layout::kControls[i];
    DWORD style = 0;
    DWORD exStyle = 0;
    const wchar_t* windowClass = ControlClass(c, style, exStyle);
    const layout::PixelRect r = layout::ControlPixels(c, dpi);
    HWND control = CreateWindowExW(exStyle, windowClass, wide::Ptr(c.text), style, r.left, r.top, r.width,
                                   r.height, state.window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)),
                                   state.instance, nullptr);
    state.controls[i] = control;
    if (!control) continue;
    // Stacking follows the table: each new control goes below the others.
    SetWindowPos(control, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    if (c.backColour != layout::kNoColour) {
      state.labelBrushes[i].reset(CreateSolidBrush(static_cast<COLORREF>(c.backColour)));
    }
  }
  SetFonts(state, dpi);
}

void LayOutControls(Form1State& state, int dpi) {
  state.dpi = dpi;
  SetFonts(state, dpi);
  PlaceControls(state, dpi);
  InvalidateRect(state.window, nullptr, TRUE);
}

SIZE FrameSize(int dpi) {
  RECT r = {0, 0, layout::TwipsToPixels(layout::kClientWidthTwips, dpi),
            layout::TwipsToPixels(layout::kClientHeightTwips, dpi)};
  newer_windows::AdjustWindowRectForDpi(r, kForm1Style, false, kForm1ExStyle, dpi);
  return SIZE{r.right - r.left, r.bottom - r.top};
}

void PaintLines(const Form1State& state) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(state.window, &ps);
  if (!dc) return;
  for (const layout::Line& line : layout::kLines) {
    HPEN pen = CreatePen(PS_SOLID, 1, GetSysColor(line.systemColour));
    HGDIOBJ old = SelectObject(dc, pen);
    const int dpi = state.dpi;
    MoveToEx(dc, layout::TwipsToPixels(line.x1, dpi), layout::TwipsToPixels(line.y1, dpi), nullptr);
    LineTo(dc, layout::TwipsToPixels(line.x2, dpi), layout::TwipsToPixels(line.y2, dpi));
    SelectObject(dc, old);
    DeleteObject(pen);
  }
  EndPaint(state.window, &ps);
}

HBRUSH LabelBrush(const Form1State& state, int id, HDC dc) {
  for (int i = 0; i < layout::kControlCount; ++i) {
    if (layout::kControls[i].id == id && state.labelBrushes[i]) {
      SetBkColor(dc, static_cast<COLORREF>(layout::kControls[i].backColour));
      return state.labelBrushes[i].get();
    }
  }
  return nullptr;
}
