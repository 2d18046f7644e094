// Combo1, the template list, for the code that works on it (form1.h).
#include "combo1_list_win.h"

#include <string>
#include <vector>

#include "form1.h"
#include "system_text_win.h"
#include "wide_win.h"

namespace {

// CB_SETCURSEL and LB_SETCURSEL take this index for "no item".
const WPARAM kNoItem = static_cast<WPARAM>(-1);

// Combo1 of the open Form1; null when there is none.
HWND OpenCombo1() {
  const Form1State* state = OpenForm1State();
  return state ? Combo1Window(*state) : nullptr;
}

}  // namespace

void Combo1Created(Form1State& state) {
  HWND combo = Combo1Window(state);
  COMBOBOXINFO info = {};
  info.cbSize = sizeof(info);
  state.comboList = combo && GetComboBoxInfo(combo, &info) ? info.hwndList : nullptr;
}

HWND Combo1Window(const Form1State& state) { return ControlWindow(state, layout::kIdCombo1); }

void Combo1SetRedraw(const Form1State& state, bool on) {
  HWND combo = Combo1Window(state);
  if (!combo) return;
  if (!on) SendMessageW(combo, WM_SETREDRAW, FALSE, 0);
  if (state.comboList) SendMessageW(state.comboList, WM_SETREDRAW, on ? TRUE : FALSE, 0);
  if (on) {
    SendMessageW(combo, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(combo, nullptr, TRUE);
  }
}

void Combo1EditChanged(const Form1State& state) {
  // The list box may have highlighted an item that begins with the text.
  if (state.settingSelection || !state.comboList) return;
  SendMessageW(state.comboList, LB_SETCURSEL, kNoItem, 0);
}

bool Combo1DoubleClickOnItem(const Form1State& state) {
  if (!state.comboList) return true;
  const DWORD at = GetMessagePos();
  POINT p = {static_cast<SHORT>(LOWORD(at)), static_cast<SHORT>(HIWORD(at))};
  ScreenToClient(state.comboList, &p);
  RECT client;
  GetClientRect(state.comboList, &client);
  if (!PtInRect(&client, p)) return false;
  const LRESULT hit = SendMessageW(state.comboList, LB_ITEMFROMPOINT, 0, MAKELPARAM(p.x, p.y));
  return HIWORD(hit) == 0;  // inside an item
}

void ListAddItem(const std::u16string& item) {
  HWND combo = OpenCombo1();
  if (!combo) return;
  SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide::Ptr(item)));
}

int ListCount() {
  HWND combo = OpenCombo1();
  if (!combo) return 0;
  const LRESULT n = SendMessageW(combo, CB_GETCOUNT, 0, 0);
  return n == CB_ERR ? 0 : static_cast<int>(n);
}

int ListSelectedIndex() {
  HWND combo = OpenCombo1();
  if (!combo) return -1;
  const LRESULT i = SendMessageW(combo, CB_GETCURSEL, 0, 0);
  return i < 0 ? -1 : static_cast<int>(i);
}

bool ListSetSelectedIndex(int index) {
  Form1State* state = OpenForm1State();
  HWND combo = state ? Combo1Window(*state) : nullptr;
  if (!combo || index < -1 || index >= ListCount()) return false;
  // Selecting shows the item's text in the edit field; -1 clears both.
  state->settingSelection = true;
  const LRESULT r = SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  state = OpenForm1State();  // the window may have gone meanwhile, and its state with it
  if (state) state->settingSelection = false;
  return index == -1 || r == index;
}

bool ListGetItemText(int index, std::u16string& out) {
  HWND combo = OpenCombo1();
  if (!combo || index < 0) return false;
  const LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
  if (length < 0) return false;
  std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1, L'\0');
  const LRESULT got =
      SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buffer.data()));
  if (got < 0) return false;
  out = wide::FromWide(buffer.data(), static_cast<size_t>(got));
  return true;
}

bool ListGetCurrentText(std::u16string& out) {
  HWND combo = OpenCombo1();
  if (!combo) return false;
  // With an item selected the edit field shows that item; its text is read
  // from the list, whole, since a one-line edit field need not keep line
  // breaks.
  const LRESULT selected = SendMessageW(combo, CB_GETCURSEL, 0, 0);
  if (selected >= 0) return ListGetItemText(static_cast<int>(selected), out);
  return system_text::ReadWindowText(combo, out);
}
