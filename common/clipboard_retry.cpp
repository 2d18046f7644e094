#include "clipboard_retry.h"

#include <algorithm>

namespace clipboard_retry {

bool RunWithinBudget(const std::function<Attempt()>& attempt, const Clock& clock) {
  const double deadline = clock.now() + kBudgetSeconds;
  for (;;) {
    switch (attempt()) {
      case Attempt::kDone:
        return true;
      case Attempt::kGiveUp:
        return false;
      case Attempt::kAgain:
        break;
    }
    // Less than a millisecond left is no time for another try (nor a pause
    // the system can make).
    const double left = deadline - clock.now();
    if (left < 0.001) return false;
    clock.pause(std::min(kPauseSeconds, left));
    // The try at the deadline is the last one.
  }
}

}  // namespace clipboard_retry
