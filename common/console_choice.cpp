#include "console_choice.h"

int ChooseConsole(const std::vector<ConsoleProcess>& candidates) {
  int best = -1;
  for (int i = 0; i < static_cast<int>(candidates.size()); ++i) {
    const ConsoleProcess& c = candidates[i];
    if (c.zOrder < 0) continue;
    if (best < 0 || c.zOrder < candidates[best].zOrder) best = i;
  }
  if (best >= 0) return best;
  for (int i = 0; i < static_cast<int>(candidates.size()); ++i) {
    if (best < 0 || candidates[i].startTime > candidates[best].startTime) best = i;
  }
  return best;
}
