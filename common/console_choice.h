// Which of several running console programs receives the text.
#pragma once

#include <cstdint>
#include <vector>

#include "platform_calls.h"

// A running program with a console that could take the text.
struct ConsoleProcess {
  std::uint32_t processId;
  // When it started, in any unit that grows with time (for a reused process
  // id, the start time tells the new process from the old one).
  std::uint64_t startTime;
  // Its console's window (0 when the console has none of its own) and that
  // window's place among the visible top-level windows, 0 the topmost; -1
  // when it is not visible (a console hosted by a terminal program).
  WindowHandle consoleWindow;
  int zOrder;
};

// The index of the one to use: the one whose console window is highest in
// the Z order (the one the user looked at last); when no console window is
// visible, the one started last. -1 for none.
int ChooseConsole(const std::vector<ConsoleProcess>& candidates);
