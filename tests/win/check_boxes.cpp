// Checks of the message and input boxes. A driver thread finds each box by
// its title, looks at it, and answers it the way a user would: a button, a
// key, the close box, typing.
#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "check.h"
#include "handles_win.h"
#include "input_box.h"
#include "waiting.h"
#include "wide_win.h"

namespace {

struct BoxView {
  HWND box = nullptr;
  std::vector<std::string> problems;
};

// The driver thread's waits. It has no window: there are no messages to
// handle.
bool DriverWaits(const std::function<bool()>& condition) {
  return WaitUntil(condition, kWaitSeconds, kPollSeconds, Messages::kNone);
}

// Waits for a visible dialog with `title`; gives up when `over` is set (the
// box call returned) or after the time-out.
HWND WaitForBox(const std::u16string& title, const std::atomic<bool>& over) {
  HWND box = nullptr;
  DriverWaits([&] {
    box = FindWindowW(L"#32770", wide::Ptr(title));
    return over.load() || (box != nullptr && IsWindowVisible(box));
  });
  return box != nullptr && IsWindowVisible(box) ? box : nullptr;
}

bool WaitForFront(HWND box) {
  return DriverWaits([box] { return GetForegroundWindow() == box; });
}

HWND FocusOf(HWND box) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof(info);
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(box, nullptr), &info)) return nullptr;
  return info.hwndFocus;
}

// A box is visible a moment before it is active; wait for it to be in front
// with the focus inside it before looking at it.
bool Settled(HWND box) {
  return DriverWaits([box] {
    HWND focus = FocusOf(box);
    return GetForegroundWindow() == box && focus != nullptr && IsChild(box, focus);
  });
}

void PressKey(WORD virtualKey) {
  INPUT keys[2] = {};
  keys[0].type = INPUT_KEYBOARD;
  keys[0].ki.wVk = virtualKey;
  keys[1] = keys[0];
  keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(2, keys, sizeof(INPUT));
}

void TypeText(const std::u16string& typed) {
  std::vector<INPUT> keys;
  for (char16_t unit : typed) {
    INPUT key = {};
    key.type = INPUT_KEYBOARD;
    key.ki.wScan = unit;
    key.ki.dwFlags = KEYEVENTF_UNICODE;
    keys.push_back(key);
    key.ki.dwFlags |= KEYEVENTF_KEYUP;
    keys.push_back(key);
  }
  SendInput(static_cast<UINT>(keys.size()), keys.data(), sizeof(INPUT));
}

// How the driver answers a box.
enum class Answer { Yes, No, CancelButton, OkButton, Escape, EnterKey, Close, SysClose, TypeThenEnter, ClearThenOk };

std::string AnswerName(Answer answer) {
  switch (answer) {
    case Answer::Yes: return "Yes button";
    case Answer::No: return "No button";
    case Answer::CancelButton: return "Cancel button";
    case Answer::OkButton: return "OK button";
    case Answer::Escape: return "Esc key";
    case Answer::EnterKey: return "Enter key";
    case Answer::Close: return "WM_CLOSE";
    case Answer::SysClose: return "close box (SC_CLOSE)";
    case Answer::TypeThenEnter: return "typing and Enter";
    case Answer::ClearThenOk: return "clearing and OK";
  }
  return "?";
}

void Click(BoxView& view, int id) {
  HWND button = GetDlgItem(view.box, id);
  if (button == nullptr) {
    view.problems.push_back("no button " + Num(id));
    return;
  }
  SendMessageW(button, BM_CLICK, 0, 0);
}

void Respond(BoxView& view, Answer answer, const std::u16string& typed) {
  const bool keys = answer == Answer::Escape || answer == Answer::EnterKey || answer == Answer::TypeThenEnter;
  if (keys && !WaitForFront(view.box)) {
    view.problems.push_back("box never came to the front for the keys");
    return;
  }
  switch (answer) {
    case Answer::Yes: Click(view, IDYES); break;
    case Answer::No: Click(view, IDNO); break;
    case Answer::CancelButton: Click(view, IDCANCEL); break;
    case Answer::OkButton: Click(view, IDOK); break;
    case Answer::Escape: PressKey(VK_ESCAPE); break;
    case Answer::EnterKey: PressKey(VK_RETURN); break;
    case Answer::Close: PostMessageW(view.box, WM_CLOSE, 0, 0); break;
    case Answer::SysClose: PostMessageW(view.box, WM_SYSCOMMAND, SC_CLOSE, 0); break;
    case Answer::TypeThenEnter:
      TypeText(typed);
      PressKey(VK_RETURN);
      break;
    case Answer::ClearThenOk:
      SetWindowTextW(GetDlgItem(view.box, kInputBoxEditId), L"");
      Click(view, IDOK);
      break;
  }
}

// After answering: the box must go away; if it does not, force it so the
// program does not hang, and say so.
void AwaitClosed(BoxView& view) {
  if (!DriverWaits([&view] { return !IsWindow(view.box); })) {
    view.problems.push_back("box still open after the answer; forced closed");
    PostMessageW(view.box, WM_COMMAND, IDCANCEL, 0);
    PostMessageW(view.box, WM_COMMAND, IDOK, 0);
  }
}

DWORD WINAPI RunFunction(void* function) {
  (*static_cast<std::function<void()>*>(function))();
  return 0;
}

// Starts `function` on a new thread; Join waits for it to end.
Handle Spawn(std::function<void()>& function) {
  return Handle(CreateThread(nullptr, 0, RunFunction, &function, 0, nullptr));
}

void Join(const Handle& thread) {
  if (thread.Valid()) WaitForSingleObject(thread.Get(), INFINITE);
}

// Runs `show` on the calling thread (or, with `ownThread`, on a thread with no
// window) while a driver thread finds the box by title, looks at it with
// `inspect`, then answers it.
void RunBox(const std::u16string& title, bool ownThread, const std::function<void()>& show,
            const std::function<void(BoxView&)>& inspect, Answer answer, const std::u16string& typed,
            std::vector<std::string>& problems) {
  std::atomic<bool> over(false);
  BoxView view;
  std::function<void()> drive = [&] {
    view.box = WaitForBox(title, over);
    if (view.box == nullptr) {
      view.problems.push_back("no box titled " + Show(title) + " appeared");
      return;
    }
    if (!Settled(view.box)) view.problems.push_back("box never became active with the focus inside");
    inspect(view);
    if (g_lingerMs > 0) Sleep(g_lingerMs);
    Respond(view, answer, typed);
    AwaitClosed(view);
  };
  std::function<void()> showing = show;
  const Handle driver = Spawn(drive);
  if (!driver.Valid()) problems.push_back("could not start the driver thread");
  if (ownThread) {
    Join(Spawn(showing));
  } else {
    show();
  }
  over = true;
  Join(driver);
  problems.insert(problems.end(), view.problems.begin(), view.problems.end());
}

const std::u16string kCommitText =
    u"トランザクションをコミットしますか?\nはい = commit、いいえ = rollback、ｷｬﾝｾﾙ = なにもしない";
const std::u16string kCommitTitle = u"コミット or ロールバック";

void InspectMessageBox(BoxView& view, const std::u16string& text, const std::u16string& title, HWND owner,
                       bool yesNoCancel) {
  // The message text is the static control with id 0xFFFF.
  const std::u16string shown = Text(GetDlgItem(view.box, 0xFFFF));
  if (shown != text) view.problems.push_back("text reads " + Show(shown));
  if (Text(view.box) != title) view.problems.push_back("title reads " + Show(Text(view.box)));
  if (yesNoCancel) {
    if (!GetDlgItem(view.box, IDYES) || !GetDlgItem(view.box, IDNO) || !GetDlgItem(view.box, IDCANCEL)) {
      view.problems.push_back("Yes, No and Cancel buttons not all there");
    }
  } else if (!GetDlgItem(view.box, IDOK)) {
    view.problems.push_back("no OK button");
  }
  HWND actualOwner = GetWindow(view.box, GW_OWNER);
  if (actualOwner != owner) view.problems.push_back("owner is " + Show(Text(actualOwner)));
  if (owner != nullptr && IsWindowEnabled(owner)) view.problems.push_back("owner window not disabled");
}

}  // namespace

void CheckMessageBoxes(HWND main) {
  struct Case {
    const char* name;
    int style;
    Answer answer;
    int expected;
  };
  const Case cases[] = {
      {"message_box_yes", kMbYesNoCancelQuestion, Answer::Yes, kIdYes},
      {"message_box_no", kMbYesNoCancelQuestion, Answer::No, kIdNo},
      {"message_box_cancel", kMbYesNoCancelQuestion, Answer::CancelButton, kIdCancel},
      {"message_box_escape", kMbYesNoCancelQuestion, Answer::Escape, kIdCancel},
      {"message_box_close_message", kMbYesNoCancelQuestion, Answer::Close, kIdCancel},
      {"message_box_close_box", kMbYesNoCancelQuestion, Answer::SysClose, kIdCancel},
      {"message_box_ok", kMbOkExclamation, Answer::OkButton, kIdOk},
  };
  for (const Case& c : cases) {
    if (!Selected(c.name)) continue;
    Check check{c.name, {}, {}};
    Expect(check, Front(main), "test window not active");
    const bool question = c.style == kMbYesNoCancelQuestion;
    const std::u16string text = question ? kCommitText : u"設定ファイルが見つかりません。\r\n既定値で続けます。";
    const std::u16string title = question ? kCommitTitle : u"tovrin";
    int result = -1;
    RunBox(
        title, false, [&] { result = ShowMessageBox(text, c.style, title); },
        [&](BoxView& view) { InspectMessageBox(view, text, title, main, question); }, c.answer, u"",
        check.problems);
    Expect(check, result == c.expected,
           AnswerName(c.answer) + " gave " + Num(result) + ", expected " + Num(c.expected));
    Expect(check, IsWindowEnabled(main) != FALSE, "owner window left disabled");
    Finish(check);
  }

  if (Selected("message_box_without_window")) {
    Check check{"message_box_without_window", {}, {}};
    int result = -1;
    RunBox(
        kCommitTitle, true, [&] { result = ShowMessageBox(kCommitText, kMbYesNoCancelQuestion, kCommitTitle); },
        [&](BoxView& view) { InspectMessageBox(view, kCommitText, kCommitTitle, nullptr, true); }, Answer::No, u"",
        check.problems);
    Expect(check, result == kIdNo, "No gave " + Num(result));
    Finish(check);
  }
}

namespace {

struct InputCase {
  const char* name;
  std::u16string prompt;
  std::u16string title;
  std::u16string defaultText;
  Answer answer;
  std::u16string typed;
  std::u16string expected;
};

void InspectInputBox(BoxView& view, const InputCase& c, HWND owner) {
  HWND box = view.box;
  HWND prompt = GetDlgItem(box, kInputBoxPromptId);
  HWND edit = GetDlgItem(box, kInputBoxEditId);
  if (prompt == nullptr || edit == nullptr || !GetDlgItem(box, IDOK) || !GetDlgItem(box, IDCANCEL)) {
    view.problems.push_back("controls missing");
    return;
  }
  if (Text(prompt) != c.prompt) view.problems.push_back("prompt reads " + Show(Text(prompt)));
  if (Text(box) != c.title) view.problems.push_back("title reads " + Show(Text(box)));
  if (Text(edit) != c.defaultText) view.problems.push_back("edit field reads " + Show(Text(edit)));
  DWORD start = 0;
  DWORD end = 0;
  SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  if (start != 0 || end != c.defaultText.size()) {
    view.problems.push_back("selection " + Num(start) + ".." + Num(end) + ", expected all of the default");
  }
  if (FocusOf(box) != edit) view.problems.push_back("edit field does not have the focus");
  const LRESULT defId = SendMessageW(box, DM_GETDEFID, 0, 0);
  if (HIWORD(defId) != DC_HASDEFID || LOWORD(defId) != IDOK) view.problems.push_back("OK is not the default button");
  if (GetWindow(box, GW_OWNER) != owner) view.problems.push_back("not owned by the active window");
  if (owner != nullptr && IsWindowEnabled(owner)) view.problems.push_back("owner window not disabled");

  // Centred on the screen (its work area), and wholly on it.
  RECT frame;
  GetWindowRect(box, &frame);
  MONITORINFO monitor = {};
  monitor.cbSize = sizeof(monitor);
  GetMonitorInfoW(MonitorFromWindow(box, MONITOR_DEFAULTTONEAREST), &monitor);
  const RECT& area = monitor.rcWork;
  const long dx = (frame.left + frame.right) - (area.left + area.right);
  const long dy = (frame.top + frame.bottom) - (area.top + area.bottom);
  if (dx < -3 || dx > 3 || dy < -3 || dy > 3) {
    view.problems.push_back("not centred: box " + Num(frame.left) + "," + Num(frame.top) + "-" + Num(frame.right) +
                            "," + Num(frame.bottom) + " in area " + Num(area.right) + "x" + Num(area.bottom));
  }
  if (frame.top < area.top || frame.bottom > area.bottom || frame.left < area.left || frame.right > area.right) {
    view.problems.push_back("box not wholly on the screen");
  }
  // The prompt sits at the top left, above the edit field.
  RECT promptRect;
  RECT editRect;
  GetWindowRect(prompt, &promptRect);
  GetWindowRect(edit, &editRect);
  if (promptRect.bottom > editRect.top || promptRect.left > editRect.left + 2) {
    view.problems.push_back("prompt not above the edit field at the left");
  }
}

}  // namespace

void CheckInputBoxes(HWND main) {
  const std::u16string tablePrompt = u"テーブル名を入力して下さい。";
  const std::u16string tableTitle = u"テーブルレイアウト";
  const std::u16string sqlPrompt = u"SQL を編集入力して下さい。";
  const std::u16string sqlTitle = u"SQL 発行";
  const std::u16string severalLines = u"select *\r\nfrom 受注m\r\nwhere 番号 = 1";
  std::u16string longDefault;
  while (longDefault.size() < 100000) longDefault += u"update 受注m set a = 1 where b = 2; ";
  std::u16string longPrompt;
  while (longPrompt.size() < 600) longPrompt += u"長いプロンプトの文です。";

  const InputCase cases[] = {
      {"input_box_ok", tablePrompt, tableTitle, u"受注m", Answer::OkButton, u"", u"受注m"},
      {"input_box_typed", tablePrompt, tableTitle, u"受注m", Answer::TypeThenEnter, u"顧客ﾏｽﾀ", u"顧客ﾏｽﾀ"},
      {"input_box_empty_confirm", tablePrompt, tableTitle, u"受注m", Answer::ClearThenOk, u"", u""},
      {"input_box_cancel", tablePrompt, tableTitle, u"受注m", Answer::CancelButton, u"", u""},
      {"input_box_escape", sqlPrompt, sqlTitle, u"select 1;", Answer::Escape, u"", u""},
      {"input_box_close_box", sqlPrompt, sqlTitle, u"select 1;", Answer::SysClose, u"", u""},
      {"input_box_close_message", sqlPrompt, sqlTitle, u"select 1;", Answer::Close, u"", u""},
      {"input_box_several_lines", sqlPrompt, sqlTitle, severalLines, Answer::EnterKey, u"", severalLines},
      {"input_box_long_default", sqlPrompt, sqlTitle, longDefault, Answer::OkButton, u"", longDefault},
      {"input_box_long_prompt", longPrompt, sqlTitle, u"select 1;", Answer::OkButton, u"", u"select 1;"},
      {"input_box_empty_default", sqlPrompt, sqlTitle, u"", Answer::OkButton, u"", u""},
  };
  for (const InputCase& c : cases) {
    if (!Selected(c.name)) continue;
    Check check{c.name, {}, {}};
    Expect(check, Front(main), "test window not active");
    std::u16string result = u"(not returned)";
    RunBox(
        c.title, false, [&] { result = ShowInputBox(c.prompt, c.title, c.defaultText); },
        [&](BoxView& view) { InspectInputBox(view, c, main); }, c.answer, c.typed, check.problems);
    Expect(check, result == c.expected, AnswerName(c.answer) + " gave " + Show(result));
    Expect(check, IsWindowEnabled(main) != FALSE, "owner window left disabled");
    Finish(check);
  }

  if (Selected("input_box_without_window")) {
    Check check{"input_box_without_window", {}, {}};
    const InputCase c = {"", tablePrompt, tableTitle, u"受注m", Answer::EnterKey, u"", u"受注m"};
    std::u16string result = u"(not returned)";
    RunBox(
        c.title, true, [&] { result = ShowInputBox(c.prompt, c.title, c.defaultText); },
        [&](BoxView& view) { InspectInputBox(view, c, nullptr); }, c.answer, c.typed, check.problems);
    Expect(check, result == c.expected, "Enter gave " + Show(result));
    Finish(check);
  }
}
