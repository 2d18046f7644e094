// What the user is asked for: the input box. Implemented for Windows in
// input_box_win.cpp; the unit tests link a fake.
#pragma once

#include <string>

#include "boxes.h"

// Modal input box, centred, with the default text selected. Returns the text
// when confirmed; the empty text when cancelled or confirmed empty.
//
// How it can be found and driven from outside (by a test program, say): a
// dialog of the standard dialog class "#32770" whose title is the title
// passed in, with these controls:
//
//   kInputBoxPromptId  static  the prompt, top left
//   kInputBoxEditId    edit    the answer; holds the default text, all of it
//                              selected and focused when the box opens
//   kIdOk              button  OK, the default button (Enter)
//   kIdCancel          button  Cancel (also Esc and the close box)
//
// The edit field keeps line breaks, so a default text of several lines comes
// back whole; Enter confirms and Ctrl+Enter starts a new line.
std::u16string ShowInputBox(const std::u16string& prompt, const std::u16string& title,
                            const std::u16string& defaultText);
constexpr int kInputBoxPromptId = 101;
constexpr int kInputBoxEditId = 102;
