// How the input box of ShowInputBox can be found and driven from outside,
// e.g. by a test program: it is a dialog of the standard dialog class
// "#32770" whose title is the title passed in, with these controls:
//
//   kInputBoxPromptId  static  the prompt, top left
//   kInputBoxEditId    edit    the answer; holds the default text, all of it
//                              selected and focused when the box opens
//   IDOK (1)           button  OK, the default button (Enter)
//   IDCANCEL (2)       button  Cancel (also Esc and the close box)
//
// The edit field keeps line breaks, so a default text of several lines comes
// back whole; Enter confirms and Ctrl+Enter starts a new line.
#pragma once

constexpr int kInputBoxPromptId = 101;
constexpr int kInputBoxEditId = 102;
