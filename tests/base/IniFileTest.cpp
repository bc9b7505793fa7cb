#include "base/IniFile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace kl {
namespace {

const char kUtf8Text[] =
    "; comment=ignored\r\n"
    "orphan=before any section\r\n"
    "[KL.TEXTS]\r\n"
    "  65 = Profile \r\n"
    "331=\"  Macro  \"\r\n"
    "50=First\r\n"
    "50=Second\r\n"
    "7=a=b\r\n"
    "[kl.texts]\r\n"
    "99=in a later section of the same name\r\n"
    "[Other]\n"
    "65=other section\r";

TEST(IniFile, PrivateProfileRules) {
  IniFile ini;
  ini.Parse(IniFile::Decode(kUtf8Text));
  struct Case {
    const wchar_t* section;
    const wchar_t* key;
    const wchar_t* expected;
  } cases[] = {
      {L"KL.TEXTS", L"65", L"Profile"},      // blanks around key and value trimmed
      {L"kl.texts", L"65", L"Profile"},      // section names ignore case
      {L"KL.TEXTS", L"331", L"  Macro  "},   // one pair of quotes stripped, inside kept
      {L"KL.TEXTS", L"50", L"First"},        // first match wins
      {L"KL.TEXTS", L"7", L"a=b"},           // the value starts after the first "="
      {L"KL.TEXTS", L"99", L"<none>"},       // only the first section of a name is searched
      {L"Other", L"65", L"other section"},   // bare CR and LF line ends
      {L"KL.TEXTS", L"orphan", L"<none>"},
      {L"KL.TEXTS", L"; comment", L"<none>"},
      {L"Missing", L"65", L"<none>"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ini.GetString(c.section, c.key, L"<none>"), c.expected) << c.section << L"/" << c.key;
}

TEST(IniFile, DecodesEveryFileEncoding) {
  const std::wstring expected = L"[S]\r\nk=配置方案\r\n";
  const std::string utf8 = "[S]\r\nk=\xE9\x85\x8D\xE7\xBD\xAE\xE6\x96\xB9\xE6\xA1\x88\r\n";
  std::string le = "\xFF\xFE", be = "\xFE\xFF";
  for (wchar_t ch : expected) {
    le += static_cast<char>(ch & 0xFF);
    le += static_cast<char>(ch >> 8);
    be += static_cast<char>(ch >> 8);
    be += static_cast<char>(ch & 0xFF);
  }
  EXPECT_EQ(IniFile::Decode(utf8), expected);
  EXPECT_EQ(IniFile::Decode("\xEF\xBB\xBF" + utf8), expected);
  EXPECT_EQ(IniFile::Decode(le), expected);
  EXPECT_EQ(IniFile::Decode(be), expected);
  // Not UTF-8: read in the given legacy page (GBK here).
  EXPECT_EQ(IniFile::Decode("[S]\r\nk=\xC5\xE4\xD6\xC3\xB7\xBD\xB0\xB8\r\n", 936), expected);
}

TEST(IniFile, SetKeepsOrderAndRoundTrips) {
  IniFile ini;
  ini.Parse(L"[settings]\r\nLCID=2052\r\nexit_mode=1\r\n");
  ini.SetString(L"SETTINGS", L"lcid", L"1033");
  ini.SetString(L"settings", L"new", L"5");
  ini.SetString(L"extra", L"a", L"b");
  EXPECT_EQ(ini.ToText(), L"[settings]\r\nLCID=1033\r\nexit_mode=1\r\nnew=5\r\n[extra]\r\na=b\r\n");
  IniFile again;
  again.Parse(ini.ToText());
  EXPECT_EQ(again.GetString(L"settings", L"LCID"), L"1033");
}

TEST(IniFile, LoadFileReportsMissingFile) {
  IniFile ini;
  ini.Parse(L"[a]\r\nb=c\r\n");
  EXPECT_FALSE(ini.LoadFile(L"/nonexistent/keyloft/test.ini"));
  EXPECT_FALSE(ini.HasKey(L"a", L"b"));  // a failed load leaves nothing from before
}

}  // namespace
}  // namespace kl
