// tovrin's whole run: read the clipboard, prepare the text with separator
// lines dropped, break its long lines, deliver it with the settling wait.
// Shows nothing; beeps when the text cannot be pasted as SQL*Plus would take
// it (sqlplus_lines.h).
#pragma once

#include "window_handle.h"

void RunClipboardSender(WindowHandle form1);
