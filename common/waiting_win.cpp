// Time and waiting on Windows: the clock, and waiting without using the
// processor, for a time or for the delivery's turn, while the program's own
// window messages are handled as they arrive.
#include <windows.h>

#include "newer_windows_win.h"
#include "waiting.h"

namespace {

// A queue that never runs empty must not keep the wait from returning.
constexpr int kMaxPumpedMessages = 10000;

// Handles the messages waiting for this thread. A quit request is kept
// aside (`quit`) and from then on only messages sent by other threads are
// handled, so that the request stays for the program's own loop and the
// wait never wakes for it again.
void HandleWaitingMessages(bool& quit, WPARAM& quitCode) {
  MSG message;
  for (int handled = 0; handled < kMaxPumpedMessages; ++handled) {
    if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE | (quit ? PM_QS_SENDMESSAGE : 0))) return;
    if (message.message == WM_QUIT) {
      quit = true;
      quitCode = message.wParam;
      continue;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

// Waits up to `seconds` for `object` (none: just the time), asleep until a
// message arrives, which is handled. WAIT_OBJECT_0 or WAIT_ABANDONED_0 when
// the object came, else WAIT_TIMEOUT.
DWORD WaitHandling(HANDLE object, double seconds) {
  const double end = MonotonicSeconds() + seconds;
  bool quit = false;
  WPARAM quitCode = 0;
  DWORD result = WAIT_TIMEOUT;
  for (;;) {
    HandleWaitingMessages(quit, quitCode);
    const double left = end - MonotonicSeconds();
    const DWORD ms = left > 0 ? static_cast<DWORD>(left * 1000.0) + 1 : 0;
    const DWORD count = object != nullptr ? 1 : 0;
    // Without MWMO_INPUTAVAILABLE: only messages that arrive from now on
    // wake the wait; those already looked at were handled just above.
    const DWORD woke = MsgWaitForMultipleObjectsEx(count, object != nullptr ? &object : nullptr, ms,
                                                   quit ? QS_SENDMESSAGE : QS_ALLINPUT, 0);
    if (count == 1 && (woke == WAIT_OBJECT_0 || woke == WAIT_ABANDONED_0)) {
      result = woke;
      break;
    }
    if (woke == WAIT_FAILED) Sleep(ms < 10 ? ms : 10);  // never spin, even then
    if (left <= 0) break;
  }
  HandleWaitingMessages(quit, quitCode);
  if (quit) PostQuitMessage(static_cast<int>(quitCode));
  return result;
}

// Deliveries of all our programs in this session take turns through this
// mutex ("Local\" is the session's namespace, on XP too).
const wchar_t kDeliveryTurnName[] = L"Local\\vorn3-sqlplus-delivery";
// A program of ours running with higher rights that holds the turn keeps us
// from opening its mutex (its default security): we look again this often.
constexpr double kLockedTurnSeconds = 0.25;
HANDLE g_deliveryTurn = nullptr;
int g_deliveryTurnDepth = 0;  // Takes not yet ended

}  // namespace

void PumpPendingEvents() {
  MSG message;
  for (int handled = 0; handled < kMaxPumpedMessages; ++handled) {
    if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) return;
    if (message.message == WM_QUIT) {
      // Leave the quit request for the program's own message loop.
      PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

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


void WaitHandlingEvents(double seconds) { WaitHandling(nullptr, seconds); }

bool TakeDeliveryTurn() {
  if (g_deliveryTurnDepth > 0) {
    ++g_deliveryTurnDepth;
    return true;
  }
  const double end = MonotonicSeconds() + kDeliveryTurnWaitSeconds;
  for (;;) {
    const double left = end - MonotonicSeconds();
    HANDLE turn = CreateMutexW(nullptr, FALSE, kDeliveryTurnName);
    if (turn == nullptr && GetLastError() != ERROR_ACCESS_DENIED) break;  // no turn to be had: go ahead
    if (turn != nullptr) {
      // WAIT_ABANDONED_0: the holder ended without letting go (it crashed
      // or was ended); the turn is ours all the same.
      if (WaitHandling(turn, left > 0 ? left : 0) != WAIT_TIMEOUT) {
        g_deliveryTurn = turn;
        break;
      }
      CloseHandle(turn);
      return false;
    }
    if (left <= 0) return false;
    WaitHandling(nullptr, left < kLockedTurnSeconds ? left : kLockedTurnSeconds);
  }
  g_deliveryTurnDepth = 1;
  return true;
}

void EndDeliveryTurn() {
  if (g_deliveryTurnDepth == 0 || --g_deliveryTurnDepth > 0 || g_deliveryTurn == nullptr) return;
  ReleaseMutex(g_deliveryTurn);
  CloseHandle(g_deliveryTurn);
  g_deliveryTurn = nullptr;
}
