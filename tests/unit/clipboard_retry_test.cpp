// The clipboard's retry policy against a fake clock: how many tries an
// operation gets, and that it never takes longer than its one budget.
#include "clipboard_retry.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using clipboard_retry::Attempt;

double g_now = 0;
std::vector<double> g_tries;  // the clock reading at the start of each try

double Now() { return g_now; }
void Pause(double seconds) { g_now += seconds; }
const clipboard_retry::Clock kClock = {Now, Pause};

// Runs the policy with tries that each take `tryLength` seconds and answer
// from `answers` (the last answer repeats).
bool TryOperation(std::vector<Attempt> answers, double tryLength) {
  g_now = 100.0;
  g_tries.clear();
  return clipboard_retry::RunWithinBudget(
      [&] {
        g_tries.push_back(g_now);
        g_now += tryLength;
        const Attempt a = answers.front();
        if (answers.size() > 1) answers.erase(answers.begin());
        return a;
      },
      kClock);
}

TEST(ClipboardRetry, ABusyClipboardIsTriedForTheBudgetAndNoLonger) {
  // Instant tries: one at the start, then one after each 20 ms pause, the
  // last at 250 ms exactly.
  EXPECT_FALSE(TryOperation({Attempt::kAgain}, 0.0));
  EXPECT_EQ(g_tries.size(), 14u);
  EXPECT_NEAR(g_tries.back() - 100.0, 0.25, 1e-9);
  EXPECT_NEAR(g_now - 100.0, 0.25, 1e-9);

  // Slow tries (an open that takes 100 ms each time): no try starts after
  // the budget, so the whole ends within the budget and one try.
  EXPECT_FALSE(TryOperation({Attempt::kAgain}, 0.1));
  EXPECT_EQ(g_tries.size(), 3u);
  EXPECT_LE(g_tries.back() - 100.0, 0.25);
  EXPECT_LE(g_now - 100.0, 0.25 + 0.1);
}

TEST(ClipboardRetry, SuccessOrGivingUpEndsAtOnce) {
  EXPECT_TRUE(TryOperation({Attempt::kDone}, 0.0));
  EXPECT_EQ(g_tries.size(), 1u);

  EXPECT_TRUE(TryOperation({Attempt::kAgain, Attempt::kAgain, Attempt::kDone}, 0.0));
  EXPECT_EQ(g_tries.size(), 3u);
  EXPECT_NEAR(g_now - 100.0, 0.04, 1e-9);

  // A hung owner: the try that found it took a second; nothing follows.
  EXPECT_FALSE(TryOperation({Attempt::kGiveUp}, 1.0));
  EXPECT_EQ(g_tries.size(), 1u);
  EXPECT_NEAR(g_now - 100.0, 1.0, 1e-9);
}

}  // namespace
