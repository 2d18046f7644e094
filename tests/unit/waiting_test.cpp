// The one wait loop against the fake clock: how often it looks, and that it
// never takes longer than its time-out and one look (the clipboard's budget
// of tries rests on this).
#include "waiting.h"

#include <gtest/gtest.h>

#include <vector>

#include "fake_platform.h"

namespace {

std::vector<double> g_looks;  // the clock at each call of the condition

// Waits 0.25 s, looking every 20 ms, with a condition that takes `lookLength`
// seconds and answers from `answers` (the last answer repeats).
bool Wait(std::vector<bool> answers, double lookLength) {
  fake::Reset();
  fake::State().now = 100.0;
  fake::State().tick = 0;
  g_looks.clear();
  return WaitUntil(
      [&] {
        g_looks.push_back(fake::State().now);
        fake::State().now += lookLength;
        const bool answer = answers.front();
        if (answers.size() > 1) answers.erase(answers.begin());
        return answer;
      },
      0.25, 0.02, Messages::kSentOnly);
}

TEST(WaitUntil, LooksUntilTheTimeOutAndNoLonger) {
  // Instant looks: one at the start, then one after each 20 ms asleep, the
  // last at 250 ms exactly.
  EXPECT_FALSE(Wait({false}, 0.0));
  EXPECT_EQ(g_looks.size(), 14u);
  EXPECT_NEAR(g_looks.back() - 100.0, 0.25, 1e-9);
  EXPECT_NEAR(fake::State().now - 100.0, 0.25, 1e-9);

  // Slow looks (a clipboard that takes 100 ms to open each time): no look
  // starts after the time-out, so the whole ends within it and one look.
  EXPECT_FALSE(Wait({false}, 0.1));
  EXPECT_EQ(g_looks.size(), 3u);
  EXPECT_LE(g_looks.back() - 100.0, 0.25);
  EXPECT_LE(fake::State().now - 100.0, 0.25 + 0.1);
}

TEST(WaitUntil, TheConditionMetEndsTheWaitAtOnce) {
  EXPECT_TRUE(Wait({true}, 0.0));
  EXPECT_EQ(g_looks.size(), 1u);
  EXPECT_EQ(fake::State().now, 100.0);

  EXPECT_TRUE(Wait({false, false, true}, 0.0));
  EXPECT_EQ(g_looks.size(), 3u);
  EXPECT_NEAR(fake::State().now - 100.0, 0.04, 1e-9);
}

}  // namespace
