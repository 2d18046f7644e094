// Time and waiting on Windows: the clock, the one message pump, sleeping
// without using the processor while the messages a wait chose are handled
// as they arrive, and the delivery's turn.
#include <windows.h>

#include <utility>

#include "handles_win.h"
#include "newer_windows_win.h"
#include "waiting.h"

namespace {

// A queue that never runs empty (a window that keeps repainting without
// validating) must not keep the pump from returning.
constexpr int kMaxPumpedMessages = 10000;

// A quit request met by the pump: kept aside until the wait ends, then
// posted again for the program's own loop.
struct QuitRequest {
  bool seen = false;
  WPARAM code = 0;
};

// The one message pump: handles the messages waiting for this thread that
// `handled` lets through. Once a quit request has been met only messages sent
// by other threads are handled, so that the request stays for the program's
// own loop and a wait never wakes for it again.
void HandleMessages(Messages handled, QuitRequest& quit) {
  if (handled == Messages::kNone) return;
  MSG message;
  for (int count = 0; count < kMaxPumpedMessages; ++count) {
    const UINT sentOnly = handled == Messages::kSentOnly || quit.seen ? PM_QS_SENDMESSAGE : 0;
    if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE | sentOnly)) return;
    if (message.message == WM_QUIT) {
      quit.seen = true;
      quit.code = message.wParam;
      continue;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

void PostAgain(const QuitRequest& quit) {
  if (quit.seen) PostQuitMessage(static_cast<int>(quit.code));
}

// Waits up to `seconds` for `object` (none: just the time), asleep until a
// message that `handled` lets through arrives, which is handled. WAIT_OBJECT_0
// or WAIT_ABANDONED_0 when the object came, else WAIT_TIMEOUT.
DWORD WaitHandling(HANDLE object, double seconds, Messages handled) {
  const double end = MonotonicSeconds() + seconds;
  const DWORD count = object != nullptr ? 1 : 0;
  QuitRequest quit;
  DWORD result = WAIT_TIMEOUT;
  for (;;) {
    HandleMessages(handled, quit);
    const double left = end - MonotonicSeconds();
    const DWORD ms = left > 0 ? static_cast<DWORD>(left * 1000.0) + 1 : 0;
    DWORD woke = WAIT_TIMEOUT;
    if (handled == Messages::kNone) {
      if (count == 1) {
        woke = WaitForSingleObject(object, ms);
      } else {
        Sleep(ms);
      }
    } else {
      // Without MWMO_INPUTAVAILABLE: only messages that arrive from now on
      // wake the wait; those already looked at were handled just above.
      const DWORD wake = handled == Messages::kSentOnly || quit.seen ? QS_SENDMESSAGE : QS_ALLINPUT;
      woke = MsgWaitForMultipleObjectsEx(count, count == 1 ? &object : nullptr, ms, wake, 0);
    }
    if (count == 1 && (woke == WAIT_OBJECT_0 || woke == WAIT_ABANDONED_0)) {
      result = woke;
      break;
    }
    if (woke == WAIT_FAILED) Sleep(ms < 10 ? ms : 10);  // never spin, even then
    if (left <= 0) break;
  }
  HandleMessages(handled, quit);
  PostAgain(quit);
  return result;
}

// Deliveries of all our programs in this session take turns through this
// mutex ("Local\" is the session's namespace, on XP too).
const wchar_t kDeliveryTurnName[] = L"Local\\vorn3-sqlplus-delivery";
// A program of ours running with higher rights that holds the turn keeps us
// from opening its mutex (its default security): we look again this often.
constexpr double kLockedTurnSeconds = 0.25;
Handle g_deliveryTurn;
int g_deliveryTurnDepth = 0;  // Takes not yet ended

}  // namespace

double MonotonicSeconds() {
  LARGE_INTEGER frequency;
  LARGE_INTEGER counter;
  if (!QueryPerformanceFrequency(&frequency) || frequency.QuadPart <= 0 || !QueryPerformanceCounter(&counter)) {
    return static_cast<double>(newer_windows::TickCount64()) / 1000.0;
  }
  // Split to keep the precision of a large counter.
  const long long whole = counter.QuadPart / frequency.QuadPart;
  const long long rest = counter.QuadPart % frequency.QuadPart;
  return static_cast<double>(whole) + static_cast<double>(rest) / static_cast<double>(frequency.QuadPart);
}

void PumpPendingEvents() {
  QuitRequest quit;
  HandleMessages(Messages::kAll, quit);
  PostAgain(quit);
}

void SleepHandling(double seconds, Messages handled) { WaitHandling(nullptr, seconds, handled); }

bool TakeDeliveryTurn() {
  if (g_deliveryTurnDepth > 0) {
    ++g_deliveryTurnDepth;
    return true;
  }
  const double end = MonotonicSeconds() + kDeliveryTurnWaitSeconds;
  Handle turn;
  bool noTurn = false;
  // All messages are handled while the turn is awaited, here and below: the
  // program's own window stays alive.
  WaitUntil(
      [&turn, &noTurn] {
        turn.Reset(CreateMutexW(nullptr, FALSE, kDeliveryTurnName));
        noTurn = !turn.Valid() && GetLastError() != ERROR_ACCESS_DENIED;
        return turn.Valid() || noTurn;
      },
      kDeliveryTurnWaitSeconds, kLockedTurnSeconds, Messages::kAll);
  if (!turn.Valid() && !noTurn) return false;
  if (turn.Valid()) {
    // WAIT_ABANDONED_0: the holder ended without letting go (it crashed or
    // was ended); the turn is ours all the same.
    const double left = end - MonotonicSeconds();
    if (WaitHandling(turn.Get(), left > 0 ? left : 0, Messages::kAll) == WAIT_TIMEOUT) return false;
    g_deliveryTurn = std::move(turn);
  }
  g_deliveryTurnDepth = 1;  // with the turn, or without one to be had: go ahead
  return true;
}

void EndDeliveryTurn() {
  if (g_deliveryTurnDepth == 0 || --g_deliveryTurnDepth > 0 || !g_deliveryTurn.Valid()) return;
  ReleaseMutex(g_deliveryTurn.Get());
  g_deliveryTurn.Reset();
}
