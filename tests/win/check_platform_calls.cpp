// Checks of the platform call layer: the entry-point table, the ANSI
// conversions, and the wrappers of windows, messages, profiles and module
// names on the wide path and, with a version record of the Windows 95 family,
// on the ANSI path.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "check.h"
#include "platform_calls.h"
#include "platform_entries.h"
#include "waiting.h"
#include "wide_win.h"

void CheckEntryPoints() {
  Check check{"entry_points", {}, {}};
  const calls::EntryPoints& e = calls::Entries();
  Expect(check, e.GetVersionExA && e.GetVersionExW, "GetVersionExA/W not bound");
  Expect(check, e.GetModuleFileNameA && e.GetModuleFileNameW, "GetModuleFileNameA/W not bound");
  Expect(check, e.GetPrivateProfileStringA && e.GetPrivateProfileStringW, "GetPrivateProfileStringA/W not bound");
  Expect(check, e.FindWindowA && e.FindWindowW, "FindWindowA/W not bound");
  Expect(check, e.PostMessageA && e.PostMessageW, "PostMessageA/W not bound");
  Expect(check, e.GetWindowLongA && e.GetWindowLongW, "GetWindowLongA/W not bound");
  Expect(check, e.WideToAnsi && e.AnsiToWide, "conversions not set");
  Finish(check);

  Check id{"platform_id", {}, {}};
  const std::int32_t first = GetPlatformId();
  Expect(id, first == 2, "GetPlatformId() = " + Num(first) + ", expected 2");
  Expect(id, GetPlatformId() == first, "second call differs");
  Finish(id);
}

void CheckAnsiConversions() {
  Check check{"ansi_conversions", {}, {}};
  const calls::EntryPoints& e = calls::Entries();
  if (!e.WideToAnsi || !e.AnsiToWide) {
    check.problems.push_back("no conversions");
    Finish(check);
    return;
  }
  Expect(check, e.WideToAnsi(u"").empty() && e.AnsiToWide("").empty(), "empty text does not stay empty");
  const std::u16string withNul(u"a\0b", 3);
  Expect(check, e.WideToAnsi(withNul) == std::string("a\0b", 3), "embedded NUL lost going to ANSI");
  Expect(check, e.AnsiToWide(std::string("a\0b", 3)) == withNul, "embedded NUL lost coming from ANSI");
  if (GetACP() == 932) {
    const std::u16string japanese = u"受注m 表示 ｷｬﾝｾﾙ";
    const std::string bytes = e.WideToAnsi(japanese);
    Expect(check, bytes.compare(0, 5, "\x8e\xf3\x92\x8d" "m") == 0, "受注m is not 8E F3 92 8D 6D in code page 932");
    Expect(check, e.AnsiToWide(bytes) == japanese, "code page 932 round trip gives " + Show(e.AnsiToWide(bytes)));
  } else {
    check.untried = "ANSI code page is " + Num(GetACP()) + ", not 932: Japanese part not run";
  }
  Finish(check);
}

void CheckWrappersWide(HWND main) {
  Check find{"find_window", {}, {}};
  const WindowHandle handle = wide::FromHwnd(main);
  Expect(find, WinFindWindow(nullptr, kMainTitle) == handle, "not found by title with no class");
  const std::u16string probeClass = wide::FromWide(kProbeClass);
  Expect(find, WinFindWindow(&probeClass, kMainTitle) == handle, "not found by class and title");
  const std::u16string otherClass = u"NoSuchClassVorn";
  Expect(find, WinFindWindow(&otherClass, kMainTitle) == 0, "found with a wrong class");
  Expect(find, WinFindWindow(nullptr, kMainTitle + u" x") == 0, "found by a longer title");
  Finish(find);

  Check lng{"window_long", {}, {}};
  const std::intptr_t instance = WinGetWindowLong(handle, GWLP_HINSTANCE);
  Expect(lng, instance == reinterpret_cast<std::intptr_t>(GetModuleHandleW(nullptr)),
         "GWLP_HINSTANCE gives " + Num(instance) + ", module is at " +
             Num(reinterpret_cast<std::intptr_t>(GetModuleHandleW(nullptr))));
  Finish(lng);

  Check post{"post_message_and_pump", {}, {}};
  g_probe = ProbeState{};
  Expect(post, WinPostMessage(handle, kProbeMessage, 201, 7) != 0, "post failed");
  PumpPendingEvents();
  Expect(post, g_probe.probes == 1 && g_probe.lastW == 201 && g_probe.lastL == 7,
         "message not handled by the pump (" + Num(g_probe.probes) + " handled)");
  Expect(post, WinPostMessage(0x7ffffff0u, kProbeMessage, 0, 0) == 0, "post to a bad handle reported success");
  Finish(post);

  Check quit{"pump_keeps_quit", {}, {}};
  g_probe = ProbeState{};
  PostMessageW(main, kProbeMessage, 1, 0);
  PostQuitMessage(7);
  PumpPendingEvents();
  MSG message;
  const BOOL found = PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
  Expect(quit, g_probe.probes == 1, "posted message before the quit not handled");
  Expect(quit, found && message.wParam == 7, "WM_QUIT with code 7 not left in the queue");
  Finish(quit);

  Check module{"module_file_name", {}, {}};
  wchar_t expected[MAX_PATH] = {};
  const DWORD expectedLength = GetModuleFileNameW(nullptr, expected, MAX_PATH);
  char16_t got[MAX_PATH] = {};
  const std::uint32_t length = WinGetModuleFileName(nullptr, got, MAX_PATH);
  Expect(module, length == expectedLength && std::u16string(got, length) == wide::FromWide(expected, expectedLength),
         "gives " + Show(std::u16string(got, length)));
  Finish(module);
}

namespace {

std::string AnsiBytes(const std::u16string& value, bool* lossless) {
  std::string out;
  BOOL usedDefault = FALSE;
  const int units = static_cast<int>(value.size());
  const int bytes = WideCharToMultiByte(CP_ACP, 0, wide::Ptr(value), units, nullptr, 0, nullptr, &usedDefault);
  if (bytes > 0) {
    out.resize(static_cast<std::size_t>(bytes));
    WideCharToMultiByte(CP_ACP, 0, wide::Ptr(value), units, &out[0], bytes, nullptr, &usedDefault);
  }
  if (lossless != nullptr) *lossless = usedDefault == FALSE;
  return out;
}

// The ANSI path: the system table with a GetVersionExA that reports the
// Windows 95 family, and counting wrappers around the entry points used.
calls::EntryPoints g_system;
int g_countA = 0;
int g_countW = 0;

std::int32_t VORN_WINAPI OldPlatformVersion(void* info) {
  const std::int32_t result = g_system.GetVersionExA(info);
  const std::int32_t windows95 = 1;
  std::memcpy(static_cast<unsigned char*>(info) + calls::kPlatformIdOffset, &windows95, sizeof windows95);
  return result;
}

std::uint32_t VORN_WINAPI CountingProfileA(const char* section, const char* key, const char* defaultText,
                                           char* buffer, std::uint32_t size, const char* file) {
  ++g_countA;
  return g_system.GetPrivateProfileStringA(section, key, defaultText, buffer, size, file);
}

std::uint32_t VORN_WINAPI CountingProfileW(const char16_t* section, const char16_t* key,
                                           const char16_t* defaultText, char16_t* buffer, std::uint32_t size,
                                           const char16_t* file) {
  ++g_countW;
  return g_system.GetPrivateProfileStringW(section, key, defaultText, buffer, size, file);
}

void* VORN_WINAPI CountingFindA(const char* className, const char* title) {
  ++g_countA;
  return g_system.FindWindowA(className, title);
}

void* VORN_WINAPI CountingFindW(const char16_t* className, const char16_t* title) {
  ++g_countW;
  return g_system.FindWindowW(className, title);
}

std::u16string ReadProfile(const std::u16string& file, const std::u16string& section, const std::u16string& key,
                           const std::u16string& defaultText, std::uint32_t size, std::uint32_t* count) {
  std::vector<char16_t> buffer(size + 1, u'#');
  *count = WinGetPrivateProfileString(section, key, defaultText, buffer.data(), size, file);
  std::size_t length = 0;
  while (length < size && buffer[length] != u'\0') ++length;
  return std::u16string(buffer.data(), length);
}

struct ProfileCase {
  const char* what;
  std::u16string section;
  std::u16string key;
  std::u16string defaultText;
  std::uint32_t size;
  std::u16string expected;
};

void RunProfileCases(Check& check, const std::u16string& file, const std::vector<ProfileCase>& cases,
                     const char* path) {
  for (const ProfileCase& c : cases) {
    std::uint32_t count = 0;
    const std::u16string value = ReadProfile(file, c.section, c.key, c.defaultText, c.size, &count);
    Expect(check, value == c.expected && count == c.expected.size(),
           std::string(path) + " " + c.what + ": got " + Show(value) + " (" + Num(count) + "), expected " +
               Show(c.expected));
  }
}

}  // namespace

void CheckProfilesAndAnsiPath(HWND main) {
  const std::u16string directory = TempDirectory();
  const std::u16string file = directory + u"\\check.ini";
  const std::u16string missingFile = directory + u"\\missing.ini";
  const bool japanese = GetACP() == 932;
  // 表, 示 and ソ have 0x5C ("\") as their second byte in code page 932.
  const std::u16string value = japanese ? u"表示 受注ﾏｽﾀ ソ" : u"plain value";
  const std::u16string section = japanese ? u"設定" : u"settings";
  const std::u16string contents =
      u"[sql plus]\r\nactive= Yes \r\n[" + section + u"]\r\nname=" + value + u"\r\nempty=\r\n";
  bool lossless = true;
  const bool written = WriteBytes(file, AnsiBytes(contents, &lossless));

  std::vector<ProfileCase> cases = {
      {"plain value", u"sql plus", u"active", u"", 200, u"Yes"},
      {"value", section, u"name", u"", 200, value},
      {"empty value", section, u"empty", u"def", 200, u""},
      {"missing key", u"sql plus", u"none", japanese ? u"既定" : u"default", 200, japanese ? u"既定" : u"default"},
      {"missing section", u"no section", u"active", u"", 200, u""},
      {"short buffer", section, u"name", u"", 5, value.substr(0, 4)},
  };
  const std::u16string none = japanese ? u"なし" : u"none";
  std::vector<ProfileCase> missing = {{"missing file", u"sql plus", u"active", none, 200, none}};

  Check wide{"ini_wide_path", {}, {}};
  Expect(wide, written && lossless, "could not write the INI file in the ANSI code page");
  if (!japanese) wide.untried = "ANSI code page is not 932: Japanese values not tried";
  RunProfileCases(wide, file, cases, "W");
  RunProfileCases(wide, missingFile, missing, "W");
  Finish(wide);

  // Now through the A entry points.
  const calls::EntryPoints saved = calls::Entries();
  g_system = saved;
  calls::EntryPoints ansi = saved;
  ansi.GetVersionExA = OldPlatformVersion;
  ansi.GetPrivateProfileStringA = CountingProfileA;
  ansi.GetPrivateProfileStringW = CountingProfileW;
  ansi.FindWindowA = CountingFindA;
  ansi.FindWindowW = CountingFindW;
  calls::SetEntries(ansi);
  g_countA = 0;
  g_countW = 0;

  Check a{"ini_ansi_path", {}, {}};
  Expect(a, GetPlatformId() == 1, "platform id " + Num(GetPlatformId()) + " with the Windows 95 version record");
  if (!japanese) a.untried = "ANSI code page is not 932: Japanese values not tried";
  RunProfileCases(a, file, cases, "A");
  RunProfileCases(a, missingFile, missing, "A");
  const int expectedCalls = static_cast<int>(cases.size() + missing.size());
  Expect(a, g_countA == expectedCalls && g_countW == 0,
         "expected " + Num(expectedCalls) + " A calls and no W call, saw " + Num(g_countA) + " A and " +
             Num(g_countW) + " W");
  Finish(a);

  Check find{"find_window_ansi_path", {}, {}};
  g_countA = 0;
  g_countW = 0;
  const std::u16string probeClass = wide::FromWide(kProbeClass);
  // The title must survive the trip through the ANSI code page.
  const std::u16string title = japanese ? kMainTitle : u"VornCheck ANSI";
  if (!japanese) SetWindowTextW(main, wide::Ptr(title));
  Expect(find, WinFindWindow(nullptr, title) == wide::FromHwnd(main), "not found by title with no class");
  Expect(find, WinFindWindow(&probeClass, title) == wide::FromHwnd(main), "not found by class and title");
  Expect(find, g_countA == 2 && g_countW == 0, "FindWindowA not the one called");
  if (!japanese) SetWindowTextW(main, wide::Ptr(kMainTitle));
  Finish(find);

  calls::SetEntries(saved);
  Check restored{"system_table_restored", {}, {}};
  g_countW = 0;
  Expect(restored, GetPlatformId() == 2, "platform id " + Num(GetPlatformId()) + " after restoring");
  std::uint32_t count = 0;
  Expect(restored, ReadProfile(file, u"sql plus", u"active", u"", 200, &count) == u"Yes", "W path read fails");
  Finish(restored);

  DeleteFileW(wide::Ptr(file));
}
