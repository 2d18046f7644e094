// The clipboard: plain text written and read, and the delivery's offer.
// Implemented for Windows in clipboard_win.cpp; the unit tests link a fake.
// Every operation reports failure through its result and never throws.
#pragma once

#include <cstdint>
#include <string>

#include "window_handle.h"

// Puts text on the clipboard as plain (Unicode) text, replacing what it held.
bool ClipboardSetText(const std::u16string& text);

// Reads the clipboard's plain text into `out`. Returns false only when the
// clipboard could not be read (e.g. another program holds it open); a
// clipboard without text gives true and the empty text.
bool ClipboardGetText(std::u16string& out);

// The delivery's offer -------------------------------------------------------
// A delivery offers its text on the clipboard instead of writing it: the
// clipboard lists plain text (with the system's locale), and the text itself
// is handed over only when a program reads it. That read is how the delivery
// learns that SQL*Plus has taken its paste (see delivery.cpp). The content
// carries the formats that keep it out of the clipboard history, the cloud
// clipboard and other clipboard monitors.

// A copy of text only (plain text in any of its forms, and its locale).
struct ClipboardText {
  std::u16string text;
  std::uint32_t locale = 0;  // 0: none known
};

// Empties the clipboard and offers `text` on it; `text` must stay as it is
// until ClipboardLetGo. False, and the clipboard as it was, when it cannot
// be used.
bool ClipboardOffer(const std::u16string& text);

// What has become of the latest offer.
struct OfferNews {
  bool onClipboard = false;  // nobody else has put anything on the clipboard since
  int reads = 0;             // times a program read it (the text was handed over)
  int readsElsewhere = 0;    // of those, reads by a program known not to be the
                             // one of the window `reader`
};
OfferNews ClipboardOfferNews(WindowHandle reader);

// How a change of the clipboard in place of the latest offer went.
enum class ClipboardChange {
  kDone,
  kLeftAlone,  // someone else's content is there, which must stay
  kBusy,       // the clipboard could not be used just now (held by another
               // program for longer than one call tries)
};

// Offers `text` again, in one opening of the clipboard: in place of the
// latest offer, or of what someone else has put on the clipboard since, when
// that is text only (plain text in any of its forms and its locale, or
// nothing at all); that text then goes to `aside` and `keptAside` is set.
// Anything else (a picture, files, formatted text, or content whose owner
// does not answer) is left alone.
ClipboardChange ClipboardOfferAgain(const std::u16string& text, ClipboardText& aside, bool& keptAside);

// Puts `aside` back in place of the latest offer; left alone when someone
// else has put something on the clipboard since the offer.
ClipboardChange ClipboardPutBack(const ClipboardText& aside);

// Hands over the text of the latest offer where it is still unread on the
// clipboard, so that the clipboard keeps it after this program has ended,
// and gives up the window that offered it. A program that has offered must
// call it before it ends.
void ClipboardLetGo();
