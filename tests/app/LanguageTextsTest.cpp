#include "app/LanguageTexts.h"

#include <gtest/gtest.h>

#include <set>

#include "app/Startup.h"
#include "app/config/Layout.h"
#include "base/IniFile.h"
#include "platform/Paths.h"
#include "tests/TestSupport.h"

namespace kl {
namespace {

class LanguageTextsTest : public testing::Test {
 protected:
  void SetUp() override { platform::OverrideModuleFolder(test::Wide(m_folder)); }
  void TearDown() override {
    platform::OverrideModuleFolder({});
    SetCurrentLanguage(kLanguageEnglish);
  }
  void WriteLanguage(int id, const std::string& bytes) {
    test::WriteBytes(m_folder / "language" / (std::to_string(id) + ".lan"), bytes);
  }
  std::filesystem::path m_folder = test::ScratchFolder();
};

TEST_F(LanguageTextsTest, LooksUpTheCurrentLanguageOnEveryCall) {
  WriteLanguage(1033, "[KL.TEXTS]\r\n65=Profile\r\n50=Home\r\n");
  WriteLanguage(2052, "\xEF\xBB\xBF[KL.TEXTS]\r\n65=\xE9\x85\x8D\xE7\xBD\xAE\xE6\x96\xB9\xE6\xA1\x88\r\n");
  SetCurrentLanguage(kLanguageEnglish);
  EXPECT_EQ(GetText(kTextSection, 65), L"Profile");
  EXPECT_EQ(GetText(kTextSection, 51), L"");     // a missing key is empty, not its number
  EXPECT_EQ(GetText(L"OTHER", 65), L"");
  SetCurrentLanguage(kLanguageChinese);
  EXPECT_EQ(GetText(kTextSection, 65), L"配置方案");
  EXPECT_EQ(GetText(kTextSection, 50), L"");

  // The file is not cached: an edit shows at the next lookup.
  SetCurrentLanguage(kLanguageEnglish);
  WriteLanguage(1033, "[KL.TEXTS]\r\n50=Start\r\n");
  EXPECT_EQ(GetText(kTextSection, 50), L"Start");

  std::filesystem::remove_all(m_folder / "language");
  EXPECT_EQ(GetText(kTextSection, 50), L"");
}

TEST_F(LanguageTextsTest, ReadsUtf16AndLegacyFilesAndBoundsTheLength) {
  const std::wstring text = L"[KL.TEXTS]\r\n331=宏\r\n";
  std::string utf16 = "\xFF\xFE";
  for (wchar_t c : text) utf16 += std::string{static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
  WriteLanguage(2052, utf16);
  SetCurrentLanguage(kLanguageChinese);
  EXPECT_EQ(GetText(kTextSection, 331), L"宏");
  WriteLanguage(2052, "[KL.TEXTS]\r\n331=\xBA\xEA\r\n");  // GBK, as a Chinese system writes it
  EXPECT_EQ(GetText(kTextSection, 331), L"宏");

  SetCurrentLanguage(kLanguageEnglish);
  WriteLanguage(1033, "[KL.TEXTS]\r\n1=" + std::string(300, 'x') + "\r\n");
  EXPECT_EQ(GetText(kTextSection, 1), std::wstring(259, L'x'));
}

TEST(RelabelDefaultName, ReplacesTheOtherLanguagesPrefix) {
  struct Case {
    const wchar_t* name;
    int language;
    DefaultName kind;
    const wchar_t* replacement;
    const wchar_t* expected;
  } cases[] = {
      {L"配置方案2", kLanguageEnglish, DefaultName::Profile, L"Profile", L"Profile2"},
      {L"Profile 3", kLanguageChinese, DefaultName::Profile, L"配置方案", L"配置方案 3"},
      {L"Profile 3", kLanguageEnglish, DefaultName::Profile, L"Profile", L"Profile 3"},
      {L"Gaming", kLanguageEnglish, DefaultName::Profile, L"Profile", L"Gaming"},
      {L"Macro 1", kLanguageChinese, DefaultName::Macro, L"宏", L"宏 1"},
      {L"宏2", kLanguageEnglish, DefaultName::Macro, L"Macro", L"Macro2"},
      {L"Macros", kLanguageChinese, DefaultName::Macro, L"宏", L"宏s"},  // a prefix is a prefix
      {L"宏2", kLanguageEnglish, DefaultName::Profile, L"Profile", L"宏2"},
      {L"", kLanguageChinese, DefaultName::Macro, L"宏", L""},
      {L"Macro 1", 1041, DefaultName::Macro, L"x", L"Macro 1"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(RelabelDefaultName(c.name, c.language, c.kind, c.replacement), c.expected) << c.name;
}

// The shipped language files: the same numbers in both languages, the exact default-name
// prefixes, a name for every light mode of the shipped layout, nothing too long to show.
TEST(ShippedLanguageFiles, AreCompleteAndConsistent) {
  IniFile english, chinese;
  ASSERT_TRUE(english.LoadFile(std::wstring(KL_DATA_DIR_W) + L"/language/1033.lan"));
  ASSERT_TRUE(chinese.LoadFile(std::wstring(KL_DATA_DIR_W) + L"/language/2052.lan"));
  EXPECT_EQ(english.GetString(kTextSection, L"65"), L"Profile");
  EXPECT_EQ(chinese.GetString(kTextSection, L"65"), L"配置方案");
  EXPECT_EQ(english.GetString(kTextSection, L"331"), L"Macro");
  EXPECT_EQ(chinese.GetString(kTextSection, L"331"), L"宏");

  std::set<int> required = {2, 5, 10, 11, 20, 22, 23, 25, 50, 51, 52, 53, 55, 56, 60, 61, 170, 171, 172, 202, 205,
                            206, 207, 208, 209, 210, 211, 212, 220, 222, 223, 227, 228, 252};
  for (int n = 230; n <= 236; ++n) required.insert(n);
  for (int n = 270; n <= 279; ++n) required.insert(n);
  for (int n = 701; n <= 715; ++n) required.insert(n);
  KeyboardLayout layout;
  ASSERT_TRUE(LoadLayoutFile(LayoutFilePath(KL_DATA_DIR_W, L"TR640"), layout));
  for (const LightModeInfo& m : layout.lightModes) required.insert(std::stoi(m.name));

  for (int n = 0; n < 2000; ++n) {
    const std::wstring key = std::to_wstring(n);
    const bool inEnglish = english.HasKey(kTextSection, key), inChinese = chinese.HasKey(kTextSection, key);
    EXPECT_EQ(inEnglish, inChinese) << "text " << n << " is in one language only";
    if (required.count(n)) {
      EXPECT_TRUE(inEnglish && inChinese) << "text " << n << " is missing";
    }
    for (const IniFile* file : {&english, &chinese}) {
      const std::wstring text = file->GetString(kTextSection, key);
      EXPECT_LE(text.size(), 259u) << n;
      if (file->HasKey(kTextSection, key)) {
        EXPECT_FALSE(text.empty()) << "text " << n << " is empty";
      }
    }
  }
}

}  // namespace
}  // namespace kl
