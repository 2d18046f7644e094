// The fonts of Form1's controls.
#include "fonts_win.h"

#include "layout.h"
#include "newer_windows_win.h"
#include "wide_win.h"

namespace {

// True when a font asked for by `lf`'s face is given that face (itself or
// through a font substitution), not another one picked by the font mapper.
bool FaceAvailable(const LOGFONTW& lf) {
  HFONT font = CreateFontIndirectW(&lf);
  if (!font) return false;
  bool same = false;
  HDC dc = GetDC(nullptr);
  if (dc) {
    HGDIOBJ old = SelectObject(dc, font);
    wchar_t face[LF_FACESIZE] = {};
    same = GetTextFaceW(dc, LF_FACESIZE, face) > 0 && lstrcmpiW(face, lf.lfFaceName) == 0;
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
  }
  DeleteObject(font);
  return same;
}

}  // namespace

HFONT CreateCombo1Font(int dpi) {
  const wchar_t* faces[] = {wide::Ptr(layout::kCombo1FontFace), L"MS PGothic", L"MS UI Gothic", L"Meiryo UI",
                            L"Yu Gothic UI", L"\xFF2D\xFF33 \x30B4\x30B7\x30C3\x30AF", L"MS Gothic"};
  LOGFONTW lf = {};
  lf.lfHeight = layout::FontHeightPixels(layout::kCombo1FontHundredthsOfPoint, dpi);
  lf.lfWeight = layout::kCombo1FontWeight;
  lf.lfCharSet = static_cast<BYTE>(layout::kCombo1FontCharset);
  lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
  lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  lf.lfQuality = DEFAULT_QUALITY;
  lf.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
  for (const wchar_t* face : faces) {
    lstrcpynW(lf.lfFaceName, face, LF_FACESIZE);
    if (FaceAvailable(lf)) return CreateFontIndirectW(&lf);
  }
  lstrcpynW(lf.lfFaceName, faces[0], LF_FACESIZE);
  return CreateFontIndirectW(&lf);
}

HFONT CreateUiFont(int dpi) {
  NONCLIENTMETRICSW metrics;
  HFONT font = newer_windows::NonClientMetricsForDpi(metrics, dpi) ? CreateFontIndirectW(&metrics.lfMessageFont)
                                                                   : nullptr;
  if (font) return font;
  // A font of our own made like the stock one, so that every font of the
  // window is deleted alike.
  LOGFONTW stock = {};
  if (!GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(stock), &stock)) return nullptr;
  return CreateFontIndirectW(&stock);
}
