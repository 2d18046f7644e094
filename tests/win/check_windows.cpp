// Checks of the windows: activation by title and Shift+Insert.
#include <string>

#include "check.h"
#include "platform_ops.h"
#include "wide_win.h"

void CheckActivation(HWND main) {
  Check missing{"activate_missing_title", {}, {}};
  Expect(missing, !ActivateWindowByTitle(u"この題名のウィンドウはありません 7f3a"), "reported success");
  Expect(missing, !ActivateWindowByTitle(u""), "the empty title reported success");
  Finish(missing);

  Check check{"activate_by_title", {}, {}};
  // The exact title wins over a prefix match in front of it.
  HWND exact = MakeWindow(u"VornCheck 前面", 40, 300);
  HWND longer = MakeWindow(u"VornCheck 前面 その2", 80, 340);
  Expect(check, exact && longer, "could not create the windows");
  Expect(check, Front(main), "test window not in front to begin with");
  Expect(check, ActivateWindowByTitle(u"VornCheck 前面"), "exact title: failed");
  Expect(check, WaitUntil([exact] { return GetForegroundWindow() == exact; }),
         "exact title: window in front is " + Show(Text(GetForegroundWindow())));
  Expect(check, ActivateWindowByTitle(u"VornCheck 前面 そ"), "prefix: failed");
  Expect(check, WaitUntil([longer] { return GetForegroundWindow() == longer; }),
         "prefix: window in front is " + Show(Text(GetForegroundWindow())));
  // A minimised window is restored.
  ShowWindow(exact, SW_MINIMIZE);
  WaitUntil([exact] { return IsIconic(exact) != FALSE; });
  Expect(check, ActivateWindowByTitle(u"VornCheck 前面"), "minimised: failed");
  Expect(check, WaitUntil([exact] { return !IsIconic(exact) && GetForegroundWindow() == exact; }),
         "minimised window not restored and in front");
  // Hidden windows do not count.
  ShowWindow(longer, SW_HIDE);
  PumpPendingEvents();
  Expect(check, !ActivateWindowByTitle(u"VornCheck 前面 その"), "a hidden window was activated");
  Expect(check, ForegroundWindow() == wide::FromHwnd(GetForegroundWindow()), "ForegroundWindow disagrees");
  Expect(check, WindowTitle(wide::FromHwnd(exact)) == u"VornCheck 前面", "WindowTitle gives " + Show(Text(exact)));
  Expect(check, WindowTitle(0).empty(), "WindowTitle(0) not empty");
  DestroyWindow(exact);
  DestroyWindow(longer);
  PumpPendingEvents();
  Finish(check);
}

void CheckKeystrokes(HWND main) {
  Check check{"send_shift_insert", {}, {}};
  HWND edit = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, 10, 10, 380, 24,
                              main, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kProbeEditId)),
                              GetModuleHandleW(nullptr), nullptr);
  const std::u16string pasted = u"貼り付け select 1";
  Expect(check, edit != nullptr, "no edit field");
  Expect(check, ClipboardSetText(pasted), "clipboard set failed");
  Expect(check, Front(main), "test window not in front");
  SetFocus(edit);
  // Anything but Shift+Insert sends nothing; were it sent, it would reach the
  // edit field before the paste below.
  Expect(check, !SendKeystrokes(u"abc"), "\"abc\" reported success");
  Expect(check, !SendKeystrokes(u"{ENTER}"), "\"{ENTER}\" reported success");
  Expect(check, !SendKeystrokes(u"+{INSERT}x"), "\"+{INSERT}x\" reported success");
  Expect(check, !SendKeystrokes(u""), "the empty sequence reported success");
  Expect(check, SendKeystrokes(u"+{INSERT}"), "\"+{INSERT}\" reported failure");
  const bool arrived = WaitUntil([edit, &pasted] { return Text(edit) == pasted; });
  Expect(check, arrived, "edit field holds " + Show(Text(edit)));
  PumpPendingEvents();
  Expect(check, (GetKeyState(VK_SHIFT) & 0x8000) == 0, "Shift still down");
  DestroyWindow(edit);
  Finish(check);
}
