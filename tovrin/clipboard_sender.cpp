#include "clipboard_sender.h"

#include "delivery.h"
#include "platform_ops.h"
#include "statement_text.h"

void RunClipboardSender(WindowHandle form1) {
  std::u16string clipboardText;
  if (!ClipboardGetText(clipboardText)) return;  // unreadable: leave everything as it is

  const std::u16string statement = PrepareStatementText(clipboardText, true);
  if (statement.empty()) return;  // nothing to send; the clipboard stays untouched

  DeliverToSqlPlus(statement, form1, true);
}
