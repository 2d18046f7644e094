// The fakes' one world, its log, and SQL*Plus as the fakes let it act.
#include "fake_platform.h"

#include <algorithm>

#include "text.h"

namespace fake {

World& State() {
  static World world;
  return world;
}

void Record(const std::string& call) {
  World& w = State();
  w.calls.push_back(call);
  if (w.onCall) w.onCall(call);
}

void Reset() {
  State() = World{};
  Reinstall();
}

void UserCopies(const std::u16string& text) {
  Record("user copies " + text::ToUtf8(text));
  World& w = State();
  w.offerOnClipboard = false;
  w.clipboard = text;
  w.clipboardHoldsMore = false;
  w.clipboardLocale = 0x409;
}

void UserCopiesPicture() {
  Record("user copies a picture");
  World& w = State();
  w.offerOnClipboard = false;
  w.clipboard.clear();
  w.clipboardHoldsMore = true;
  w.clipboardLocale = 0;
}

bool IsSqlPlus(WindowHandle window) {
  const auto it = State().windowsByTitle.find(u"Oracle SQL*Plus");
  return window != 0 && it != State().windowsByTitle.end() && it->second == window;
}

void HandPaste(const char* how) {
  World& w = State();
  NoteTurn();
  w.handed.push_back(how);
  w.handedAt = w.now;
  switch (w.sqlPlusTakes) {
    case World::Takes::kAtOnce:
      w.pasteReadAt = w.now;
      break;
    case World::Takes::kAfterBusy:
      w.sqlPlusBusyUntil = w.now + w.busySeconds;
      w.pasteReadAt = w.sqlPlusBusyUntil;
      break;
    case World::Takes::kNeverButAnswers:
      break;
    case World::Takes::kNeverThenGoes:
      w.sqlPlusBusyUntil = 1e300;
      w.sqlPlusGoneAt = w.now + w.busySeconds;
      break;
  }
}

void SqlPlusRuns() {
  World& w = State();
  if (w.historyReadPending) {
    w.historyReadPending = false;
    if (w.offerOnClipboard && !w.offerRead) {
      w.offerRead = true;
      ++w.offerReads;
      ++w.offerReadsElsewhere;
    }
  }
  // A test whose SQL*Plus would never end its wait is ended here, visibly.
  if (w.now > 1e5 && w.sqlPlusGoneAt < 0) {
    Record("fake: SQL*Plus closed after a day of waiting");
    w.sqlPlusGoneAt = w.now;
  }
  if (w.sqlPlusGoneAt >= 0 && w.now >= w.sqlPlusGoneAt) {
    w.windowsByTitle.erase(u"Oracle SQL*Plus");
    w.pasteReadAt = -1;
  }
  if (w.pasteReadAt < 0 || w.now < w.pasteReadAt || w.now < w.sqlPlusBusyUntil) return;
  w.pasteReadAt = -1;
  if (w.offerOnClipboard && !w.offerRead) {
    w.offerRead = true;
    ++w.offerReads;
  }
  if (!w.clipboardHoldsMore || !w.clipboard.empty()) w.pasted.push_back(w.clipboard);
}

void NoteTurn() {
  if (State().deliveryTurns == 0) ++State().outsideTurn;
}

int Count(const std::string& prefix) {
  const auto& calls = State().calls;
  return static_cast<int>(std::count_if(calls.begin(), calls.end(),
                                        [&](const std::string& c) { return c.rfind(prefix, 0) == 0; }));
}

int Find(const std::string& prefix, int from) {
  const auto& calls = State().calls;
  for (int i = std::max(from, 0); i < static_cast<int>(calls.size()); ++i) {
    if (calls[i].rfind(prefix, 0) == 0) return i;
  }
  return -1;
}

}  // namespace fake
