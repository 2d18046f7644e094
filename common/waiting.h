// Time and waiting: the monotonic clock, the handling of this thread's
// window messages, every wait's one loop, and the delivery's turn among our
// running programs. Implemented for Windows in waiting_win.cpp (WaitUntil,
// the same everywhere, here); the unit tests link a fake.
#pragma once

// A monotonic clock in seconds, for waits that must not jump at midnight.
double MonotonicSeconds();

// Which of this thread's window messages a wait handles while it sleeps.
// Each wait says why it chose.
enum class Messages {
  kAll,       // all: the program's windows stay alive, its handlers may run
  kSentOnly,  // only those another thread sends and waits on (a program
              // reading our clipboard offer): no handler of ours runs
  kNone,      // none: a thread without windows
};

// Handles the window messages waiting for this thread, then returns. A quit
// request stays in the queue for the program's own message loop.
void PumpPendingEvents();

// Sleeps `seconds` without using the processor, handling the messages
// `handled` as they arrive (a quit request is left for the program's own
// loop). WaitUntil's sleep: the waits of the programs go through WaitUntil.
void SleepHandling(double seconds, Messages handled);

// Calls `condition` until it holds, sleeping up to `pollSeconds` between two
// calls (SleepHandling), for `timeoutSeconds` at most from the first call,
// on the monotonic clock. No sleep reaches past the time-out and less than
// a millisecond left is no time for another, so the last call comes at the
// time-out at the latest. True when the condition held.
template <typename Condition>
bool WaitUntil(Condition condition, double timeoutSeconds, double pollSeconds, Messages handled) {
  const double end = MonotonicSeconds() + timeoutSeconds;
  for (;;) {
    if (condition()) return true;
    const double left = end - MonotonicSeconds();
    if (left < 0.001) return false;
    SleepHandling(left < pollSeconds ? left : pollSeconds, handled);
  }
}

// Calls `attempt` until it gives something other than `again`, waiting
// between two calls as WaitUntil does; its last result.
template <typename Result, typename Attempt>
Result RetryWhile(Result again, Attempt attempt, double timeoutSeconds, double pollSeconds, Messages handled) {
  Result result = again;
  WaitUntil(
      [&attempt, &result, again] {
        result = attempt();
        return result != again;
      },
      timeoutSeconds, pollSeconds, handled);
  return result;
}

// Deliveries of all our running programs in this session, one at a time.
// TakeDeliveryTurn waits for the running one to end, asleep and handling
// all messages meanwhile, for kDeliveryTurnWaitSeconds at most; false when
// the turn did not come in that time (nothing may then be written or
// pasted). Where there is no turn to be had for another reason (the system
// is out of resources), the delivery goes ahead without it: true.
// EndDeliveryTurn lets the next one go; it does nothing when no turn is
// held. A turn taken while this program holds one already nests: the last
// End lets go.
//
// A delivery holds the turn until SQL*Plus has taken its paste. While
// SQL*Plus answers, that takes some 10 s at the most (a keystroke delivery:
// the answer check 1 s, the settling second, held keys up to 1 s, the front
// check 0.5 s, the caught-up check 1 s, the keys' way past the keyboard
// hooks 2 s, three answers up to 3 s, and the clipboard's own tries); the
// wait is three times that. A SQL*Plus that runs a long statement holds the
// turn for as long as it runs.
constexpr double kDeliveryTurnWaitSeconds = 30.0;
bool TakeDeliveryTurn();
void EndDeliveryTurn();
