// The fake template list and window of marlet (see fake_list.h).
#include "fake_list.h"

#include "form1.h"

namespace fake {

namespace {
ListWorld g_list;
}

ListWorld& List() { return g_list; }

void ResetList(const std::vector<std::u16string>& items, int selected, const std::u16string& typed) {
  g_list = ListWorld();
  g_list.items = items;
  g_list.selected = selected;
  g_list.typed = typed;
}

}  // namespace fake

void ListAddItem(const std::u16string& item) { fake::g_list.items.push_back(item); }

int ListCount() { return static_cast<int>(fake::g_list.items.size()); }

int ListSelectedIndex() { return fake::g_list.selected; }

bool ListSetSelectedIndex(int index) {
  fake::ListWorld& l = fake::g_list;
  const int call = l.setSelectedCalls++;
  l.selectionMoves.push_back(index);
  if (l.setSelectedFails || call == l.failSetSelectedAt) return false;
  // Like the real list: -1 clears the selection (and the edit field), an
  // index outside the items is refused.
  if (index < -1 || index >= static_cast<int>(l.items.size())) return false;
  l.selected = index;
  if (index == -1) l.typed.clear();
  return true;
}

bool ListGetCurrentText(std::u16string& out) {
  fake::ListWorld& l = fake::g_list;
  const int call = l.getCurrentTextCalls++;
  if (l.getCurrentTextFails || call == l.failGetCurrentTextAt) return false;
  if (l.selected >= 0 && l.selected < static_cast<int>(l.items.size())) {
    out = l.items[static_cast<size_t>(l.selected)];
  } else {
    out = l.typed;
  }
  return true;
}

bool ListGetItemText(int index, std::u16string& out) {
  fake::ListWorld& l = fake::g_list;
  const int call = l.getItemTextCalls++;
  if (l.getItemTextFails || call == l.failGetItemTextAt) return false;
  if (index < 0 || index >= static_cast<int>(l.items.size())) return false;
  out = l.items[static_cast<size_t>(index)];
  return true;
}

WindowHandle Form1Handle() { return fake::g_list.handle; }

void Form1Close() { ++fake::g_list.closeCount; }
