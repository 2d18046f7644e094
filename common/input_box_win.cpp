// The input box on Windows: a dialog built in memory (no resource), laid out
// once when it opens, so that a long prompt or a default text of several
// lines fits. An object of its own, which tovrin never links: the 32-bit
// linker keeps every function an object's unwind table names.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "handles_win.h"
#include "input_box.h"
#include "newer_windows_win.h"
#include "system_text_win.h"
#include "wide_win.h"
#include "window_place_win.h"

namespace {

// Layout in dialog units.
constexpr int kMargin = 7;
constexpr int kPromptWidth = 200;
constexpr int kButtonWidth = 50;
constexpr int kButtonHeight = 14;
constexpr int kButtonGap = 4;
constexpr int kMaxPromptHeight = 160;
constexpr int kLineHeight = 8;
constexpr int kMaxEditLines = 8;
constexpr int kEditPadding = 4;  // above and below the lines, both together

constexpr WORD kItemCount = 4;  // prompt, edit field, OK, Cancel
constexpr WORD kFontPoints = 9;  // the face is mapped to the system's UI font

// A template item's class given as the atom that follows this mark (the
// predefined classes below), not as a name.
constexpr WORD kClassAtomMark = 0xFFFF;
constexpr WORD kButtonClass = 0x0080;
constexpr WORD kEditClass = 0x0081;
constexpr WORD kStaticClass = 0x0082;

struct InputBoxState {
  const std::u16string* prompt;
  const std::u16string* defaultText;
  std::u16string answer;
};

// The in-memory template, written word by word.

void PutWord(std::vector<WORD>& out, WORD value) { out.push_back(value); }

void PutDword(std::vector<WORD>& out, DWORD value) {
  out.push_back(LOWORD(value));
  out.push_back(HIWORD(value));
}

void PutText(std::vector<WORD>& out, const std::u16string& text) {
  for (char16_t unit : text) {
    if (unit == u'\0') break;
    out.push_back(static_cast<WORD>(unit));
  }
  out.push_back(0);
}

void AlignDword(std::vector<WORD>& out) {
  if (out.size() % 2 != 0) out.push_back(0);
}

// An item without a place: the box places every control when it opens.
void PutItem(std::vector<WORD>& out, DWORD style, WORD id, WORD itemClass, const std::u16string& text) {
  AlignDword(out);
  PutDword(out, style | WS_CHILD | WS_VISIBLE);
  PutDword(out, 0);  // extended style
  for (int i = 0; i < 4; ++i) PutWord(out, 0);  // x, y, cx, cy
  PutWord(out, id);
  PutWord(out, kClassAtomMark);
  PutWord(out, itemClass);
  PutText(out, text);
  PutWord(out, 0);  // no creation data
}

std::vector<WORD> BuildTemplate(const std::u16string& title, bool severalLines) {
  std::vector<WORD> out;
  const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_SETFOREGROUND;
  PutDword(out, style);
  PutDword(out, 0);  // extended style
  PutWord(out, kItemCount);
  for (int i = 0; i < 4; ++i) PutWord(out, 0);  // x, y, cx, cy: set when the box opens
  PutWord(out, 0);  // no menu
  PutWord(out, 0);  // the standard dialog class
  PutText(out, title);
  PutWord(out, kFontPoints);
  PutText(out, u"MS Shell Dlg");

  PutItem(out, SS_LEFT | SS_NOPREFIX | SS_EDITCONTROL, kInputBoxPromptId, kStaticClass, u"");
  DWORD editStyle = WS_BORDER | WS_TABSTOP | ES_LEFT | ES_MULTILINE | ES_AUTOHSCROLL | ES_AUTOVSCROLL;
  if (severalLines) editStyle |= WS_VSCROLL;
  PutItem(out, editStyle, kInputBoxEditId, kEditClass, u"");
  PutItem(out, BS_DEFPUSHBUTTON | WS_TABSTOP, IDOK, kButtonClass, u"OK");
  PutItem(out, BS_PUSHBUTTON | WS_TABSTOP, IDCANCEL, kButtonClass, u"キャンセル");
  return out;
}

int CountLines(const std::u16string& text) {
  int lines = 1;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'\n') ++lines;
  }
  return lines;
}

// Dialog units to pixels for this box: its font is the one made for the DPI
// of the box's monitor, so the units follow that DPI.
RECT Units(HWND dialog, int x, int y, int cx, int cy) {
  RECT r = {x, y, x + cx, y + cy};
  MapDialogRect(dialog, &r);
  return r;
}

void Place(HWND dialog, int id, const RECT& r) {
  SetWindowPos(GetDlgItem(dialog, id), nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
               SWP_NOZORDER | SWP_NOACTIVATE);
}

// Height in pixels that the prompt needs at the prompt's width.
int PromptHeight(HWND dialog, const std::u16string& prompt, int width) {
  const WindowDc dc(GetDlgItem(dialog, kInputBoxPromptId));
  if (dc.Get() == nullptr) return 0;
  HFONT font = reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0));
  HGDIOBJ old = font != nullptr ? SelectObject(dc.Get(), font) : nullptr;
  RECT r = {0, 0, width, 0};
  DrawTextW(dc.Get(), wide::Ptr(prompt), -1, &r, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EDITCONTROL);
  if (old != nullptr) SelectObject(dc.Get(), old);
  return r.bottom - r.top;
}

void LayOut(HWND dialog, const InputBoxState& state) {
  const RECT prompt = Units(dialog, kMargin, kMargin, kPromptWidth, 0);
  const RECT buttons = Units(dialog, 0, 0, 0, kButtonHeight * 2 + kButtonGap);
  const RECT tallest = Units(dialog, 0, 0, 0, kMaxPromptHeight);
  const int promptWidth = prompt.right - prompt.left;
  int promptHeight = PromptHeight(dialog, *state.prompt, promptWidth);
  promptHeight = std::min(std::max(promptHeight, static_cast<int>(buttons.bottom)), static_cast<int>(tallest.bottom));
  Place(dialog, kInputBoxPromptId, {prompt.left, prompt.top, prompt.right, prompt.top + promptHeight});

  const RECT okButton = Units(dialog, kMargin * 2 + kPromptWidth, kMargin, kButtonWidth, kButtonHeight);
  const RECT cancelButton =
      Units(dialog, kMargin * 2 + kPromptWidth, kMargin + kButtonHeight + kButtonGap, kButtonWidth, kButtonHeight);
  Place(dialog, IDOK, okButton);
  Place(dialog, IDCANCEL, cancelButton);

  const int lines = std::min(CountLines(*state.defaultText), kMaxEditLines);
  const RECT gap = Units(dialog, 0, 0, kMargin, kMargin);
  const RECT editSize = Units(dialog, 0, 0, kMargin + kPromptWidth + kButtonWidth + kMargin, lines * kLineHeight + kEditPadding);
  const int editTop = prompt.top + promptHeight + gap.bottom;
  const RECT edit = {prompt.left, editTop, prompt.left + editSize.right, editTop + editSize.bottom};
  Place(dialog, kInputBoxEditId, edit);

  // The frame around that client area, for the box's DPI, centred in the
  // work area of the screen the box is on.
  RECT frame = {0, 0, okButton.right + gap.right, edit.bottom + gap.bottom};
  newer_windows::AdjustWindowRectForDpi(frame, static_cast<DWORD>(GetWindowLongPtrW(dialog, GWL_STYLE)), false,
                                        static_cast<DWORD>(GetWindowLongPtrW(dialog, GWL_EXSTYLE)),
                                        newer_windows::WindowDpi(dialog));
  const SIZE size = {frame.right - frame.left, frame.bottom - frame.top};
  const POINT at = CentredOn(MonitorFromWindow(dialog, MONITOR_DEFAULTTONEAREST), size);
  SetWindowPos(dialog, nullptr, at.x, at.y, size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR CALLBACK InputBoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      SetWindowLongPtrW(dialog, DWLP_USER, lParam);
      InputBoxState& state = *reinterpret_cast<InputBoxState*>(lParam);
      SetDlgItemTextW(dialog, kInputBoxPromptId, wide::Ptr(*state.prompt));
      HWND edit = GetDlgItem(dialog, kInputBoxEditId);
      SendMessageW(edit, EM_SETLIMITTEXT, 0, 0);  // no limit below the system's own
      SetWindowTextW(edit, wide::Ptr(*state.defaultText));
      LayOut(dialog, state);
      SetFocus(edit);
      // All selected, the caret at the start so that the start is in view.
      SendMessageW(edit, EM_SETSEL, static_cast<WPARAM>(GetWindowTextLengthW(edit)), 0);
      return FALSE;  // the focus is set
    }
    case WM_COMMAND: {
      InputBoxState* state = reinterpret_cast<InputBoxState*>(GetWindowLongPtrW(dialog, DWLP_USER));
      const int id = LOWORD(wParam);
      if (id == IDOK) {
        if (state != nullptr) system_text::ReadWindowText(GetDlgItem(dialog, kInputBoxEditId), state->answer);
        EndDialog(dialog, IDOK);
        return TRUE;
      }
      if (id == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
      }
      return FALSE;
    }
    case WM_CLOSE:
      EndDialog(dialog, IDCANCEL);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

std::u16string ShowInputBox(const std::u16string& prompt, const std::u16string& title,
                            const std::u16string& defaultText) {
  InputBoxState state = {&prompt, &defaultText, std::u16string()};
  const std::vector<WORD> dialogTemplate = BuildTemplate(title, CountLines(defaultText) > 1);
  // Modal to this thread's active window, which stays disabled meanwhile.
  HWND owner = GetActiveWindow();
  const INT_PTR result =
      DialogBoxIndirectParamW(GetModuleHandleW(nullptr), reinterpret_cast<LPCDLGTEMPLATEW>(dialogTemplate.data()),
                              owner, InputBoxProc, reinterpret_cast<LPARAM>(&state));
  if (result != IDOK) return std::u16string();
  return state.answer;
}
