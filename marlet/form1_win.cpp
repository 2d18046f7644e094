// Form1 on Windows: the window and its standard controls, laid out from the
// twips table of layout.h at the window's DPI, the template list Combo1
// behind form1.h, and the wiring of the user's actions to the handlers.
#include "form1_win.h"

#include <objbase.h>
#include <wincodec.h>

#include <string>
#include <vector>

#include "form1.h"
#include "issue_command.h"
#include "layout.h"
#include "newer_windows_win.h"
#include "resource.h"
#include "templates.h"

namespace {

const wchar_t kClassName[] = L"marletForm1";
constexpr DWORD kFormStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD kFormExStyle = 0;

const wchar_t* W(const char16_t* s) { return reinterpret_cast<const wchar_t*>(s); }

// The window's state. ---------------------------------------------------------

HINSTANCE g_instance = nullptr;
HWND g_form = nullptr;
HWND g_combo = nullptr;
HWND g_comboList = nullptr;  // the list box inside Combo1
HWND g_controls[layout::kControlCount] = {};
HWND g_lastFocus = nullptr;  // restored when the window is activated again
int g_dpi = 96;
HFONT g_comboFont = nullptr;
HFONT g_uiFont = nullptr;
bool g_uiFontIsStock = false;
HBRUSH g_labelBrushes[layout::kControlCount] = {};
HBITMAP g_picture = nullptr;
int g_pictureWidth = 0;
int g_pictureHeight = 0;
bool g_settingSelection = false;  // Combo1's edit field is changed by the code

HWND ControlWindow(int id) {
  for (int i = 0; i < layout::kControlCount; ++i) {
    if (layout::kControls[i].id == id) return g_controls[i];
  }
  return nullptr;
}

// Fonts. ----------------------------------------------------------------------

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

// Combo1's own font, or the closest Japanese face where it is missing; with
// none of them there, the font mapper picks a Shift-JIS face for the first.
HFONT CreateCombo1Font(int dpi) {
  const wchar_t* faces[] = {W(layout::kCombo1FontFace), L"MS PGothic", L"MS UI Gothic", L"Meiryo UI",
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

// The window's default font, for every control but Combo1: the system's
// message font at the window's DPI.
HFONT CreateUiFont(int dpi, bool& isStock) {
  NONCLIENTMETRICSW metrics;
  const bool ok = newer_windows::NonClientMetricsForDpi(metrics, dpi);
  HFONT font = ok ? CreateFontIndirectW(&metrics.lfMessageFont) : nullptr;
  isStock = font == nullptr;
  return font ? font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

// The picture of Image1, decoded by the Windows Imaging Component. ------------

template <typename T>
void Release(T*& p) {
  if (p) p->Release();
  p = nullptr;
}

HBITMAP DecodePicture(int& width, int& height) {
  HRSRC resource = FindResourceW(g_instance, MAKEINTRESOURCEW(IDR_PICTURE), MAKEINTRESOURCEW(10));
  HGLOBAL loaded = resource ? LoadResource(g_instance, resource) : nullptr;
  void* bytes = loaded ? LockResource(loaded) : nullptr;
  DWORD size = resource ? SizeofResource(g_instance, resource) : 0;
  if (!bytes || size == 0) return nullptr;

  HBITMAP bitmap = nullptr;
  IWICImagingFactory* factory = nullptr;
  IWICStream* stream = nullptr;
  IWICBitmapDecoder* decoder = nullptr;
  IWICBitmapFrameDecode* frame = nullptr;
  IWICFormatConverter* converter = nullptr;
  UINT w = 0, h = 0;
  bool ok = SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                       IID_IWICImagingFactory, reinterpret_cast<void**>(&factory))) &&
            SUCCEEDED(factory->CreateStream(&stream)) &&
            SUCCEEDED(stream->InitializeFromMemory(static_cast<BYTE*>(bytes), size)) &&
            SUCCEEDED(factory->CreateDecoderFromStream(stream, nullptr, WICDecodeMetadataCacheOnDemand,
                                                       &decoder)) &&
            SUCCEEDED(decoder->GetFrame(0, &frame)) && SUCCEEDED(factory->CreateFormatConverter(&converter)) &&
            SUCCEEDED(converter->Initialize(frame, GUID_WICPixelFormat32bppBGR, WICBitmapDitherTypeNone,
                                            nullptr, 0.0, WICBitmapPaletteTypeCustom)) &&
            SUCCEEDED(converter->GetSize(&w, &h)) && w > 0 && h > 0 && w <= 4096 && h <= 4096;
  if (ok) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = static_cast<LONG>(w);
    info.bmiHeader.biHeight = -static_cast<LONG>(h);  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap && bits && SUCCEEDED(converter->CopyPixels(nullptr, w * 4, w * h * 4, static_cast<BYTE*>(bits)))) {
      width = static_cast<int>(w);
      height = static_cast<int>(h);
    } else if (bitmap) {
      DeleteObject(bitmap);
      bitmap = nullptr;
    }
  }
  Release(converter);
  Release(frame);
  Release(decoder);
  Release(stream);
  Release(factory);
  return bitmap;
}

void DrawPicture(const DRAWITEMSTRUCT& item) {
  FillRect(item.hDC, &item.rcItem, GetSysColorBrush(COLOR_BTNFACE));
  if (!g_picture) return;
  HDC memory = CreateCompatibleDC(item.hDC);
  if (!memory) return;
  HGDIOBJ old = SelectObject(memory, g_picture);
  // The picture's own size: its pixels at 96 dpi, in proportion elsewhere.
  int w = MulDiv(g_pictureWidth, g_dpi, 96);
  int h = MulDiv(g_pictureHeight, g_dpi, 96);
  if (w == g_pictureWidth && h == g_pictureHeight) {
    BitBlt(item.hDC, item.rcItem.left, item.rcItem.top, w, h, memory, 0, 0, SRCCOPY);
  } else {
    SetStretchBltMode(item.hDC, HALFTONE);
    SetBrushOrgEx(item.hDC, 0, 0, nullptr);
    StretchBlt(item.hDC, item.rcItem.left, item.rcItem.top, w, h, memory, 0, 0, g_pictureWidth,
               g_pictureHeight, SRCCOPY);
  }
  SelectObject(memory, old);
  DeleteDC(memory);
}

// Layout. ---------------------------------------------------------------------

SIZE FrameSize(int dpi) {
  RECT r = {0, 0, layout::TwipsToPixels(layout::kClientWidthTwips, dpi),
            layout::TwipsToPixels(layout::kClientHeightTwips, dpi)};
  newer_windows::AdjustWindowRectForDpi(r, kFormStyle, false, kFormExStyle, dpi);
  return SIZE{r.right - r.left, r.bottom - r.top};
}

// Top-left corner of a window of `size` centred on the work area of `monitor`.
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
    layout::PixelRect r = layout::ControlPixels(layout::kControls[i], dpi);
    SetWindowPos(g_controls[i], nullptr, r.left, r.top, r.width, r.height, SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

void CreateControls(HWND form) {
  for (int i = 0; i < layout::kControlCount; ++i) {
    const layout::Control& c = layout::kControls[i];
    const wchar_t* windowClass = L"STATIC";
    DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
    DWORD exStyle = 0;
    switch (c.kind) {
      case layout::kComboBox:
        windowClass = L"COMBOBOX";
        // Simple style: the list is always open; items stay in the order
        // they are added; the box keeps the height it is given.
        style |= WS_TABSTOP | WS_GROUP | WS_VSCROLL | CBS_SIMPLE | CBS_AUTOHSCROLL | CBS_NOINTEGRALHEIGHT;
        break;
      case layout::kCommandButton:
        windowClass = L"BUTTON";
        style |= WS_TABSTOP | BS_NOTIFY | (c.id == layout::kIdCommand1 ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
        break;
      case layout::kLabel:
        style |= SS_NOPREFIX | (c.rightAligned ? SS_RIGHT : SS_LEFT) | (c.border ? WS_BORDER : 0);
        break;
      case layout::kImage:
        style |= SS_OWNERDRAW;
        exStyle |= WS_EX_CLIENTEDGE;  // two pixels round the picture
        break;
    }
    layout::PixelRect r = layout::ControlPixels(c, g_dpi);
    HWND control = CreateWindowExW(exStyle, windowClass, W(c.text), style, r.left, r.top, r.width, r.height, form,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), g_instance, nullptr);
    g_controls[i] = control;
    if (!control) continue;
    // Stacking follows the table: each new control goes below the others.
    SetWindowPos(control, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    if (c.backColour != layout::kNoColour) {
      g_labelBrushes[i] = CreateSolidBrush(static_cast<COLORREF>(c.backColour));
    }
    if (c.kind == layout::kComboBox) {
      g_combo = control;
      COMBOBOXINFO info = {};
      info.cbSize = sizeof(info);
      if (GetComboBoxInfo(control, &info)) g_comboList = info.hwndList;
    }
  }
  SetFonts(g_dpi);
}

// Moves and sizes the window and its controls for `dpi`; centres it on its
// monitor when asked, else keeps its top-left corner.
void ApplyDpi(HWND form, int dpi, bool centre) {
  g_dpi = dpi;
  SIZE size = FrameSize(dpi);
  RECT now = {};
  GetWindowRect(form, &now);
  POINT at = {now.left, now.top};
  if (centre) at = CentredOn(MonitorFromWindow(form, MONITOR_DEFAULTTOPRIMARY), size);
  SetWindowPos(form, nullptr, at.x, at.y, size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
  SetFonts(dpi);
  PlaceControls(dpi);
  InvalidateRect(form, nullptr, TRUE);
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

// The buttons. Like a dialog, the focused button is the one Enter presses;
// with the focus anywhere else, Command1 is.
constexpr UINT kMsgShowDefaultButton = WM_APP + 1;

int DefaultButtonId() {
  HWND focus = GetFocus();
  return focus && focus == ControlWindow(layout::kIdCommand2) ? layout::kIdCommand2 : layout::kIdCommand1;
}

// Gives the default button its look. Run after a focus change has been
// handled completely, since the dialog keys restyle the buttons themselves.
void ShowDefaultButton() {
  const int id = DefaultButtonId();
  HWND command1 = ControlWindow(layout::kIdCommand1);
  HWND command2 = ControlWindow(layout::kIdCommand2);
  if (command1) {
    SendMessageW(command1, BM_SETSTYLE, id == layout::kIdCommand1 ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
  }
  if (command2) {
    SendMessageW(command2, BM_SETSTYLE, id == layout::kIdCommand2 ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
  }
}

// The user typed or edited in Combo1's edit field: no item is selected any
// more (the list box may have highlighted an item that begins with the text).
void Combo1EditChanged() {
  if (g_settingSelection || !g_comboList) return;
  SendMessageW(g_comboList, LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
}

bool DoubleClickOnItem() {
  if (!g_comboList) return true;
  DWORD at = GetMessagePos();
  POINT p = {static_cast<SHORT>(LOWORD(at)), static_cast<SHORT>(HIWORD(at))};
  ScreenToClient(g_comboList, &p);
  RECT client;
  GetClientRect(g_comboList, &client);
  if (!PtInRect(&client, p)) return false;
  LRESULT hit = SendMessageW(g_comboList, LB_ITEMFROMPOINT, 0, MAKELPARAM(p.x, p.y));
  return HIWORD(hit) == 0;  // inside an item
}

// Handlers. --------------------------------------------------------------------

void Form_Load() {
  if (!g_combo) return;
  SendMessageW(g_combo, WM_SETREDRAW, FALSE, 0);
  if (g_comboList) SendMessageW(g_comboList, WM_SETREDRAW, FALSE, 0);
  FillTemplateList();
  if (g_comboList) SendMessageW(g_comboList, WM_SETREDRAW, TRUE, 0);
  SendMessageW(g_combo, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(g_combo, nullptr, TRUE);
}

void Combo1_DblClick() { Command1_Click(); }

void Command2_Click() { Form1Close(); }

LRESULT CALLBACK Form1Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      g_form = window;
      g_dpi = newer_windows::WindowDpi(window);
      CreateControls(window);
      g_picture = DecodePicture(g_pictureWidth, g_pictureHeight);
      return 0;

    case WM_COMMAND: {
      const int id = LOWORD(wParam);
      const int code = HIWORD(wParam);
      if (id == layout::kIdCommand1) {
        if (code == BN_CLICKED) {
          Command1_Click();
        } else if (code == BN_SETFOCUS) {
          PostMessageW(window, kMsgShowDefaultButton, 0, 0);
        }
      } else if (id == layout::kIdCommand2) {
        if (code == BN_CLICKED) {
          Command2_Click();
        } else if (code == BN_SETFOCUS) {
          PostMessageW(window, kMsgShowDefaultButton, 0, 0);
        }
      } else if (id == layout::kIdCombo1) {
        if (code == CBN_DBLCLK) {
          if (DoubleClickOnItem()) Combo1_DblClick();
        } else if (code == CBN_EDITCHANGE) {
          Combo1EditChanged();
        } else if (code == CBN_SETFOCUS) {
          PostMessageW(window, kMsgShowDefaultButton, 0, 0);
        }
      }
      return 0;
    }

    case DM_GETDEFID:
      return MAKELRESULT(DefaultButtonId(), DC_HASDEFID);

    case kMsgShowDefaultButton:
      ShowDefaultButton();
      return 0;

    case WM_CTLCOLORSTATIC: {
      HDC dc = reinterpret_cast<HDC>(wParam);
      const int id = GetDlgCtrlID(reinterpret_cast<HWND>(lParam));
      for (int i = 0; i < layout::kControlCount; ++i) {
        if (layout::kControls[i].id == id && g_labelBrushes[i]) {
          SetBkColor(dc, static_cast<COLORREF>(layout::kControls[i].backColour));
          return reinterpret_cast<LRESULT>(g_labelBrushes[i]);
        }
      }
      SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
      SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }

    case WM_DRAWITEM: {
      const DRAWITEMSTRUCT* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      if (item && item->CtlID == static_cast<UINT>(layout::kIdImage1)) {
        DrawPicture(*item);
        return TRUE;
      }
      break;
    }

    case WM_PAINT:
      PaintLines(window);
      return 0;

    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus && IsChild(window, focus)) g_lastFocus = focus;
      }
      break;

    case WM_SETFOCUS: {
      HWND target = g_lastFocus && IsWindow(g_lastFocus) ? g_lastFocus : g_combo;
      if (target) SetFocus(target);
      return 0;
    }

    case newer_windows::kWmDpiChanged:
      ApplyDpi(window, HIWORD(wParam), false);
      return 0;

    case WM_CLOSE:
      Form1Close();
      return 0;

    case WM_DESTROY:
      g_form = nullptr;
      g_combo = nullptr;
      g_comboList = nullptr;
      g_lastFocus = nullptr;
      for (HWND& c : g_controls) c = nullptr;
      PostQuitMessage(0);
      return 0;

    case WM_NCDESTROY:
      if (g_comboFont) DeleteObject(g_comboFont);
      if (g_uiFont && !g_uiFontIsStock) DeleteObject(g_uiFont);
      g_comboFont = nullptr;
      g_uiFont = nullptr;
      for (HBRUSH& b : g_labelBrushes) {
        if (b) DeleteObject(b);
        b = nullptr;
      }
      if (g_picture) DeleteObject(g_picture);
      g_picture = nullptr;
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

// Process and window. -----------------------------------------------------------

void Form1PrepareProcess() {
  // The manifest declares per-monitor awareness; this only matters where it
  // was not honoured.
  newer_windows::MakeProcessDpiAware();
}

bool Form1Create(HINSTANCE instance, int showCommand) {
  g_instance = instance;
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = Form1Proc;
  wc.hInstance = instance;
  wc.hIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_PROGRAM), IMAGE_ICON,
                                           GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0));
  wc.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_PROGRAM), IMAGE_ICON,
                                             GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
  wc.lpszClassName = kClassName;
  if (!RegisterClassExW(&wc)) return false;

  // Created hidden at the system DPI, then placed for the DPI of the monitor
  // it landed on.
  const int systemDpi = newer_windows::SystemDpi();
  SIZE size = FrameSize(systemDpi);
  POINT at = CentredOn(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), size);
  HWND form = CreateWindowExW(kFormExStyle, kClassName, W(layout::kForm1Title), kFormStyle, at.x, at.y, size.cx,
                              size.cy, nullptr, nullptr, instance, nullptr);
  if (!form) return false;
  ApplyDpi(form, newer_windows::WindowDpi(form), true);

  Form_Load();
  if (!g_form) return false;  // closed while loading

  ShowWindow(form, showCommand);
  UpdateWindow(form);
  if (g_combo) SetFocus(g_combo);
  return true;
}

int Form1RunMessageLoop() {
  MSG msg = {};
  BOOL got;
  while ((got = GetMessageW(&msg, nullptr, 0, 0)) != 0) {
    if (got == -1) return 1;
    // The dialog keys: Tab between the controls, Enter for the default
    // button, Esc for Command2.
    if (g_form && IsDialogMessageW(g_form, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}

// Combo1 and Form1 for the code that works on them (form1.h). ----------------

void ListAddItem(const std::u16string& item) {
  if (!g_combo) return;
  SendMessageW(g_combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
}

int ListCount() {
  if (!g_combo) return 0;
  LRESULT n = SendMessageW(g_combo, CB_GETCOUNT, 0, 0);
  return n == CB_ERR ? 0 : static_cast<int>(n);
}

int ListSelectedIndex() {
  if (!g_combo) return -1;
  LRESULT i = SendMessageW(g_combo, CB_GETCURSEL, 0, 0);
  return i < 0 ? -1 : static_cast<int>(i);
}

bool ListSetSelectedIndex(int index) {
  if (!g_combo || index < -1 || index >= ListCount()) return false;
  // Selecting shows the item's text in the edit field; -1 clears both.
  g_settingSelection = true;
  LRESULT r = SendMessageW(g_combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  g_settingSelection = false;
  return index == -1 || r == index;
}

bool ListGetCurrentText(std::u16string& out) {
  if (!g_combo) return false;
  // With an item selected the edit field shows that item; its text is read
  // from the list, whole, since a one-line edit field need not keep line
  // breaks.
  LRESULT selected = SendMessageW(g_combo, CB_GETCURSEL, 0, 0);
  if (selected >= 0) {
    LRESULT length = SendMessageW(g_combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(selected), 0);
    if (length < 0) return false;
    std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1, L'\0');
    LRESULT got = SendMessageW(g_combo, CB_GETLBTEXT, static_cast<WPARAM>(selected),
                               reinterpret_cast<LPARAM>(buffer.data()));
    if (got < 0) return false;
    out.assign(reinterpret_cast<const char16_t*>(buffer.data()), static_cast<size_t>(got));
    return true;
  }
  SetLastError(0);
  int length = GetWindowTextLengthW(g_combo);
  std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1, L'\0');
  int got = GetWindowTextW(g_combo, buffer.data(), length + 1);
  if (got == 0 && length > 0) return false;
  out.assign(reinterpret_cast<const char16_t*>(buffer.data()), static_cast<size_t>(got));
  return true;
}

WindowHandle Form1Handle() { return reinterpret_cast<WindowHandle>(g_form); }

void Form1Close() {
  // Closes at once, without a question; the program ends with its window.
  if (g_form) DestroyWindow(g_form);
}
