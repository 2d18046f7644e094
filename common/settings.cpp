#include "settings.h"

#include <algorithm>
#include <vector>

#include "boxes.h"
#include "files.h"
#include "platform_calls.h"
#include "text.h"

const char16_t kSettingsPath[] = u"c:\\vorn3\\tovrin.ini";
const char16_t kSettingsSection[] = u"sql plus";
const char16_t kSettingsKey[] = u"active";
const char16_t kConsoleKey[] = u"console";

namespace {

constexpr std::uint32_t kModulePathCapacity = 145;
constexpr std::uint32_t kIniValueCapacity = 200;
constexpr std::uint32_t kIniBufferLength = 400;

std::u16string BeforeFirstNul(const std::vector<char16_t>& buffer) {
  std::u16string s(buffer.begin(), buffer.end());
  const std::size_t nul = s.find(u'\0');
  if (nul != std::u16string::npos) s.resize(nul);
  return s;
}

// The module path of the program that owns `window`, lower-cased; "dummy.exe"
// when it cannot be found. A path longer than the classic 145-character
// buffer is fetched again in a buffer that holds it whole, so that the file
// name at its end is never cut off.
std::u16string ModulePath(WindowHandle window) {
  void* module = reinterpret_cast<void*>(WinGetWindowLong(window, kGwlHinstance));
  std::uint32_t capacity = kModulePathCapacity;
  for (;;) {
    std::vector<char16_t> buffer(capacity, text::kSpace);
    const std::uint32_t got = WinGetModuleFileName(module, buffer.data(), capacity);
    if (got == 0) return u"dummy.exe";
    if (got < capacity || capacity >= 32768) {
      buffer.resize(std::min<std::size_t>(got, buffer.size()));
      return text::ToLower(BeforeFirstNul(buffer));
    }
    capacity *= 4;  // filled to the brim: the path may have been cut
  }
}

bool IsHosted(const std::u16string& modulePath) {
  return modulePath.find(u"vb6.exe") != std::u16string::npos ||
         modulePath.find(u"vb5.exe") != std::u16string::npos;
}

// For the special name: the current directory followed by the module path's
// last "\" and file name, lower-cased, with "ini" for its last three
// characters. Without a "\" in the path there is nothing to derive from.
std::u16string DerivedIniName(const std::u16string& modulePath) {
  const std::size_t slash = modulePath.rfind(u'\\');
  if (slash == std::u16string::npos) {
    Beep();
    ShowMessageBox(u"プログラム名の取得(GetModuleFileName) に失敗しました。", kMbOkExclamation, u"GetIniName()");
    return std::u16string();
  }
  std::u16string name = text::ToLower(CurrentDirectory() + modulePath.substr(slash));
  if (name.size() >= 3) name.replace(name.size() - 3, 3, u"ini");
  return name;
}

}  // namespace

std::u16string GetIniName(WindowHandle window, const std::u16string& wantedName,
                          const std::u16string& hostName) {
  const std::u16string modulePath = ModulePath(window);
  if (!hostName.empty() && IsHosted(modulePath)) return hostName;
  if (text::ToLower(wantedName) != u"vorn3.ini") return wantedName;
  return DerivedIniName(modulePath);
}

std::u16string ReadIniString(const std::u16string& file, const std::u16string& section,
                             const std::u16string& key, bool lowerCase) {
  std::vector<char16_t> buffer(kIniBufferLength, text::kSpace);
  const std::uint32_t got =
      WinGetPrivateProfileString(section, key, std::u16string(), buffer.data(), kIniValueCapacity, file);
  if (got == 0) return std::u16string();
  std::u16string value = text::Trim(BeforeFirstNul(buffer));
  return lowerCase ? text::ToLower(value) : value;
}

DeliverySettings ReadDeliverySettings(WindowHandle ownWindow) {
  const std::u16string file = GetIniName(ownWindow, kSettingsPath, kSettingsPath);
  return {ReadIniString(file, kSettingsSection, kSettingsKey, true) == u"yes",
          ReadIniString(file, kSettingsSection, kConsoleKey, true) != u"no"};
}
