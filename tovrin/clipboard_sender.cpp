#include "clipboard_sender.h"

#include "boxes.h"
#include "clipboard.h"
#include "delivery.h"
#include "sqlplus_lines.h"
#include "statement_text.h"
#include "waiting.h"

namespace {

void ReadPrepareDeliver(WindowHandle form1) {
  std::u16string clipboardText;
  if (!ClipboardGetText(clipboardText)) return;  // unreadable: leave everything as it is

  std::u16string statement = PrepareStatementText(clipboardText, true);
  if (statement.empty()) return;  // nothing to send; the clipboard stays untouched

  // Lines SQL*Plus would drop or act on: nothing is pasted, the user's copy
  // stays on the clipboard, and a beep tells that nothing happened. (The
  // copy read is let go first: breaking a huge text makes another.)
  std::u16string().swap(clipboardText);
  if (sqlplus_lines::FitLines(statement).found != sqlplus_lines::Found::kNothing) {
    Beep();
    return;
  }

  DeliverToSqlPlus(statement, form1, true);
}

}  // namespace

void RunClipboardSender(WindowHandle form1) {
  // The clipboard is read in the delivery's turn too: a tovrin started while
  // another still delivers (the user copied the next text and pressed the
  // shortcut key again) reads what the user copied only once the other has
  // had its own text pasted and put the user's back. Without the turn
  // nothing is read, written or pasted, and the user hears a beep: what the
  // user copied stays, to be sent again.
  if (!TakeDeliveryTurn()) {
    Beep();
    return;
  }
  ReadPrepareDeliver(form1);
  EndDeliveryTurn();
}
