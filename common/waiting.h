// Time and waiting: the monotonic clock, the handling of this thread's
// window messages, and the delivery's turn among our running programs.
// Implemented for Windows in waiting_win.cpp; the unit tests link a fake.
#pragma once

// A monotonic clock in seconds, for waits that must not jump at midnight.
double MonotonicSeconds();

// Handles the window messages waiting for this thread, then returns.
void PumpPendingEvents();

// Waits up to `seconds` without using the processor, handling this
// thread's window messages as they arrive; returns when the time is up.
void WaitHandlingEvents(double seconds);

// Deliveries of all our running programs in this session, one at a time.
// TakeDeliveryTurn waits for the running one to end, asleep and handling
// events meanwhile, for kDeliveryTurnWaitSeconds at most; false when the
// turn did not come in that time (nothing may then be written or pasted).
// Where there is no turn to be had for another reason (the system is out of
// resources), the delivery goes ahead without it: true. EndDeliveryTurn lets
// the next one go; it does nothing when no turn is held. A turn taken while
// this program holds one already nests: the last End lets go.
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
