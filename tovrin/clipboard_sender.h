// tovrin's whole run: read the clipboard, prepare the text with separator
// lines dropped, deliver it with the settling wait. Shows nothing.
#pragma once

#include "platform_calls.h"

void RunClipboardSender(WindowHandle form1);
