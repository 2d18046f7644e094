// A fake of marlet's template list and window (marlet/form1.h) for the native
// tests. It keeps the items, the selected index and the typed text in plain
// variables: the current text is the selected item's text when an item is
// selected, else the typed text. Failures can be injected per operation, and
// selection moves and closings are recorded.
//
//   fake::ResetList({u"■ select: select 1", u"   from dual"}, 0);
//   Command1_Click();
//   EXPECT_EQ(fake::List().closeCount, 1);
#pragma once

#include <string>
#include <vector>

#include "window_handle.h"

namespace fake {

struct ListWorld {
  std::vector<std::u16string> items;  // ListAddItem appends here
  int selected = -1;                  // -1: no item selected
  std::u16string typed;               // the edit field's text when nothing is selected

  // Failure injection: the operation returns false and changes nothing.
  // failSetSelectedAt / failGetCurrentTextAt / failGetItemTextAt fail only the n-th call (0-based,
  // counted since the reset); the plain flags fail every call.
  bool setSelectedFails = false;
  bool getCurrentTextFails = false;
  bool getItemTextFails = false;
  int failSetSelectedAt = -1;
  int failGetCurrentTextAt = -1;
  int failGetItemTextAt = -1;

  // Records.
  std::vector<int> selectionMoves;  // every index passed to ListSetSelectedIndex
  int setSelectedCalls = 0;
  int getCurrentTextCalls = 0;
  int getItemTextCalls = 0;
  int closeCount = 0;               // Form1Close calls
  WindowHandle handle = 0x1234;     // what Form1Handle returns
};

// The fake list's state.
ListWorld& List();

// A fresh list holding `items`, with `selected` selected and `typed` as the
// edit field's text (used only while nothing is selected).
void ResetList(const std::vector<std::u16string>& items = {}, int selected = -1,
               const std::u16string& typed = u"");

}  // namespace fake
