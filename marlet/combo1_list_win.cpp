// Combo1, the template list, for the code that works on it (form1.h).
#include "combo1_list_win.h"

#include <string>
#include <vector>

#include "form1.h"
#include "wide_win.h"

namespace {

HWND g_combo = nullptr;
HWND g_comboList = nullptr;       // the list box inside Combo1
bool g_settingSelection = false;  // the edit field is changed by the code

// CB_SETCURSEL and LB_SETCURSEL take this index for "no item".
const WPARAM kNoItem = static_cast<WPARAM>(-1);

}  // namespace

void Combo1Attach(HWND combo) {
  g_combo = combo;
  g_comboList = nullptr;
  if (!combo) return;
  COMBOBOXINFO info = {};
  info.cbSize = sizeof(info);
  if (GetComboBoxInfo(combo, &info)) g_comboList = info.hwndList;
}

HWND Combo1Window() { return g_combo; }

void Combo1SetRedraw(bool on) {
  if (!g_combo) return;
  if (!on) SendMessageW(g_combo, WM_SETREDRAW, FALSE, 0);
  if (g_comboList) SendMessageW(g_comboList, WM_SETREDRAW, on ? TRUE : FALSE, 0);
  if (on) {
    SendMessageW(g_combo, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(g_combo, nullptr, TRUE);
  }
}

void Combo1EditChanged() {
  // The list box may have highlighted an item that begins with the text.
  if (g_settingSelection || !g_comboList) return;
  SendMessageW(g_comboList, LB_SETCURSEL, kNoItem, 0);
}

bool Combo1DoubleClickOnItem() {
  if (!g_comboList) return true;
  const DWORD at = GetMessagePos();
  POINT p = {static_cast<SHORT>(LOWORD(at)), static_cast<SHORT>(HIWORD(at))};
  ScreenToClient(g_comboList, &p);
  RECT client;
  GetClientRect(g_comboList, &client);
  if (!PtInRect(&client, p)) return false;
  const LRESULT hit = SendMessageW(g_comboList, LB_ITEMFROMPOINT, 0, MAKELPARAM(p.x, p.y));
  return HIWORD(hit) == 0;  // inside an item
}

void ListAddItem(const std::u16string& item) {
  if (!g_combo) return;
  SendMessageW(g_combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide::Ptr(item)));
}

int ListCount() {
  if (!g_combo) return 0;
  const LRESULT n = SendMessageW(g_combo, CB_GETCOUNT, 0, 0);
  return n == CB_ERR ? 0 : static_cast<int>(n);
}

int ListSelectedIndex() {
  if (!g_combo) return -1;
  const LRESULT i = SendMessageW(g_combo, CB_GETCURSEL, 0, 0);
  return i < 0 ? -1 : static_cast<int>(i);
}

bool ListSetSelectedIndex(int index) {
  if (!g_combo || index < -1 || index >= ListCount()) return false;
  // Selecting shows the item's text in the edit field; -1 clears both.
  g_settingSelection = true;
  const LRESULT r = SendMessageW(g_combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  g_settingSelection = false;
  return index == -1 || r == index;
}

bool ListGetItemText(int index, std::u16string& out) {
  if (!g_combo || index < 0) return false;
  const LRESULT length = SendMessageW(g_combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
  if (length < 0) return false;
  std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1, L'\0');
  const LRESULT got =
      SendMessageW(g_combo, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buffer.data()));
  if (got < 0) return false;
  out = wide::FromWide(buffer.data(), static_cast<size_t>(got));
  return true;
}

bool ListGetCurrentText(std::u16string& out) {
  if (!g_combo) return false;
  // With an item selected the edit field shows that item; its text is read
  // from the list, whole, since a one-line edit field need not keep line
  // breaks.
  const LRESULT selected = SendMessageW(g_combo, CB_GETCURSEL, 0, 0);
  if (selected >= 0) return ListGetItemText(static_cast<int>(selected), out);
  SetLastError(0);
  const int length = GetWindowTextLengthW(g_combo);
  std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1, L'\0');
  const int got = GetWindowTextW(g_combo, buffer.data(), length + 1);
  if (got == 0 && length > 0) return false;
  out = wide::FromWide(buffer.data(), static_cast<size_t>(got));
  return true;
}
