#include <gtest/gtest.h>

#include "fake_platform.h"
#include "platform_calls.h"
#include "platform_entries.h"

namespace {

class PlatformCalls : public ::testing::Test {
 protected:
  void SetUp() override { fake::Reset(); }
};

TEST_F(PlatformCalls, PlatformIdIsQueriedOncePerProcess) {
  EXPECT_EQ(GetPlatformId(), 2);
  EXPECT_EQ(GetPlatformId(), 2);
  WinFindWindow(nullptr, u"x");
  EXPECT_EQ(fake::Count("GetVersionEx"), 1);
  EXPECT_EQ(fake::Count("GetVersionExA(148)"), 1);
}

TEST_F(PlatformCalls, FailingVersionQueryGivesOneAndWideQueryIsNotTried) {
  fake::State().versionQueryFails = true;
  EXPECT_EQ(GetPlatformId(), 1);
  EXPECT_EQ(fake::Count("GetVersionExW"), 0);
  WinFindWindow(nullptr, u"t");
  EXPECT_EQ(fake::Count("FindWindowA"), 1);
}

TEST_F(PlatformCalls, MissingAnsiVersionQueryFallsBackToWide) {
  fake::State().versionAMissing = true;
  fake::State().platformId = 2;
  fake::Reinstall();
  EXPECT_EQ(GetPlatformId(), 2);
  EXPECT_EQ(fake::Count("GetVersionExW(276)"), 1);

  fake::State().versionQueryFails = true;
  fake::Reinstall();
  EXPECT_EQ(GetPlatformId(), 1);
}

TEST_F(PlatformCalls, NoVersionEntryAtAllSelectsTheAnsiPath) {
  calls::SetEntries(calls::EntryPoints{});
  EXPECT_EQ(GetPlatformId(), 1);
  EXPECT_EQ(WinFindWindow(nullptr, u"t"), 0u);  // missing entries give 0, never a crash
  char16_t buffer[8];
  EXPECT_EQ(WinGetModuleFileName(nullptr, buffer, 8), 0u);
}

TEST_F(PlatformCalls, PlatformsZeroAndOneTakeTheAnsiEntryPoints) {
  for (std::int32_t id : {0, 1}) {
    fake::Reset();
    fake::State().platformId = id;
    fake::State().windowsByTitle[u"Oracle SQL*Plus"] = 42;
    fake::State().classOf[42] = u"sqlplusWClass";
    const std::u16string cls = u"sqlplusWClass";
    EXPECT_EQ(WinFindWindow(&cls, u"Oracle SQL*Plus"), 42u);
    EXPECT_EQ(WinPostMessage(42, 273, 201, 0), 1);
    EXPECT_EQ(WinGetWindowLong(42, -6), fake::State().instanceHandle);
    EXPECT_EQ(fake::Count("FindWindowA(sqlplusWClass,Oracle SQL*Plus)"), 1);
    EXPECT_EQ(fake::Count("PostMessageA(42,273,201,0)"), 1);
    EXPECT_EQ(fake::Count("GetWindowLongA(42,-6)"), 1);
    EXPECT_EQ(fake::Count("FindWindowW") + fake::Count("PostMessageW") + fake::Count("GetWindowLongW"), 0);
  }
}

TEST_F(PlatformCalls, AbsentClassNameIsPassedAsNullOnBothPaths) {
  fake::State().windowsByTitle[u"Oracle SQL*Plus"] = 7;
  fake::State().classOf[7] = u"OtherClass";
  EXPECT_EQ(WinFindWindow(nullptr, u"Oracle SQL*Plus"), 7u);
  const std::u16string empty;
  EXPECT_EQ(WinFindWindow(&empty, u"Oracle SQL*Plus"), 0u);  // empty class is not "any class"
  EXPECT_EQ(fake::Count("FindWindowW(<null>,Oracle SQL*Plus)"), 1);

  fake::Reset();
  fake::State().platformId = 1;
  fake::State().windowsByTitle[u"Oracle SQL*Plus"] = 7;
  EXPECT_EQ(WinFindWindow(nullptr, u"Oracle SQL*Plus"), 7u);
  EXPECT_EQ(fake::Count("FindWindowA(<null>,Oracle SQL*Plus)"), 1);
}

TEST_F(PlatformCalls, ModuleFileNameOnBothPathsFillsTheBufferWithinItsSize) {
  fake::State().modulePath = u"C:\\Tools\\tovrin.exe";
  for (std::int32_t id : {2, 1}) {
    fake::State().platformId = id;
    fake::Reinstall();
    char16_t buffer[64];
    std::fill(std::begin(buffer), std::end(buffer), u'#');
    const std::uint32_t n = WinGetModuleFileName(reinterpret_cast<void*>(fake::State().instanceHandle), buffer, 64);
    EXPECT_EQ(std::u16string(buffer, n), u"C:\\Tools\\tovrin.exe") << "platform " << id;
    EXPECT_EQ(buffer[n], u'\0');

    // A buffer too small is never overrun.
    char16_t small[6];
    std::fill(std::begin(small), std::end(small), u'#');
    const std::uint32_t m = WinGetModuleFileName(reinterpret_cast<void*>(fake::State().instanceHandle), small, 5);
    EXPECT_LE(m, 5u);
    EXPECT_EQ(small[5], u'#');
  }
  EXPECT_EQ(fake::Count("GetModuleFileNameW"), 2);
  EXPECT_EQ(fake::Count("GetModuleFileNameA"), 2);
}

TEST_F(PlatformCalls, ProfileStringOnTheAnsiPathConvertsTextsBothWays) {
  fake::State().platformId = 1;
  fake::State().ini[u"c:\\vorn3\\tovrin.ini"][u"sql plus"][u"active"] = u"Ja\u00e9";
  char16_t buffer[200];
  const std::uint32_t n =
      WinGetPrivateProfileString(u"sql plus", u"active", u"", buffer, 200, u"c:\\vorn3\\tovrin.ini");
  EXPECT_EQ(std::u16string(buffer, n), u"Ja\u00e9");
  EXPECT_EQ(fake::Count("GetPrivateProfileStringA(sql plus,active,,"), 1);

  // Cut to the caller's size: at most size - 1 units and a NUL.
  fake::State().ini[u"f"][u"s"][u"k"] = std::u16string(50, u'x');
  const std::uint32_t cut = WinGetPrivateProfileString(u"s", u"k", u"", buffer, 20, u"f");
  EXPECT_EQ(cut, 19u);
  EXPECT_EQ(buffer[19], u'\0');

  EXPECT_EQ(WinGetPrivateProfileString(u"s", u"none", u"", buffer, 20, u"f"), 0u);
}

}  // namespace
