// Form1 on Windows: the window itself. Its procedure finds the state the
// window owns (form1_state_win.h) and hands it, with every message it
// handles, to one handler; the controls and their layout are in
// form1_layout_win.cpp, Combo1's list in combo1_list_win.cpp and Image1's
// picture in picture_win.cpp.
#include "form1_win.h"

#include "combo1_list_win.h"
#include "form1.h"
#include "form1_layout_win.h"
#include "form1_state_win.h"
#include "issue_command.h"
#include "layout.h"
#include "newer_windows_win.h"
#include "picture_win.h"
#include "resource.h"
#include "system_text_win.h"
#include "templates.h"
#include "wide_win.h"
#include "window_place_win.h"

namespace {

const wchar_t kClassName[] = L"marletForm1";

// Posted to restyle the default button once a focus change is complete.
constexpr UINT kMsgShowDefaultButton = WM_APP + 1;

// Form1's window while it is open; null once it is being destroyed.
HWND OpenForm1Window() {
  const Form1State* state = OpenForm1State();
  return state && !state->closing ? state->window : nullptr;
}

// The buttons. Like a dialog, the focused button is the one Enter presses;
// with the focus anywhere else, Command1 is.
int DefaultButtonId(const Form1State& state) {
  HWND focus = GetFocus();
  return focus && focus == ControlWindow(state, layout::kIdCommand2) ? layout::kIdCommand2 : layout::kIdCommand1;
}

void StyleButton(const Form1State& state, int id, int defaultId) {
  HWND button = ControlWindow(state, id);
  if (button) SendMessageW(button, BM_SETSTYLE, id == defaultId ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
}

// Handlers of the user's actions. ---------------------------------------------

void Form_Load() {
  if (const Form1State* state = OpenForm1State()) Combo1SetRedraw(*state, false);
  FillTemplateList(system_text::AnsiToWide);
  if (const Form1State* state = OpenForm1State()) Combo1SetRedraw(*state, true);
}

void Combo1_DblClick() { Command1_Click(); }

void Command2_Click() { Form1Close(); }

// Handlers of the window's messages. -------------------------------------------

// The window gets its state: the first message it handles.
LRESULT OnNcCreate(HWND window, WPARAM wParam, LPARAM lParam) {
  const CREATESTRUCTW* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
  if (!create || !Form1StateCreate(window, *create)) return FALSE;
  return DefWindowProcW(window, WM_NCCREATE, wParam, lParam);
}

LRESULT OnCreate(Form1State& state) {
  CreateControls(state, newer_windows::WindowDpi(state.window));
  Combo1Created(state);
  state.picture = LoadPicture(state.instance);
  return 0;
}

// Command1_Click may close the window, and its state goes with it: nothing
// here uses the state after a click.
LRESULT OnCommand(Form1State& state, HWND window, int id, int code) {
  bool focused = false;  // the control took the focus
  switch (id) {
    case layout::kIdCommand1:
      if (code == BN_CLICKED) Command1_Click();
      focused = code == BN_SETFOCUS;
      break;
    case layout::kIdCommand2:
      if (code == BN_CLICKED) Command2_Click();
      focused = code == BN_SETFOCUS;
      break;
    case layout::kIdCombo1:
      if (code == CBN_DBLCLK) {
        if (Combo1DoubleClickOnItem(state)) Combo1_DblClick();
      } else if (code == CBN_EDITCHANGE) {
        Combo1EditChanged(state);
      }
      focused = code == CBN_SETFOCUS;
      break;
  }
  // The dialog keys restyle the buttons themselves while the focus moves:
  // the default button is shown once the change has been handled.
  if (focused) PostMessageW(window, kMsgShowDefaultButton, 0, 0);
  return 0;
}

LRESULT OnGetDefId(const Form1State& state) { return MAKELRESULT(DefaultButtonId(state), DC_HASDEFID); }

LRESULT OnShowDefaultButton(const Form1State& state) {
  const int id = DefaultButtonId(state);
  StyleButton(state, layout::kIdCommand1, id);
  StyleButton(state, layout::kIdCommand2, id);
  return 0;
}

LRESULT OnCtlColorStatic(const Form1State& state, HDC dc, HWND control) {
  HBRUSH own = LabelBrush(state, GetDlgCtrlID(control), dc);
  if (own) return reinterpret_cast<LRESULT>(own);
  SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
  SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
  return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
}

LRESULT OnDrawItem(const Form1State& state, HWND window, WPARAM wParam, LPARAM lParam) {
  const DRAWITEMSTRUCT* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
  if (!item || item->CtlID != static_cast<UINT>(layout::kIdImage1)) {
    return DefWindowProcW(window, WM_DRAWITEM, wParam, lParam);
  }
  DrawPicture(*item, state.picture, state.dpi);
  return TRUE;
}

LRESULT OnPaint(const Form1State& state) {
  PaintLines(state);
  return 0;
}

LRESULT OnActivate(Form1State& state, HWND window, WPARAM wParam, LPARAM lParam) {
  if (LOWORD(wParam) == WA_INACTIVE) {
    HWND focus = GetFocus();
    if (focus && IsChild(window, focus)) state.lastFocus = focus;
  }
  return DefWindowProcW(window, WM_ACTIVATE, wParam, lParam);
}

LRESULT OnSetFocus(const Form1State& state) {
  HWND last = state.lastFocus;
  HWND target = last && IsWindow(last) ? last : Combo1Window(state);
  if (target) SetFocus(target);
  return 0;
}

// Sizes the window for `dpi`, centred on its monitor, and lays its controls
// out for it.
void PlaceForDpi(Form1State& state, int dpi) {
  HWND form = state.window;
  const SIZE size = FrameSize(dpi);
  const POINT at = CentredOn(MonitorFromWindow(form, MONITOR_DEFAULTTOPRIMARY), size);
  SetWindowPos(form, nullptr, at.x, at.y, size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
  LayOutControls(state, dpi);
}

// The window went to a monitor of another DPI: it takes the place Windows
// suggests, which keeps it on that monitor (a window that kept its corner
// and sized itself could land on the old monitor again and jump back and
// forth), then lays its controls out for the new DPI.
LRESULT OnDpiChanged(Form1State& state, HWND window, int dpi, const RECT* suggested) {
  if (dpi <= 0) return 0;
  if (suggested) {
    SetWindowPos(window, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                 suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
  } else {
    const SIZE size = FrameSize(dpi);
    SetWindowPos(window, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  LayOutControls(state, dpi);
  return 0;
}

LRESULT OnClose() {
  Form1Close();
  return 0;
}

LRESULT OnDestroy(Form1State& state) {
  state.closing = true;
  PostQuitMessage(0);
  return 0;
}

// The controls are gone; what they were drawn with goes too.
LRESULT OnNcDestroy(HWND window, WPARAM wParam, LPARAM lParam) {
  Form1StateDestroy(window);
  return DefWindowProcW(window, WM_NCDESTROY, wParam, lParam);
}

LRESULT CALLBACK Form1Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Form1State* found = Form1StateOf(window);
  if (!found) {
    // The messages before WM_NCCREATE get the defaults.
    if (message == WM_NCCREATE) return OnNcCreate(window, wParam, lParam);
    return DefWindowProcW(window, message, wParam, lParam);
  }
  Form1State& state = *found;
  switch (message) {
    case WM_CREATE: return OnCreate(state);
    case WM_COMMAND: return OnCommand(state, window, LOWORD(wParam), HIWORD(wParam));
    case DM_GETDEFID: return OnGetDefId(state);
    case kMsgShowDefaultButton: return OnShowDefaultButton(state);
    case WM_CTLCOLORSTATIC:
      return OnCtlColorStatic(state, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_DRAWITEM: return OnDrawItem(state, window, wParam, lParam);
    case WM_PAINT: return OnPaint(state);
    case WM_ACTIVATE: return OnActivate(state, window, wParam, lParam);
    case WM_SETFOCUS: return OnSetFocus(state);
    case newer_windows::kWmDpiChanged:
      return OnDpiChanged(state, window, HIWORD(wParam), reinterpret_cast<RECT*>(lParam));
    case WM_CLOSE: return OnClose();
    case WM_DESTROY: return OnDestroy(state);
    case WM_NCDESTROY: return OnNcDestroy(window, wParam, lParam);
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
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = Form1Proc;
  wc.hInstance = instance;
  wc.hIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_PROGRAM), IMAGE_ICON,
                                           GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0));
  wc.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_PROGRAM), IMAGE_ICON,
                                             GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
  wc.lpszClassName = kClassName;
  if (!RegisterClassExW(&wc)) return false;

  // Created hidden at the system DPI, then placed for the DPI of the monitor
  // it landed on.
  const SIZE size = FrameSize(newer_windows::SystemDpi());
  const POINT at = CentredOn(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), size);
  HWND form = CreateWindowExW(kForm1ExStyle, kClassName, wide::Ptr(layout::kForm1Title), kForm1Style, at.x, at.y,
                              size.cx, size.cy, nullptr, nullptr, instance, nullptr);
  if (!form) return false;
  if (Form1State* state = Form1StateOf(form)) PlaceForDpi(*state, newer_windows::WindowDpi(form));

  Form_Load();
  if (!OpenForm1Window()) return false;  // closed while loading

  ShowWindow(form, showCommand);
  UpdateWindow(form);
  const Form1State* state = OpenForm1State();
  HWND combo = state ? Combo1Window(*state) : nullptr;
  if (combo) SetFocus(combo);
  return true;
}

int Form1RunMessageLoop() {
  MSG msg = {};
  BOOL got;
  while ((got = GetMessageW(&msg, nullptr, 0, 0)) != 0) {
    if (got == -1) return 1;
    // The dialog keys: Tab between the controls, Enter for the default
    // button, Esc for Command2.
    HWND form = OpenForm1Window();
    if (form && IsDialogMessageW(form, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}

WindowHandle Form1Handle() { return wide::FromHwnd(OpenForm1Window()); }

void Form1Close() {
  // Closes at once, without a question; the program ends with its window.
  HWND form = OpenForm1Window();
  if (form) DestroyWindow(form);
}
