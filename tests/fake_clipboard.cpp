// The clipboard of the fake world: its text, whether it holds more, and the
// delivery's offer, which SQL*Plus or another reader may read.
#include "clipboard.h"
#include "fake_platform.h"
#include "text.h"

using fake::State;

namespace {

void PutOffer(const std::u16string& text) {
  fake::World& w = State();
  w.clipboard = text;
  w.clipboardHoldsMore = false;
  w.clipboardLocale = 0x411;
  w.offerOnClipboard = true;
  w.offerRead = false;
  w.offerReads = 0;
  w.offerReadsElsewhere = 0;
  w.letGo = false;
  w.historyReadPending = w.historyReadsOffers;
  ++w.clipboardWrites;
}

bool ClipboardBusy() {
  fake::World& w = State();
  if (w.clipboardBusyChanges <= 0 && !w.clipboardWriteFails) return false;
  --w.clipboardBusyChanges;
  return true;
}

}  // namespace

bool ClipboardSetText(const std::u16string& text) {
  fake::Record("ClipboardSetText(" + text::ToUtf8(text) + ")");
  fake::NoteTurn();
  fake::World& w = State();
  if (w.clipboardWriteFails) return false;
  w.clipboard = text;
  w.clipboardHoldsMore = false;
  w.offerOnClipboard = false;
  ++w.clipboardWrites;
  return true;
}

bool ClipboardGetText(std::u16string& out) {
  fake::Record("ClipboardGetText()");
  fake::NoteTurn();
  fake::World& w = State();
  if (w.clipboardReadFails) return false;
  out = w.clipboard;
  return true;
}

bool ClipboardOffer(const std::u16string& text) {
  fake::Record("ClipboardOffer(" + text::ToUtf8(text) + ")");
  fake::NoteTurn();
  if (State().clipboardWriteFails) return false;
  PutOffer(text);
  return true;
}

OfferNews ClipboardOfferNews(WindowHandle) {
  const fake::World& w = State();
  OfferNews news;
  news.onClipboard = w.offerOnClipboard;
  news.reads = w.offerReads;
  news.readsElsewhere = w.offerReadsElsewhere;
  return news;
}

ClipboardChange ClipboardOfferAgain(const std::u16string& text, ClipboardText& aside, bool& keptAside) {
  fake::Record("ClipboardOfferAgain(" + text::ToUtf8(text) + ")");
  fake::NoteTurn();
  fake::World& w = State();
  if (ClipboardBusy()) return ClipboardChange::kBusy;
  if (!w.offerOnClipboard) {
    if (w.clipboardReadFails || w.clipboardHoldsMore) return ClipboardChange::kLeftAlone;
    aside.text = w.clipboard;
    aside.locale = w.clipboardLocale;
    keptAside = true;
  }
  PutOffer(text);
  return ClipboardChange::kDone;
}

ClipboardChange ClipboardPutBack(const ClipboardText& aside) {
  fake::Record("ClipboardPutBack(" + text::ToUtf8(aside.text) + ")");
  fake::NoteTurn();
  fake::World& w = State();
  if (ClipboardBusy()) return ClipboardChange::kBusy;
  if (!w.offerOnClipboard) return ClipboardChange::kLeftAlone;
  w.offerOnClipboard = false;
  w.clipboard = aside.text;
  w.clipboardLocale = aside.locale;
  return ClipboardChange::kDone;
}

void ClipboardLetGo() {
  fake::Record("ClipboardLetGo()");
  fake::NoteTurn();
  State().offerOnClipboard = false;
  State().letGo = true;
}
