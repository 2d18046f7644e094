// The clock and the waits of the fake world: time passes only as the clock
// is read (`tick`) and as the program sleeps, and SQL*Plus runs meanwhile.
#include <cstdio>

#include "fake_platform.h"
#include "waiting.h"

using fake::State;

double MonotonicSeconds() {
  fake::World& w = State();
  const double now = w.now;
  w.now += w.tick;
  return now;
}

void PumpPendingEvents() {
  fake::Record("PumpPendingEvents()");
  fake::SqlPlusRuns();
}

void SleepHandling(double seconds, Messages) {
  char shown[32];
  std::snprintf(shown, sizeof shown, "%g", seconds);
  fake::Record(std::string("SleepHandling(") + shown + ")");
  State().now += seconds;
  fake::SqlPlusRuns();
}

bool TakeDeliveryTurn() {
  fake::Record("TakeDeliveryTurn()");
  if (State().deliveryTurnRefused) return false;
  if (State().deliveryTurns++ == 0) ++State().turnsTaken;
  return true;
}

void EndDeliveryTurn() {
  fake::Record("EndDeliveryTurn()");
  if (State().deliveryTurns > 0) --State().deliveryTurns;
}
