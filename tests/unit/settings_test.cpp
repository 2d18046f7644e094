#include <gtest/gtest.h>

#include "fake_platform.h"
#include "settings.h"
#include "text.h"

namespace {

const std::u16string kIni = u"c:\\vorn3\\tovrin.ini";

class Settings : public ::testing::Test {
 protected:
  void SetUp() override { fake::Reset(); }
  void SetValue(const std::u16string& value) { fake::State().ini[kIni][u"sql plus"][u"active"] = value; }
};

TEST_F(Settings, ValueIsTrimmedAndLowerCased) {
  SetValue(u"  Yes  ");
  EXPECT_EQ(ReadIniString(kIni, u"sql plus", u"active", true), u"yes");
  EXPECT_EQ(ReadIniString(kIni, u"sql plus", u"active", false), u"Yes");
  EXPECT_EQ(fake::Count("GetPrivateProfileStringW(sql plus,active,,200,c:\\vorn3\\tovrin.ini)"), 2);
}

TEST_F(Settings, MissingFileSectionOrKeyReadsEmpty) {
  EXPECT_EQ(ReadIniString(kIni, u"sql plus", u"active", true), u"");
  SetValue(u"yes");
  EXPECT_EQ(ReadIniString(kIni, u"other", u"active", true), u"");
  EXPECT_EQ(ReadIniString(kIni, u"sql plus", u"passive", true), u"");
  EXPECT_EQ(ReadIniString(u"c:\\nowhere.ini", u"sql plus", u"active", true), u"");
}

TEST_F(Settings, LongValueIsCutTo199UnitsBeforeTrimming) {
  SetValue(std::u16string(250, u'A'));
  EXPECT_EQ(ReadIniString(kIni, u"sql plus", u"active", true), std::u16string(199, u'a'));

  SetValue(std::u16string(198, u'b') + u"  c");  // the cut leaves a trailing space, which is trimmed
  EXPECT_EQ(ReadIniString(kIni, u"sql plus", u"active", true), std::u16string(198, u'b'));

  for (std::int32_t id : {2, 1}) {  // both paths cut alike
    fake::State().platformId = id;
    fake::Reinstall();
    SetValue(std::u16string(10000, u'y'));
    EXPECT_EQ(ReadIniString(kIni, u"sql plus", u"active", true).size(), 199u);
  }
}

TEST_F(Settings, WantedNameIsReturnedUnchanged) {
  EXPECT_EQ(GetIniName(5, u"C:\\Vorn3\\Tovrin.INI", u"c:\\host.ini"), u"C:\\Vorn3\\Tovrin.INI");
  EXPECT_EQ(GetIniName(5, kIni, kIni), kIni);
  EXPECT_EQ(fake::Count("GetWindowLongW(5,-6)"), 2);
  EXPECT_EQ(fake::Count("GetModuleFileNameW(" + std::to_string(fake::State().instanceHandle) + ",145)"), 2);
}

TEST_F(Settings, HostedProgramsGetTheHostName) {
  for (const char16_t* path : {u"C:\\VB98\\VB6.EXE", u"C:\\tools\\myvb6.exe", u"C:\\vb5.exe\\marlet.exe",
                               u"C:\\Program Files\\VB5.exe"}) {
    fake::State().modulePath = path;
    EXPECT_EQ(GetIniName(5, u"c:\\wanted.ini", u"c:\\host.ini"), u"c:\\host.ini") << text::ToUtf8(path);
    EXPECT_EQ(GetIniName(5, u"c:\\wanted.ini", u""), u"c:\\wanted.ini");  // empty host name: no effect
  }
  fake::State().modulePath = u"C:\\tools\\vb7.exe";
  EXPECT_EQ(GetIniName(5, u"c:\\wanted.ini", u"c:\\host.ini"), u"c:\\wanted.ini");
}

TEST_F(Settings, LongModulePathStillShowsItsFileName) {
  // Longer than the 145-character buffer: the host test must see the end.
  fake::State().modulePath = u"C:\\" + std::u16string(300, u'd') + u"\\vb6.exe";
  EXPECT_EQ(GetIniName(5, u"c:\\wanted.ini", u"c:\\host.ini"), u"c:\\host.ini");
  fake::State().modulePath = u"C:\\" + std::u16string(300, u'd') + u"\\tovrin.exe";
  EXPECT_EQ(GetIniName(5, u"c:\\wanted.ini", u"c:\\host.ini"), u"c:\\wanted.ini");
}

TEST_F(Settings, SpecialNameIsDerivedFromTheModulePath) {
  fake::State().modulePath = u"C:\\Tools\\Tovrin.EXE";
  fake::State().currentDirectory = u"D:\\Work";
  EXPECT_EQ(GetIniName(5, u"VORN3.INI", u""), u"d:\\work\\tovrin.ini");
  EXPECT_EQ(fake::Count("ShowMessageBox"), 0);
}

TEST_F(Settings, SpecialNameWithoutModulePathWarnsAndGivesEmpty) {
  fake::State().moduleLookupFails = true;  // "dummy.exe" holds no backslash
  EXPECT_EQ(GetIniName(5, u"vorn3.ini", u"c:\\host.ini"), u"");
  ASSERT_EQ(fake::Count("Beep()"), 1);
  EXPECT_LT(fake::Find("Beep()"), fake::Find("ShowMessageBox"));
  EXPECT_EQ(fake::Count("ShowMessageBox(プログラム名の取得(GetModuleFileName) に失敗しました。,48,GetIniName())"), 1);
}

}  // namespace
