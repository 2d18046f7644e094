// How long a clipboard operation may keep trying. The clipboard is shared by
// every program on the desktop: another one may hold it open for a moment,
// and emptying it may fail while its previous owner's process ends. An
// operation therefore tries again for a short while, but never longer than
// one small budget in all, whatever fails and however often.
#pragma once

#include <functional>

namespace clipboard_retry {

// What one try of a clipboard operation came to.
enum class Attempt {
  kDone,    // the operation succeeded
  kAgain,   // it failed in a way that may pass (the clipboard was busy)
  kGiveUp,  // it failed for good (for example, the owner does not answer)
};

// The budget of one operation, from the start of its first try, and the pause
// between tries.
constexpr double kBudgetSeconds = 0.25;
constexpr double kPauseSeconds = 0.02;

// The clock the policy runs on: a monotonic reading in seconds and a pause.
struct Clock {
  double (*now)();
  void (*pause)(double seconds);
};

// Calls `attempt` until it is done or gives up, pausing kPauseSeconds between
// tries. No pause reaches past the budget and no try starts after it, so the
// whole operation takes at most the budget plus the length of one try. True
// when a try was done.
bool RunWithinBudget(const std::function<Attempt()>& attempt, const Clock& clock);

}  // namespace clipboard_retry
