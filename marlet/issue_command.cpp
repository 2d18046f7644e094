// Command1_Click: the send command of marlet.
//
// The command reads Combo1's choice, rebuilds the template it belongs to (a
// head item starting with "■" plus its continuation pieces), keeps what
// follows the label's ": ", passes that through the clipboard, prepares it,
// asks what the template's kind needs and delivers the result to SQL*Plus.
//
// Operations that fail are skipped and set the failure mark; the mark is
// looked at once, right after the clipboard pass, and then closes the window
// without sending anything. No failure is shown to the user.
#include "issue_command.h"

#include <string>

#include "boxes.h"
#include "clipboard.h"
#include "delivery.h"
#include "form1.h"
#include "input_box.h"
#include "not_sent_message.h"
#include "statement_text.h"
#include "template_format.h"
#include "text.h"
#include "waiting.h"

namespace {

using item_format::IsHeadItem;
using item_format::kContinuationIndent;
using item_format::kLabelSeparator;

const std::u16string kCrLf = u"\r\n";

// Edit kind.
const std::u16string kEditPrompt = u"SQL を編集入力して下さい。";
const std::u16string kEditTitle = u"SQL 発行";

// Table layout kind.
const std::u16string kLayoutPrompt = u"テーブル名を入力して下さい。";
const std::u16string kLayoutTitle = u"テーブルレイアウト";
const std::u16string kLayoutDefaultTable = u"受注m";
const std::u16string kDescribe = u"describe ";

// Commit question kind. The two lines are joined by a lone LF.
const std::u16string kCommitQuestion =
    u"トランザクションをコミットしますか?\n"
    u"はい = commit、いいえ = rollback、ｷｬﾝｾﾙ = なにもしない";
const std::u16string kCommitTitle = u"コミット or ロールバック";
const std::u16string kCommit = u"commit;";
const std::u16string kRollback = u"rollback;";

// Reads the current text; a failed read leaves `out` empty and sets `failed`.
std::u16string ReadCurrentText(bool& failed) {
  std::u16string out;
  if (!ListGetCurrentText(out)) {
    failed = true;
    out.clear();
  }
  return out;
}

// Reads item `index`'s text without selecting it. False (and `failed` set)
// when the read fails.
bool ReadItem(int index, std::u16string& out, bool& failed) {
  out.clear();
  if (!ListGetItemText(index, out)) {
    failed = true;
    out.clear();
    return false;
  }
  return true;
}

// Moves the selection to `index` once, where walking the list item by item
// would have left it.
void SelectItem(int index, bool& failed) {
  if (index < 0 || index == ListSelectedIndex()) return;
  if (!ListSetSelectedIndex(index)) failed = true;
}

// The answer of an input box, trimmed; empty after a cancel.
std::u16string AskTrimmed(const std::u16string& prompt, const std::u16string& title,
                          const std::u16string& defaultText) {
  return text::Trim(ShowInputBox(prompt, title, defaultText));
}

void SendInTurn(std::u16string working, item_format::Kind kind, bool throughClipboard, bool failed);

// Reads the list's choice into the working text, then sends it in the
// delivery turn.
void IssueCommand() {
  bool failed = false;
  bool throughClipboard = false;  // a template's text makes a trip through the clipboard
  std::u16string working;

  // The kind comes from the current text as it is before the selection moves.
  const std::u16string current = ReadCurrentText(failed);
  const item_format::Kind kind = item_format::KindOf(current);

  // Walk up from a continuation piece to its template's head item, which
  // becomes the selected item. Text that is neither is the user's own
  // typing. The walk reads the items' texts by index and moves the selection
  // once, to where selecting every item on the way would have left it: at
  // the head item, or at item 0 when no head lies above. (Selecting item by
  // item makes the list redraw and scroll each time, which takes minutes for
  // a template of many pieces.)
  int gatherFrom = ListSelectedIndex();
  if (!IsHeadItem(current)) {
    int start = ListSelectedIndex();
    const int count = ListCount();
    if (start >= count) {
      // An index past the last item cannot be selected; start from the last
      // item rather than trying every index above it.
      failed = true;
      start = count - 1;
    }
    int head = -1;
    for (int i = start; i >= 0; --i) {
      std::u16string item;
      if (ReadItem(i, item, failed) && IsHeadItem(item)) {
        head = i;
        break;
      }
    }
    gatherFrom = head >= 0 ? head : start >= 0 ? 0 : -1;
    if (head < 0) {
      const std::u16string typed = text::Trim(current);
      if (typed.empty()) {
        SelectItem(gatherFrom, failed);
        return;  // nothing typed: the window stays open
      }
      working = typed;
      const char16_t last = working.back();
      if (last != u';' && last != u'/') working.push_back(u';');
    }
  }

  // Gather the selected template: the head item and the continuation pieces
  // below it, up to the next head item or the end of the list. The selection
  // ends on the last item looked at, as an item-by-item walk leaves it;
  // except for a template that asks before it is sent: while its box is open
  // the list keeps showing the template the user chose, not its neighbour
  // (the next template, which may well be a destructive one).
  if (gatherFrom > -1) {
    ReadItem(gatherFrom, working, failed);
    const int last = ListCount() - 1;
    int lookedAt = gatherFrom;
    for (int i = gatherFrom; i < last;) {
      ++i;
      lookedAt = i;
      std::u16string piece;
      if (!ReadItem(i, piece, failed)) continue;
      if (IsHeadItem(piece)) break;
      if (piece.size() < kContinuationIndent.size()) {
        failed = true;  // too short to hold its indent: the piece is lost
        continue;
      }
      working.append(piece, kContinuationIndent.size(), std::u16string::npos);
    }
    SelectItem(kind == item_format::Kind::kPlain ? lookedAt : gatherFrom, failed);

    const std::size_t colon = working.find(kLabelSeparator);
    if (colon == std::u16string::npos) return;  // no label: the window stays open
    working.erase(0, colon + kLabelSeparator.size());
    throughClipboard = true;
  }

  // From its first clipboard step through the delivery the command holds the
  // delivery turn: another delivery still waiting for SQL*Plus to take its
  // paste must not have its text replaced, nor this command read that text
  // back. Without the turn nothing is written or sent, the user hears a beep
  // and the window stays open to send again.
  if (!TakeDeliveryTurn()) {
    Beep();
    return;
  }
  // The wait handles the window's messages: it may have been closed meanwhile.
  if (Form1Handle() != 0) SendInTurn(working, kind, throughClipboard, failed);
  EndDeliveryTurn();
}

// The command from its first clipboard step on, in the delivery turn.
void SendInTurn(std::u16string working, item_format::Kind kind, bool throughClipboard, bool failed) {
  if (throughClipboard) {
    // The text goes through the clipboard and the text read back is used.
    if (!ClipboardSetText(working)) failed = true;
    std::u16string readBack;
    if (ClipboardGetText(readBack)) {
      working = readBack;
    } else {
      failed = true;
      working.clear();
    }
  }

  if (failed) {
    Form1Close();
    return;
  }

  std::u16string output = PrepareStatementText(working, false);
  if (output.empty()) {
    Form1Close();
    return;
  }

  if (kind == item_format::Kind::kEdit) {
    // The prepared text always ends with CR LF; the box shows it without.
    const std::u16string shown = output.substr(0, output.size() - kCrLf.size());
    std::u16string answer = AskTrimmed(kEditPrompt, kEditTitle, shown);
    if (answer.empty()) {
      output.clear();
    } else {
      if (answer.back() != u';') answer.push_back(u';');
      output = answer + kCrLf;
    }
  }

  if (kind == item_format::Kind::kTableLayout) {
    const std::u16string table = AskTrimmed(kLayoutPrompt, kLayoutTitle, kLayoutDefaultTable);
    if (table.empty()) {
      output.clear();
    } else {
      output = kDescribe + table + u";" + kCrLf;
    }
  }

  if (kind == item_format::Kind::kCommitQuestion) {
    const int answer = ShowMessageBox(kCommitQuestion, kMbYesNoCancelQuestion, kCommitTitle);
    if (answer == kIdYes) {
      output = kCommit + kCrLf;
    } else if (answer == kIdNo) {
      output = kRollback + kCrLf;
    } else {
      output.clear();
    }
  }

  // Lines SQL*Plus would drop or act on: nothing is sent, and the user is
  // told why.
  const sqlplus_lines::Outcome fit = sqlplus_lines::FitLines(output);
  if (fit.found != sqlplus_lines::Found::kNothing) {
    ShowMessageBox(NotSentMessage(fit, output), kMbOkExclamation, kNotSentTitle);
    Form1Close();
    return;
  }

  DeliverToSqlPlus(output, Form1Handle(), false);
  Form1Close();
}

}  // namespace

void Command1_Click() {
  // The waits for the turn and for SQL*Plus handle this window's messages:
  // a click meanwhile must not start a second command inside the first.
  static bool running = false;
  if (running) return;
  running = true;
  IssueCommand();
  running = false;
}
